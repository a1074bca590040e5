// Drawing outputs: the record the pixel engine draws on (here only its image kind, a bitmap
// context over an image's pixels), the current output of each thread, and the queries that
// expose the current output's pixel buffer.
//
//   if (DrawingBegin(ImageDrawingTarget(number))) {    // the image's output becomes current
//     uint8_t* pixels = DrawingPixels();                // rows top to bottom, R G B A
//     ... draw through AppKit or write pixels, DrawingPixelsPitch() bytes per row ...
//     DrawingEnd();                                     // no output is current any more
//   }
#pragma once

#include <cstdint>

#include "platform/graphics/graphics.h"

struct DrawingOutput;

// The operations of an output, installed when it is made.
typedef int64_t (*DrawingBeginOperation)(DrawingOutput* output);  // non-zero: drawing may begin
typedef void (*DrawingEndOperation)(DrawingOutput* output);       // releases working memory
// Ends drawing on the output's target: finished is 1 after drawing, 0 when it never began.
typedef void (*DrawingStopOperation)(DrawingOutput* output, int64_t finished);

// Pixel format flags of an output.
constexpr int32_t kDrawingFormat32 = 32;            // 4 bytes per pixel (bit 5; bit 6 also means 4)
constexpr int32_t kDrawingFormatBottomUp = 0x8000;  // rows bottom to top (never for images)

// One open output: a heap record from the runtime allocator, from ImageDrawingTarget to
// DrawingEnd (or to a DrawingBegin that fails). Only the fields images use exist here.
struct DrawingOutput {
  int32_t pixel_format;     // kDrawingFormat... flags; 32 for image outputs
  int32_t bytes_per_pixel;  // 4 when bit 5 or 6 of pixel_format is set, else 3
  CGContextRef context;     // the Core Graphics context drawn through; released by stop
  int32_t width;            // pixel size of the drawing area
  int32_t height;
  int32_t output_width;  // copies of width and height made by DrawingBegin
  int32_t output_height;
  int32_t depth;             // the target's storage depth in bits
  uint8_t* pixel_base;       // first byte of the target's top pixel row
  uint8_t* drawing_pointer;  // pixel_base as captured by DrawingBegin; what DrawingPixels gives
  int64_t pitch;             // bytes per pixel row
  int64_t image_number;      // the image drawn on
  DrawingBeginOperation begin;
  DrawingEndOperation end;
  DrawingStopOperation stop;  // 0: nothing to stop
};

// Makes an output record with the given pixel format, with the engine's own begin and end
// operations and no stop operation, and makes it the current output of this thread (an output
// that was current before is ended first: at most one is current). 0 when memory runs out.
DrawingOutput* NewDrawingOutput(int32_t pixel_format);

// Begins drawing on output: non-zero when drawing may begin (for images, the graphics
// context); 0 for a null output, or when its begin operation refuses, which stops and frees
// the output and leaves no output current.
int64_t DrawingBegin(DrawingOutput* output);
// Ends drawing on the current output: its end operation, its stop operation with 1, and the
// record freed; no output is current afterwards. Nothing without a current output.
void DrawingEnd();

// The current output of this thread, or 0.
DrawingOutput* CurrentDrawingOutput();

// Facts of the current output. Without a current output they answer 0.
uint8_t* DrawingPixels();
int64_t DrawingPixelsPitch();
int64_t DrawingPixelsFormat();
int64_t DrawingAreaWidth();
int64_t DrawingAreaHeight();
