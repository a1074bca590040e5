// File-system queries and actions on paths: executable path, directory part,
// home folder, path size, making folders, deleting and replacing files.
#include "core/filesystem.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/temp_buffer.h"
#include "core/utf.h"

// --- Paths as UTF-8 ---

int IsValidUtf16(const char16_t* string) {
  if (!string) return 1;
  for (const char16_t* p = string; *p; ++p) {
    if ((*p & 0xFC00) == 0xD800) {
      if ((p[1] & 0xFC00) != 0xDC00) return 0;
      ++p;  // the pair is complete
    } else if ((*p & 0xFC00) == 0xDC00) {
      return 0;
    }
  }
  return 1;
}

char* PathToUtf8(const char16_t* path) {
  if (!path || !IsValidUtf16(path)) return nullptr;
  return ToUtf8(path);
}

// --- String results ---

void ExecutablePath(int64_t offset) {
  // readlink does not say how long the target is, so grow the buffer until the
  // whole target fits with room to spare.
  size_t size = 256;
  char* text = nullptr;
  for (;;) {
    char* grown = static_cast<char*>(realloc(text, size));
    if (!grown) break;
    text = grown;
    ssize_t n = readlink("/proc/self/exe", text, size);
    if (n < 0) break;
    if (static_cast<size_t>(n) < size) {
      text[n] = 0;
      Utf8ToTemp(text, offset);
      free(text);
      return;
    }
    if (size > (static_cast<size_t>(1) << 30)) break;  // no real path is this long
    size *= 2;
  }
  free(text);
  Utf8ToTemp("", offset);
}

void PathDirectory(const char16_t* path, int64_t offset) {
  if (!path) {
    Utf8ToTemp("", offset);
    return;
  }
  const char16_t* start = path;
  if (*start == u'"') ++start;
  int64_t count = 0;  // units up to and including the last "/"
  for (const char16_t* p = start; *p; ++p) {
    if (*p == u'/') count = p - start + 1;
  }
  // Reserving may move the buffer, and the result may overwrite its own
  // argument: keep the source as an offset while the buffer can move.
  int64_t source_in_temp = TempOffsetOf(start);
  char16_t* destination = ReserveTemp(count, offset);
  if (source_in_temp) start = TempPointerAt(source_in_temp);
  memmove(destination, start, static_cast<size_t>(count) * sizeof(char16_t));
  destination[count] = 0;
}

// The home folder as UTF-8 without any change, or 0: HOME first, then the
// password database entry of the real user. The result is malloc'd.
static char* HomeFolderUtf8() {
  const char* home = getenv("HOME");
  if (home && *home) return strdup(home);
  long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
  size_t size = suggested > 0 ? static_cast<size_t>(suggested) : 1024;
  char* buffer = nullptr;
  char* result = nullptr;
  for (;;) {
    char* grown = static_cast<char*>(realloc(buffer, size));
    if (!grown) break;
    buffer = grown;
    passwd entry;
    passwd* found = nullptr;
    int error = getpwuid_r(getuid(), &entry, buffer, size, &found);
    if (error == ERANGE && size < (static_cast<size_t>(1) << 20)) {
      size *= 2;
      continue;
    }
    if (error == 0 && found && found->pw_dir && *found->pw_dir) result = strdup(found->pw_dir);
    break;
  }
  free(buffer);
  return result;
}

void HomeDirectoryPath(int64_t offset) {
  char* home = HomeFolderUtf8();
  if (!home) {
    Utf8ToTemp("", offset);
    return;
  }
  size_t length = strlen(home);
  if (home[length - 1] != '/') {
    char* with_slash = static_cast<char*>(realloc(home, length + 2));
    if (!with_slash) {
      free(home);
      Utf8ToTemp("", offset);
      return;
    }
    home = with_slash;
    home[length] = '/';
    home[length + 1] = 0;
  }
  Utf8ToTemp(home, offset);
  free(home);
}

// --- Queries and actions ---

int64_t PathSize(const char16_t* path) {
  char* text = PathToUtf8(path);
  if (!text) return -1;
  struct stat info;
  int result = stat(text, &info);
  FreeUtf8(text);
  if (result != 0) return -1;
  if (S_ISDIR(info.st_mode)) return -2;
  return static_cast<int64_t>(info.st_size);
}

int MakeDirectory(const char16_t* path) {
  char* text = PathToUtf8(path);
  if (!text) return 0;
  int result = mkdir(text, 0700);
  FreeUtf8(text);
  return result == 0 ? 1 : 0;
}

int RemoveFile(const char16_t* path, int /*mode*/) {
  return RemoveFile(path);
}

int RemoveFile(const char16_t* path) {
  char* text = PathToUtf8(path);
  if (!text) return 0;
  int result = unlink(text);
  FreeUtf8(text);
  return result == 0 ? 1 : 0;
}

// --- Replacing a file ---

int ReplaceFile(const char16_t* temporary, const char16_t* path) {
  char* from = PathToUtf8(temporary);
  char* to = PathToUtf8(path);
  bool ok = from && to;
  if (ok) {
    const int fd = open(from, O_RDONLY | O_CLOEXEC);
    ok = fd >= 0 && fsync(fd) == 0;
    if (fd >= 0) close(fd);
  }
  ok = ok && rename(from, to) == 0;
  if (!ok && from) unlink(from);
  if (ok) {
    // The folder part of the target (cut in the private copy); its sync failing is not
    // reported, since the new file is already in place.
    char* slash = std::strrchr(to, '/');
    const char* folder = slash == nullptr ? "." : slash == to ? "/" : to;
    if (slash != nullptr && slash != to) *slash = 0;
    const int folder_fd = open(folder, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder_fd >= 0) {
      fsync(folder_fd);
      close(folder_fd);
    }
  }
  FreeUtf8(from);
  FreeUtf8(to);
  return ok ? 1 : 0;
}
