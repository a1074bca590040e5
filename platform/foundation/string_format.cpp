// The formatter behind +stringWithFormat:: printf conversions over UTF-16 text, plus %@ (an
// object's description), %S (a NUL-terminated string of 16-bit units) and %C (one unit).
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/foundation/string.h"
#include "platform/foundation/text_encoding.h"

namespace foundation {

namespace {

enum class Length { Default, Char, Short, Long, LongLong, Size };

void AppendAscii(const char* text, std::u16string* out) {
  for (; *text; ++text) out->push_back(static_cast<unsigned char>(*text));
}

// Pads text to width (spaces on the left, or on the right with the '-' flag).
void AppendPadded(const std::u16string& text, int width, bool left, std::u16string* out) {
  size_t pad = width > 0 && static_cast<size_t>(width) > text.size() ? width - text.size() : 0;
  if (!left) out->append(pad, u' ');
  out->append(text);
  if (left) out->append(pad, u' ');
}

}  // namespace

std::u16string FormatString(const std::u16string& format, va_list list) {
  va_list args;
  va_copy(args, list);
  std::u16string out;
  size_t i = 0;
  const size_t n = format.size();
  while (i < n) {
    char16_t c = format[i++];
    if (c != u'%') {
      out.push_back(c);
      continue;
    }
    // The conversion after '%' (flags, width, precision, length), rebuilt as ASCII for snprintf.
    std::string spec = "%";
    bool left = false;
    while (i < n && std::strchr("-+ 0#", static_cast<char>(format[i])) && format[i] < 0x80) {
      if (format[i] == u'-') left = true;
      spec.push_back(static_cast<char>(format[i++]));
    }
    int width = 0;
    if (i < n && format[i] == u'*') {
      width = va_arg(args, int);
      if (width < 0) {
        left = true;
        width = -width;
      }
      spec += std::to_string(width);
      ++i;
    } else {
      while (i < n && format[i] >= u'0' && format[i] <= u'9') {
        width = width * 10 + (format[i] - u'0');
        spec.push_back(static_cast<char>(format[i++]));
      }
    }
    int precision = -1;
    if (i < n && format[i] == u'.') {
      spec.push_back('.');
      ++i;
      precision = 0;
      if (i < n && format[i] == u'*') {
        precision = va_arg(args, int);
        spec += std::to_string(precision < 0 ? 0 : precision);
        ++i;
      } else {
        while (i < n && format[i] >= u'0' && format[i] <= u'9') {
          precision = precision * 10 + (format[i] - u'0');
          spec.push_back(static_cast<char>(format[i++]));
        }
      }
    }
    Length length = Length::Default;
    while (i < n) {
      if (format[i] == u'h') {
        length = length == Length::Short ? Length::Char : Length::Short;
      } else if (format[i] == u'l') {
        length = length == Length::Long ? Length::LongLong : Length::Long;
      } else if (format[i] == u'q' || format[i] == u'L' || format[i] == u'j') {
        length = Length::LongLong;
      } else if (format[i] == u'z' || format[i] == u't') {
        length = Length::Size;
      } else {
        break;
      }
      ++i;
    }
    if (i >= n) break;  // a lone '%' at the end prints nothing
    char16_t conversion = format[i++];
    char buffer[512];
    switch (conversion) {
      case u'%':
        out.push_back(u'%');
        break;
      case u'@': {
        id obj = va_arg(args, id);
        AppendPadded(DescriptionOf(obj), width, left, &out);
        break;
      }
      case u'S': {
        const char16_t* units = va_arg(args, const char16_t*);
        std::u16string text;
        if (!units) {
          text = u"(null)";
        } else {
          for (size_t k = 0; units[k] && (precision < 0 || k < static_cast<size_t>(precision));
               ++k) {
            text.push_back(units[k]);
          }
        }
        AppendPadded(text, width, left, &out);
        break;
      }
      case u'C':
        AppendPadded(std::u16string(1, static_cast<char16_t>(va_arg(args, int))), width, left,
                     &out);
        break;
      case u'c':
        AppendPadded(std::u16string(1, static_cast<unsigned char>(va_arg(args, int))), width, left,
                     &out);
        break;
      case u's': {
        const char* text = va_arg(args, const char*);
        std::u16string units;
        if (!text) {
          units = u"(null)";
        } else {
          size_t size = std::strlen(text);
          if (precision >= 0 && static_cast<size_t>(precision) < size) size = precision;
          if (!DecodeText(reinterpret_cast<const uint8_t*>(text), size, TextEncoding::Utf8,
                          &units)) {
            DecodeText(reinterpret_cast<const uint8_t*>(text), size, TextEncoding::Latin1, &units);
          }
        }
        AppendPadded(units, width, left, &out);
        break;
      }
      case u'd':
      case u'i':
        spec += "lld";
        {
          long long value;
          if (length == Length::Long || length == Length::LongLong || length == Length::Size) {
            value = va_arg(args, long long);
          } else {
            value = va_arg(args, int);
            if (length == Length::Short) value = static_cast<short>(value);
            if (length == Length::Char) value = static_cast<signed char>(value);
          }
          std::snprintf(buffer, sizeof(buffer), spec.c_str(), value);
          AppendAscii(buffer, &out);
        }
        break;
      case u'u':
      case u'x':
      case u'X':
      case u'o':
        spec += "ll";
        spec.push_back(static_cast<char>(conversion));
        {
          unsigned long long value;
          if (length == Length::Long || length == Length::LongLong || length == Length::Size) {
            value = va_arg(args, unsigned long long);
          } else {
            value = va_arg(args, unsigned int);
            if (length == Length::Short) value = static_cast<unsigned short>(value);
            if (length == Length::Char) value = static_cast<unsigned char>(value);
          }
          std::snprintf(buffer, sizeof(buffer), spec.c_str(), value);
          AppendAscii(buffer, &out);
        }
        break;
      case u'f':
      case u'F':
      case u'e':
      case u'E':
      case u'g':
      case u'G':
      case u'a':
      case u'A':
        spec.push_back(static_cast<char>(conversion));
        std::snprintf(buffer, sizeof(buffer), spec.c_str(), va_arg(args, double));
        AppendAscii(buffer, &out);
        break;
      case u'p':
        std::snprintf(buffer, sizeof(buffer), "%p", va_arg(args, void*));
        AppendAscii(buffer, &out);
        break;
      default:
        // An unknown conversion is copied as it stands and takes no argument.
        out.push_back(u'%');
        out.push_back(conversion);
        break;
    }
  }
  va_end(args);
  return out;
}

}  // namespace foundation
