// Splits a launch parameter string into separate arguments, in the manner of a
// simple command line (spaces, tabs and line feeds separate; double quotes
// group).
#pragma once

// Splits text in place: separators and closing quotes are overwritten with 0
// bytes so that each argument is a 0-terminated piece of text. Stores at most
// capacity argument pointers and a null entry after the last one stored (so
// arguments needs capacity + 1 entries). Returns the number of arguments the
// text holds, which is more than capacity when they did not all fit.
int SplitParameters(char* text, char** arguments, int capacity);
