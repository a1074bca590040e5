// NSDictionary and NSMutableDictionary: small tables kept in insertion order and searched by
// -hash and -isEqual:. Settings and bundle information hold a few dozen keys at most, so a
// linear search is the simplest thing that is fast enough.
#include "platform/foundation/dictionary.h"

#include "platform/foundation/array.h"
#include "platform/foundation/foundation.h"
#include "platform/foundation/string.h"
#include "platform/objc/objc.h"

namespace {

using Entries = std::vector<std::pair<id, id>>;  // (copied key, retained value)

Class gDictionary;         // NSDictionary
Class gMutableDictionary;  // NSMutableDictionary
ptrdiff_t gEntries = -1;   // offset of the Entries

Entries& EntriesOf(id self) {
  return objc::FieldAt<Entries>(self, gEntries);
}

const Entries& NoEntries() {
  static const auto* none = new Entries();
  return *none;
}

ptrdiff_t Find(id self, id key) {
  if (!key) return -1;
  NSUInteger hash = objc::Send<NSUInteger>(key, "hash");
  const Entries& entries = EntriesOf(self);
  for (size_t i = 0; i < entries.size(); ++i) {
    id k = entries[i].first;
    if (k == key ||
        (objc::Send<NSUInteger>(k, "hash") == hash && objc::Send<BOOL>(k, "isEqual:", key))) {
      return static_cast<ptrdiff_t>(i);
    }
  }
  return -1;
}

// Keys are copied so that changing a mutable key later cannot change the table.
void Set(id self, id key, id value) {
  if (!key || !value) return;  // nil keys and values are refused
  ptrdiff_t at = Find(self, key);
  objc_retain(value);
  if (at >= 0) {
    id old = EntriesOf(self)[at].second;
    EntriesOf(self)[at].second = value;
    objc_release(old);
  } else {
    id copied = objc::Send(key, "copy");
    if (!copied) copied = objc_retain(key);  // objects without -copy are kept as they are
    EntriesOf(self).emplace_back(copied, value);
  }
}

void RemoveAt(id self, size_t at) {
  std::pair<id, id> entry = EntriesOf(self)[at];
  EntriesOf(self).erase(EntriesOf(self).begin() + static_cast<ptrdiff_t>(at));
  objc_release(entry.first);
  objc_release(entry.second);
}

id NewOfClass(Class cls, const Entries& entries) {
  id dictionary = class_createInstance(cls, 0);
  if (!dictionary) return nil;
  for (const auto& [key, value] : entries) Set(dictionary, key, value);
  return dictionary;
}

// --- Making dictionaries ---

id ClassDictionary(Class cls, SEL) {
  return objc_autorelease(NewOfClass(cls, {}));
}
id WithObjectForKey(Class cls, SEL, id value, id key) {
  return objc_autorelease(NewOfClass(cls, {{key, value}}));
}
id WithDictionary(Class cls, SEL, id other) {
  return objc_autorelease(NewOfClass(cls, foundation::DictionaryEntries(other)));
}
// value, key, value, key, ..., nil
id WithObjectsAndKeys(Class cls, SEL, id first, objc::VarArgs* rest) {
  Entries entries;
  for (id value = first; value; value = va_arg(rest->list, id)) {
    id key = va_arg(rest->list, id);
    if (!key) break;
    entries.emplace_back(key, value);
  }
  return objc_autorelease(NewOfClass(cls, entries));
}
id WithCapacity(Class cls, SEL, NSUInteger) {
  return objc_autorelease(NewOfClass(cls, {}));
}

void Dealloc(id self, SEL sel) {
  Entries entries;
  entries.swap(EntriesOf(self));
  for (const auto& [key, value] : entries) {
    objc_release(key);
    objc_release(value);
  }
  objc::SendSuper<void>(self, gDictionary, sel);
}

id Copy(id self, SEL) {
  if (object_getClass(self) == gDictionary) return objc_retain(self);
  return NewOfClass(gDictionary, EntriesOf(self));
}
id MutableCopy(id self, SEL) {
  return NewOfClass(gMutableDictionary, EntriesOf(self));
}

// --- Reading ---

NSUInteger Count(id self, SEL) {
  return EntriesOf(self).size();
}
id ObjectForKey(id self, SEL, id key) {
  ptrdiff_t at = Find(self, key);
  return at < 0 ? nil : EntriesOf(self)[at].second;
}
id AllKeys(id self, SEL) {
  std::vector<id> keys;
  for (const auto& entry : EntriesOf(self)) keys.push_back(entry.first);
  return foundation::MakeArray(keys);
}
id AllValues(id self, SEL) {
  std::vector<id> values;
  for (const auto& entry : EntriesOf(self)) values.push_back(entry.second);
  return foundation::MakeArray(values);
}
BOOL IsEqual(id self, SEL, id other) {
  if (self == other) return YES;
  if (!foundation::IsDictionary(other) || EntriesOf(other).size() != EntriesOf(self).size()) {
    return NO;
  }
  for (const auto& [key, value] : EntriesOf(self)) {
    ptrdiff_t at = Find(other, key);
    if (at < 0 || !objc::Send<BOOL>(value, "isEqual:", EntriesOf(other)[at].second)) return NO;
  }
  return YES;
}
id Description(id self, SEL) {
  std::u16string text = u"{";
  for (const auto& [key, value] : EntriesOf(self)) {
    text += u"\n    " + foundation::DescriptionOf(key) + u" = " + foundation::DescriptionOf(value) +
            u";";
  }
  text += u"\n}";
  return foundation::MakeString(std::move(text));
}

// --- Mutation ---

void SetObjectForKey(id self, SEL, id value, id key) {
  Set(self, key, value);
}
void RemoveObjectForKey(id self, SEL, id key) {
  ptrdiff_t at = Find(self, key);
  if (at >= 0) RemoveAt(self, static_cast<size_t>(at));
}
void RemoveAll(id self, SEL) {
  while (!EntriesOf(self).empty()) RemoveAt(self, EntriesOf(self).size() - 1);
}
void AddEntries(id self, SEL, id other) {
  for (const auto& [key, value] : foundation::DictionaryEntries(other)) Set(self, key, value);
}

}  // namespace

