// Splitting a launch parameter string into arguments, in place.
#include "core/parameter_split.h"

static bool IsSeparator(char c) {
  return c == '\t' || c == '\n' || c == ' ';
}

int SplitParameters(char* text, char** arguments, int capacity) {
  int count = 0;
  auto add = [&](char* argument) {
    if (count < capacity) arguments[count] = argument;
    ++count;
  };
  char* p = text;
  while (p && *p) {
    if (IsSeparator(*p)) {
      *p++ = 0;
    } else if (*p == '"') {
      // A quoted argument runs to the closing quote or a line feed; text glued
      // behind the closing quote starts a new argument.
      char* start = p + 1;
      add(start);
      char* q = start;
      while (*q && *q != '"' && *q != '\n') ++q;
      if (!*q) break;  // unterminated quote: the argument runs to the end
      *q = 0;
      p = q + 1;
    } else {
      // Quotes inside an unquoted argument are ordinary characters.
      add(p);
      while (*p && !IsSeparator(*p)) ++p;
    }
  }
  arguments[count < capacity ? count : capacity] = nullptr;
  return count;
}
