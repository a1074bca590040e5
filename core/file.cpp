// Numbered file objects: opening under a number, the write buffer, string
// writing in three formats, closing.
//
// Index: registry and lookup; opening; the write buffer; string writing; closing.
#include "core/file.h"

#include <sys/types.h>

#include <cstring>

#include "core/filesystem.h"
#include "core/memory.h"
#include "core/registry.h"
#include "core/strings.h"
#include "core/text.h"
#include "core/utf.h"

// --- Registry and lookup ---

namespace {

ObjectRegistry* g_files = nullptr;   // the file registry, made by FilesInit
uint32_t g_file_buffer_size = 4096;  // buffer size for files opened from now on

void CloseFileCallback(int64_t number) {
  FileClose(number);
}

// The record of an open file, or 0. A number outside the static range must be a
// record the registry handed out: it is checked against the dynamic list, so a
// stale number of a closed file is never dereferenced.
FileObject* FindFile(int64_t number) {
  if (!g_files) return nullptr;
  if (number < 0 || number >= g_files->slot_count) {
    if (!IsObject(g_files, number)) return nullptr;
  }
  return static_cast<FileObject*>(FindObject(g_files, number));
}

}  // namespace

void FilesInit() {
  if (!g_files) g_files = CreateRegistry(sizeof(FileObject), 16, CloseFileCallback);
}

uint32_t FileBufferSize() {
  return g_file_buffer_size;
}
void SetFileBufferSize(uint32_t size) {
  g_file_buffer_size = size;
}

// --- Opening ---

int64_t FileOpenMode(int64_t number, const char16_t* path, int mode, int flags) {
  if (!g_files) return 0;
  // Re-using the number of an open file closes it here (the registry calls the
  // free callback), before anything else can fail.
  FileObject* file = static_cast<FileObject*>(AllocateObject(g_files, number));
  if (!file) return 0;
  char* text = PathToUtf8(path);
  FILE* stream = nullptr;
  if (text) {
    if (mode == kFileModeRead) {
      stream = fopen(text, "r");
    } else if (mode == kFileModeUpdate) {
      stream = fopen(text, "r+");
      if (!stream) stream = fopen(text, "w+");
    } else {
      stream = fopen(text, "w+");
    }
  }
  FreeUtf8(text);
  if (!stream) {
    FreeObject(g_files, number == -1 ? reinterpret_cast<int64_t>(file) : number);
    return 0;
  }
  uint8_t* buffer = nullptr;
  if (!(flags & kFileUnbuffered) && g_file_buffer_size != 0) {
    // A buffer that cannot be had leaves the file unbuffered rather than unopened.
    buffer = static_cast<uint8_t*>(AllocBlockRaw(g_file_buffer_size));
    // The runtime's buffer replaces the stream's own, so that what leaves it
    // (an overflow, a large write) goes straight to the file.
    if (buffer) setvbuf(stream, nullptr, _IONBF, 0);
  }
  file->stream = stream;
  file->buffer = buffer;
  file->buffer_size = g_file_buffer_size;
  file->room = 0;
  file->read_state = 1;
  file->string_format = (flags & kFileFormatMask) ? (flags & kFileFormatMask) : kTextFormatUtf8;
  file->read_only = mode == kFileModeRead ? 1 : 0;
  if (mode == kFileModeUpdate && (flags & kFileAppend)) fseeko(stream, 0, SEEK_END);
  if (number == -1) return reinterpret_cast<int64_t>(file);
  return reinterpret_cast<int64_t>(stream);
}

int64_t FileCreate(int64_t number, const char16_t* path, int flags) {
  return FileOpenMode(number, path, kFileModeCreate, flags);
}

int64_t FileOpenUpdate(int64_t number, const char16_t* path, int flags) {
  return FileOpenMode(number, path, kFileModeUpdate, flags);
}

int64_t FileOpenRead(int64_t number, const char16_t* path, int flags) {
  return FileOpenMode(number, path, kFileModeRead, flags);
}

int64_t FileIsOpen(int64_t number) {
  if (!g_files) return 0;
  return IsObject(g_files, number);
}

// --- The write buffer ---

namespace {

// Writes the used part of the buffer; nothing in read state. Returns the bytes written.
int64_t FlushFile(FileObject* file) {
  if (file->read_state || !file->buffer) return 0;
  size_t used = file->buffer_size - file->room;
  size_t written = used ? fwrite(file->buffer, 1, used, file->stream) : 0;
  file->room = file->buffer_size;
  return static_cast<int64_t>(written);
}

int64_t WriteBuffered(FileObject* file, const void* bytes, size_t n) {
  if (file->read_only) return 0;
  if (file->read_state) {
    // Give back read-ahead that was never consumed, so that writing starts
    // where the caller believes the file position is.
    fseeko(file->stream, -static_cast<off_t>(file->room), SEEK_CUR);
    file->read_state = 0;
    file->room = file->buffer_size;
  }
  if (n < file->room) {
    memcpy(file->buffer + (file->buffer_size - file->room), bytes, n);
    file->room -= static_cast<uint32_t>(n);
    return static_cast<int64_t>(n);
  }
  FlushFile(file);
  if (n >= file->buffer_size) return static_cast<int64_t>(fwrite(bytes, 1, n, file->stream));
  memcpy(file->buffer, bytes, n);
  file->room = file->buffer_size - static_cast<uint32_t>(n);
  return static_cast<int64_t>(n);
}

int64_t WriteBytes(FileObject* file, const void* bytes, size_t n) {
  if (file->buffer) return WriteBuffered(file, bytes, n);
  if (file->read_only) return 0;
  size_t written = fwrite(bytes, 1, n, file->stream);
  fflush(file->stream);
  return static_cast<int64_t>(written);
}

}  // namespace

// --- String writing ---

int64_t FileWriteText(int64_t number, const char16_t* string, int format) {
  FileObject* file = FindFile(number);
  if (!file || !string || !*string) return 0;
  if (format == 0) format = static_cast<int>(file->string_format);
  int64_t units = StringLength(string);
  if (format == kTextFormatUtf16) {
    return WriteBytes(file, string, static_cast<size_t>(units) * sizeof(char16_t));
  }
  int code_page = format == kTextFormatUtf8 ? kCodePageUtf8 : kCodePageOneByte;
  int64_t needed = Utf16ToMultiByte(code_page, 0, string, units, nullptr, 0);
  if (needed <= 0) return 0;
  // Most writes are short: convert them on the stack.
  char small[512];
  char* bytes = needed <= static_cast<int64_t>(sizeof small)
                    ? small
                    : static_cast<char*>(HeapAlloc(static_cast<size_t>(needed)));
  if (!bytes) return 0;
  int64_t converted = Utf16ToMultiByte(code_page, 0, string, units, bytes, needed);
  int64_t result = converted > 0 ? WriteBytes(file, bytes, static_cast<size_t>(converted)) : 0;
  if (bytes != small) HeapFree(bytes);
  return result;
}

// --- Closing ---

void FileClose(int64_t number) {
  if (!g_files) return;
  if (number == -1) {
    FreeAllObjects(g_files);
    return;
  }
  FileObject* file = FindFile(number);
  if (!file) return;
  if (file->buffer) {
    FlushFile(file);
    FreeBlock(file->buffer);
  }
  fclose(file->stream);
  FreeObject(g_files, number);
}

void FilesEnd() {
  FileClose(-1);
}
