// Conversions between runtime strings (NUL-terminated UTF-16; a null pointer reads as the
// empty string) and UTF-8 or one-byte text, the heap and temporary-buffer copies built on
// them, and FormatString. Every allocating call answers 0 when memory runs out.
#pragma once

#include <cstdint>

enum : int {
  kCodePageOneByte = 0,  // one byte per character (units above 255 are dropped)
  kCodePageUtf8 = 65001,
};

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
