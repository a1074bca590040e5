// Conversions between runtime strings and Core Foundation strings, through UTF-16 bytes.
#include "core/cfstring.h"

#include "core/strings.h"
#include "core/temp_buffer.h"

namespace {

constexpr UInt8 kLossByte = 63;  // '?' for a unit that cannot be converted

// Copies up to count units of string into destination; answers the units written.
int64_t CopyUnits(CFStringRef string, int64_t count, char16_t* destination) {
  if (!string || count <= 0) return 0;
  CFIndex used = 0;
  CFStringGetBytes(string, CFRangeMake(0, static_cast<CFIndex>(count)), kCFStringEncodingUnicode,
                   kLossByte, false, reinterpret_cast<UInt8*>(destination),
                   static_cast<CFIndex>(count * 2), &used);
  return used / 2;
}

}  // namespace

CFStringRef StringToCFString(const char16_t* string) {
  static const char16_t kEmpty[1] = {0};
  if (!string) string = kEmpty;
  return CFStringCreateWithBytes(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(string),
                                 static_cast<CFIndex>(StringLength(string) * 2),
                                 kCFStringEncodingUnicode, false);
}

int64_t CFStringToTemp(CFStringRef string, int64_t offset) {
  int64_t length = string ? CFStringGetLength(string) : 0;
  char16_t* destination = ReserveTemp(length, offset);
  int64_t copied = CopyUnits(string, length, destination);
  TruncateTemp(offset + copied * 2);  // end just past the result, with a 0 unit there
  return copied;
}

int64_t CFStringToBuffer(char16_t* buffer, CFStringRef string, int64_t size) {
  if (!buffer || size < 1) return 0;
  int64_t length = string ? CFStringGetLength(string) : 0;
  if (length > size - 1) length = size - 1;
  int64_t copied = CopyUnits(string, length, buffer);
  buffer[copied] = 0;
  return copied;
}
