// The Core Graphics calls Mindel's images make: an RGB colour space and bitmap contexts of
// 8-bit premultiplied RGBA pixels over caller memory (or memory of their own).
//
// A bitmap context's user space has its origin at the lower-left corner and y growing upward,
// while its memory holds rows top to bottom: user-space row y is memory row height - 1 - y.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/objc/geometry.h"  // CGFloat, CGPoint, CGSize, CGRect

extern "C" {

typedef struct CGColorSpace* CGColorSpaceRef;
typedef struct CGContext* CGContextRef;
typedef uint32_t CGBitmapInfo;

}  // extern "C"

// How a pixel holds alpha: the low five bits of a CGBitmapInfo. Plain constants, so that they
// combine with the byte-order flags without casts.
typedef uint32_t CGImageAlphaInfo;
constexpr CGImageAlphaInfo kCGImageAlphaNone = 0;
constexpr CGImageAlphaInfo kCGImageAlphaPremultipliedLast = 1;   // supported: R G B A in memory
constexpr CGImageAlphaInfo kCGImageAlphaPremultipliedFirst = 2;  // supported: A R G B in memory
constexpr CGImageAlphaInfo kCGImageAlphaLast = 3;
constexpr CGImageAlphaInfo kCGImageAlphaFirst = 4;
constexpr CGImageAlphaInfo kCGImageAlphaNoneSkipLast = 5;
constexpr CGImageAlphaInfo kCGImageAlphaNoneSkipFirst = 6;
constexpr CGImageAlphaInfo kCGImageAlphaOnly = 7;

constexpr CGBitmapInfo kCGBitmapAlphaInfoMask = 0x1F;
constexpr CGBitmapInfo kCGBitmapByteOrderMask = 0x7000;
constexpr CGBitmapInfo kCGBitmapByteOrderDefault = 0 << 12;  // the bytes in the name's order
constexpr CGBitmapInfo kCGBitmapByteOrder16Little = 1 << 12;
constexpr CGBitmapInfo kCGBitmapByteOrder32Little = 2 << 12;  // the 32-bit pixel reversed
constexpr CGBitmapInfo kCGBitmapByteOrder16Big = 3 << 12;
constexpr CGBitmapInfo kCGBitmapByteOrder32Big = 4 << 12;  // the same as the default order

extern "C" {

// --- Colour spaces ---

// A new device RGB colour space (reference count 1).
CGColorSpaceRef CGColorSpaceCreateDeviceRGB(void);
CGColorSpaceRef CGColorSpaceRetain(CGColorSpaceRef space);  // null in, null out
void CGColorSpaceRelease(CGColorSpaceRef space);            // null does nothing

// --- Bitmap contexts ---

// A context drawing into width x height pixels of 8 bits per component with premultiplied
// alpha (kCGImageAlphaPremultipliedLast or First, in the default, 32Big or 32Little byte
// order) in space, which must be an RGB colour space; the context retains it. With data, the
// context draws into the caller's memory (bytesPerRow at least width * 4; 0 means width * 4),
// which must outlive the context; with null data it allocates zeroed memory of its own.
// Answers 0 for any other combination, a width or height of 0 or above 32768, or when memory
// runs out. The context starts with reference count 1.
CGContextRef CGBitmapContextCreate(void* data, size_t width, size_t height, size_t bitsPerComponent,
                                   size_t bytesPerRow, CGColorSpaceRef space, uint32_t bitmapInfo);
CGContextRef CGContextRetain(CGContextRef context);  // null in, null out
void CGContextRelease(CGContextRef context);         // null does nothing

// Facts of a bitmap context; 0 (or null) for a null context.
void* CGBitmapContextGetData(CGContextRef context);
size_t CGBitmapContextGetWidth(CGContextRef context);
size_t CGBitmapContextGetHeight(CGContextRef context);
size_t CGBitmapContextGetBytesPerRow(CGContextRef context);
size_t CGBitmapContextGetBitsPerComponent(CGContextRef context);
size_t CGBitmapContextGetBitsPerPixel(CGContextRef context);
CGBitmapInfo CGBitmapContextGetBitmapInfo(CGContextRef context);
CGImageAlphaInfo CGBitmapContextGetAlphaInfo(CGContextRef context);
CGColorSpaceRef CGBitmapContextGetColorSpace(CGContextRef context);  // not retained

// Makes the pixels of rect (user space) fully transparent. The rectangle's edges are taken
// to the nearest pixel edges (no partial coverage) and clipped to the context.
void CGContextClearRect(CGContextRef context, CGRect rect);

}  // extern "C"

inline CGPoint CGPointMake(CGFloat x, CGFloat y) {
  return CGPoint{x, y};
}
inline CGSize CGSizeMake(CGFloat width, CGFloat height) {
  return CGSize{width, height};
}
inline CGRect CGRectMake(CGFloat x, CGFloat y, CGFloat width, CGFloat height) {
  return CGRect{{x, y}, {width, height}};
}
