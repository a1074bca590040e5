// The string functions the application calls (length, left, middle, find,
// insert, remove, replace, number to text and back, text from memory) and the
// process locale. Results follow the result protocol of core/temp_buffer.h.
//
// Index: helpers; locale and length; left and middle; find; insert; replace;
// remove; numbers; text from memory.
#include "core/text.h"

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <cwctype>

#include "core/strings.h"
#include "core/temp_buffer.h"
#include "core/utf.h"

// --- Helpers ---

namespace {

const char16_t kEmpty[1] = {0};  // what a null string reads as

// An argument that lies in the temporary buffer is copied to the heap before a
// result is reserved, because reserving may move the buffer and the result may
// overwrite the argument. Other arguments are used where they are. A copy that
// cannot be made reads as the empty string (these functions never fail).
class StableText {
 public:
  explicit StableText(const char16_t* text) {
    if (!text) {
      text_ = kEmpty;
    } else if (TempOffsetOf(text)) {
      owned_ = DuplicateString(text);
      text_ = owned_ ? owned_ : kEmpty;
    } else {
      text_ = text;
    }
    length_ = StringLength(text_);
  }
  ~StableText() { std::free(owned_); }
  StableText(const StableText&) = delete;
  StableText& operator=(const StableText&) = delete;

  const char16_t* text() const { return text_; }
  int64_t length() const { return length_; }

 private:
  const char16_t* text_;       // the argument or its private copy
  char16_t* owned_ = nullptr;  // the private copy, if one was made
  int64_t length_;             // units before the terminator
};

// Ends a result that starts at `offset` and holds `units` units.
inline void EndResult(int64_t offset, int64_t units) {
  TruncateTemp(offset + 2 * units);
}

inline int64_t Clamp(int64_t value, int64_t low, int64_t high) {
  return value < low ? low : (value > high ? high : value);
}

inline bool MatchesAt(const char16_t* text, const char16_t* part, int64_t part_length,
                      bool no_case) {
  return no_case ? CompareStringsNoCaseN(text, part, part_length) == 0
                 : text[0] == part[0] && CompareStringsN(text, part, part_length) == 0;
}

}  // namespace

// --- Locale and length ---

void InitLocale() {
  std::setlocale(LC_ALL, "");
  std::setlocale(LC_NUMERIC, "C");  // numbers are always written with a point
}

int64_t TextLength(const char16_t* string) {
  return StringLength(string);
}

// --- Left and middle ---

void TextLeft(const char16_t* string, int64_t count, int64_t offset) {
  const int64_t units = Clamp(count, 0, StringLength(string));
  const int64_t source = TempOffsetOf(string);
  char16_t* destination = ReserveTemp(units, offset);
  if (source) string = TempPointerAt(source);
  if (units) std::memmove(destination, string, static_cast<size_t>(units) * 2);
  EndResult(offset, units);
}

void TextMiddle(const char16_t* string, int64_t start, int64_t count, int64_t offset) {
  // Only as many units as the string holds are reserved, so that a huge count
  // cannot make the buffer grow needlessly.
  const int64_t length = StringLength(string);
  const int64_t source = TempOffsetOf(string);
  char16_t* destination = ReserveTemp(Clamp(count, 0, length), offset);
  if (source) string = TempPointerAt(source);
  const int64_t skip = start >= 2 ? start - 1 : 0;
  int64_t units = 0;
  if (string && skip < length && count > 0) units = count < length - skip ? count : length - skip;
  if (units) std::memmove(destination, string + skip, static_cast<size_t>(units) * 2);
  EndResult(offset, units);
}

// Clamped before the arithmetic, so that no start (not even the most negative) overflows:
// a start below 1 counts from the first unit, as in the three-argument form.
void TextMiddle(const char16_t* string, int64_t start, int64_t offset) {
  const int64_t first = start < 1 ? 1 : start;
  TextMiddle(string, first, StringLength(string) - first + 1, offset);
}

// --- Find ---

int64_t TextFind(const char16_t* string, const char16_t* part, int64_t start, int mode) {
  if (!string || !*string || !part || !*part) return 0;
  const int64_t length = StringLength(string);
  const int64_t begin = start >= 2 ? (start - 1 < length ? start - 1 : length) : 0;
  if (!(mode & kTextNoCase)) {
    const char16_t* match = FindSubstring(string + begin, part);
    return match ? match - string + 1 : 0;
  }
  const int64_t part_length = StringLength(part);
  const wint_t first = std::towlower(part[0]);
  for (int64_t index = begin; index + part_length <= length; index++) {
    if (std::towlower(string[index]) == first &&
        CompareStringsNoCaseN(string + index + 1, part + 1, part_length - 1) == 0) {
      return index + 1;
    }
  }
  return 0;
}

