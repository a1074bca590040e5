// File-system queries and actions on paths given as runtime strings: the
// program's own file name, the directory part of a path, the user's home folder,
// the size or kind of a path, making a folder and deleting a file.
//
// Paths are converted to UTF-8 for every system call. A path that is not valid
// UTF-16 (a lone surrogate) is refused as a whole rather than converted into a
// different name. String results follow the temporary buffer's result protocol:
// they are written at the byte offset passed last.
#pragma once

#include <cstdint>

// 1 when every high surrogate of the string is followed by a low one and no low
// surrogate stands alone; a null string counts as valid (empty).
int IsValidUtf16(const char16_t* string);
// A malloc'd UTF-8 copy of the path (free it with FreeUtf8), or 0 for a null
// path, a path that is not valid UTF-16, or when memory runs out.
char* PathToUtf8(const char16_t* path);

// Full path of the running executable (from /proc/self/exe); empty on failure.
void ExecutablePath(int64_t offset);
// The path up to and including its last "/"; empty without a "/" or for a null
// path. A leading double quote is dropped. The path may lie in the buffer itself.
void PathDirectory(const char16_t* path, int64_t offset);
// The user's home folder with a trailing "/": from HOME, else from the password
// database; empty when neither gives one.
void HomeDirectoryPath(int64_t offset);

// Size in bytes; -1 when the path does not exist, is null or invalid; -2 for a folder.
int64_t PathSize(const char16_t* path);
// 1 when the folder was made (mode 0700), else 0.
int MakeDirectory(const char16_t* path);
// 1 when the file was deleted, else 0. The mode has no effect.
int RemoveFile(const char16_t* path, int mode);
int RemoveFile(const char16_t* path);
// Puts the finished file `temporary` in the place of `path` in one step: its data is
// flushed to the disk, it is renamed over path (which readers then see either whole
// before or whole after, even when the program is killed), and the folder is flushed so
// that the rename survives a power loss. Both must lie in the same folder. 1 on success;
// 0 leaves path as it was and removes temporary.
int ReplaceFile(const char16_t* temporary, const char16_t* path);
