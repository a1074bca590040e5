// The runtime's thread facilities: recursive mutexes, the process-list mutex,
// and the thread-specific key that holds the current drawing output.
#pragma once

#include <pthread.h>

// Initialises a mutex of the recursive kind.
void InitRecursiveMutex(pthread_mutex_t* mutex);

// Start-up: creates the process-list mutex and the process library's data block.
void InitRuntimeThreads();
pthread_mutex_t* ProcessListMutex();
void* ProcessLibraryData();  // 8 bytes, created by InitRuntimeThreads

// Start-up: pthread_key_create for the current drawing output, no destructor.
void CreateDrawingKey();
pthread_key_t DrawingKey();
