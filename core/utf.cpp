// Conversions between runtime strings (UTF-16) and UTF-8 or one-byte text, the
// heap and temporary-buffer copies built on them, and FormatString.
//
// Index: UTF-16 to bytes; bytes to UTF-16; copies; FormatString.
#include "core/utf.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/strings.h"
#include "core/temp_buffer.h"

namespace {

constexpr int64_t kFormatMaxUnits = 536870911;  // FormatString writes at most this many units

inline bool IsHighSurrogate(char16_t unit) {
  return (unit & 0xFC00) == 0xD800;
}
inline bool IsLowSurrogate(char16_t unit) {
  return (unit & 0xFC00) == 0xDC00;
}
inline bool IsContinuation(unsigned char byte) {
  return (byte & 0xC0) == 0x80;
}

// The number of units up to the first 0 unit among the first `count`.
int64_t UnitsBeforeZero(const char16_t* units, int64_t count) {
  int64_t length = 0;
  while (length < count && units[length]) length++;
  return length;
}

}  // namespace

// --- UTF-16 to bytes ---

int64_t Utf16ToMultiByte(int code_page, int /*flags*/, const char16_t* source,
                         int64_t source_length, char* destination, int64_t destination_size) {
  const char16_t empty[1] = {0};
  if (!source) source = empty;
  if (source_length == -1) source_length = StringLength(source) + 1;  // with the terminator
  if (source_length < 0) source_length = 0;
  if (destination_size < 0) destination_size = 0;
  const bool counting = destination == nullptr;
  int64_t written = 0;

  if (code_page == kCodePageOneByte) {
    for (int64_t i = 0; i < source_length; i++) {
      if (source[i] > 255) continue;  // dropped: neither written nor counted
      if (!counting) {
        if (written >= destination_size) break;
        destination[written] = static_cast<char>(source[i]);
      }
      written++;
    }
    return written;
  }
  if (code_page != kCodePageUtf8) return 0;

  for (int64_t i = 0; i < source_length; i++) {
    const char16_t unit = source[i];
    uint32_t code_point = unit;
    int bytes;
    if (unit < 0x80) {
      bytes = 1;
    } else if (unit < 0x800) {
      bytes = 2;
    } else if (!IsHighSurrogate(unit)) {
      bytes = 3;  // also a lone low surrogate
    } else {
      const bool last = i + 1 >= source_length;
      if (counting && (last || !IsLowSurrogate(source[i + 1]))) return written;
      if (last) return written;                      // writing: ends the output
      if (!IsLowSurrogate(source[i + 1])) return 0;  // writing: a broken pair fails
      code_point = 0x10000 + (((unit & 0x3FFu) << 10) | (source[i + 1] & 0x3FFu));
      bytes = 4;
      i++;
    }
    if (!counting) {
      // Characters are written whole or not at all.
      if (written + bytes > destination_size) return written;
      auto* out = reinterpret_cast<unsigned char*>(destination + written);
      switch (bytes) {
        case 1:
          out[0] = static_cast<unsigned char>(code_point);
          break;
        case 2:
          out[0] = static_cast<unsigned char>(0xC0 | (code_point >> 6));
          out[1] = static_cast<unsigned char>(0x80 | (code_point & 0x3F));
          break;
        case 3:
          out[0] = static_cast<unsigned char>(0xE0 | (code_point >> 12));
          out[1] = static_cast<unsigned char>(0x80 | ((code_point >> 6) & 0x3F));
          out[2] = static_cast<unsigned char>(0x80 | (code_point & 0x3F));
          break;
        default:
          out[0] = static_cast<unsigned char>(0xF0 | (code_point >> 18));
          out[1] = static_cast<unsigned char>(0x80 | ((code_point >> 12) & 0x3F));
          out[2] = static_cast<unsigned char>(0x80 | ((code_point >> 6) & 0x3F));
          out[3] = static_cast<unsigned char>(0x80 | (code_point & 0x3F));
          break;
      }
    }
    written += bytes;
  }
  return written;
}

// --- Bytes to UTF-16 ---

