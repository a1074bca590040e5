// Drawing pixels into a bitmap context with source-over: what drawing an image
// representation at a point (drawAtPoint:) does with its decoded pixels.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/graphics/graphics.h"

// Whether a picture's colour is already multiplied by its alpha.
enum class PixelAlpha {
  kPremultiplied,  // colour <= alpha in every pixel
  kStraight,       // colour independent of alpha, as PNG files hold it
};

// A picture in memory: 4 bytes per pixel, red, green, blue, alpha; rows top to bottom.
struct PixelPicture {
  const uint8_t* pixels;  // first byte of the top row; not owned
  size_t width;           // pixels per row
  size_t height;          // rows
  size_t bytes_per_row;   // at least width * 4
  PixelAlpha alpha;       // how colour relates to alpha
};

// Draws picture with its lower-left corner at origin (context user space: origin at the
// lower-left, y upward) using source-over, clipped to the context. The picture is not
// resampled: the origin is taken to the nearest whole pixel. Answers false (drawing nothing)
// for a null context or pixels, a side above 2^30, or bytes_per_row below width * 4.
bool CompositePixels(CGContextRef context, const PixelPicture& picture, CGPoint origin);
