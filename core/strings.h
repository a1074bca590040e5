// Runtime strings: NUL-terminated UTF-16 code units; a null pointer reads as the
// empty string everywhere. Elementary operations and the conversions to and
// from UTF-8 and one-byte text.
#pragma once

#include <cstdint>

enum : int {
  kCodePageOneByte = 0,  // one byte per character (units above 255 are dropped)
  kCodePageUtf8 = 65001,
};

// --- Conversions ---

int64_t Utf16ToMultiByte(int code_page, int flags, const char16_t* source, int64_t source_length,
                         char* destination, int64_t destination_size);
int64_t MultiByteToUtf16(int code_page, int flags, const char* source, int64_t source_length,
                         char16_t* destination, int64_t destination_size);
char* ToUtf8(const char16_t* string);  // malloc'd, never null unless memory runs out
void FreeUtf8(char* text);
void Utf8ToTemp(const char* text, int64_t offset);  // result protocol
char16_t* Utf8ToUtf16Copy(const char* text);        // malloc'd
int64_t Utf8OffsetOfChar(const char* text, int64_t count);
// Formats with vsnprintf (format converted to UTF-8 first) into destination as
// UTF-16; with a null destination returns the formatted length in bytes.
int64_t FormatString(char16_t* destination, const char16_t* format, ...);

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
