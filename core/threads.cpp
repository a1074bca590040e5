// The runtime's thread facilities: recursive mutexes, the process-list mutex with
// the process library's data block, and the drawing output's thread-specific key.
#include "core/threads.h"

#include "core/memory.h"

namespace {

pthread_mutex_t g_process_list_mutex;    // guards the process library's list; made at start-up
void* g_process_library_data = nullptr;  // the process library's 8-byte data block
pthread_key_t g_drawing_key;             // the current drawing output of each thread

}  // namespace

void InitRecursiveMutex(pthread_mutex_t* mutex) {
  pthread_mutexattr_t attributes;
  pthread_mutexattr_init(&attributes);
  pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
  pthread_mutex_init(mutex, &attributes);
  pthread_mutexattr_destroy(&attributes);
}

void InitRuntimeThreads() {
  // Start-up runs this once; a second call keeps the existing mutex and block.
  if (g_process_library_data) return;
  InitRecursiveMutex(&g_process_list_mutex);
  g_process_library_data = AllocLibraryData(8, nullptr);
}

pthread_mutex_t* ProcessListMutex() {
  return &g_process_list_mutex;
}

void* ProcessLibraryData() {
  return g_process_library_data;
}

void CreateDrawingKey() {
  static bool created = false;  // the key is created once and never deleted
  if (created) return;
  created = pthread_key_create(&g_drawing_key, nullptr) == 0;
}

pthread_key_t DrawingKey() {
  return g_drawing_key;
}