namespace foundation {

id MakeDictionary(const Entries& entries) {
  objc::EnsureClassesLoaded();
  return objc_autorelease(NewOfClass(gDictionary, entries));
}
bool IsDictionary(id obj) {
  return obj && gDictionary && objc::IsKindOf(obj, gDictionary);
}
const Entries& DictionaryEntries(id dictionary) {
  return IsDictionary(dictionary) ? EntriesOf(dictionary) : NoEntries();
}

void LoadNSDictionaryClass() {
  gDictionary = objc::DefineClass("NSDictionary", "NSObject");
  gEntries = objc::AddCxxIvar<Entries>(gDictionary, "_entries");
  objc::AddClassMethod(gDictionary, "dictionary", &ClassDictionary);
  objc::AddClassMethod(gDictionary, "dictionaryWithObject:forKey:", &WithObjectForKey);
  objc::AddClassMethod(gDictionary, "dictionaryWithDictionary:", &WithDictionary);
  objc::AddClassMethod(gDictionary, "dictionaryWithObjectsAndKeys:", &WithObjectsAndKeys);
  objc::AddMethod(gDictionary, "dealloc", &Dealloc);
  objc::AddMethod(gDictionary, "copy", &Copy);
  objc::AddMethod(gDictionary, "mutableCopy", &MutableCopy);
  objc::AddMethod(gDictionary, "count", &Count);
  objc::AddMethod(gDictionary, "objectForKey:", &ObjectForKey);
  objc::AddMethod(gDictionary, "allKeys", &AllKeys);
  objc::AddMethod(gDictionary, "allValues", &AllValues);
  objc::AddMethod(gDictionary, "isEqual:", &IsEqual);
  objc::AddMethod(gDictionary, "description", &Description);

  gMutableDictionary = objc::DefineClass("NSMutableDictionary", gDictionary);
  objc::AddClassMethod(gMutableDictionary, "dictionaryWithCapacity:", &WithCapacity);
  objc::AddMethod(gMutableDictionary, "setObject:forKey:", &SetObjectForKey);
  objc::AddMethod(gMutableDictionary, "removeObjectForKey:", &RemoveObjectForKey);
  objc::AddMethod(gMutableDictionary, "removeAllObjects", &RemoveAll);
  objc::AddMethod(gMutableDictionary, "addEntriesFromDictionary:", &AddEntries);
}

}  // namespace foundation
