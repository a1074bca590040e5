// The icon loader: reads a picture file through the platform's image representations and
// draws it into a numbered image one pixel per pixel, so that a small drawn size set later
// keeps every pixel of the file for sharp display on dense screens.
#include "app/icons.h"

#include <cmath>

#include "gui/selector_bridge.h"
#include "image/image.h"
#include "platform/graphics/vimage.h"

namespace {

// Sides beyond this cannot be images (they are stored as 16-bit values); checked before
// rounding so that an absurd size from a picture never reaches the integer conversion.
constexpr double kLargestSide = 32767;

}  // namespace

id LoadFullSizeImage(int64_t number, const char16_t* path) {
  id rep = nil;
  SelectorSend1(&rep, nil, u"NSImageRep imageRepWithContentsOfFile:$", SelectorWord(path));
  if (!rep) return nil;

  // One point of the representation's size becomes one pixel; a representation without a
  // pixel grid keeps its size in points.
  double size[2] = {
      static_cast<double>(static_cast<int64_t>(SelectorSend0(nullptr, rep, "pixelsWide"))),
      static_cast<double>(static_cast<int64_t>(SelectorSend0(nullptr, rep, "pixelsHigh")))};
  if (size[0] != 0 && size[1] != 0) {
    SelectorSend1(nullptr, rep, "setSize:@", SelectorWord(size));
  } else {
    SelectorSend0(size, rep, "size");
  }
  if (size[0] == 0 || size[1] == 0) return nil;
  if (!(std::fabs(size[0]) <= kLargestSide && std::fabs(size[1]) <= kLargestSide)) return nil;

  // Halves round away from zero.
  const int64_t created =
      ImageCreate(number, std::llround(size[0]), std::llround(size[1]), 32, kImageTransparent);
  if (!created) return nil;
  const int64_t image = number == -1 ? created : number;

  DrawingBegin(ImageDrawingTarget(image));
  double origin[2] = {0.0, 0.0};
  SelectorSend1(nullptr, rep, "drawAtPoint:@", SelectorWord(origin));
  if (SelectorSend0(nullptr, rep, "hasAlpha") & 0xff) {
    // The drawing left premultiplied colour; the image holds straight colour.
    vImage_Buffer pixels{DrawingPixels(), static_cast<vImagePixelCount>(DrawingAreaHeight()),
                         static_cast<vImagePixelCount>(DrawingAreaWidth()),
                         static_cast<size_t>(DrawingPixelsPitch())};
    vImageUnpremultiplyData_RGBA8888(&pixels, &pixels, kvImageNoFlags);
  }
  DrawingEnd();
  return ImageCocoaHandle(image);
}
