// Measures Objective-C type encodings: the size and alignment of one encoded type.
#include "platform/objc/type_encoding.h"

#include <cctype>
#include <cstring>

namespace objc {

namespace {

// Nesting limit for structures, arrays and pointers: deeper encodings are refused as malformed
// rather than risking the stack.
constexpr int kMaxDepth = 32;

const char* SkipQualifiers(const char* p) {
  while (*p && std::strchr("rnNoORVA", *p)) ++p;
  return p;
}

size_t AlignUp(size_t value, size_t alignment) {
  return alignment ? (value + alignment - 1) / alignment * alignment : value;
}

const char* Parse(const char* p, size_t* size, size_t* alignment, int depth);

// Reads the fields of a structure or union up to the closing character.
const char* ParseAggregate(const char* p, char close, bool is_union, size_t* size,
                           size_t* alignment, int depth) {
  // The name runs to '=' (fields follow) or to the closing character (no fields known).
  const char* name_end = p;
  int nesting = 0;
  while (*name_end && !(nesting == 0 && (*name_end == '=' || *name_end == close))) {
    if (*name_end == '{' || *name_end == '(') ++nesting;
    if (*name_end == '}' || *name_end == ')') --nesting;
    ++name_end;
  }
  if (!*name_end) return nullptr;
  size_t total = 0;
  size_t widest = 1;
  p = name_end;
  if (*p == '=') {
    ++p;
    while (*p && *p != close) {
      if (*p == '"') {  // a field name: "name"type
        const char* end = std::strchr(p + 1, '"');
        if (!end) return nullptr;
        p = end + 1;
      }
      size_t field_size = 0;
      size_t field_alignment = 1;
      p = Parse(p, &field_size, &field_alignment, depth + 1);
      if (!p) return nullptr;
      if (field_alignment > widest) widest = field_alignment;
      if (is_union) {
        if (field_size > total) total = field_size;
      } else {
        total = AlignUp(total, field_alignment) + field_size;
      }
    }
  }
  if (*p != close) return nullptr;
  *size = AlignUp(total, widest);
  *alignment = widest;
  return p + 1;
}

const char* Parse(const char* p, size_t* size, size_t* alignment, int depth) {
  if (!p || depth > kMaxDepth) return nullptr;
  p = SkipQualifiers(p);
  size_t s = 0;
  switch (*p) {
    case 'c':
    case 'C':
    case 'B':
      s = 1;
      break;
    case 's':
    case 'S':
      s = 2;
      break;
    case 'i':
    case 'I':
    case 'l':  // 'l' is a 32-bit long in encodings, whatever the platform's long
    case 'L':
    case 'f':
      s = 4;
      break;
    case 'q':
    case 'Q':
    case 'd':
    case '*':
    case '#':
    case ':':
      s = 8;
      break;
    case 'D':
      s = 16;
      break;
    case 'v':
      *size = 0;
      *alignment = 1;
      return p + 1;
    case '?':  // an unknown type, such as a function pointer's target
      *size = 0;
      *alignment = 1;
      return p + 1;
    case '@':
      *size = 8;
      *alignment = 8;
      ++p;
      if (*p == '?') return p + 1;  // a block
      if (*p == '"') {              // a class name: @"NSString"
        const char* end = std::strchr(p + 1, '"');
        return end ? end + 1 : nullptr;
      }
      return p;
    case '^': {
      size_t ignored_size = 0;
      size_t ignored_alignment = 1;
      const char* end = Parse(p + 1, &ignored_size, &ignored_alignment, depth + 1);
      if (!end) return nullptr;
      *size = 8;
      *alignment = 8;
      return end;
    }
    case '[': {
      ++p;
      size_t count = 0;
      while (std::isdigit(static_cast<unsigned char>(*p))) count = count * 10 + (*p++ - '0');
      size_t element_size = 0;
      size_t element_alignment = 1;
      p = Parse(p, &element_size, &element_alignment, depth + 1);
      if (!p || *p != ']') return nullptr;
      *size = element_size * count;
      *alignment = element_alignment;
      return p + 1;
    }
    case '{':
      return ParseAggregate(p + 1, '}', false, size, alignment, depth);
    case '(':
      return ParseAggregate(p + 1, ')', true, size, alignment, depth);
    default:
      return nullptr;
  }
  *size = s;
  *alignment = s;
  return p + 1;
}

}  // namespace

const char* ParseType(const char* type, size_t* size, size_t* alignment) {
  size_t ignored_size = 0;
  size_t ignored_alignment = 0;
  return Parse(type, size ? size : &ignored_size, alignment ? alignment : &ignored_alignment, 0);
}

const char* SkipOffset(const char* type) {
  if (*type == '-') ++type;
  while (std::isdigit(static_cast<unsigned char>(*type))) ++type;
  return type;
}

bool IsIntegerType(const char* type) {
  if (!type) return false;
  type = SkipQualifiers(type);
  return *type && std::strchr("cCBsSiIlLqQ*#:@^", *type) != nullptr;
}

bool IsFloatingType(const char* type) {
  if (!type) return false;
  type = SkipQualifiers(type);
  return *type == 'f' || *type == 'd';
}

}  // namespace objc
