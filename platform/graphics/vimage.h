// The Accelerate (vImage) conversions between premultiplied and straight alpha for 8-bit RGBA
// pixels, with exact rounding:
//   premultiply    c' = (c * a + 127) / 255   (c * a / 255 rounded to nearest)
//   unpremultiply  c' = (c * 255 + a / 2) / a for a > 0, at most 255; all colour 0 for a = 0
// Alpha is left as it is. Each function reads a pixel before writing it, so source and
// destination may be the same buffer (the same data and rowBytes); other overlaps are not
// supported.
#pragma once

#include <cstddef>
#include <cstdint>

extern "C" {

typedef unsigned long vImagePixelCount;
typedef long vImage_Error;
typedef uint32_t vImage_Flags;

// A picture in memory.
typedef struct vImage_Buffer {
  void* data;               // first byte of the top row
  vImagePixelCount height;  // rows
  vImagePixelCount width;   // pixels per row
  size_t rowBytes;          // bytes from one row to the next, at least width * 4 here
} vImage_Buffer;

}  // extern "C"

constexpr vImage_Error kvImageNoError = 0;
constexpr vImage_Error kvImageRoiLargerThanInputBuffer = -21766;
constexpr vImage_Error kvImageNullPointerArgument = -21772;
constexpr vImage_Error kvImageInvalidParameter = -21773;
constexpr vImage_Error kvImageUnknownFlagsBit = -21775;

constexpr vImage_Flags kvImageNoFlags = 0;
constexpr vImage_Flags kvImageLeaveAlphaUnchanged = 1;
constexpr vImage_Flags kvImageCopyInPlace = 2;
constexpr vImage_Flags kvImageBackgroundColorFill = 4;
constexpr vImage_Flags kvImageEdgeExtend = 8;
constexpr vImage_Flags kvImageDoNotTile = 16;
constexpr vImage_Flags kvImageHighQualityResampling = 32;
constexpr vImage_Flags kvImageTruncateKernel = 64;
constexpr vImage_Flags kvImageGetTempBufferSize = 128;  // answers 0: no temporary buffer needed
constexpr vImage_Flags kvImagePrintDiagnosticsToConsole = 256;
constexpr vImage_Flags kvImageNoAllocate = 512;

extern "C" {

// Converts dest->height rows of dest->width pixels of src (R, G, B, A bytes) into dest.
// Errors: kvImageNullPointerArgument for a null buffer or data, kvImageRoiLargerThanInputBuffer
// when dest is wider or higher than src, kvImageInvalidParameter for rowBytes below width * 4,
// kvImageUnknownFlagsBit for a flag vImage does not define. Other flags change nothing.
vImage_Error vImageUnpremultiplyData_RGBA8888(const vImage_Buffer* src, const vImage_Buffer* dest,
                                              vImage_Flags flags);
vImage_Error vImagePremultiplyData_RGBA8888(const vImage_Buffer* src, const vImage_Buffer* dest,
                                            vImage_Flags flags);

}  // extern "C"
