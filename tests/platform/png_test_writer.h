// Writing small PNG files with libpng for the image tests: known pixels, with or without
// alpha, with or without a declared resolution; and a temporary folder to hold them.
#pragma once

#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

// A temporary folder removed with its files when the test ends.
class PngFolder {
 public:
  PngFolder() {
    char pattern[] = "/tmp/mindel-png-XXXXXX";
    if (mkdtemp(pattern)) path_ = pattern;
  }
  ~PngFolder() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  PngFolder(const PngFolder&) = delete;
  PngFolder& operator=(const PngFolder&) = delete;
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// What to write: pixels are R G B A (with_alpha) or R G B, rows top to bottom.
struct PngSpec {
  int width = 1;
  int height = 1;
  bool with_alpha = true;
  std::vector<unsigned char> pixels;  // width * height * (with_alpha ? 4 : 3) bytes
  unsigned pixels_per_metre = 0;      // pHYs resolution; 0 writes no pHYs chunk
};

// Writes spec as a PNG file at path; false when libpng or the file refuses.
inline bool WritePng(const std::string& path, const PngSpec& spec) {
  const int channels = spec.with_alpha ? 4 : 3;
  if (spec.pixels.size() != static_cast<size_t>(spec.width * spec.height * channels)) return false;
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  std::vector<png_bytep> rows(spec.height);
  for (int y = 0; y < spec.height; ++y) {
    rows[y] = const_cast<png_bytep>(spec.pixels.data()) + y * spec.width * channels;
  }
  bool ok = false;
  // Nothing with a destructor is made after setjmp.
  if (png && info && !setjmp(png_jmpbuf(png))) {
    png_init_io(png, file);
    png_set_IHDR(png, info, spec.width, spec.height, 8,
                 spec.with_alpha ? PNG_COLOR_TYPE_RGB_ALPHA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (spec.pixels_per_metre) {
      png_set_pHYs(png, info, spec.pixels_per_metre, spec.pixels_per_metre, PNG_RESOLUTION_METER);
    }
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    ok = true;
  }
  png_destroy_write_struct(&png, &info);
  std::fclose(file);
  return ok;
}

// A width x height RGBA picture of one colour.
inline PngSpec SolidPng(int width, int height, unsigned char r, unsigned char g, unsigned char b,
                        unsigned char a) {
  PngSpec spec;
  spec.width = width;
  spec.height = height;
  for (int i = 0; i < width * height; ++i) spec.pixels.insert(spec.pixels.end(), {r, g, b, a});
  return spec;
}

// 144 dots per inch in pixels per metre, as PNG files store it.
constexpr unsigned kPixelsPerMetreAt144Dpi = 5669;

// The repository's resources folder (the tests are compiled from their place in the tree).
inline std::string ResourcePath(const std::string& name) {
  return (std::filesystem::path(__FILE__).parent_path().parent_path().parent_path() / "resources" /
          name)
      .string();
}
