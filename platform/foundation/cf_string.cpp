// Core Foundation's string calls over NSString, and CFRetain / CFRelease.
#include <cstring>
#include <string>

#include "platform/foundation/core_foundation.h"
#include "platform/foundation/string.h"
#include "platform/foundation/text_encoding.h"
#include "platform/objc/objc.h"

namespace {

id AsObject(CFTypeRef ref) {
  return const_cast<id>(static_cast<const objc_object*>(ref));
}
CFStringRef AsCFString(id string) {
  return reinterpret_cast<CFStringRef>(string);
}

bool IsHighSurrogate(char16_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
bool IsLowSurrogate(char16_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

extern "C" {

const CFAllocatorRef kCFAllocatorDefault = nullptr;

CFTypeRef CFRetain(CFTypeRef object) {
  objc_retain(AsObject(object));
  return object;
}

void CFRelease(CFTypeRef object) {
  objc_release(AsObject(object));
}

CFStringRef CFStringCreateWithBytes(CFAllocatorRef, const UInt8* bytes, CFIndex byte_count,
                                    CFStringEncoding encoding, Boolean is_external_representation) {
  if (byte_count < 0 || (!bytes && byte_count > 0)) return nullptr;
  foundation::TextEncoding text_encoding = foundation::EncodingFromCF(encoding);
  size_t size = static_cast<size_t>(byte_count);
  std::u16string units;
  bool swap = false;
  if (text_encoding == foundation::TextEncoding::Utf16 && is_external_representation && size >= 2) {
    // A byte-order mark says which order the units are in; without one, native order.
    if (bytes[0] == 0xFF && bytes[1] == 0xFE) {
      bytes += 2, size -= 2;
    } else if (bytes[0] == 0xFE && bytes[1] == 0xFF) {
      bytes += 2, size -= 2, swap = true;
    }
  }
  if (text_encoding == foundation::TextEncoding::Utf8 && is_external_representation && size >= 3 &&
      bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
    bytes += 3, size -= 3;
  }
  if (!foundation::DecodeText(bytes, size, text_encoding, &units)) return nullptr;
  if (swap) {
    for (char16_t& unit : units) unit = static_cast<char16_t>((unit << 8) | (unit >> 8));
  }
  return AsCFString(foundation::NewString(std::move(units)));
}

CFStringRef CFStringCreateWithCString(CFAllocatorRef allocator, const char* text,
                                      CFStringEncoding encoding) {
  if (!text) return nullptr;
  return CFStringCreateWithBytes(allocator, reinterpret_cast<const UInt8*>(text),
                                 static_cast<CFIndex>(std::strlen(text)), encoding, false);
}

CFIndex CFStringGetLength(CFStringRef string) {
  return static_cast<CFIndex>(foundation::StringUnits(AsObject(string)).size());
}

UniChar CFStringGetCharacterAtIndex(CFStringRef string, CFIndex index) {
  const std::u16string& units = foundation::StringUnits(AsObject(string));
  return index >= 0 && static_cast<size_t>(index) < units.size() ? units[index] : 0;
}

CFIndex CFStringGetBytes(CFStringRef string, CFRange range, CFStringEncoding encoding,
                         UInt8 loss_byte, Boolean is_external_representation, UInt8* buffer,
                         CFIndex max_length, CFIndex* used_length) {
  const std::u16string& units = foundation::StringUnits(AsObject(string));
  foundation::TextEncoding text_encoding = foundation::EncodingFromCF(encoding);
  CFIndex converted = 0;
  CFIndex used = 0;
  // A range outside the string is clipped to it.
  size_t start = range.location < 0 ? 0 : static_cast<size_t>(range.location);
  size_t end = range.length < 0 ? start : start + static_cast<size_t>(range.length);
  if (start > units.size()) start = units.size();
  if (end > units.size()) end = units.size();
  if (text_encoding != foundation::TextEncoding::Unknown) {
    std::string piece;
    if (text_encoding == foundation::TextEncoding::Utf16 && is_external_representation) {
      char16_t mark = 0xFEFF;
      if (!buffer || max_length >= 2) {
        if (buffer) std::memcpy(buffer, &mark, 2);
        used = 2;
      }
    }
    size_t i = start;
    while (i < end) {
      // One character at a time: a surrogate pair travels together.
      size_t count =
          (IsHighSurrogate(units[i]) && i + 1 < end && IsLowSurrogate(units[i + 1])) ? 2 : 1;
      piece.clear();
      size_t done = foundation::EncodeText(std::u16string_view(units).substr(i, count),
                                           text_encoding, loss_byte, &piece);
      if (done < count) break;  // not convertible and no loss byte
      if (buffer && used + static_cast<CFIndex>(piece.size()) > max_length) break;
      if (buffer) std::memcpy(buffer + used, piece.data(), piece.size());
      used += static_cast<CFIndex>(piece.size());
      converted += static_cast<CFIndex>(count);
      i += count;
    }
  }
  if (used_length) *used_length = used;
  return converted;
}

Boolean CFStringGetCString(CFStringRef string, char* buffer, CFIndex size,
                           CFStringEncoding encoding) {
  if (!buffer || size <= 0) return false;
  CFIndex length = CFStringGetLength(string);
  CFIndex used = 0;
  CFIndex converted = CFStringGetBytes(string, CFRangeMake(0, length), encoding, 0, false,
                                       reinterpret_cast<UInt8*>(buffer), size - 1, &used);
  if (converted < length) {
    buffer[0] = 0;
    return false;
  }
  buffer[used] = 0;
  return true;
}

Boolean CFStringHasSuffix(CFStringRef string, CFStringRef suffix) {
  return objc::Send<BOOL>(AsObject(string), "hasSuffix:", AsObject(suffix)) ? true : false;
}

Boolean CFStringHasPrefix(CFStringRef string, CFStringRef prefix) {
  return objc::Send<BOOL>(AsObject(string), "hasPrefix:", AsObject(prefix)) ? true : false;
}

CFMutableStringRef CFStringCreateMutableCopy(CFAllocatorRef, CFIndex, CFStringRef string) {
  id copy = objc::Send(objc_lookUpClass("NSMutableString"), "alloc");
  copy = objc::Send(copy, "initWithString:", AsObject(string));
  return reinterpret_cast<CFMutableStringRef>(copy);
}

void CFStringAppend(CFMutableStringRef string, CFStringRef appended) {
  objc::Send<void>(AsObject(string), "appendString:", AsObject(appended));
}

}  // extern "C"
