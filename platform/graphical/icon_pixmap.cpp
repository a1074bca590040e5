// Status item pixmaps from the model's image.
#include "platform/graphical/icon_pixmap.h"

#include <algorithm>
#include <cmath>

#include "platform/appkit/image.h"
#include "platform/foundation/array.h"

const int32_t kIconPixmapSizes[6] = {16, 22, 24, 32, 44, 48};

namespace {

// Premultiplied RGBA of one source pixel, as floats 0..1.
struct Colour {
  double r = 0, g = 0, b = 0, a = 0;
};

Colour PixelAt(const PixelPicture& picture, size_t x, size_t y) {
  const uint8_t* p = picture.pixels + y * picture.bytes_per_row + x * 4;
  const double a = p[3] / 255.0;
  const double scale = picture.alpha == PixelAlpha::kPremultiplied ? 1.0 / 255.0 : a / 255.0;
  return {p[0] * scale, p[1] * scale, p[2] * scale, a};
}

uint8_t Byte(double value) {
  return static_cast<uint8_t>(std::lround(std::clamp(value, 0.0, 1.0) * 255.0));
}

}  // namespace

IconPixmap FitIntoSquare(const PixelPicture& picture, int32_t size, bool tint, uint32_t tint_rgb) {
  IconPixmap pixmap;
  if (size <= 0 || !picture.pixels || picture.width == 0 || picture.height == 0 ||
      picture.width > 1 << 16 || picture.height > 1 << 16) {
    return pixmap;
  }
  const auto wide = static_cast<int32_t>(picture.width);
  const auto high = static_cast<int32_t>(picture.height);
  pixmap.size = size;
  pixmap.argb.assign(static_cast<size_t>(size) * size * 4, 0);
  // The picture's scale into the square, keeping its proportions, and where it starts.
  const double scale = std::min(static_cast<double>(size) / wide, static_cast<double>(size) / high);
  const double left = (size - wide * scale) / 2;
  const double top = (size - high * scale) / 2;
  for (int32_t ty = 0; ty < size; ++ty) {
    for (int32_t tx = 0; tx < size; ++tx) {
      // The source area under target pixel (tx, ty), in source pixels.
      const double x0 = (tx - left) / scale, x1 = (tx + 1 - left) / scale;
      const double y0 = (ty - top) / scale, y1 = (ty + 1 - top) / scale;
      Colour sum;
      double covered = 0;
      for (int32_t sy = std::max(0, static_cast<int32_t>(std::floor(y0)));
           sy < std::min(high, static_cast<int32_t>(std::ceil(y1))); ++sy) {
        const double hy = std::min<double>(y1, sy + 1) - std::max<double>(y0, sy);
        for (int32_t sx = std::max(0, static_cast<int32_t>(std::floor(x0)));
             sx < std::min(wide, static_cast<int32_t>(std::ceil(x1))); ++sx) {
          const double weight = (std::min<double>(x1, sx + 1) - std::max<double>(x0, sx)) * hy;
          if (weight <= 0) continue;
          const Colour c = PixelAt(picture, static_cast<size_t>(sx), static_cast<size_t>(sy));
          sum.r += c.r * weight;
          sum.g += c.g * weight;
          sum.b += c.b * weight;
          sum.a += c.a * weight;
          covered += weight;
        }
      }
      // Divided by the whole target pixel's area: a pixel half outside the picture is half
      // transparent.
      const double area = (x1 - x0) * (y1 - y0);
      if (covered <= 0 || area <= 0) continue;
      const double a = sum.a / area;
      uint8_t* out = pixmap.argb.data() + (static_cast<size_t>(ty) * size + tx) * 4;
      out[0] = Byte(a);
      if (a <= 0) continue;
      if (tint) {
        out[1] = static_cast<uint8_t>(tint_rgb >> 16);
        out[2] = static_cast<uint8_t>(tint_rgb >> 8);
        out[3] = static_cast<uint8_t>(tint_rgb);
      } else {
        // Straight (not premultiplied) colour, as the pixmaps carry it.
        out[1] = Byte(sum.r / sum.a);
        out[2] = Byte(sum.g / sum.a);
        out[3] = Byte(sum.b / sum.a);
      }
    }
  }
  return pixmap;
}

std::vector<IconPixmap> StatusIconPixmaps(id image, uint32_t tint_rgb) {
  std::vector<IconPixmap> pixmaps;
  if (!image) return pixmaps;
  // The representation with the most pixels gives the sharpest downscaled glyph.
  std::vector<uint8_t> scratch, best_scratch;
  PixelPicture best{};
  for (id rep : foundation::ArrayItems(objc::Send(image, "representations"))) {
    PixelPicture picture{};
    if (!BitmapRepPicture(rep, &scratch, &picture) || picture.width <= best.width) {
      continue;
    }
    best = picture;
    // The converted pixels live in scratch; keep them with the best picture.
    if (picture.pixels == scratch.data()) {
      best_scratch.swap(scratch);
      best.pixels = best_scratch.data();
    }
  }
  if (!best.pixels) return pixmaps;
  const bool tint = objc::Send<BOOL>(image, "isTemplate");
  for (int32_t size : kIconPixmapSizes)
    pixmaps.push_back(FitIntoSquare(best, size, tint, tint_rgb));
  return pixmaps;
}

std::vector<uint8_t> PixmapRgba(const IconPixmap& pixmap) {
  std::vector<uint8_t> rgba(pixmap.argb.size());
  for (size_t i = 0; i + 3 < rgba.size(); i += 4) {
    rgba[i] = pixmap.argb[i + 1];
    rgba[i + 1] = pixmap.argb[i + 2];
    rgba[i + 2] = pixmap.argb[i + 3];
    rgba[i + 3] = pixmap.argb[i];
  }
  return rgba;
}
