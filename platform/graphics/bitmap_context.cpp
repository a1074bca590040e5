// Core Graphics colour spaces and bitmap contexts of 8-bit premultiplied RGBA pixels.
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "platform/graphics/graphics.h"

struct CGColorSpace {
  std::atomic<int> references;  // the space is freed when this drops to 0
};

struct CGContext {
  std::atomic<int> references;  // the context is freed when this drops to 0
  uint8_t* data;                // first byte of the top row
  bool owns_data;               // data was allocated by the context (freed with it)
  size_t width;                 // pixels per row
  size_t height;                // rows
  size_t bytes_per_row;         // at least width * 4
  CGBitmapInfo info;            // alpha info and byte order, as given
  CGColorSpaceRef space;        // retained
};

namespace {

// A bound well beyond any icon or screen, and small enough that no size computation
// overflows (32768 * 32768 * 4 bytes fits easily in size_t).
constexpr size_t kMaxSide = 32768;

bool SupportedInfo(uint32_t info) {
  const uint32_t alpha = info & kCGBitmapAlphaInfoMask;
  const uint32_t order = info & kCGBitmapByteOrderMask;
  if ((info & ~(kCGBitmapAlphaInfoMask | kCGBitmapByteOrderMask)) != 0) return false;
  if (alpha != kCGImageAlphaPremultipliedLast && alpha != kCGImageAlphaPremultipliedFirst) {
    return false;
  }
  return order == kCGBitmapByteOrderDefault || order == kCGBitmapByteOrder32Big ||
         order == kCGBitmapByteOrder32Little;
}

// Rounds a user-space coordinate to a pixel edge, clamped to [0, limit]; NaN gives 0.
size_t EdgeWithin(CGFloat value, size_t limit) {
  if (!(value > 0)) return 0;
  if (value >= static_cast<CGFloat>(limit)) return limit;
  return static_cast<size_t>(std::lround(value));
}

}  // namespace

// --- Colour spaces ---

extern "C" CGColorSpaceRef CGColorSpaceCreateDeviceRGB(void) {
  return new CGColorSpace{1};
}

extern "C" CGColorSpaceRef CGColorSpaceRetain(CGColorSpaceRef space) {
  if (space != nullptr) space->references.fetch_add(1, std::memory_order_relaxed);
  return space;
}

extern "C" void CGColorSpaceRelease(CGColorSpaceRef space) {
  if (space != nullptr && space->references.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    delete space;
  }
}

// --- Bitmap contexts ---

extern "C" CGContextRef CGBitmapContextCreate(void* data, size_t width, size_t height,
                                              size_t bitsPerComponent, size_t bytesPerRow,
                                              CGColorSpaceRef space, uint32_t bitmapInfo) {
  if (space == nullptr || bitsPerComponent != 8 || !SupportedInfo(bitmapInfo)) return nullptr;
  if (width == 0 || height == 0 || width > kMaxSide || height > kMaxSide) return nullptr;
  if (bytesPerRow == 0) bytesPerRow = width * 4;
  // The row bound keeps height * bytesPerRow from overflowing as well.
  if (bytesPerRow < width * 4 || bytesPerRow > kMaxSide * 4 * 2) return nullptr;
  uint8_t* pixels = static_cast<uint8_t*>(data);
  const bool owns = pixels == nullptr;
  if (owns) {
    pixels = static_cast<uint8_t*>(std::calloc(height, bytesPerRow));  // may fail: answer 0
    if (pixels == nullptr) return nullptr;
  }
  return new CGContext{1,      pixels,      owns,       width,
                       height, bytesPerRow, bitmapInfo, CGColorSpaceRetain(space)};
}

extern "C" CGContextRef CGContextRetain(CGContextRef context) {
  if (context != nullptr) context->references.fetch_add(1, std::memory_order_relaxed);
  return context;
}

extern "C" void CGContextRelease(CGContextRef context) {
  if (context == nullptr || context->references.fetch_sub(1, std::memory_order_acq_rel) != 1) {
    return;
  }
  if (context->owns_data) std::free(context->data);
  CGColorSpaceRelease(context->space);
  delete context;
}

extern "C" void* CGBitmapContextGetData(CGContextRef context) {
  return context != nullptr ? context->data : nullptr;
}

extern "C" size_t CGBitmapContextGetWidth(CGContextRef context) {
  return context != nullptr ? context->width : 0;
}

extern "C" size_t CGBitmapContextGetHeight(CGContextRef context) {
  return context != nullptr ? context->height : 0;
}

extern "C" size_t CGBitmapContextGetBytesPerRow(CGContextRef context) {
  return context != nullptr ? context->bytes_per_row : 0;
}

extern "C" size_t CGBitmapContextGetBitsPerComponent(CGContextRef context) {
  return context != nullptr ? 8 : 0;
}

extern "C" size_t CGBitmapContextGetBitsPerPixel(CGContextRef context) {
  return context != nullptr ? 32 : 0;
}

extern "C" CGBitmapInfo CGBitmapContextGetBitmapInfo(CGContextRef context) {
  return context != nullptr ? context->info : 0;
}

extern "C" CGImageAlphaInfo CGBitmapContextGetAlphaInfo(CGContextRef context) {
  if (context == nullptr) return kCGImageAlphaNone;
  return context->info & kCGBitmapAlphaInfoMask;
}

extern "C" CGColorSpaceRef CGBitmapContextGetColorSpace(CGContextRef context) {
  return context != nullptr ? context->space : nullptr;
}

extern "C" void CGContextClearRect(CGContextRef context, CGRect rect) {
  if (context == nullptr) return;
  CGFloat x = rect.origin.x, y = rect.origin.y;
  CGFloat w = rect.size.width, h = rect.size.height;
  // A negative size extends toward smaller coordinates.
  if (w < 0) {
    x += w;
    w = -w;
  }
  if (h < 0) {
    y += h;
    h = -h;
  }
  const size_t left = EdgeWithin(x, context->width);
  const size_t right = EdgeWithin(x + w, context->width);
  const size_t bottom = EdgeWithin(y, context->height);
  const size_t top = EdgeWithin(y + h, context->height);
  if (left >= right || bottom >= top) return;
  // User-space rows [bottom, top) are memory rows [height - top, height - bottom).
  for (size_t row = context->height - top; row < context->height - bottom; ++row) {
    std::memset(context->data + row * context->bytes_per_row + left * 4, 0, (right - left) * 4);
  }
}
