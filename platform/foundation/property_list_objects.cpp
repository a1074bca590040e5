// Turns property-list values into Foundation objects and back.
#include "platform/foundation/property_list_objects.h"

#include "platform/foundation/array.h"
#include "platform/foundation/date.h"
#include "platform/foundation/dictionary.h"
#include "platform/foundation/number.h"
#include "platform/foundation/string.h"

namespace foundation {

namespace {

// Nesting deeper than this is refused; the reader refuses it too (plist::kMaxDepth).
constexpr int kMaxDepth = plist::kMaxDepth;

id ObjectAt(const plist::Value& value, int depth) {
  if (depth > kMaxDepth) return nil;
  switch (value.kind) {
    case plist::Kind::String:
      return MakeString(value.string);
    case plist::Kind::Integer:
      return MakeInteger(value.integer);
    case plist::Kind::Real:
      return MakeReal(value.real);
    case plist::Kind::Boolean:
      return MakeBoolean(value.integer != 0);
    case plist::Kind::Date:
      return MakeDate(value.real);
    case plist::Kind::Data:
      return nil;
    case plist::Kind::Array: {
      std::vector<id> items;
      for (const plist::Value& item : value.array) {
        id obj = ObjectAt(item, depth + 1);
        if (obj) items.push_back(obj);
      }
      return MakeArray(items);
    }
    case plist::Kind::Dictionary: {
      std::vector<std::pair<id, id>> entries;
      for (const auto& [key, item] : value.dictionary) {
        id obj = ObjectAt(item, depth + 1);
        if (obj) entries.emplace_back(MakeString(key), obj);
      }
      return MakeDictionary(entries);
    }
  }
  return nil;
}

bool ValueAt(id obj, plist::Value* out, int depth) {
  if (!obj || depth > kMaxDepth) return false;
  if (IsString(obj)) {
    *out = plist::Value::String(StringUnits(obj));
  } else if (IsNumber(obj)) {
    switch (NumberKindOf(obj)) {
      case NumberKind::Integer:
        *out = plist::Value::Integer(NumberInteger(obj));
        break;
      case NumberKind::Real:
        *out = plist::Value::Real(NumberReal(obj));
        break;
      case NumberKind::Boolean:
        *out = plist::Value::Boolean(NumberInteger(obj) != 0);
        break;
    }
  } else if (IsDate(obj)) {
    *out = plist::Value::Date(DateSeconds(obj));
  } else if (IsArray(obj)) {
    plist::Value array = plist::Value::Array();
    for (id item : ArrayItems(obj)) {
      plist::Value v;
      if (!ValueAt(item, &v, depth + 1)) return false;
      array.array.push_back(std::move(v));
    }
    *out = std::move(array);
  } else if (IsDictionary(obj)) {
    plist::Value dictionary = plist::Value::Dictionary();
    for (const auto& [key, item] : DictionaryEntries(obj)) {
      plist::Value v;
      if (!IsString(key) || !ValueAt(item, &v, depth + 1)) return false;
      dictionary.dictionary.emplace_back(StringUnits(key), std::move(v));
    }
    *out = std::move(dictionary);
  } else {
    return false;
  }
  return true;
}

}  // namespace

id ObjectFromPlist(const plist::Value& value) {
  return ObjectAt(value, 0);
}

bool PlistFromObject(id obj, plist::Value* out) {
  return ValueAt(obj, out, 0);
}

}  // namespace foundation
