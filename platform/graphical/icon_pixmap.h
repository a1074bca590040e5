// The status item's image as the pixmaps a StatusNotifierItem carries: square ARGB32 pictures
// in network byte order (A, R, G, B bytes), one per size a panel may ask for.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/graphics/composite.h"
#include "platform/objc/objc.h"

struct IconPixmap {
  int32_t size = 0;           // width and height in pixels
  std::vector<uint8_t> argb;  // size * size pixels, rows top to bottom, A R G B bytes
};

// The sizes sent: 22 and 44 (a panel's usual icon and its double-density form) among them.
extern const int32_t kIconPixmapSizes[6];

// A picture fitted into a size x size square, centred and scaled by area averaging so a
// downscaled glyph keeps its weight. With tint set, only the picture's alpha is kept and every
// pixel takes the tint's colour (tint_rgb = 0xRRGGBB): how a template image is drawn in a
// panel's foreground colour.
IconPixmap FitIntoSquare(const PixelPicture& picture, int32_t size, bool tint, uint32_t tint_rgb);

// A pixmap's pixels as R G B A bytes, as picture files and GTK take them.
std::vector<uint8_t> PixmapRgba(const IconPixmap& pixmap);

// The pixmaps of image at every size of kIconPixmapSizes: its largest bitmap representation,
// drawn in tint_rgb when the image is a template. Empty for nil or an image without pixels.
std::vector<IconPixmap> StatusIconPixmaps(id image, uint32_t tint_rgb);
