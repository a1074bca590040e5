// Fuzzes the property-list reader of the user defaults: any bytes in, never a crash; what
// it accepts, and what it keeps from a damaged file, written back and read again is the
// same value, and writing that again gives the same bytes.
#include "platform/foundation/property_list.h"

#include <cstdint>
#include <string>

#include "fuzz/fuzz_check.h"

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

  // The UTF-8 helpers of the reader and writer: any bytes give units that write back to
  // UTF-8 which reads as the same units.
  const std::u16string units =
      plist::Utf16FromUtf8(std::string_view(reinterpret_cast<const char*>(data), size));
  const std::string utf8 = plist::Utf8FromUtf16(units);
  FUZZ_CHECK(plist::Utf16FromUtf8(utf8) == units, "decoded text encodes and decodes unchanged");
  return 0;
}
