// Numbered images: an NSImage over one 32-bit RGBA bitmap (red, green, blue, alpha bytes, alpha
// not premultiplied, rows top to bottom), kept in the image registry, and the drawing output
// that puts pixels into one.
//
// Numbers follow the registry's rules: 0 and up are chosen by the application, -1 asks for a
// new number, which is the record's address. An operation on a number that names no image
// does nothing and answers 0.
#pragma once

#include <cstdint>

#include "image/drawing_output.h"
#include "platform/objc/runtime.h"

// One frame of a multi-frame image.
struct ImageFrame {
  id image;   // NSImage, owned
  id bitmap;  // NSBitmapImageRep, owned
};

// The record of one image in the image registry (48 bytes).
struct ImageObject {
  id image;                // NSImage, owned; non-zero exactly while the image exists
  id bitmap;               // NSBitmapImageRep, owned: the pixel store
  int16_t width;           // pixels
  int16_t height;          // pixels
  int16_t storage_depth;   // bits per pixel in memory: always 32
  int16_t declared_depth;  // the depth the caller asked for (24 or 32)
  int32_t frame_count;     // 1 for a plain image
  ImageFrame* frame_list;  // sized block of frame_count frames for a multi-frame image, else 0
  int32_t current_frame;   // 0
};
static_assert(sizeof(ImageObject) == 48, "the image record is 48 bytes");

// ImageBitDepth's selector for the declared depth.
constexpr int64_t kImageDeclaredDepth = -2;
// ImageCreate's background for a fully transparent image.
constexpr int64_t kImageTransparent = -1;

// Start-up: creates the image registry (once).
void ImagesInit();
// Program end: frees every image.
void ImagesEnd();

// Makes image number (-1: a new number) of width x height pixels (1 to 32767 each), filled
// with background: a colour 0x00BBGGRR with alpha 255, or all bytes 0 for kImageTransparent.
// Answers the record address for -1, else the NSImage; 0 on failure, leaving the number free.
// An image that already had the number is freed first. The short forms fill with colour 0
// (opaque black); the three-argument form records the declared depth 24.
int64_t ImageCreate(int64_t number, int64_t width, int64_t height, int64_t depth,
                    int64_t background);
int64_t ImageCreate(int64_t number, int64_t width, int64_t height, int64_t depth);
int64_t ImageCreate(int64_t number, int64_t width, int64_t height);

// Releases the image's Cocoa objects and its record; -1 frees every image.
void ImageFree(int64_t number);

// The image's NSImage, to hand to AppKit.
id ImageCocoaHandle(int64_t number);
int64_t ImagePixelWidth(int64_t number);
int64_t ImagePixelHeight(int64_t number);
// The storage depth (32); with kImageDeclaredDepth the depth given at creation.
int64_t ImageBitDepth(int64_t number, int64_t selector = 0);

// A new drawing output on the image, made current: a bitmap context over the image's own
// pixels, installed as the current NSGraphicsContext (the previous one is restored when the
// output ends, and the NSImage is told to recache). 0 for a number that names no image. When
// no context can be made the output is still answered, and DrawingBegin refuses it.
DrawingOutput* ImageDrawingTarget(int64_t number);
