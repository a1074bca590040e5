// Reaping launched programs: waiting for a process and turning its status into an exit code,
// and the detached thread that waits for a program held as an object.
#pragma once

#include <sys/types.h>

#include <cstdint>

#include "core/process.h"

// The exit code of a wait status: the program's own, or 1 when a signal ended it.
int32_t ExitCodeFromStatus(int status);

// waitpid that is not cut short by signals; returns the status, or -1 when the
// process cannot be waited for.
int WaitForProcess(pid_t pid);

// What a waiting thread owns: it frees this record itself (with free).
struct Waiter {
  ProgramObject* object;  // the program object to report to, if it still exists
  uint64_t serial;        // the object's serial, so a later object at the same address is not hit
  pid_t process_id;       // written by the launcher under the mutex; below 1 = nothing to wait for
};

// Starts the detached thread that reaps waiter's process and reports its exit code to the
// object; 1 when it runs. The launcher holds the process-list mutex from before this call
// until it has written the process id.
int StartWaitingThread(Waiter* waiter);
