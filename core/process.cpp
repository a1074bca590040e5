// Starting programs: detached, waited for, or held as program objects with pipes. The
// process list and the object operations are in process_list.cpp, the waiting thread in
// waiting_thread.cpp and the readers in program_reader.cpp.
//
// Index: the child side; launching.
//
// Everything the child needs (argument vector, working directory, descriptors)
// is prepared before fork, so that between fork and exec the child only makes
// async-signal-safe calls even when other threads exist. Every pipe is made
// close-on-exec, so no program inherits another program's pipes.
#include "core/process.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <initializer_list>

#include "core/filesystem.h"
#include "core/memory.h"
#include "core/parameter_split.h"
#include "core/process_list.h"
#include "core/program_reader.h"
#include "core/program_search.h"
#include "core/utf.h"
#include "core/waiting_thread.h"

namespace {

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
      FreeProgramReader(node->object.output);
      FreeProgramReader(node->object.error);
      FreeBlock(node);
    }
  }
};

int64_t LaunchObject(Launch& launch, ChildSetup& setup, int flags) {
  ProgramObject* object = &launch.node->object;
  object->exit_code = -1;
  object->flags = static_cast<uint32_t>(flags);
  if ((flags & kLaunchReadOutput) && !(object->output = NewProgramReader())) return 0;
  if ((flags & kLaunchReadError) && !(object->error = NewProgramReader())) return 0;
  bool wait_here = flags & kLaunchWait;
  pid_t pid;
  {
    // Held across thread start and fork: the waiting thread learns the process
    // id only once it is known, and nothing can fail after a successful fork.
    ProcessListLock lock;
    object->serial = NextProgramSerialLocked();
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
