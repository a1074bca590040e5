// Making and freeing the non-blocking readers of a program object's pipes (the reading
// operations are in core/process.h).
#pragma once

#include "core/process.h"

// A new reader without a pipe yet (descriptor -1); 0 when memory runs out.
ProgramReader* NewProgramReader();
// Closes the reader's pipe and frees it; nothing for 0.
void FreeProgramReader(ProgramReader* reader);