// --- Insert ---

void TextInsert(const char16_t* string, const char16_t* insertion, int64_t position,
                int64_t offset) {
  StableText text(string);
  StableText inserted(insertion);
  char16_t* destination = ReserveTemp(text.length() + inserted.length(), offset);
  const int64_t before = position < 1 ? 0 : Clamp(position - 1, 0, text.length());
  const size_t unit = sizeof(char16_t);
  std::memcpy(destination, text.text(), static_cast<size_t>(before) * unit);
  std::memcpy(destination + before, inserted.text(), static_cast<size_t>(inserted.length()) * unit);
  std::memcpy(destination + before + inserted.length(), text.text() + before,
              static_cast<size_t>(text.length() - before) * unit);
  EndResult(offset, text.length() + inserted.length());
}

// --- Replace ---

void TextReplace(const char16_t* string, const char16_t* search, const char16_t* replacement,
                 int64_t offset) {
  // Without kTextInPlace the string is only read.
  TextReplace(const_cast<char16_t*>(string), search, replacement, 0, 1, -1, offset);
}

namespace {

// Replaces inside the string's own memory; the caller guarantees room for growth.
void ReplaceInPlace(char16_t* string, const char16_t* search, const char16_t* replacement,
                    bool no_case, int64_t begin, int64_t count) {
  StableText found(search);
  StableText put(replacement);
  int64_t length = StringLength(string);
  if (count == 0 || found.length() == 0 || begin >= length) return;
  int64_t done = 0;
  for (int64_t index = begin; index + found.length() <= length;) {
    if (!MatchesAt(string + index, found.text(), found.length(), no_case)) {
      index++;
      continue;
    }
    // Move the tail (with its terminator) to fit the replacement, then copy it in.
    std::memmove(string + index + put.length(), string + index + found.length(),
                 static_cast<size_t>(length - index - found.length() + 1) * 2);
    std::memcpy(string + index, put.text(), static_cast<size_t>(put.length()) * 2);
    length += put.length() - found.length();
    index += put.length();
    if (++done == count) break;
  }
}

}  // namespace

void TextReplace(char16_t* string, const char16_t* search, const char16_t* replacement, int mode,
                 int64_t start, int64_t count, int64_t offset) {
  const bool no_case = mode & kTextNoCase;
  const int64_t begin = start >= 2 ? start - 1 : 0;
  if (mode & kTextInPlace) {
    if (string) ReplaceInPlace(string, search, replacement, no_case, begin, count);
    return;
  }
  StableText text(string);
  StableText found(search);
  StableText put(replacement);
  const int64_t length = text.length();
  const char16_t* units = text.text();

  // Count the matches from left to right without overlap (count -1: no limit).
  int64_t matches = 0;
  if (found.length() > 0) {
    for (int64_t index = begin; index + found.length() <= length && matches != count;) {
      if (MatchesAt(units + index, found.text(), found.length(), no_case)) {
        matches++;
        index += found.length();
      } else {
        index++;
      }
    }
  }
  const int64_t result_length = length + matches * (put.length() - found.length());
  char16_t* destination = ReserveTemp(result_length, offset);
  int64_t written = 0;
  int64_t index = 0;
  for (int64_t done = 0; index < length;) {
    if (done < matches && index >= begin && index + found.length() <= length &&
        MatchesAt(units + index, found.text(), found.length(), no_case)) {
      std::memcpy(destination + written, put.text(), static_cast<size_t>(put.length()) * 2);
      written += put.length();
      index += found.length();
      done++;
    } else {
      destination[written++] = units[index++];
    }
  }
  EndResult(offset, written);
}

// --- Remove ---

void TextRemove(const char16_t* string, const char16_t* part, int64_t offset) {
  TextRemove(string, part, 0, 1, -1, offset);
}

void TextRemove(const char16_t* string, const char16_t* part, int mode, int64_t start,
                int64_t count, int64_t offset) {
  StableText text(string);
  StableText removed(part);
  const int64_t length = text.length();
  const char16_t* units = text.text();
  char16_t* destination = ReserveTemp(length, offset);
  const bool no_case = mode & kTextNoCase;
  int64_t written = 0;
  int64_t index = start >= 2 ? Clamp(start - 1, 0, length) : 0;
  std::memcpy(destination, units, static_cast<size_t>(index) * 2);
  written = index;
  int64_t done = 0;
  while (index < length) {
    if (removed.length() > 0 && done != count && index + removed.length() <= length &&
        MatchesAt(units + index, removed.text(), removed.length(), no_case)) {
      index += removed.length();
      done++;
    } else {
      destination[written++] = units[index++];
    }
  }
  EndResult(offset, written);
}

