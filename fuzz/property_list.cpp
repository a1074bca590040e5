// Fuzzes the property-list reader of the user defaults: any bytes in, never a crash; what
// it accepts, and what it keeps from a damaged file, written back and read again is the
// same value, and writing that again gives the same bytes. The value also survives the trip
// through Foundation objects that the user defaults make of it.
#include "platform/foundation/property_list.h"

#include <algorithm>
#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"
#include "platform/foundation/property_list_objects.h"
#include "platform/objc/references.h"

namespace {

// The value as Foundation objects give it back: data (which no object here holds) left out
// of containers.
plist::Value WithoutData(const plist::Value& value) {
  plist::Value copy = value;
  copy.array.clear();
  copy.dictionary.clear();
  for (const plist::Value& item : value.array) {
    if (item.kind != plist::Kind::Data) copy.array.push_back(WithoutData(item));
  }
  for (const auto& [key, item] : value.dictionary) {
    if (item.kind != plist::Kind::Data) copy.dictionary.emplace_back(key, WithoutData(item));
  }
  return copy;
}

// Dictionaries in key order, since a Foundation dictionary keeps none.
void SortKeys(plist::Value* value) {
  for (plist::Value& item : value->array) SortKeys(&item);
  for (auto& entry : value->dictionary) SortKeys(&entry.second);
  std::sort(value->dictionary.begin(), value->dictionary.end(),
            [](const auto& a, const auto& b) { return a.first < b.first; });
}

void CheckObjects(const plist::Value& value) {
  objc::AutoreleasePool pool;
  id object = foundation::ObjectFromPlist(value);
  if (value.kind == plist::Kind::Data) {
    FUZZ_CHECK(object == nil, "data alone makes no object");
    return;
  }
  plist::Value back;
  FUZZ_CHECK(foundation::PlistFromObject(object, &back),
             "the objects made from a value read back as a value");
  plist::Value expected = WithoutData(value);
  SortKeys(&expected);
  SortKeys(&back);
  FUZZ_CHECK(back == expected, "the objects hold the value, data left out");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  plist::Value value;
  const bool accepted = plist::ParseXml(reinterpret_cast<const char*>(data), size, &value);
  if (!accepted) {
    FUZZ_CHECK(value.kind == plist::Kind::Dictionary,
               "a damaged file leaves what was read in a dictionary");
  }

  const std::string written = plist::WriteXml(value);
  plist::Value again;
  FUZZ_CHECK(plist::ParseXml(written.data(), written.size(), &again),
             "whatever was read writes back to a file that reads without damage");
  FUZZ_CHECK(again == value, "the written file reads back as the same value");
  FUZZ_CHECK(plist::WriteXml(again) == written, "writing the value again gives the same bytes");
  CheckObjects(value);

  // The UTF-8 helpers of the reader and writer: any bytes give units that write back to
  // UTF-8 which reads as the same units.
  const std::u16string units =
      plist::Utf16FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
  const std::string utf8 = plist::Utf8FromUtf16(units);
  FUZZ_CHECK(plist::Utf16FromUtf8(utf8) == units, "decoded text encodes and decodes unchanged");
  return 0;
}
