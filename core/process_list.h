// The process list: every program object, newest first, in a node of its own, guarded by
// the process-list mutex (core/threads.h). Shared by the launcher, the waiting threads and
// the program-object operations.
#pragma once

#include <pthread.h>

#include <cstdint>

#include "core/process.h"

// A node of the process list: a 16-byte header, then the program object, whose
// address is the program's number.
struct ProgramNode {
  ProgramNode* next;      // toward older programs
  ProgramNode* previous;  // toward newer programs
  ProgramObject object;
};

// Holds the process-list mutex for one scope.
class ProcessListLock {
 public:
  ProcessListLock();
  ~ProcessListLock();
  ProcessListLock(const ProcessListLock&) = delete;
  ProcessListLock& operator=(const ProcessListLock&) = delete;
};

// The rest is called under the process-list mutex.

// The object numbered program if it is in the list, else 0. Any number is safe:
// it is only compared with the list's addresses.
ProgramObject* FindProgramLocked(int64_t program);
void LinkProgramLocked(ProgramNode* node);
void UnlinkProgramLocked(ProgramNode* node);
// A serial no earlier object has had.
uint64_t NextProgramSerialLocked();
// Wakes every ProgramWait, after a waiting thread has finished or an object has gone.
void SignalProgramEndedLocked();
