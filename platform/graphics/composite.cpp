// Source-over compositing of RGBA pictures into bitmap contexts.
#include "platform/graphics/composite.h"

#include <cmath>
#include <cstring>

namespace {

// Where each component of a pixel lies in the context's memory.
struct ChannelOffsets {
  int red, green, blue, alpha;  // byte offsets within the 4-byte pixel
};

ChannelOffsets OffsetsFor(CGBitmapInfo info) {
  const bool alpha_first = (info & kCGBitmapAlphaInfoMask) == kCGImageAlphaPremultipliedFirst;
  const bool little = (info & kCGBitmapByteOrderMask) == kCGBitmapByteOrder32Little;
  if (!alpha_first) return little ? ChannelOffsets{3, 2, 1, 0} : ChannelOffsets{0, 1, 2, 3};
  return little ? ChannelOffsets{2, 1, 0, 3} : ChannelOffsets{1, 2, 3, 0};
}

// x * y / 255 rounded to nearest; exact for every pair of bytes.
inline unsigned MultiplyBytes(unsigned x, unsigned y) {
  return (x * y + 127) / 255;
}

inline uint8_t Clamp(unsigned value) {
  return static_cast<uint8_t>(value > 255 ? 255 : value);
}

// The destination pixel range [first, last) that a picture placed at `start` covers along one
// axis of `extent` pixels; false when they do not meet.
bool Overlap(int64_t start, size_t length, size_t extent, int64_t* first, int64_t* last) {
  *first = start < 0 ? 0 : start;
  const int64_t end = start + static_cast<int64_t>(length);
  *last = end > static_cast<int64_t>(extent) ? static_cast<int64_t>(extent) : end;
  return *first < *last;
}

// A coordinate far outside any context stays outside after conversion, without overflow.
int64_t WholePixel(CGFloat value) {
  constexpr CGFloat kFar = 1 << 30;
  if (!(value > -kFar)) return -(int64_t{1} << 30);  // also NaN
  if (value > kFar) return int64_t{1} << 30;
  return std::llround(value);
}

}  // namespace

bool CompositePixels(CGContextRef context, const PixelPicture& picture, CGPoint origin) {
  uint8_t* base = static_cast<uint8_t*>(CGBitmapContextGetData(context));
  // The size bound keeps the arithmetic below far from overflow.
  constexpr size_t kMaxSide = size_t{1} << 30;
  if (base == nullptr || picture.pixels == nullptr || picture.width > kMaxSide ||
      picture.height > kMaxSide || picture.bytes_per_row < picture.width * 4) {
    return false;
  }
  const size_t width = CGBitmapContextGetWidth(context);
  const size_t height = CGBitmapContextGetHeight(context);
  const size_t pitch = CGBitmapContextGetBytesPerRow(context);
  const ChannelOffsets at = OffsetsFor(CGBitmapContextGetBitmapInfo(context));

  // The picture's top row sits at user-space y = origin.y + height - 1, which is memory row
  // context height - (origin.y + picture height).
  const int64_t left = WholePixel(origin.x);
  const int64_t top =
      static_cast<int64_t>(height) - WholePixel(origin.y) - static_cast<int64_t>(picture.height);
  int64_t x0, x1, y0, y1;
  if (!Overlap(left, picture.width, width, &x0, &x1) ||
      !Overlap(top, picture.height, height, &y0, &y1)) {
    return true;  // entirely outside: nothing to draw
  }
  const bool straight = picture.alpha == PixelAlpha::kStraight;
  const bool same_order = at.red == 0 && at.green == 1 && at.blue == 2 && at.alpha == 3;
  for (int64_t y = y0; y < y1; ++y) {
    const uint8_t* source = picture.pixels + (y - top) * picture.bytes_per_row + (x0 - left) * 4;
    uint8_t* target = base + y * pitch + x0 * 4;
    for (int64_t x = x0; x < x1; ++x, source += 4, target += 4) {
      const unsigned alpha = source[3];
      unsigned red = source[0], green = source[1], blue = source[2];
      if (alpha == 0 && (straight || (red | green | blue) == 0)) continue;  // nothing to add
      if (alpha == 255) {
        // An opaque pixel replaces the target (the blend below gives the same bytes); most
        // pixels of an icon are opaque or clear, and this keeps start-up short.
        if (same_order) {
          std::memcpy(target, source, 4);
          continue;
        }
        target[at.red] = static_cast<uint8_t>(red);
        target[at.green] = static_cast<uint8_t>(green);
        target[at.blue] = static_cast<uint8_t>(blue);
        target[at.alpha] = 255;
        continue;
      }
      if (straight) {
        red = MultiplyBytes(red, alpha);
        green = MultiplyBytes(green, alpha);
        blue = MultiplyBytes(blue, alpha);
      }
      const unsigned keep = 255 - alpha;  // share of the destination that shows through
      target[at.red] = Clamp(red + MultiplyBytes(target[at.red], keep));
      target[at.green] = Clamp(green + MultiplyBytes(target[at.green], keep));
      target[at.blue] = Clamp(blue + MultiplyBytes(target[at.blue], keep));
      target[at.alpha] = Clamp(alpha + MultiplyBytes(target[at.alpha], keep));
    }
  }
  return true;
}
