// PNG files from RGBA pixels. libpng reports errors by longjmp back to the setjmp in
// WritePngFile, so that function holds no C++ object with a destructor.
#include "platform/appkit/png_writer.h"

#include <png.h>
#include <unistd.h>

#include <csetjmp>
#include <cstdio>

bool WritePngFile(const char* path, const uint8_t* rgba, uint32_t width, uint32_t height,
                  uint32_t pixels_per_metre) {
  if (!path || !rgba || width == 0 || height == 0) return false;
  FILE* file = std::fopen(path, "wb");
  if (file == nullptr) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
  if (info == nullptr || setjmp(png_jmpbuf(png)) != 0) {
    png_destroy_write_struct(&png, &info);
    std::fclose(file);
    unlink(path);
    return false;
  }
  png_init_io(png, file);
  png_set_IHDR(png, info, width, height, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (pixels_per_metre) {
    png_set_pHYs(png, info, pixels_per_metre, pixels_per_metre, PNG_RESOLUTION_METER);
  }
  png_write_info(png, info);
  for (uint32_t y = 0; y < height; ++y) {
    png_write_row(png, rgba + static_cast<size_t>(y) * width * 4);
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  if (std::fclose(file) != 0) {
    unlink(path);
    return false;
  }
  return true;
}
