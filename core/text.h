// The string functions the application calls. Positions are 1-based counts of
// UTF-16 units; every function that yields a string writes it into the
// temporary buffer at the offset passed last (the result protocol).
#pragma once

#include <cstdint>

enum : int {
  kTextNoCase = 1,   // compare without case
  kTextInPlace = 2,  // TextReplace: replace inside the given string itself
};

enum : int {
  kTextFormatOneByte = 0,
  kTextFormatUtf8 = 2,
  kTextFormatUtf16 = 25,
  kTextFormatCountBytes = 64,  // with kTextFormatUtf8: the length counts bytes, not characters
};

// In the full forms of TextRemove and TextReplace a negative count means no
// limit; 0 removes or replaces nothing.

void InitLocale();

int64_t TextLength(const char16_t* string);
void TextLeft(const char16_t* string, int64_t count, int64_t offset);
void TextMiddle(const char16_t* string, int64_t start, int64_t count, int64_t offset);
void TextMiddle(const char16_t* string, int64_t start, int64_t offset);
int64_t TextFind(const char16_t* string, const char16_t* part, int64_t start = 1, int mode = 0);
void TextInsert(const char16_t* string, const char16_t* insertion, int64_t position,
                int64_t offset);
void TextRemove(const char16_t* string, const char16_t* part, int64_t offset);
void TextRemove(const char16_t* string, const char16_t* part, int mode, int64_t start,
                int64_t count, int64_t offset);
void TextReplace(const char16_t* string, const char16_t* search, const char16_t* replacement,
                 int64_t offset);
void TextReplace(char16_t* string, const char16_t* search, const char16_t* replacement, int mode,
                 int64_t start, int64_t count, int64_t offset);
void NumberToText(int64_t number, int64_t offset);
int64_t TextToNumber(const char16_t* string);
void TextFromMemory(const void* address, int64_t length, int format, int64_t offset);
