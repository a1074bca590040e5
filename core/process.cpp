// Launching programs: detached, waited for, or held as program objects with
// pipes, a waiting thread and non-blocking readers.
//
// Index: the process list; exit codes and the waiting thread; the child side;
// launching; program objects; readers.
//
// Everything the child needs (argument vector, working directory, descriptors)
// is prepared before fork, so that between fork and exec the child only makes
// async-signal-safe calls even when other threads exist. Every pipe is made
// close-on-exec, so no program inherits another program's pipes.
#include "core/process.h"

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <initializer_list>

#include "core/filesystem.h"
#include "core/memory.h"
#include "core/parameter_split.h"
#include "core/program_search.h"
#include "core/threads.h"
#include "core/utf.h"

// --- The process list ---

namespace {

// A node of the process list: a 16-byte header, then the program object, whose
// address is the program's number.
struct ProgramNode {
  ProgramNode* next;      // toward older programs
  ProgramNode* previous;  // toward newer programs
  ProgramObject object;
};

ProgramNode* g_programs = nullptr;  // newest first; guarded by the process-list mutex
uint64_t g_next_serial = 0;         // guarded by the process-list mutex
// Signalled under the process-list mutex whenever a waiting thread has finished.
pthread_cond_t g_program_ended = PTHREAD_COND_INITIALIZER;

class ProcessListLock {
 public:
  ProcessListLock() { pthread_mutex_lock(ProcessListMutex()); }
  ~ProcessListLock() { pthread_mutex_unlock(ProcessListMutex()); }
  ProcessListLock(const ProcessListLock&) = delete;
  ProcessListLock& operator=(const ProcessListLock&) = delete;
};

ProgramNode* NodeOf(ProgramObject* object) {
  return reinterpret_cast<ProgramNode*>(reinterpret_cast<char*>(object) -
                                        offsetof(ProgramNode, object));
}

// The object numbered program if it is in the list, else 0. Any number is safe:
// it is only compared with the list's addresses. Call under the mutex.
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

// --- Exit codes and the waiting thread ---

int32_t ExitCodeFromStatus(int status) {
  if (status & 0x7F) return 1;  // ended by a signal
  return (status >> 8) & 255;
}

// waitpid that is not cut short by signals; returns the status, or -1 when the
// process cannot be waited for.
int WaitForProcess(pid_t pid) {
  int status = 0;
  pid_t result;
  do {
    result = waitpid(pid, &status, 0);
  } while (result < 0 && errno == EINTR);
  return result == pid ? status : -1;
}

// What a waiting thread owns: it frees this record itself.
struct Waiter {
  ProgramObject* object;  // the program object to report to, if it still exists
  uint64_t serial;        // the object's serial, so a later object at the same address is not hit
  pid_t process_id;       // written by the launcher under the mutex; below 1 = nothing to wait for
};

void* WaitingThread(void* argument) {
  Waiter* waiter = static_cast<Waiter*>(argument);
  pid_t pid;
  {
    // The launcher holds the mutex from before this thread starts until the
    // process id is known.
    ProcessListLock lock;
    pid = waiter->process_id;
  }
  if (pid >= 1) {
    // The process is reaped whether or not its object still exists, so that
    // freeing an object early never leaves a zombie.
    int status = WaitForProcess(pid);
    ProcessListLock lock;
    ProgramObject* object = FindProgramLocked(reinterpret_cast<int64_t>(waiter->object));
    if (object && object->serial == waiter->serial) {
      if (status != -1) object->exit_code = ExitCodeFromStatus(status);
      object->waiting = 0;
    }
    pthread_cond_broadcast(&g_program_ended);
  }
  free(waiter);
  return nullptr;
}

int StartWaitingThread(Waiter* waiter) {
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) return 0;
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  // The thread only waits: a small stack, but never below the system's minimum
  // (16000 bytes is below it on Linux), and more under the sanitizers, whose
  // interceptors need room of their own.
  long minimum = sysconf(_SC_THREAD_STACK_MIN);
  size_t stack = std::max<size_t>(16000, minimum > 0 ? static_cast<size_t>(minimum) : 16384);
#if defined(__SANITIZE_ADDRESS__)
  stack = std::max<size_t>(stack, 256 * 1024);
#endif
  pthread_attr_setstacksize(&attributes, stack);
  pthread_t thread;
  int result = pthread_create(&thread, &attributes, WaitingThread, waiter);
  pthread_attr_destroy(&attributes);
  return result == 0 ? 1 : 0;
}

// --- The child side ---

