// The process-wide temporary string buffer with its stack of expression starts,
// and string variables (private heap copies of strings).
//
// Index: failure reactions; the start stack; reserving and appending; string variables.
#include "core/temp_buffer.h"

#include <malloc.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/strings.h"

TempStringBuffer g_temp = {};

namespace {

constexpr int64_t kSlackBytes = 10;                         // bytes kept beyond the capacity
constexpr int64_t kGrowthBytes = 16384;                     // growth beyond the need
constexpr int64_t kShrinkLimit = 1048576;                   // the capacity shrinks back to this
constexpr size_t kSmallestChunkBytes = 4 * sizeof(size_t);  // glibc's MINSIZE
constexpr int32_t kStackEntries = sizeof(g_temp.start_stack) / sizeof(g_temp.start_stack[0]);

// --- Failure reactions ---

// The callers of the temporary buffer cannot recover from a broken string
// expression (they hold offsets into it and have no way to report failure), so
// a failed buffer allocation and a start-stack overflow or underflow stop the
// program with a message rather than go on with corrupt text.
[[noreturn]] void Fail(const char* message) {
  std::fprintf(stderr, "Mindel: temporary string buffer: %s\n", message);
  std::fflush(stderr);
  std::abort();
}

void ResizeBuffer(int64_t capacity) {
  void* base = std::realloc(g_temp.base, static_cast<size_t>(capacity + kSlackBytes));
  if (!base) Fail("out of memory");
  g_temp.base = static_cast<char*>(base);
  g_temp.capacity = capacity;
}

// True when realloc(block, need) would hand the block back as it is: it holds the bytes, and the
// spare room is less than the heap's smallest chunk, which realloc would not split off. A
// variable stored again with text of about the same length then skips the call.
inline bool HoldsAsReallocated(void* block, size_t need) {
  if (!block) return false;
  const size_t usable = malloc_usable_size(block);
  return usable >= need && usable - need < kSmallestChunkBytes;
}

inline void PutTerminator(int64_t offset) {
  std::memset(g_temp.base + offset, 0, sizeof(char16_t));
}

}  // namespace

void InitTempBuffer() {
  g_temp.end = 0;
  g_temp.stack_depth = 0;
  ResizeBuffer(16);
  PutTerminator(0);
}

void FreeTempBuffer() {
  std::free(g_temp.base);
  g_temp.base = nullptr;
  g_temp.end = 0;
  g_temp.capacity = 0;
  g_temp.stack_depth = 0;
}

// --- The start stack ---

void PushTempStart() {
  if (g_temp.stack_depth >= kStackEntries) Fail("string expressions nested too deeply");
  g_temp.start_stack[g_temp.stack_depth++] = g_temp.end;
}

int64_t PopTempStart() {
  if (g_temp.stack_depth <= 0) Fail("start popped without a push");
  return g_temp.start_stack[--g_temp.stack_depth];
}

char16_t* PopTempPointer() {
  const int64_t offset = PopTempStart();
  return reinterpret_cast<char16_t*>(g_temp.base + offset);
}

void PopTempDiscard() {
  g_temp.end = PopTempStart();
}

char16_t* PopTempDiscardPointer() {
  g_temp.end = PopTempStart();
  return reinterpret_cast<char16_t*>(g_temp.base + g_temp.end);
}

int64_t PeekTempStart() {
  if (g_temp.stack_depth <= 0) Fail("start peeked without a push");
  return g_temp.start_stack[g_temp.stack_depth - 1];
}

// --- Reserving and appending ---

char16_t* ReserveTemp(int64_t count, int64_t offset) {
  if (count < 0) count = 0;
  if (offset < 0) offset = 0;
  // The need counts from the current end (or from an offset past it), so that a
  // result written over earlier text never outgrows the check.
  const int64_t need = (offset > g_temp.end ? offset : g_temp.end) + 2 * count;
  if (!g_temp.base || need >= g_temp.capacity - 4) {
    ResizeBuffer(need + kGrowthBytes);
  } else if (g_temp.capacity > kShrinkLimit) {
    ResizeBuffer(need > kShrinkLimit ? need : kShrinkLimit);  // shrink after a large expression
  }
  g_temp.end = offset + 2 * count;
  return reinterpret_cast<char16_t*>(g_temp.base + offset);
}

