// Numbered file objects with an optional write buffer, and string writing in a
// chosen text encoding (UTF-8, UTF-16 or one byte per character).
//
// A file number is an object number of the file registry: 0 and up chosen by
// the caller, or -1 to let the runtime choose (the opening operation then
// returns the record's address, which is the number from then on). Operations
// on a number that names no open file do nothing and return 0.
//
// Data written through the buffer reaches the disk when the buffer overflows
// and on FileClose / FilesEnd.
#pragma once

#include <cstdint>
#include <cstdio>

// The record kept in the file registry for one open file.
struct FileObject {
  FILE* stream;            // the open stream; non-zero exactly while the file is open
  uint8_t* buffer;         // write buffer (sized block), 0 for an unbuffered file
  uint32_t buffer_size;    // bytes in the buffer (the buffer size setting at open)
  uint32_t room;           // write state: free bytes left; read state: read-ahead not yet consumed
  uint32_t read_state;     // 1 from open until the first write (the buffer holds read-ahead)
  uint32_t string_format;  // FileWriteText's default: 2 = UTF-8, 25 = UTF-16, else one byte
  uint32_t read_only;      // 1 when opened with FileOpenRead
};
static_assert(sizeof(FileObject) == 40, "file records are 40 bytes");

// Opening flags.
enum : int {
  kFileFormatMask = 31,       // bits 0-4: string format (0 means UTF-8)
  kFileUnbuffered = 0x80000,  // no write buffer: every write goes straight to the stream
  kFileAppend = 0x100000,     // FileOpenUpdate: start at the end of the file
};

// Opening modes of FileOpenMode.
enum : int {
  kFileModeRead = 1,    // "r"
  kFileModeUpdate = 2,  // "r+", or "w+" when the file does not exist
  kFileModeCreate = 3,  // "w+" (any other value as well): creates or truncates
};

// Creates the file registry; called once at start-up before any other operation.
void FilesInit();
// Closes every file (flushing its buffer); called at program end.
void FilesEnd();

// Opens path under number. For -1 returns the record's address (the new number),
// for an explicit number the stream handle; 0 on failure. Re-using the number of
// an open file closes that file first, even when the new open fails.
int64_t FileOpenMode(int64_t number, const char16_t* path, int mode, int flags);
int64_t FileCreate(int64_t number, const char16_t* path, int flags = 0);
int64_t FileOpenUpdate(int64_t number, const char16_t* path, int flags = 0);
int64_t FileOpenRead(int64_t number, const char16_t* path, int flags = 0);

// Non-zero when the number names an open file.
int64_t FileIsOpen(int64_t number);
// Writes the string without terminator or line end in the given format (0 = the
// file's own); returns the bytes written, 0 for an empty or null string, a
// string that does not convert, a read-only file or a number that names no file.
int64_t FileWriteText(int64_t number, const char16_t* string, int format = 0);
// Flushes and closes one file; -1 closes every file.
void FileClose(int64_t number);

// The write buffer size given to files opened from now on (4096 by default; 0
// opens every file unbuffered).
uint32_t FileBufferSize();
void SetFileBufferSize(uint32_t size);
