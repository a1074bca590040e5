// Reading a PNG file with libpng into 8-bit RGBA pixels with straight alpha.
//
// libpng reports errors by longjmp back to the setjmp in DecodeRows, so that function holds
// no C++ object with a destructor, and what it changes after setjmp lives in memory reached
// through a pointer (ReadState), never in local variables that longjmp could leave stale.
#include "platform/appkit/png_reader.h"

#include <png.h>

#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>

namespace {

// What DecodeRows allocates and finds; freed by ReadPngFile whatever happens.
struct ReadState {
  png_structp png;      // the read structure, or null
  png_infop info;       // its info structure, or null
  uint8_t* pixels;      // the picture being filled (malloc)
  png_bytep* rows;      // one pointer per row into pixels (malloc)
  uint32_t width;       // as read from the header
  uint32_t height;      // as read from the header
  bool has_alpha;       // alpha channel or tRNS chunk
  double dpi_x, dpi_y;  // from pHYs, or 72
};

// libpng's error handler: back to DecodeRows's setjmp, printing nothing.
[[noreturn]] void PngError(png_structp png, png_const_charp) {
  std::longjmp(png_jmpbuf(png), 1);
}
void PngWarning(png_structp, png_const_charp) {}

// Dots per inch from pixels per metre. A file can only store whole pixels per metre, which
// never give a whole number of dots per inch (144 dpi is stored as 5669); the nearest whole
// number is the resolution the file's author meant.
double DotsPerInch(png_uint_32 pixels_per_metre) {
  if (pixels_per_metre == 0) return 72;
  const double dpi = std::round(pixels_per_metre * 0.0254);
  return dpi > 0 ? dpi : 72;
}

// Reads the header, sets the conversions to RGBA 8 and reads every row. False on any error.
bool DecodeRows(std::FILE* file, ReadState* state) {
  if (setjmp(png_jmpbuf(state->png))) return false;
  png_init_io(state->png, file);
  png_set_user_limits(state->png, kPngMaxSide, kPngMaxSide);
#ifdef PNG_IGNORE_ADLER32
  // Every chunk's CRC is still checked, which catches a damaged file; the image data's second
  // checksum cost a tenth of start-up, spent on the large alert icon.
  png_set_option(state->png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
#endif
  png_read_info(state->png, state->info);

  state->width = png_get_image_width(state->png, state->info);
  state->height = png_get_image_height(state->png, state->info);
  const int colour_type = png_get_color_type(state->png, state->info);
  const bool has_trns = png_get_valid(state->png, state->info, PNG_INFO_tRNS) != 0;
  state->has_alpha = (colour_type & PNG_COLOR_MASK_ALPHA) != 0 || has_trns;

  png_uint_32 res_x = 0, res_y = 0;
  int unit = PNG_RESOLUTION_UNKNOWN;
  if (png_get_pHYs(state->png, state->info, &res_x, &res_y, &unit) &&
      unit == PNG_RESOLUTION_METER) {
    state->dpi_x = DotsPerInch(res_x);
    state->dpi_y = DotsPerInch(res_y);
  }

  // Every colour type becomes 8-bit R G B A: palettes and small grey depths expanded,
  // transparency chunks turned into alpha, 16-bit samples cut to 8, grey copied to RGB, and
  // an opaque alpha added where the file has none.
  png_set_expand(state->png);
  png_set_strip_16(state->png);
  png_set_gray_to_rgb(state->png);
  if (!state->has_alpha) png_set_filler(state->png, 0xFF, PNG_FILLER_AFTER);
  png_set_interlace_handling(state->png);
  png_read_update_info(state->png, state->info);
  if (png_get_rowbytes(state->png, state->info) != size_t{state->width} * 4) return false;

  const size_t row_bytes = size_t{state->width} * 4;
  state->pixels = static_cast<uint8_t*>(std::malloc(row_bytes * state->height));
  state->rows = static_cast<png_bytep*>(std::malloc(sizeof(png_bytep) * state->height));
  if (!state->pixels || !state->rows) return false;
  for (uint32_t y = 0; y < state->height; ++y) state->rows[y] = state->pixels + y * row_bytes;
  png_read_image(state->png, state->rows);
  png_read_end(state->png, nullptr);
  return true;
}

}  // namespace

bool ReadPngFile(const char* path, PngPicture* picture) {
  if (!path || !picture) return false;
  std::FILE* file = std::fopen(path, "rb");
  if (!file) return false;
  ReadState state{};
  state.dpi_x = state.dpi_y = 72;
  state.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, &PngError, &PngWarning);
  if (state.png) state.info = png_create_info_struct(state.png);
  const bool ok = state.png && state.info && DecodeRows(file, &state);
  png_destroy_read_struct(&state.png, state.info ? &state.info : nullptr, nullptr);
  std::fclose(file);
  std::free(state.rows);
  if (!ok) {
    std::free(state.pixels);
    return false;
  }
  *picture = PngPicture{state.pixels,    state.width, state.height,
                        state.has_alpha, state.dpi_x, state.dpi_y};
  return true;
}