// Everything the child needs, prepared before fork.
struct ChildSetup {
  char** arguments;           // name, arguments, null
  const char* directory;      // working directory, "" to stay
  int output_write = -1;      // becomes descriptor 1
  int input_read = -1;        // becomes descriptor 0
  int error_write = -1;       // becomes descriptor 2
  int sender_read = -1;       // a sender's output pipe, becomes descriptor 0
  char sender_path[48] = {};  // /proc path of sender_read, to open it with its own flags
};

// Moves a descriptor that sits on 0, 1 or 2 higher up, so that connecting the
// standard descriptors cannot overwrite one that is still to be connected.
int LiftDescriptor(int descriptor) {
  if (descriptor < 0 || descriptor > 2) return descriptor;
  return fcntl(descriptor, F_DUPFD_CLOEXEC, 3);
}

// Runs in the child after fork: only async-signal-safe calls.
[[noreturn]] void RunChild(const ChildSetup& setup) {
  if (setup.directory[0] && chdir(setup.directory) != 0) {
    // A directory that cannot be entered leaves the program where it is.
  }
  int output = LiftDescriptor(setup.output_write);
  int input = LiftDescriptor(setup.input_read);
  int error = LiftDescriptor(setup.error_write);
  int sender = LiftDescriptor(setup.sender_read);
  // dup2 clears close-on-exec on the copy; the pipes' other ends and every
  // original are close-on-exec and vanish at exec.
  if (output >= 0) dup2(output, 1);
  if (input >= 0) dup2(input, 0);
  if (error >= 0) dup2(error, 2);
  if (sender >= 0) {
    // The sender's read end is non-blocking for the launcher's reader. Opened
    // anew it gets a file description of its own, which can block as programs
    // expect of their standard input; the duplicate is the fallback.
    int own = open(setup.sender_path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (own >= 0) {
      int status_flags = fcntl(own, F_GETFL);
      if (status_flags != -1) fcntl(own, F_SETFL, status_flags & ~O_NONBLOCK);
      own = LiftDescriptor(own);
    }
    dup2(own >= 0 ? own : sender, 0);
  }
  execvp(setup.arguments[0], setup.arguments);
  _exit(1);
}

// --- Launching ---

// The detached form: a double fork whose middle process ends at once, so the
// program is handed to init and never becomes the caller's zombie. Returns the
// program's process id, or -1.
pid_t LaunchDetached(const ChildSetup& setup) {
  int id_pipe[2];
  if (pipe2(id_pipe, O_CLOEXEC) != 0) return -1;
  pid_t middle = fork();
  if (middle == 0) {
    close(id_pipe[0]);
    pid_t program = fork();
    if (program == 0) {
      close(id_pipe[1]);
      RunChild(setup);
    }
    if (program < 0) _exit(1);
    int32_t id = program;
    _exit(write(id_pipe[1], &id, sizeof id) == sizeof id ? 0 : 1);
  }
  close(id_pipe[1]);
  if (middle < 0) {
    close(id_pipe[0]);
    return -1;
  }
  int32_t id = -1;
  size_t got = 0;
  while (got < sizeof id) {
    ssize_t n = read(id_pipe[0], reinterpret_cast<char*>(&id) + got, sizeof id - got);
    if (n > 0) {
      got += static_cast<size_t>(n);
    } else if (n == 0 || errno != EINTR) {
      break;
    }
  }
  if (got < sizeof id) id = -1;
  close(id_pipe[0]);
  if (WaitForProcess(middle) == -1) id = -1;
  return id;
}

void ClosePipe(int pipe_ends[2]) {
  for (int i = 0; i < 2; ++i) {
    if (pipe_ends[i] >= 0) close(pipe_ends[i]);
    pipe_ends[i] = -1;
  }
}

ProgramReader* NewReader() {
  ProgramReader* reader = static_cast<ProgramReader*>(AllocBlock(sizeof(ProgramReader)));
  if (reader) reader->descriptor = -1;
  return reader;
}

void FreeReader(ProgramReader* reader) {
  if (!reader) return;
  if (reader->descriptor >= 0) close(reader->descriptor);
  FreeBlock(reader);
}

// The launch's resources, released together on every way out.
struct Launch {
  char* name = nullptr;  // UTF-8 copies
  char* parameters = nullptr;
  char* directory = nullptr;
  char** arguments = nullptr;  // 512 entries
  int output[2] = {-1, -1};    // pipes of a program object
  int input[2] = {-1, -1};
  int error[2] = {-1, -1};
  ProgramNode* node = nullptr;  // the program object until it is handed out

  ~Launch() {
    FreeUtf8(name);
    FreeUtf8(parameters);
    FreeUtf8(directory);
    FreeBlock(arguments);
    ClosePipe(output);
    ClosePipe(input);
    ClosePipe(error);
    if (node) {
      FreeReader(node->object.output);
      FreeReader(node->object.error);
      FreeBlock(node);
    }
  }
};

int64_t LaunchObject(Launch& launch, ChildSetup& setup, int flags) {
  ProgramObject* object = &launch.node->object;
  object->exit_code = -1;
  object->flags = static_cast<uint32_t>(flags);
  if ((flags & kLaunchReadOutput) && !(object->output = NewReader())) return 0;
  if ((flags & kLaunchReadError) && !(object->error = NewReader())) return 0;
  bool wait_here = flags & kLaunchWait;
  pid_t pid;
  {
    // Held across thread start and fork: the waiting thread learns the process
    // id only once it is known, and nothing can fail after a successful fork.
    ProcessListLock lock;
    object->serial = ++g_next_serial;
    object->waiting = wait_here ? 0 : 1;
    LinkProgramLocked(launch.node);
    Waiter* waiter = nullptr;
    if (!wait_here) {
      waiter = static_cast<Waiter*>(malloc(sizeof(Waiter)));
      if (waiter) *waiter = Waiter{object, object->serial, -1};
      if (!waiter || !StartWaitingThread(waiter)) {
        free(waiter);
        UnlinkProgramLocked(launch.node);
        return 0;
      }
    }
    pid = fork();
    if (pid == 0) RunChild(setup);
    object->process_id = pid;
    if (waiter) waiter->process_id = pid;  // the thread ends by itself for -1
    if (pid < 0) {
      UnlinkProgramLocked(launch.node);
      return 0;
    }
    // The child's ends are closed here; the launcher's ends go to the object.
    for (int* pipe_ends : {launch.output, launch.input, launch.error}) {
      if (pipe_ends[0] < 0) continue;
      int childs_end = pipe_ends == launch.input ? 0 : 1;
      close(pipe_ends[childs_end]);
      pipe_ends[childs_end] = -1;
    }
    if (object->output) {
      object->output->descriptor = launch.output[0];
      launch.output[0] = -1;
      fcntl(object->output->descriptor, F_SETFL,
            fcntl(object->output->descriptor, F_GETFL) | O_NONBLOCK);
    }
    if (object->error) {
      object->error->descriptor = launch.error[0];
      launch.error[0] = -1;
      fcntl(object->error->descriptor, F_SETFL,
            fcntl(object->error->descriptor, F_GETFL) | O_NONBLOCK);
    }
    if (launch.input[1] >= 0) {
      object->input = fdopen(launch.input[1], "w");
      if (object->input) {
        fwide(object->input, -1);
        launch.input[1] = -1;
      }
    }
    launch.node = nullptr;  // the list owns it now
  }
  if (wait_here) {
    int status = WaitForProcess(pid);
    ProcessListLock lock;
    if (status != -1) object->exit_code = ExitCodeFromStatus(status);
  }
  return reinterpret_cast<int64_t>(object);
}

}  // namespace

