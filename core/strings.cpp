// Elementary operations on runtime strings (0-terminated UTF-16; a null pointer
// reads as the empty string): length, copies and comparisons, substring search.
#include "core/strings.h"

#include <cstdlib>
#include <cstring>
#include <cwctype>

namespace {

const char16_t kEmpty[1] = {0};  // what a null string reads as

inline const char16_t* OrEmpty(const char16_t* string) {
  return string ? string : kEmpty;
}

// Units compare as signed 16-bit values, so 0x8000 and above sort before 'A'.
inline int Signed(char16_t unit) {
  return static_cast<int16_t>(unit);
}
inline int SignedLower(char16_t unit) {
  return static_cast<int16_t>(static_cast<char16_t>(std::towlower(unit)));
}

}  // namespace

int64_t StringLength(const char16_t* string) {
  if (!string) return 0;
  // Four units a round: every operand of a string expression is measured, and the unrolled
  // loop halves the time on short texts (reading stops at the terminator).
  const char16_t* end = string;
  for (;;) {
    if (!end[0]) return end - string;
    if (!end[1]) return end + 1 - string;
    if (!end[2]) return end + 2 - string;
    if (!end[3]) return end + 3 - string;
    end += 4;
  }
}

void CopyString(char16_t* destination, const char16_t* source) {
  if (!destination) return;
  source = OrEmpty(source);
  std::memmove(destination, source, static_cast<size_t>(StringLength(source) + 1) * 2);
}

char16_t* DuplicateString(const char16_t* string) {
  string = OrEmpty(string);
  const size_t bytes = static_cast<size_t>(StringLength(string) + 1) * 2;
  auto* copy = static_cast<char16_t*>(std::malloc(bytes));
  if (copy) std::memcpy(copy, string, bytes);
  return copy;
}

void CopyStringN(char16_t* destination, const char16_t* source, int64_t count) {
  if (!destination) return;
  source = OrEmpty(source);
  int64_t index = 0;
  for (; index < count && source[index]; index++) destination[index] = source[index];
  for (; index < count; index++) destination[index] = 0;
}

int CompareStrings(const char16_t* a, const char16_t* b) {
  a = OrEmpty(a);
  b = OrEmpty(b);
  for (;; a++, b++) {
    if (*a != *b) return Signed(*a) - Signed(*b);
    if (!*a) return 0;
  }
}

int CompareStringsN(const char16_t* a, const char16_t* b, int64_t count) {
  a = OrEmpty(a);
  b = OrEmpty(b);
  for (int64_t index = 0; index < count; index++) {
    if (a[index] != b[index]) return Signed(a[index]) - Signed(b[index]);
    if (!a[index]) return 0;
  }
  return 0;
}

int CompareStringsNoCase(const char16_t* a, const char16_t* b) {
  a = OrEmpty(a);
  b = OrEmpty(b);
  for (;; a++, b++) {
    const int difference = SignedLower(*a) - SignedLower(*b);
    if (difference) return difference;
    if (!*a) return 0;
  }
}

int CompareStringsNoCaseN(const char16_t* a, const char16_t* b, int64_t count) {
  a = OrEmpty(a);
  b = OrEmpty(b);
  for (int64_t index = 0; index < count; index++) {
    const int difference = SignedLower(a[index]) - SignedLower(b[index]);
    if (difference) return difference;
    if (!a[index]) return 0;
  }
  return 0;
}

int StringsEqual(const char16_t* a, const char16_t* b) {
  return CompareStrings(a, b) == 0;
}

const char16_t* FindSubstring(const char16_t* haystack, const char16_t* needle) {
  const char16_t* text = OrEmpty(haystack);
  needle = OrEmpty(needle);
  if (!*needle) return haystack;  // an empty needle is found at the start
  const int64_t text_length = StringLength(text);
  const int64_t needle_length = StringLength(needle);
  for (int64_t index = 0; index + needle_length <= text_length; index++) {
    if (text[index] == needle[0] && std::memcmp(text + index + 1, needle + 1,
                                                static_cast<size_t>(needle_length - 1) * 2) == 0) {
      return text + index;
    }
  }
  return nullptr;
}
