// Numbered images: the image registry, creating and freeing images over NSImage and
// NSBitmapImageRep, and the drawing output that draws into an image through AppKit.
#include "image/image.h"

#include <cstring>

#include "core/memory.h"
#include "core/registry.h"
#include "platform/appkit/image.h"  // NSDeviceRGBColorSpace, kBitmapFormatAlphaNonpremultiplied
#include "platform/objc/objc.h"

namespace {

ObjectRegistry* g_images = nullptr;  // the image registry; made by ImagesInit

constexpr int32_t kRegistryGrowth = 16;  // slots the image table starts with and grows by
constexpr int64_t kMaxSide = 32767;      // width and height are stored as signed 16-bit values
constexpr int16_t kStorageDepth = 32;    // every image holds 4 bytes per pixel

ImageObject* FindImage(int64_t number) {
  return static_cast<ImageObject*>(FindObject(g_images, number));
}

id ClassNamed(const char* name) {
  return reinterpret_cast<id>(objc_lookUpClass(name));
}

// A new (+1) bitmap of the images' one pixel format: 8-bit R G B A, alpha not premultiplied,
// meshed, width * 4 bytes per row, zeroed memory of its own. nil on failure.
id NewBitmap(int64_t width, int64_t height) {
  unsigned char** no_planes = nullptr;  // the bitmap allocates its own memory
  id bitmap = objc::Send(ClassNamed("NSBitmapImageRep"), "alloc");
  return objc::Send(bitmap,
                    "initWithBitmapDataPlanes:pixelsWide:pixelsHigh:bitsPerSample:"
                    "samplesPerPixel:hasAlpha:isPlanar:colorSpaceName:bitmapFormat:bytesPerRow:"
                    "bitsPerPixel:",
                    no_planes, NSInteger{width}, NSInteger{height}, NSInteger{8}, NSInteger{4}, YES,
                    NO, NSDeviceRGBColorSpace, NSUInteger{kBitmapFormatAlphaNonpremultiplied},
                    NSInteger{width * 4}, NSInteger{32});
}

// Every pixel opaque in colour 0x00BBGGRR, or all bytes 0 for kImageTransparent.
void FillPixels(uint8_t* pixels, int64_t pitch, int64_t width, int64_t height, int64_t background) {
  if (background == kImageTransparent) {
    for (int64_t y = 0; y < height; ++y) std::memset(pixels + y * pitch, 0, width * 4);
    return;
  }
  const uint8_t pixel[4] = {static_cast<uint8_t>(background & 255),
                            static_cast<uint8_t>((background >> 8) & 255),
                            static_cast<uint8_t>((background >> 16) & 255), 255};
  for (int64_t y = 0; y < height; ++y) {
    uint8_t* row = pixels + y * pitch;
    for (int64_t x = 0; x < width; ++x) std::memcpy(row + x * 4, pixel, 4);
  }
}

// The image output's stop operation: after drawing the NSImage is told to drop what it may
// have cached; the Cocoa graphics state from before the output is restored and the context
// released.
void StopImageOutput(DrawingOutput* output, int64_t finished) {
  objc::AutoreleasePool pool;
  if (finished == 1) {
    if (ImageObject* image = FindImage(output->image_number))
      objc::Send<void>(image->image, "recache");
  }
  objc::Send<void>(ClassNamed("NSGraphicsContext"), "restoreGraphicsState");
  CGContextRelease(output->context);
  output->context = nullptr;
}

}  // namespace

void ImagesInit() {
  CreateRegistryOnce(&g_images, sizeof(ImageObject), kRegistryGrowth, &ImageFree);
}

void ImagesEnd() {
  ImageFree(-1);
}

