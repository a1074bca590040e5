// Drawing outputs: making, beginning and ending them, and the current output of each thread
// (kept in the drawing key's thread-specific value, and in one global as well).
#include "image/drawing_output.h"

#include <pthread.h>

#include "core/memory.h"
#include "core/threads.h"

namespace {

DrawingOutput* g_current_output = nullptr;  // the output last made current by any thread

void SetCurrentOutput(DrawingOutput* output) {
  g_current_output = output;
  pthread_setspecific(DrawingKey(), output);
}

// The engine's begin for every output: drawing starts at the first pixel row. An output
// without a graphics context (its target could not be wrapped) refuses to begin.
int64_t BeginOnPixels(DrawingOutput* output) {
  output->drawing_pointer = output->pixel_base;
  return static_cast<int64_t>(reinterpret_cast<uintptr_t>(output->context));
}

// The engine keeps no working memory for the drawing done here.
void EndOnPixels(DrawingOutput*) {}

// Stops output (finished as for the stop operation), frees it and leaves no output current.
void CloseOutput(DrawingOutput* output, int64_t finished) {
  if (output->stop) output->stop(output, finished);
  FreeBlock(output);
  SetCurrentOutput(nullptr);
}

}  // namespace

DrawingOutput* NewDrawingOutput(int32_t pixel_format) {
  CreateDrawingKey();  // made once at start-up; this only guards callers that skipped it
  // An output left open would be lost: end it, so that its Cocoa graphics state is restored.
  if (CurrentDrawingOutput()) DrawingEnd();
  auto* output = static_cast<DrawingOutput*>(AllocBlock(sizeof(DrawingOutput)));
  if (!output) return nullptr;
  output->pixel_format = pixel_format;
  output->bytes_per_pixel = (pixel_format & 0x60) ? 4 : 3;
  output->begin = &BeginOnPixels;
  output->end = &EndOnPixels;
  SetCurrentOutput(output);
  return output;
}

int64_t DrawingBegin(DrawingOutput* output) {
  if (!output) return 0;
  const int64_t result = output->begin ? output->begin(output) : 0;
  output->output_width = output->width;
  output->output_height = output->height;
  if (result) return result;
  CloseOutput(output, 0);
  return 0;
}

void DrawingEnd() {
  DrawingOutput* output = CurrentDrawingOutput();
  if (!output) return;
  if (output->end) output->end(output);
  CloseOutput(output, 1);
}

DrawingOutput* CurrentDrawingOutput() {
  CreateDrawingKey();  // a key that was never made must not read another library's value
  return static_cast<DrawingOutput*>(pthread_getspecific(DrawingKey()));
}

uint8_t* DrawingPixels() {
  DrawingOutput* output = CurrentDrawingOutput();
  return output ? output->drawing_pointer : nullptr;
}

int64_t DrawingPixelsPitch() {
  DrawingOutput* output = CurrentDrawingOutput();
  return output ? output->pitch : 0;
}

int64_t DrawingPixelsFormat() {
  DrawingOutput* output = CurrentDrawingOutput();
  return output ? output->pixel_format : 0;
}

int64_t DrawingAreaWidth() {
  DrawingOutput* output = CurrentDrawingOutput();
  return output ? output->output_width : 0;
}

int64_t DrawingAreaHeight() {
  DrawingOutput* output = CurrentDrawingOutput();
  return output ? output->output_height : 0;
}
