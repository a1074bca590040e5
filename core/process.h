// Launching other programs from a program name, a parameter string and a
// working directory, either fully detached (the default), waited for, or held
// as a program object with pipes to its standard streams and its exit code.
//
// No form leaves a zombie: a detached program is handed to init through a
// double fork, a waited-for program is reaped at once, and a program object's
// process is reaped by a waiting thread or by the waiting form itself.
//
// Program objects live in the process list, guarded by the process-list mutex
// (core/threads.h); their number is the address of their ProgramObject.
#pragma once

#include <cstdint>
#include <cstdio>

// Launch flags.
enum : int {
  kLaunchWait = 1,              // wait until the program ends
  kLaunchObject = 4,            // keep a program object; the result is its number
  kLaunchReadOutput = 8,        // with kLaunchObject: pipe from the program's standard output
  kLaunchWriteInput = 16,       // with kLaunchObject: pipe to the program's standard input
  kLaunchReadError = 32,        // with kLaunchObject: pipe from the program's standard error
  kLaunchInputFromSender = 64,  // with kLaunchObject: standard input from a sender's output
};

enum : int {
  kProgramArgumentLimit = 510,  // arguments beyond the program name
  kProgramRingSize = 10240,     // bytes a ProgramReader buffers
};

// A non-blocking reader on a pipe from a program, with a ring buffer.
struct ProgramReader {
  int descriptor;                  // read end of the pipe, non-blocking, close-on-exec
  int at_end;                      // 1 once the pipe reported its end (every writer closed it)
  int32_t read_position;           // next byte to deliver from the ring
  int32_t write_position;          // next free byte of the ring
  int32_t count;                   // bytes buffered in the ring
  uint8_t ring[kProgramRingSize];  // buffered bytes, wrapping at kProgramRingSize
};

// A launched program held as an object (kLaunchObject).
struct ProgramObject {
  int32_t process_id;     // the started program
  int32_t exit_code;      // -1 while running, then its exit status (1 when ended by a signal)
  uint32_t flags;         // the launch flags
  ProgramReader* output;  // reader on the program's standard output, or 0
  FILE* input;            // write end of the standard input pipe ("w"), or 0
  ProgramReader* error;   // reader on the program's standard error, or 0
  uint64_t serial;        // distinguishes this object from a later one at the same address
  int32_t waiting;        // 1 while a waiting thread has not yet reaped the program
};

// Starts a program. The name is found as a path (when it contains "/") or in
// PATH, but executed by the name as given. Returns 0 on failure (program not
// found, a string that is not valid UTF-16, more than 510 arguments, no pipe,
// no fork), the program object's number with kLaunchObject, else 1.
// kLaunchWait without kLaunchObject does not report the exit code.
// With kLaunchWait and output pipes the program's output must fit the pipe
// buffer, since nobody reads it while waiting.
int64_t LaunchProgram(const char16_t* name, const char16_t* parameters = nullptr,
                      const char16_t* directory = nullptr, int flags = 0, int64_t sender = 0);

// --- Program objects ---
// All take the number LaunchProgram returned and do nothing (returning 0, or -1
// for an exit code) for a number that names no program object. None may be
// called while the caller holds the process-list mutex.

// The exit code, -1 while the program runs.
int32_t ProgramExitCode(int64_t program);
// Waits until the program has ended and returns its exit code.
int32_t ProgramWait(int64_t program);
ProgramReader* ProgramOutput(int64_t program);
ProgramReader* ProgramError(int64_t program);
FILE* ProgramInput(int64_t program);
// Closes the pipe to the program's standard input, so that it sees its end.
int ProgramCloseInput(int64_t program);
// Removes the object, closing its pipes. A program still running is reaped by
// its waiting thread all the same.
int ProgramFree(int64_t program);
// Frees every program object; called at program end.
void ProgramsEnd();

// --- Readers ---
// The readers of a program object belong to it: ProgramFree closes them.

// Buffered bytes, after reading what the pipe has without blocking.
int64_t ProgramReaderAvailable(ProgramReader* reader);
// Delivers up to count bytes; waits until there are some or the pipe ends.
// Returns the bytes delivered, 0 at the end.
int64_t ProgramReaderRead(ProgramReader* reader, void* destination, int64_t count);
// The next byte, or -1 at the end (waits like ProgramReaderRead).
int ProgramReaderByte(ProgramReader* reader);
// The next UTF-8 character (sequences of up to 3 bytes are decoded; a 4-byte
// sequence or a broken one gives 32, a space), or -1 at the end.
int ProgramReaderChar(ProgramReader* reader);
// Non-zero when nothing is buffered and the pipe has ended.
int ProgramReaderAtEnd(ProgramReader* reader);
// Closes the pipe and frees the reader.
void ProgramReaderClose(ProgramReader* reader);
