// Finding a program to launch through its path or the PATH folders.
#include "core/program_search.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

int IsLaunchableFile(const char* path) {
  struct stat info;
  if (stat(path, &info) != 0) return 0;
  if (!S_ISREG(info.st_mode) || info.st_size < 1) return 0;
  return access(path, X_OK) == 0 ? 1 : 0;
}

int ProgramExists(const char* name) {
  if (!name || !*name) return 0;
  if (strchr(name, '/') && IsLaunchableFile(name)) return 1;
  if (name[0] == '/' || (name[0] == '.' && name[1] == '/')) return 0;
  const char* path = getenv("PATH");
  if (!path) return 0;
  size_t name_length = strlen(name);
  // Room for the longest element, a slash, the name and the terminator.
  char* candidate = static_cast<char*>(malloc(strlen(path) + name_length + 2));
  if (!candidate) return 0;
  int found = 0;
  const char* element = path;
  for (;;) {
    const char* colon = strchr(element, ':');
    size_t length = colon ? static_cast<size_t>(colon - element) : strlen(element);
    // Empty elements are skipped, the last one too: an empty element must not
    // turn into the root folder ("/" + name), and an empty PATH finds nothing.
    if (length > 0) {
      memcpy(candidate, element, length);
      if (element[length - 1] != '/') candidate[length++] = '/';
      memcpy(candidate + length, name, name_length + 1);
      if (IsLaunchableFile(candidate)) {
        found = 1;
        break;
      }
    }
    if (!colon) break;
    element = colon + 1;
  }
  free(candidate);
  return found;
}
