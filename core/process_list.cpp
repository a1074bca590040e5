// The process list and the operations on program objects: exit codes, waiting for the end,
// the pipes, and freeing.
#include "core/process_list.h"

#include <cstddef>
#include <cstdio>

#include "core/memory.h"
#include "core/program_reader.h"
#include "core/threads.h"

namespace {

ProgramNode* g_programs = nullptr;  // newest first; guarded by the process-list mutex
uint64_t g_next_serial = 0;         // guarded by the process-list mutex
// Signalled under the process-list mutex whenever a waiting thread has finished.
pthread_cond_t g_program_ended = PTHREAD_COND_INITIALIZER;

ProgramNode* NodeOf(ProgramObject* object) {
  return reinterpret_cast<ProgramNode*>(reinterpret_cast<char*>(object) -
                                        offsetof(ProgramNode, object));
}

}  // namespace

// --- The process list ---

ProcessListLock::ProcessListLock() {
  pthread_mutex_lock(ProcessListMutex());
}
ProcessListLock::~ProcessListLock() {
  pthread_mutex_unlock(ProcessListMutex());
}

ProgramObject* FindProgramLocked(int64_t program) {
  for (ProgramNode* node = g_programs; node; node = node->next) {
    if (reinterpret_cast<int64_t>(&node->object) == program) return &node->object;
  }
  return nullptr;
}

void LinkProgramLocked(ProgramNode* node) {
  node->previous = nullptr;
  node->next = g_programs;
  if (g_programs) g_programs->previous = node;
  g_programs = node;
}

void UnlinkProgramLocked(ProgramNode* node) {
  if (node->previous) {
    node->previous->next = node->next;
  } else {
    g_programs = node->next;
  }
  if (node->next) node->next->previous = node->previous;
  node->next = node->previous = nullptr;
}

uint64_t NextProgramSerialLocked() {
  return ++g_next_serial;
}

void SignalProgramEndedLocked() {
  pthread_cond_broadcast(&g_program_ended);
}

// --- Program objects ---

int32_t ProgramExitCode(int64_t program) {
  ProcessListLock lock;
  ProgramObject* object = FindProgramLocked(program);
  return object ? object->exit_code : -1;
}

int32_t ProgramWait(int64_t program) {
  ProcessListLock lock;
  ProgramObject* object = FindProgramLocked(program);
  if (!object) return -1;
  uint64_t serial = object->serial;
  while (object->waiting) {
    // The process-list mutex is recursive; held once here, the wait releases it.
    pthread_cond_wait(&g_program_ended, ProcessListMutex());
    object = FindProgramLocked(program);
    if (!object || object->serial != serial) return -1;
  }
  return object->exit_code;
}

ProgramReader* ProgramOutput(int64_t program) {
  ProcessListLock lock;
  ProgramObject* object = FindProgramLocked(program);
  return object ? object->output : nullptr;
}

ProgramReader* ProgramError(int64_t program) {
  ProcessListLock lock;
  ProgramObject* object = FindProgramLocked(program);
  return object ? object->error : nullptr;
}

FILE* ProgramInput(int64_t program) {
  ProcessListLock lock;
  ProgramObject* object = FindProgramLocked(program);
  return object ? object->input : nullptr;
}

int ProgramCloseInput(int64_t program) {
  FILE* input;
  {
    ProcessListLock lock;
    ProgramObject* object = FindProgramLocked(program);
    if (!object || !object->input) return 0;
    input = object->input;
    object->input = nullptr;
  }
  fclose(input);
  return 1;
}

int ProgramFree(int64_t program) {
  ProgramNode* node;
  {
    ProcessListLock lock;
    ProgramObject* object = FindProgramLocked(program);
    if (!object) return 0;
    node = NodeOf(object);
    UnlinkProgramLocked(node);
    SignalProgramEndedLocked();  // a ProgramWait on it gives up
  }
  FreeProgramReader(node->object.output);
  FreeProgramReader(node->object.error);
  if (node->object.input) fclose(node->object.input);
  FreeBlock(node);
  return 1;
}

void ProgramsEnd() {
  for (;;) {
    int64_t program;
    {
      ProcessListLock lock;
      if (!g_programs) return;
      program = reinterpret_cast<int64_t>(&g_programs->object);
    }
    ProgramFree(program);
  }
}