int64_t LaunchProgram(const char16_t* name, const char16_t* parameters, const char16_t* directory,
                      int flags, int64_t sender) {
  // A string that is not valid UTF-16 would convert to a different text; refuse it.
  if (!IsValidUtf16(name) || !IsValidUtf16(parameters) || !IsValidUtf16(directory)) return 0;
  Launch launch;
  launch.name = ToUtf8(name);
  if (!launch.name || !ProgramExists(launch.name)) return 0;
  launch.parameters = ToUtf8(parameters);
  launch.directory = ToUtf8(directory);
  launch.arguments = static_cast<char**>(AllocBlock((kProgramArgumentLimit + 2) * sizeof(char*)));
  if (!launch.parameters || !launch.directory || !launch.arguments) return 0;
  launch.arguments[0] = launch.name;
  // More arguments than the vector holds refuse the launch: running the program
  // with a silently shortened command line could do something else entirely.
  if (SplitParameters(launch.parameters, launch.arguments + 1, kProgramArgumentLimit) >
      kProgramArgumentLimit) {
    return 0;
  }

  ChildSetup setup;
  setup.arguments = launch.arguments;
  setup.directory = launch.directory;

  if (!(flags & kLaunchObject)) {
    if (!(flags & kLaunchWait)) return LaunchDetached(setup) < 0 ? 0 : 1;
    pid_t pid = fork();
    if (pid == 0) RunChild(setup);
    if (pid < 0) return 0;
    WaitForProcess(pid);
    return 1;
  }

  if ((flags & kLaunchReadOutput) && pipe2(launch.output, O_CLOEXEC) != 0) return 0;
  if ((flags & kLaunchWriteInput) && pipe2(launch.input, O_CLOEXEC) != 0) return 0;
  if ((flags & kLaunchReadError) && pipe2(launch.error, O_CLOEXEC) != 0) return 0;
  setup.output_write = launch.output[1];
  setup.input_read = launch.input[0];
  setup.error_write = launch.error[1];
  if ((flags & kLaunchInputFromSender) && sender) {
    // Only a sender that is a live program object with an output pipe counts.
    ProcessListLock lock;
    ProgramObject* from = FindProgramLocked(sender);
    if (from && from->output && from->output->descriptor >= 0) {
      setup.sender_read = from->output->descriptor;
      snprintf(setup.sender_path, sizeof setup.sender_path, "/proc/self/fd/%d", setup.sender_read);
    }
  }
  launch.node = static_cast<ProgramNode*>(AllocBlock(sizeof(ProgramNode)));
  if (!launch.node) return 0;
  return LaunchObject(launch, setup, flags);
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
    pthread_cond_broadcast(&g_program_ended);  // a ProgramWait on it gives up
  }
  FreeReader(node->object.output);
  FreeReader(node->object.error);
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

