// NSImage, its representations (NSImageRep, NSBitmapImageRep) and NSGraphicsContext: the class
// loaders and the internal calls other platform code uses (the terminal desktop names images
// with ImageDisplayName).
#pragma once

#include <cstdint>
#include <vector>

#include "platform/graphics/composite.h"
#include "platform/graphics/graphics.h"
#include "platform/objc/objc.h"

// The colour-space name of device RGB pixels, an NSString made when the classes load.
extern "C" {
extern id NSDeviceRGBColorSpace;  // "NSDeviceRGBColorSpace"
}

// NSBitmapImageRep's bitmap format bits.
enum : NSUInteger {
  kBitmapFormatAlphaFirst = 1,             // alpha before the colour in each pixel
  kBitmapFormatAlphaNonpremultiplied = 2,  // colour not multiplied by alpha
};

namespace appkit {

// Define the classes; NSImageRep before NSBitmapImageRep. Called by LoadAppKitClasses.
void LoadNSImageRepClasses();  // NSImageRep, NSBitmapImageRep and NSDeviceRGBColorSpace
void LoadNSImageClass();
void LoadNSGraphicsContextClass();

}  // namespace appkit

// The name under which the desktops show image: the file name (without folder) of the picture
// whose pixels were drawn into it or of a representation read from a file, else the name given
// with setName: (a workspace icon is named by its file type, such as "stop"). nullptr for nil
// or an image without a name. The text stays valid until the image changes or goes away.
const char* ImageDisplayName(id image);

// Records that the pixels of the picture file named file_name (no folder) were drawn into
// image; the rep drawing code calls it. Does nothing for nil or an empty name.
void ImageSetSourceName(id image, const char* file_name);

// --- Representations (image_rep.cpp) ---

// The file name (without folder) a representation was read from; "" when it was not read
// from a file, nullptr for nil.
const char* ImageRepFileName(id rep);
// The NSImage that rep was added to (not retained: the image retains its representations);
// nil when none. NSImage keeps it up to date.
id ImageRepOwner(id rep);
void ImageRepSetOwner(id rep, id image);
// The pixels of a bitmap representation as 4-byte R G B A rows (converted into scratch when
// held in another layout). False for nil, a representation without pixels or a layout that
// cannot be drawn.
bool BitmapRepPicture(id rep, std::vector<uint8_t>* scratch, PixelPicture* picture);
// The bitmap representation whose pixel memory starts at data, or nil.
id BitmapRepWithData(const void* data);

// --- Graphics context (graphics_context.cpp) ---

// The Core Graphics context of the current NSGraphicsContext, or null when there is none.
CGContextRef CurrentGraphicsPort();