int64_t MultiByteToUtf16(int code_page, int /*flags*/, const char* source, int64_t source_length,
                         char16_t* destination, int64_t destination_size) {
  if (!source) source = "";
  if (source_length == -1) source_length = static_cast<int64_t>(std::strlen(source)) + 1;
  if (source_length < 0) source_length = 0;
  if (destination_size < 0) destination_size = 0;
  const bool counting = destination == nullptr;
  const auto* bytes = reinterpret_cast<const unsigned char*>(source);

  if (code_page == kCodePageOneByte) {
    if (counting) return source_length;
    const int64_t count = source_length < destination_size ? source_length : destination_size;
    for (int64_t i = 0; i < count; i++) destination[i] = bytes[i];
    return count;
  }
  if (code_page != kCodePageUtf8) return 0;

  int64_t written = 0;
  int64_t i = 0;
  while (i < source_length) {
    const unsigned char lead = bytes[i];
    uint32_t code_point;
    int64_t length;
    if (lead < 0x80) {
      code_point = lead;
      length = 1;
    } else if (lead >= 0xC0 && lead <= 0xDF) {
      code_point = lead & 0x1F;
      length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      code_point = lead & 0x0F;
      length = 3;
    } else if (lead >= 0xF0 && lead <= 0xF7) {
      code_point = lead & 0x07;
      length = 4;
    } else {
      return counting ? written : 0;  // a continuation byte or 0xF8.. cannot lead
    }
    if (source_length - i < length) break;  // a truncated sequence ends the text
    i++;
    for (int64_t k = 1; k < length; k++) {
      const unsigned char byte = bytes[i++];
      // A byte that does not continue the sequence ends it and is consumed with
      // it; the code point built so far is what the sequence gives.
      if (!IsContinuation(byte)) break;
      code_point = (code_point << 6) | (byte & 0x3F);
    }
    if ((code_point >> 16) > 16) break;  // beyond U+10FFFF
    if (code_point >= 0x10000) {
      if (!counting) {
        if (written + 2 > destination_size) break;
        destination[written] = static_cast<char16_t>(0xD800 | ((code_point - 0x10000) >> 10));
        destination[written + 1] = static_cast<char16_t>(0xDC00 | (code_point & 0x3FF));
      }
      written += 2;
    } else {
      if (!counting) {
        if (written >= destination_size) break;
        destination[written] = static_cast<char16_t>(code_point);
      }
      written++;
    }
  }
  return written;
}

// --- Copies ---

char* ToUtf8(const char16_t* string) {
  const int64_t count = Utf16ToMultiByte(kCodePageUtf8, 0, string, -1, nullptr, 0);
  auto* text = static_cast<char*>(std::malloc(static_cast<size_t>(count + 1)));
  if (!text) return nullptr;
  // A broken surrogate pair makes the conversion give 0: an empty text.
  const int64_t written = Utf16ToMultiByte(kCodePageUtf8, 0, string, -1, text, count);
  text[written] = 0;
  return text;
}

void FreeUtf8(char* text) {
  std::free(text);
}

void Utf8ToTemp(const char* text, int64_t offset) {
  // Counted units include the terminator when the text converts to its end;
  // room for all of them plus a terminator keeps every outcome in bounds.
  const int64_t count = MultiByteToUtf16(kCodePageUtf8, 0, text, -1, nullptr, 0);
  char16_t* destination = ReserveTemp(count, offset);
  const int64_t written = MultiByteToUtf16(kCodePageUtf8, 0, text, -1, destination, count);
  TruncateTemp(offset + 2 * UnitsBeforeZero(destination, written));
}

char16_t* Utf8ToUtf16Copy(const char* text) {
  const int64_t count = MultiByteToUtf16(kCodePageUtf8, 0, text, -1, nullptr, 0);
  auto* copy = static_cast<char16_t*>(std::malloc(static_cast<size_t>(count + 1) * 2));
  if (!copy) return nullptr;
  const int64_t written = MultiByteToUtf16(kCodePageUtf8, 0, text, -1, copy, count);
  copy[UnitsBeforeZero(copy, written)] = 0;
  return copy;
}

int64_t Utf8OffsetOfChar(const char* text, int64_t count) {
  if (!text) return 0;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  int64_t offset = 0;
  for (int64_t passed = 0; passed < count && bytes[offset];) {
    const unsigned char lead = bytes[offset];
    int64_t continuations;
    if (lead < 0x80) {
      offset++;
      passed++;
      continue;
    } else if ((lead & 0xE0) == 0xC0) {
      continuations = 1;
    } else if ((lead & 0xF0) == 0xE0) {
      continuations = 2;
    } else if ((lead & 0xF8) == 0xF0) {
      continuations = 3;
    } else {
      offset++;  // an invalid lead byte is skipped without counting
      continue;
    }
    int64_t valid = 0;  // continuation bytes in order; stops at a 0 byte too
    while (valid < continuations && IsContinuation(bytes[offset + 1 + valid])) valid++;
    if (valid == continuations) {
      offset += 1 + continuations;
      passed++;
    } else {
      // A broken sequence advances past the lead and at most one good
      // continuation byte, never past the byte that broke it, and is not counted.
      offset += valid > 0 ? 2 : 1;
    }
  }
  return offset;
}

// --- FormatString ---

int64_t FormatString(char16_t* destination, const char16_t* format, ...) {
  char* utf8_format = ToUtf8(format);
  if (!utf8_format) {
    if (destination) destination[0] = 0;
    return 0;
  }
  va_list arguments;
  va_start(arguments, format);
  va_list again;
  va_copy(again, arguments);
  const int length = std::vsnprintf(nullptr, 0, utf8_format, arguments);
  va_end(arguments);
  int64_t result = length < 0 ? 0 : length;
  if (destination) {
    char* text =
        length >= 0 ? static_cast<char*>(std::malloc(static_cast<size_t>(length) + 1)) : nullptr;
    result = 0;
    if (text) {
      std::vsnprintf(text, static_cast<size_t>(length) + 1, utf8_format, again);
      const int64_t written = MultiByteToUtf16(kCodePageUtf8, 0, text, length + int64_t{1},
                                               destination, kFormatMaxUnits);
      result = UnitsBeforeZero(destination, written);
      std::free(text);
    }
    destination[result] = 0;
  }
  va_end(again);
  FreeUtf8(utf8_format);
  return result;
}
