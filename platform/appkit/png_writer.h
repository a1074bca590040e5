// Writing 8-bit RGBA pixels (straight alpha) as a PNG file with libpng.
#pragma once

#include <cstdint>

// Writes width x height pixels (4 bytes each, rows top to bottom) to path, with a resolution
// of pixels_per_metre in both directions (0: none declared). False when the file cannot be
// written; a file left half written is removed.
bool WritePngFile(const char* path, const uint8_t* rgba, uint32_t width, uint32_t height,
                  uint32_t pixels_per_metre);
