// The program's one way out: every library's end routine, then exit code 0.
#pragma once

// Runs the libraries' end routines in their fixed order.
void RunEndRoutines();
// RunEndRoutines, then ends the process with exit code 0. Never returns.
[[noreturn]] void EndProgram();