// --- Numbers ---

void NumberToText(int64_t number, int64_t offset) {
  char16_t* destination = ReserveTemp(64, offset);
  // The magnitude as unsigned, so the most negative value prints correctly.
  uint64_t magnitude = static_cast<uint64_t>(number);
  if (number < 0) magnitude = ~magnitude + 1;
  char16_t digits[24];
  int count = 0;
  do {
    digits[count++] = static_cast<char16_t>(u'0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude);
  int64_t written = 0;
  if (number < 0) destination[written++] = u'-';
  while (count) destination[written++] = digits[--count];
  EndResult(offset, written);
}

int64_t TextToNumber(const char16_t* string) {
  if (!string) return 0;
  while (*string == 9 || *string == 32) string++;
  bool negative = false;
  if (*string == u'+' || *string == u'-') negative = *string++ == u'-';
  unsigned base = 10;
  if (*string == u'%') {
    base = 2;
    string++;
  } else if (*string == u'$') {
    base = 16;
    string++;
  }
  uint64_t value = 0;  // unsigned, so that overflow wraps without undefined behaviour
  for (;; string++) {
    unsigned digit;
    const char16_t unit = *string;
    if (unit >= u'0' && unit <= u'9') {
      digit = unit - u'0';
    } else if (unit >= u'a' && unit <= u'f') {
      digit = unit - u'a' + 10;
    } else if (unit >= u'A' && unit <= u'F') {
      digit = unit - u'A' + 10;
    } else {
      break;
    }
    if (digit >= base) break;
    value = value * base + digit;
  }
  return static_cast<int64_t>(negative ? ~value + 1 : value);
}

// --- Text from memory ---

void TextFromMemory(const void* address, int64_t length, int format, int64_t offset) {
  if (length < -1) length = 0;
  if (!address) {
    ReserveTemp(0, offset);
    EndResult(offset, 0);
    return;
  }
  if ((format & 31) == kTextFormatUtf16) {
    const auto* units = static_cast<const char16_t*>(address);
    int64_t count = 0;  // units up to the first 0 unit, at most `length`
    while ((length == -1 || count < length) && units[count]) count++;
    const int64_t source = TempOffsetOf(address);
    char16_t* destination = ReserveTemp(count, offset);
    if (source) units = TempPointerAt(source);
    if (count) std::memmove(destination, units, static_cast<size_t>(count) * 2);
    EndResult(offset, count);
    return;
  }

  const auto* bytes = static_cast<const char*>(address);
  const bool utf8 = (format & 31) == kTextFormatUtf8;
  int64_t byte_count;
  if (length == -1) {
    byte_count = static_cast<int64_t>(std::strlen(bytes));
  } else if (utf8 && !(format & kTextFormatCountBytes)) {
    byte_count = Utf8OffsetOfChar(bytes, length);  // the length counts characters
  } else {
    const void* zero = std::memchr(bytes, 0, static_cast<size_t>(length));
    byte_count = zero ? static_cast<const char*>(zero) - bytes : length;
  }
  // Bytes that lie in the temporary buffer are copied before it may move.
  char* owned = nullptr;
  if (TempOffsetOf(bytes)) {
    owned = static_cast<char*>(std::malloc(static_cast<size_t>(byte_count) + 1));
    if (owned) std::memcpy(owned, bytes, static_cast<size_t>(byte_count));
    bytes = owned;
    if (!owned) byte_count = 0;
  }
  const int code_page = utf8 ? kCodePageUtf8 : kCodePageOneByte;
  const int64_t units = MultiByteToUtf16(code_page, 0, bytes, byte_count, nullptr, 0);
  char16_t* destination = ReserveTemp(units, offset);
  int64_t written = MultiByteToUtf16(code_page, 0, bytes, byte_count, destination, units);
  // A malformed sequence can decode to a 0 unit ("\xC0\x80", or a lead 0xC0 cut short by a
  // byte that does not continue it): the text ends there, so its length and end agree.
  for (int64_t i = 0; i < written; i++) {
    if (!destination[i]) written = i;
  }
  EndResult(offset, written);
  std::free(owned);
}