void AppendTemp(const char16_t* string) {
  if (!string) {
    if (!g_temp.base) ResizeBuffer(16);
    PutTerminator(g_temp.end);
    return;
  }
  const int64_t length = StringLength(string);
  const int64_t offset = g_temp.end;
  const int64_t end = offset + 2 * length;
  if (g_temp.base && end < g_temp.capacity - 4 && g_temp.capacity <= kShrinkLimit) {
    // Room enough and nothing to shrink: the buffer stays where it is, so an operand that
    // lies in it stays valid too.
    std::memmove(g_temp.base + offset, string, static_cast<size_t>(length) * 2);
    g_temp.end = end;
    PutTerminator(end);
    return;
  }
  // The string may itself lie in the buffer, which reserving may move.
  const int64_t source = TempOffsetOf(string);
  char16_t* destination = ReserveTemp(length, offset);
  if (source) string = TempPointerAt(source);
  std::memmove(destination, string, static_cast<size_t>(length) * 2);
  PutTerminator(g_temp.end);
}

void StoreTemp(char16_t** variable, int64_t offset) {
  const int64_t bytes = g_temp.end > offset ? g_temp.end - offset : 0;
  const auto need = static_cast<size_t>(bytes + kSlackBytes);
  void* block = *variable;
  if (!HoldsAsReallocated(block, need)) block = std::realloc(block, need);
  if (block) {
    // The variable keeps its old value when memory runs out.
    *variable = static_cast<char16_t*>(block);
    if (bytes >= 2) {
      std::memcpy(block, g_temp.base + offset, static_cast<size_t>(bytes & ~int64_t{1}));
    }
    (*variable)[bytes / 2] = 0;
  }
  g_temp.end = offset;
}

int64_t TempOffsetOf(const void* pointer) {
  const auto address = reinterpret_cast<uintptr_t>(pointer);
  const auto base = reinterpret_cast<uintptr_t>(g_temp.base);
  if (!pointer || !base || address < base || address > base + g_temp.end) return 0;
  return static_cast<int64_t>(address - base) + 1;
}

char16_t* TempPointerAt(int64_t offset_plus_one) {
  return reinterpret_cast<char16_t*>(g_temp.base + offset_plus_one - 1);
}

void TruncateTemp(int64_t offset) {
  g_temp.end = offset;
  PutTerminator(offset);
}

void DropTempChars(int64_t count) {
  g_temp.end -= 2 * (count & 0x7FFFFFFF);
  if (g_temp.end < 0) g_temp.end = 0;
}

// --- String variables ---
// A variable owns (length + 5) units: the text, its terminator and slack for
// copies that move two units at a time. A failed allocation leaves it unchanged.

void InitStringVar(char16_t** variable, const char16_t* string) {
  if (!string) return;
  const int64_t length = StringLength(string);
  auto* copy = static_cast<char16_t*>(std::malloc(static_cast<size_t>(length + 5) * 2));
  if (!copy) return;
  std::memcpy(copy, string, static_cast<size_t>(length + 1) * 2);
  *variable = copy;
}

int64_t AssignStringVar(char16_t** variable, const char16_t* string) {
  if (!string) {
    std::free(*variable);
    *variable = nullptr;
    return 2;
  }
  // A fresh block, because the string may be the variable's own text.
  const int64_t length = StringLength(string);
  auto* copy = static_cast<char16_t*>(std::malloc(static_cast<size_t>(length + 5) * 2));
  if (!copy) return 0;
  std::memcpy(copy, string, static_cast<size_t>(length + 1) * 2);
  std::free(*variable);
  *variable = copy;
  return (length + 1) * 2;
}

void FreeStringVar(char16_t* value) {
  std::free(value);
}
