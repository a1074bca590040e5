// The process-wide temporary string buffer, where every string expression is
// built, and string variables, which hold private heap copies.
//
// Temporary strings are addressed by byte offset, never by pointer, across any
// operation that may grow the buffer, because growing may move it. The buffer
// always keeps a 0 unit at its end offset after any append.
//
// Result protocol: every operation that yields a string takes as its last
// argument the byte offset at which its result starts (obtained with
// PushTempStart immediately followed by PopTempStart), writes it through
// ReserveTemp and leaves end just past the result, with a 0 unit after it.
// An argument that itself lies in the buffer survives the buffer growing.
//
// Failures the caller cannot recover from stop the program with a message on
// standard error (then abort): the buffer failing to grow, and the start stack
// (100 entries) overflowing or popped when empty. A string variable whose block
// cannot be allocated keeps its old value (AssignStringVar then returns 0).
#pragma once

#include <cstdint>

struct TempStringBuffer {
  char* base;                // heap block of capacity + 10 bytes
  int64_t end;               // byte offset where the next text is appended
  int64_t capacity;          // usable bytes
  int64_t start_stack[100];  // saved end offsets, one per open string expression
  int32_t stack_depth;       // entries in use
};

extern TempStringBuffer g_temp;

void InitTempBuffer();
void FreeTempBuffer();

void PushTempStart();
int64_t PopTempStart();
char16_t* PopTempPointer();
void PopTempDiscard();
char16_t* PopTempDiscardPointer();
int64_t PeekTempStart();

char16_t* ReserveTemp(int64_t count, int64_t offset);
void AppendTemp(const char16_t* string);
void StoreTemp(char16_t** variable, int64_t offset);
int64_t TempOffsetOf(const void* pointer);  // offset + 1 inside the buffer, else 0
char16_t* TempPointerAt(int64_t offset_plus_one);
void TruncateTemp(int64_t offset);
void DropTempChars(int64_t count);

// String variables: 0 (empty) or a malloc block with room for the text and slack.
void InitStringVar(char16_t** variable, const char16_t* string);
int64_t AssignStringVar(char16_t** variable, const char16_t* string);
void FreeStringVar(char16_t* value);
