// Runtime strings: NUL-terminated UTF-16 code units; a null pointer reads as the
// empty string everywhere. Elementary operations; the conversions to and from
// UTF-8 and one-byte text are in core/utf.h.
#pragma once

#include <cstdint>

// --- Elementary operations ---

int64_t StringLength(const char16_t* string);
void CopyString(char16_t* destination, const char16_t* source);
char16_t* DuplicateString(const char16_t* string);  // malloc'd
void CopyStringN(char16_t* destination, const char16_t* source, int64_t count);
int CompareStrings(const char16_t* a, const char16_t* b);  // units as signed 16-bit
int CompareStringsN(const char16_t* a, const char16_t* b, int64_t count);
int CompareStringsNoCase(const char16_t* a, const char16_t* b);
int CompareStringsNoCaseN(const char16_t* a, const char16_t* b, int64_t count);
int StringsEqual(const char16_t* a, const char16_t* b);
const char16_t* FindSubstring(const char16_t* haystack, const char16_t* needle);
