// The basic Mac types and result codes shared by the Carbon, Core Services and Core
// Foundation calls; include this rather than defining them again.
#pragma once

#include <cstdint>

extern "C" {

typedef int32_t OSStatus;
typedef int16_t OSErr;
typedef uint8_t Boolean;
typedef uint32_t UInt32;
typedef int32_t SInt32;
typedef uint32_t OSType;  // a four-character code, first character in the high byte
typedef uint32_t OptionBits;
typedef unsigned long ItemCount;
typedef unsigned long ByteCount;

}  // extern "C"

constexpr OSStatus noErr = 0;
constexpr OSStatus paramErr = -50;
constexpr OSStatus fnfErr = -43;  // file not found
constexpr OSStatus memFullErr = -108;
constexpr OSStatus procNotFound = -600;
