// The program's start-up, in its fixed order, from the process arguments to the built
// status item.
#pragma once

#include <cstdint>

// Keeps the arguments, starts the platform and every runtime library, loads or writes the
// settings, chooses the task length and builds the status item. Returns when the program
// is ready for its main loop.
void StartProgram(int argc, char** argv);

// The longest task the program keeps for a first screen `width` points wide: 90 characters
// on screens wider than 1920 points, else 45.
int64_t MaxTaskLengthForWidth(int64_t width);
