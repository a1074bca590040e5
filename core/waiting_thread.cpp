// Reaping launched programs: the blocking wait and the waiting thread of program objects.
#include "core/waiting_thread.h"

#include <pthread.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>

#include "core/process_list.h"

namespace {

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
    SignalProgramEndedLocked();
  }
  free(waiter);
  return nullptr;
}

}  // namespace

int32_t ExitCodeFromStatus(int status) {
  if (status & 0x7F) return 1;  // ended by a signal
  return (status >> 8) & 255;
}

int WaitForProcess(pid_t pid) {
  int status = 0;
  pid_t result;
  do {
    result = waitpid(pid, &status, 0);
  } while (result < 0 && errno == EINTR);
  return result == pid ? status : -1;
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
