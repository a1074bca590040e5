// Reading a PNG file with libpng into 8-bit RGBA pixels with straight (not premultiplied)
// alpha, together with the resolution the file declares.
#pragma once

#include <cstdint>

// A decoded PNG picture.
struct PngPicture {
  uint8_t* pixels;  // width * height * 4 bytes, R G B A, rows top to bottom; std::free it
  uint32_t width;   // pixels per row
  uint32_t height;  // rows
  bool has_alpha;   // the file has an alpha channel or a transparency chunk
  double dpi_x;     // horizontal resolution in dots per inch; 72 when the file declares none
  double dpi_y;     // vertical resolution, likewise
};

// The largest width or height read, far beyond any icon; a larger picture is refused so that
// a hostile file cannot ask for gigabytes (16384 x 16384 pixels take 1 GiB).
inline constexpr uint32_t kPngMaxSide = 16384;

// Decodes the PNG file at path into *picture. Answers false, with nothing allocated, for a
// missing or unreadable file, one that is not a PNG, a corrupt one, a side above kPngMaxSide,
// or memory running out. libpng's messages are not printed.
bool ReadPngFile(const char* path, PngPicture* picture);
