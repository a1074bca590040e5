// Byte encodings of text: strict decoders and encoders with a loss byte.
#include "platform/foundation/text_encoding.h"

#include <cstring>

#include "platform/foundation/unicode.h"

namespace foundation {

namespace {

// The upper half (0x80-0xFF) of Mac OS Roman.
constexpr char16_t kMacRoman[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, 0x00E0, 0x00E2, 0x00E4, 0x00E3,
    0x00E5, 0x00E7, 0x00E9, 0x00E8, 0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3,
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, 0x2020, 0x00B0, 0x00A2, 0x00A3,
    0x00A7, 0x2022, 0x00B6, 0x00DF, 0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8,
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211, 0x220F, 0x03C0, 0x222B, 0x00AA,
    0x00BA, 0x03A9, 0x00E6, 0x00F8, 0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB,
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153, 0x2013, 0x2014, 0x201C, 0x201D,
    0x2018, 0x2019, 0x00F7, 0x25CA, 0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02,
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1, 0x00CB, 0x00C8, 0x00CD, 0x00CE,
    0x00CF, 0x00CC, 0x00D3, 0x00D4, 0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC,
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7};

bool DecodeUtf8(const uint8_t* p, size_t size, std::u16string* out) {
  std::u16string result;
  result.reserve(size);
  size_t i = 0;
  while (i < size) {
    uint8_t b = p[i];
    char32_t c;
    size_t extra;
    char32_t minimum;
    if (b < 0x80) {
      result.push_back(b);
      ++i;
      continue;
    } else if ((b & 0xE0) == 0xC0) {
      c = b & 0x1F, extra = 1, minimum = 0x80;
    } else if ((b & 0xF0) == 0xE0) {
      c = b & 0x0F, extra = 2, minimum = 0x800;
    } else if ((b & 0xF8) == 0xF0) {
      c = b & 0x07, extra = 3, minimum = 0x10000;
    } else {
      return false;
    }
    if (i + extra >= size) return false;  // the sequence runs past the end
    for (size_t k = 1; k <= extra; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return false;
      c = (c << 6) | (p[i + k] & 0x3F);
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    if (c < minimum || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    unicode::AppendUtf16(&result, c);
    i += extra + 1;
  }
  *out = std::move(result);
  return true;
}

// The one-byte code of unit in a single-byte encoding, or -1.
int SingleByte(char16_t unit, TextEncoding encoding) {
  if (unit < 0x80) return unit;
  if (encoding == TextEncoding::Latin1) return unit <= 0xFF ? unit : -1;
  if (encoding == TextEncoding::MacRoman) {
    for (int i = 0; i < 128; ++i) {
      if (kMacRoman[i] == unit) return 0x80 + i;
    }
  }
  return -1;
}

}  // namespace

TextEncoding EncodingFromNS(unsigned long ns_encoding) {
  switch (ns_encoding) {
    case 1:
      return TextEncoding::Ascii;
    case 4:
      return TextEncoding::Utf8;
    case 5:
      return TextEncoding::Latin1;
    case 10:
      return TextEncoding::Utf16;
    case 30:
      return TextEncoding::MacRoman;
    default:
      return TextEncoding::Unknown;
  }
}

TextEncoding EncodingFromCF(uint32_t cf_encoding) {
  switch (cf_encoding) {
    case 0:
      return TextEncoding::MacRoman;
    case 0x0201:
      return TextEncoding::Latin1;
    case 0x0600:
      return TextEncoding::Ascii;
    case 0x0100:
      return TextEncoding::Utf16;
    case 0x08000100:
      return TextEncoding::Utf8;
    default:
      return TextEncoding::Unknown;
  }
}

bool DecodeText(const uint8_t* bytes, size_t size, TextEncoding encoding, std::u16string* out) {
  if (!bytes && size) return false;
  switch (encoding) {
    case TextEncoding::Utf8:
      return DecodeUtf8(bytes, size, out);
    case TextEncoding::Utf16: {
      if (size % 2) return false;
      std::u16string units(size / 2, u'\0');
      if (size) std::memcpy(units.data(), bytes, size);
      *out = std::move(units);
      return true;
    }
    case TextEncoding::Ascii:
    case TextEncoding::Latin1:
    case TextEncoding::MacRoman: {
      std::u16string units;
      units.reserve(size);
      for (size_t i = 0; i < size; ++i) {
        uint8_t b = bytes[i];
        if (b < 0x80 || encoding == TextEncoding::Latin1) {
          units.push_back(b);
        } else if (encoding == TextEncoding::MacRoman) {
          units.push_back(kMacRoman[b - 0x80]);
        } else {
          return false;
        }
      }
      *out = std::move(units);
      return true;
    }
    case TextEncoding::Unknown:
      break;
  }
  return false;
}

size_t EncodeText(std::u16string_view units, TextEncoding encoding, uint8_t loss_byte,
                  std::string* out) {
  size_t i = 0;
  switch (encoding) {
    case TextEncoding::Utf16:
      out->append(reinterpret_cast<const char*>(units.data()), units.size() * 2);
      return units.size();
    case TextEncoding::Utf8:
      while (i < units.size()) {
        char32_t c = units[i];
        size_t used = 1;
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
          c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
          used = 2;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
          c = 0xFFFD;  // a lone surrogate
        }
        unicode::AppendUtf8(out, c);
        i += used;
      }
      return i;
    case TextEncoding::Ascii:
    case TextEncoding::Latin1:
    case TextEncoding::MacRoman:
      for (; i < units.size(); ++i) {
        int code = SingleByte(units[i], encoding);
        if (code < 0) {
          if (!loss_byte) return i;
          code = loss_byte;
          // A surrogate pair is one character: one loss byte for both units.
          if (units[i] >= 0xD800 && units[i] <= 0xDBFF && i + 1 < units.size() &&
              units[i + 1] >= 0xDC00 && units[i + 1] <= 0xDFFF) {
            ++i;
          }
        }
        out->push_back(static_cast<char>(code));
      }
      return i;
    case TextEncoding::Unknown:
      break;
  }
  return 0;
}

}  // namespace foundation