int64_t ImageCreate(int64_t number, int64_t width, int64_t height, int64_t depth,
                    int64_t background) {
  // Re-creating a number frees its old image first, even when the new one then fails.
  auto* record = static_cast<ImageObject*>(AllocateObject(g_images, number));
  if (!record) return 0;
  // The number by which the record is known from now on.
  const int64_t own_number =
      number == -1 ? static_cast<int64_t>(reinterpret_cast<uintptr_t>(record)) : number;

  objc::AutoreleasePool pool;
  const bool representable = width >= 1 && height >= 1 && width <= kMaxSide && height <= kMaxSide;
  id bitmap = representable ? NewBitmap(width, height) : nil;
  uint8_t* pixels = static_cast<uint8_t*>(objc::Send<void*>(bitmap, "bitmapData"));
  id image = bitmap
                 ? objc::Send(objc::Send(ClassNamed("NSImage"), "alloc"), "initWithSize:",
                              NSMakeSize(static_cast<double>(width), static_cast<double>(height)))
                 : nil;
  if (!bitmap || !pixels || !image) {
    objc_release(image);
    objc_release(bitmap);
    FreeObject(g_images, own_number);
    return 0;
  }
  objc::Send<void>(image, "setDataRetained:", YES);
  objc::Send<void>(image, "addRepresentation:", bitmap);
  FillPixels(pixels, objc::Send<NSInteger>(bitmap, "bytesPerRow"), width, height, background);

  record->image = image;
  record->bitmap = bitmap;
  record->width = static_cast<int16_t>(width);
  record->height = static_cast<int16_t>(height);
  record->storage_depth = kStorageDepth;
  record->declared_depth = static_cast<int16_t>(depth);
  record->frame_count = 1;
  record->frame_list = nullptr;
  record->current_frame = 0;
  return number == -1 ? own_number : static_cast<int64_t>(reinterpret_cast<uintptr_t>(image));
}

int64_t ImageCreate(int64_t number, int64_t width, int64_t height, int64_t depth) {
  return ImageCreate(number, width, height, depth, 0);
}

int64_t ImageCreate(int64_t number, int64_t width, int64_t height) {
  return ImageCreate(number, width, height, 24, 0);
}

void ImageFree(int64_t number) {
  if (number == -1) {
    FreeAllObjects(g_images);
    return;
  }
  ImageObject* record = FindImage(number);
  if (!record) return;
  if (record->frame_count < 2) {
    objc_release(record->image);
    objc_release(record->bitmap);
  } else if (record->frame_list) {
    for (int32_t i = 0; i < record->frame_count; ++i) {
      objc_release(record->frame_list[i].image);
      objc_release(record->frame_list[i].bitmap);
    }
  }
  FreeBlock(record->frame_list);
  FreeObject(g_images, number);
}

id ImageCocoaHandle(int64_t number) {
  ImageObject* record = FindImage(number);
  return record ? record->image : nil;
}

int64_t ImagePixelWidth(int64_t number) {
  ImageObject* record = FindImage(number);
  return record ? record->width : 0;
}

int64_t ImagePixelHeight(int64_t number) {
  ImageObject* record = FindImage(number);
  return record ? record->height : 0;
}

int64_t ImageBitDepth(int64_t number, int64_t selector) {
  ImageObject* record = FindImage(number);
  if (!record) return 0;
  return selector == kImageDeclaredDepth ? record->declared_depth : record->storage_depth;
}

DrawingOutput* ImageDrawingTarget(int64_t number) {
  ImageObject* record = FindImage(number);
  if (!record) return nullptr;
  objc::AutoreleasePool pool;
  DrawingOutput* output = NewDrawingOutput(kDrawingFormat32);
  if (!output) return nullptr;

  uint8_t* pixels = static_cast<uint8_t*>(objc::Send<void*>(record->bitmap, "bitmapData"));
  const int64_t pitch = objc::Send<NSInteger>(record->bitmap, "bytesPerRow");
  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  CGContextRef context = CGBitmapContextCreate(pixels, record->width, record->height, 8, pitch,
                                               space, kCGImageAlphaPremultipliedLast);
  CGColorSpaceRelease(space);
  if (!context) return output;  // DrawingBegin refuses an output without a context

  id wrapper =
      objc::Send(ClassNamed("NSGraphicsContext"),
                 "graphicsContextWithGraphicsPort:flipped:", static_cast<void*>(context), NO);
  objc::Send<void>(ClassNamed("NSGraphicsContext"), "saveGraphicsState");
  objc::Send<void>(ClassNamed("NSGraphicsContext"), "setCurrentContext:", wrapper);
  output->context = context;
  output->width = record->width;
  output->height = record->height;
  output->depth = record->storage_depth;
  output->pixel_base = pixels;
  output->pitch = pitch;
  output->image_number = number;
  output->stop = &StopImageOutput;
  return output;
}
