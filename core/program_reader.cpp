// The non-blocking readers on a program object's pipes: a ring buffer filled by reads that
// never block, and waits that block in poll, so a waiting reader uses no CPU.
#include "core/program_reader.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "core/memory.h"

ProgramReader* NewProgramReader() {
  ProgramReader* reader = static_cast<ProgramReader*>(AllocBlock(sizeof(ProgramReader)));
  if (reader) reader->descriptor = -1;
  return reader;
}

void FreeProgramReader(ProgramReader* reader) {
  if (!reader) return;
  if (reader->descriptor >= 0) close(reader->descriptor);
  FreeBlock(reader);
}

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
  FreeProgramReader(reader);
}