// --- Readers ---

namespace {

// Reads what the pipe has without blocking, until the ring is full.
void FillReader(ProgramReader* reader) {
  while (!reader->at_end && reader->count < kProgramRingSize) {
    int32_t space = reader->write_position >= reader->read_position
                        ? kProgramRingSize - reader->write_position
                        : reader->read_position - reader->write_position;
    ssize_t n =
        read(reader->descriptor, reader->ring + reader->write_position, static_cast<size_t>(space));
    if (n > 0) {
      reader->write_position =
          (reader->write_position + static_cast<int32_t>(n)) % kProgramRingSize;
      reader->count += static_cast<int32_t>(n);
      if (n < space) break;  // the pipe has nothing more right now
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      break;
    } else {
      reader->at_end = 1;  // end of the pipe, or an error that ends it all the same
    }
  }
}

// Waits until the ring holds a byte or the pipe has ended; returns 1 for a byte.
// Blocks in poll rather than napping, so a waiting reader uses no CPU.
int AwaitData(ProgramReader* reader) {
  if (reader->count == 0) FillReader(reader);
  while (reader->count == 0 && !reader->at_end) {
    pollfd watch = {reader->descriptor, POLLIN, 0};
    if (poll(&watch, 1, -1) < 0 && errno != EINTR) {
      reader->at_end = 1;
      break;
    }
    FillReader(reader);
  }
  return reader->count > 0;
}

int PeekByte(ProgramReader* reader) {
  return AwaitData(reader) ? reader->ring[reader->read_position] : -1;
}

}  // namespace

int64_t ProgramReaderAvailable(ProgramReader* reader) {
  if (!reader) return 0;
  FillReader(reader);
  return reader->count;
}

int64_t ProgramReaderRead(ProgramReader* reader, void* destination, int64_t count) {
  if (!reader || !destination || count <= 0 || !AwaitData(reader)) return 0;
  uint8_t* out = static_cast<uint8_t*>(destination);
  int64_t delivered = 0;
  while (delivered < count && reader->count > 0) {
    int32_t contiguous = std::min(reader->count, kProgramRingSize - reader->read_position);
    int32_t n = static_cast<int32_t>(std::min<int64_t>(contiguous, count - delivered));
    memcpy(out + delivered, reader->ring + reader->read_position, static_cast<size_t>(n));
    reader->read_position = (reader->read_position + n) % kProgramRingSize;
    reader->count -= n;
    delivered += n;
  }
  return delivered;
}

int ProgramReaderByte(ProgramReader* reader) {
  uint8_t byte;
  return ProgramReaderRead(reader, &byte, 1) == 1 ? byte : -1;
}

int ProgramReaderChar(ProgramReader* reader) {
  int lead = ProgramReaderByte(reader);
  if (lead < 0x80) return lead;  // ASCII, or -1 at the end
  int following;
  int value;
  if (lead >= 0xC0 && lead <= 0xDF) {
    following = 1;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    following = 2;
    value = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF7) {
    following = 3;
    value = -1;  // beyond the 3-byte range: consumed, reported as a space
  } else {
    return ' ';
  }
  for (int i = 0; i < following; ++i) {
    // A byte that does not continue the sequence is left for the next call.
    int next = PeekByte(reader);
    if (next < 0 || (next & 0xC0) != 0x80) return ' ';
    ProgramReaderByte(reader);
    if (value >= 0) value = (value << 6) | (next & 0x3F);
  }
  return value >= 0 ? value : ' ';
}

int ProgramReaderAtEnd(ProgramReader* reader) {
  if (!reader) return 1;
  if (reader->count == 0) FillReader(reader);
  return reader->count == 0 && reader->at_end;
}

void ProgramReaderClose(ProgramReader* reader) {
  FreeReader(reader);
}
