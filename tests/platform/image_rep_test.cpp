// Tests of NSImageRep / NSBitmapImageRep (PNG files read with libpng, bitmaps of their own
// memory, drawing into the current graphics context), NSImage and NSGraphicsContext.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/appkit/image.h"
#include "platform/foundation/array.h"
#include "platform/foundation/string.h"
#include "platform/graphics/graphics.h"
#include "tests/platform/png_test_writer.h"

namespace {

id Cls(const char* name) {
  return reinterpret_cast<id>(objc_lookUpClass(name));
}
id Str(const std::string& text) {
  return foundation::MakeStringFromUtf8(text);
}

id RepFromFile(const std::string& path) {
  id cls = Cls("NSImageRep");  // loads the platform classes before a string is made
  return objc::Send(cls, "imageRepWithContentsOfFile:", Str(path));
}

std::vector<unsigned char> Bytes(const void* data, size_t count) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  return std::vector<unsigned char>(bytes, bytes + count);
}

// A new (+1) bitmap of the images' format: R G B A, alpha not premultiplied, own memory.
id NewRgbaBitmap(NSInteger width, NSInteger height) {
  unsigned char** no_planes = nullptr;
  return objc::Send(objc::Send(Cls("NSBitmapImageRep"), "alloc"),
                    "initWithBitmapDataPlanes:pixelsWide:pixelsHigh:bitsPerSample:"
                    "samplesPerPixel:hasAlpha:isPlanar:colorSpaceName:bitmapFormat:bytesPerRow:"
                    "bitsPerPixel:",
                    no_planes, width, height, NSInteger{8}, NSInteger{4}, YES, NO,
                    NSDeviceRGBColorSpace, NSUInteger{kBitmapFormatAlphaNonpremultiplied},
                    width * 4, NSInteger{32});
}

// Makes a bitmap context over bitmap's memory the current graphics context for the scope,
// as the image library's drawing output does.
class DrawingInto {
 public:
  explicit DrawingInto(id bitmap) {
    CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
    port_ = CGBitmapContextCreate(
        objc::Send<void*>(bitmap, "bitmapData"), objc::Send<NSInteger>(bitmap, "pixelsWide"),
        objc::Send<NSInteger>(bitmap, "pixelsHigh"), 8,
        objc::Send<NSInteger>(bitmap, "bytesPerRow"), space, kCGImageAlphaPremultipliedLast);
    CGColorSpaceRelease(space);
    id context =
        objc::Send(Cls("NSGraphicsContext"),
                   "graphicsContextWithGraphicsPort:flipped:", static_cast<void*>(port_), NO);
    objc::Send<void>(Cls("NSGraphicsContext"), "saveGraphicsState");
    objc::Send<void>(Cls("NSGraphicsContext"), "setCurrentContext:", context);
  }
  ~DrawingInto() {
    objc::Send<void>(Cls("NSGraphicsContext"), "restoreGraphicsState");
    CGContextRelease(port_);
  }

 private:
  CGContextRef port_;
};

TEST(ImageRep, ReadsPngPixelsWithStraightAlpha) {
  objc::AutoreleasePool pool;
  PngFolder folder;
  PngSpec spec;
  spec.width = 3;
  spec.height = 2;
  spec.pixels = {255, 0,  0,  255, 0,  255, 0,  128, 0,   0,   255, 0,  // top row
                 10,  20, 30, 40,  50, 60,  70, 80,  255, 255, 255, 255};
  ASSERT_TRUE(WritePng(folder / "three.png", spec));

  id rep = RepFromFile(folder / "three.png");
  ASSERT_NE(rep, nil) << "a valid PNG gives a representation";
  EXPECT_STREQ(object_getClassName(rep), "NSBitmapImageRep");
  EXPECT_EQ(objc::Send<NSInteger>(rep, "pixelsWide"), 3);
  EXPECT_EQ(objc::Send<NSInteger>(rep, "pixelsHigh"), 2);
  NSSize size = objc::Send<NSSize>(rep, "size");
  EXPECT_EQ(size.width, 3.0) << "without pHYs one point per pixel (72 dpi)";
  EXPECT_EQ(size.height, 2.0);
  EXPECT_EQ(objc::Send<BOOL>(rep, "hasAlpha"), YES);
  EXPECT_EQ(objc::Send<NSInteger>(rep, "bitsPerPixel"), 32);
  EXPECT_EQ(objc::Send<NSInteger>(rep, "bytesPerRow"), 12);
  EXPECT_EQ(Bytes(objc::Send<void*>(rep, "bitmapData"), spec.pixels.size()), spec.pixels)
      << "pixels as in the file: R G B A, rows top to bottom, alpha not premultiplied";
  EXPECT_STREQ(ImageRepFileName(rep), "three.png") << "the file name, without its folder";

  objc::Send<void>(rep, "setSize:", NSMakeSize(6, 4));
  EXPECT_EQ(objc::Send<NSSize>(rep, "size").width, 6.0);
  EXPECT_EQ(objc::Send<NSInteger>(rep, "pixelsWide"), 3) << "setSize: leaves the pixels alone";
}

TEST(ImageRep, DeclaredResolutionSetsSizeInPoints) {
  objc::AutoreleasePool pool;
  PngFolder folder;
  PngSpec dense = SolidPng(40, 40, 0, 0, 0, 255);
  dense.pixels_per_metre = kPixelsPerMetreAt144Dpi;
  ASSERT_TRUE(WritePng(folder / "dense.png", dense));
  id rep = RepFromFile(folder / "dense.png");
  ASSERT_NE(rep, nil);
  EXPECT_EQ(objc::Send<NSInteger>(rep, "pixelsWide"), 40);
  EXPECT_EQ(objc::Send<NSInteger>(rep, "pixelsHigh"), 40);
  NSSize size = objc::Send<NSSize>(rep, "size");
  EXPECT_EQ(size.width, 20.0) << "40 pixels at 144 dpi are 20 points";
  EXPECT_EQ(size.height, 20.0);

  // The status icon of the bundle is such a file.
  id icon = RepFromFile(ResourcePath("app_icon.png"));
  ASSERT_NE(icon, nil) << "resources/app_icon.png reads";
  EXPECT_EQ(objc::Send<NSInteger>(icon, "pixelsWide"), 40);
  EXPECT_EQ(objc::Send<NSSize>(icon, "size").width, 20.0);
  EXPECT_EQ(objc::Send<BOOL>(icon, "hasAlpha"), YES);
  EXPECT_STREQ(ImageRepFileName(icon), "app_icon.png");
}

TEST(ImageRep, OpaquePngHasNoAlpha) {
  objc::AutoreleasePool pool;
  PngFolder folder;
  PngSpec spec;
  spec.width = 2;
  spec.height = 1;
  spec.with_alpha = false;
  spec.pixels = {1, 2, 3, 4, 5, 6};
  ASSERT_TRUE(WritePng(folder / "rgb.png", spec));
  id rep = RepFromFile(folder / "rgb.png");
  ASSERT_NE(rep, nil);
  EXPECT_EQ(objc::Send<BOOL>(rep, "hasAlpha"), NO);
  EXPECT_EQ(Bytes(objc::Send<void*>(rep, "bitmapData"), 8),
            (std::vector<unsigned char>{1, 2, 3, 255, 4, 5, 6, 255}))
      << "held as R G B A with an opaque alpha";
}

TEST(ImageRep, MissingOrBrokenFilesGiveNil) {
  objc::AutoreleasePool pool;
  PngFolder folder;
  EXPECT_EQ(RepFromFile(folder / "absent.png"), nil) << "a missing file";
  EXPECT_EQ(objc::Send(Cls("NSImageRep"), "imageRepWithContentsOfFile:", static_cast<id>(nil)), nil)
      << "no path";

  {
    std::FILE* text = std::fopen((folder / "text.png").c_str(), "wb");
    ASSERT_NE(text, nullptr);
    std::fputs("not a picture at all", text);
    std::fclose(text);
  }
  EXPECT_EQ(RepFromFile(folder / "text.png"), nil) << "a file that is not a PNG";

  // A real PNG cut short in its pixel data.
  PngSpec spec = SolidPng(64, 64, 1, 2, 3, 4);
  for (size_t i = 0; i < spec.pixels.size(); ++i)
    spec.pixels[i] = static_cast<unsigned char>(i * 7);
  ASSERT_TRUE(WritePng(folder / "whole.png", spec));
  std::vector<char> whole(1 << 16);
  std::FILE* in = std::fopen((folder / "whole.png").c_str(), "rb");
  ASSERT_NE(in, nullptr);
  const size_t length = std::fread(whole.data(), 1, whole.size(), in);
  std::fclose(in);
  ASSERT_GT(length, 100u);
  std::FILE* out = std::fopen((folder / "cut.png").c_str(), "wb");
  ASSERT_NE(out, nullptr);
  std::fwrite(whole.data(), 1, length / 2, out);
  std::fclose(out);
  EXPECT_EQ(RepFromFile(folder / "cut.png"), nil) << "a truncated PNG";

  // A flipped byte in the header's checksum.
  std::vector<char> damaged(whole.begin(), whole.begin() + length);
  damaged[29] ^= 0x5a;
  out = std::fopen((folder / "damaged.png").c_str(), "wb");
  ASSERT_NE(out, nullptr);
  std::fwrite(damaged.data(), 1, damaged.size(), out);
  std::fclose(out);
  EXPECT_EQ(RepFromFile(folder / "damaged.png"), nil) << "a PNG with a bad header checksum";

  // A flipped byte inside the compressed pixels: the data chunk's checksum no longer matches.
  const std::string bytes(whole.begin(), whole.begin() + length);
  const size_t data = bytes.find("IDAT");
  ASSERT_NE(data, std::string::npos);
  std::vector<char> flipped(whole.begin(), whole.begin() + length);
  flipped[data + 4 + 12] ^= 0x01;
  out = std::fopen((folder / "flipped.png").c_str(), "wb");
  ASSERT_NE(out, nullptr);
  std::fwrite(flipped.data(), 1, flipped.size(), out);
  std::fclose(out);
  EXPECT_EQ(RepFromFile(folder / "flipped.png"), nil) << "a PNG whose pixel data was damaged";
}

TEST(BitmapImageRep, AllocatesItsOwnZeroedMemoryAndRefusesOddLayouts) {
  objc::AutoreleasePool pool;
  id bitmap = NewRgbaBitmap(5, 3);
  ASSERT_NE(bitmap, nil);
  EXPECT_EQ(objc::Send<NSInteger>(bitmap, "pixelsWide"), 5);
  EXPECT_EQ(objc::Send<NSInteger>(bitmap, "pixelsHigh"), 3);
  EXPECT_EQ(objc::Send<NSInteger>(bitmap, "bytesPerRow"), 20);
  EXPECT_EQ(objc::Send<NSInteger>(bitmap, "bitsPerPixel"), 32);
  EXPECT_EQ(objc::Send<NSUInteger>(bitmap, "bitmapFormat"), NSUInteger{2});
  EXPECT_EQ(objc::Send<NSSize>(bitmap, "size").width, 5.0) << "size in points = pixels";
  const void* data = objc::Send<void*>(bitmap, "bitmapData");
  ASSERT_NE(data, nullptr);
  EXPECT_EQ(Bytes(data, 60), std::vector<unsigned char>(60, 0)) << "new memory is zeroed";
  EXPECT_EQ(BitmapRepWithData(data), bitmap);
  objc_release(bitmap);
  EXPECT_EQ(BitmapRepWithData(data), nil) << "a freed bitmap is forgotten";

  EXPECT_EQ(NewRgbaBitmap(0, 3), nil) << "no pixels";
  EXPECT_EQ(NewRgbaBitmap(40000, 1), nil) << "wider than a bitmap context can draw";
  unsigned char** no_planes = nullptr;
  id planar = objc::Send(objc::Send(Cls("NSBitmapImageRep"), "alloc"),
                         "initWithBitmapDataPlanes:pixelsWide:pixelsHigh:bitsPerSample:"
                         "samplesPerPixel:hasAlpha:isPlanar:colorSpaceName:bitmapFormat:"
                         "bytesPerRow:bitsPerPixel:",
                         no_planes, NSInteger{2}, NSInteger{2}, NSInteger{8}, NSInteger{4}, YES,
                         YES, NSDeviceRGBColorSpace, NSUInteger{0}, NSInteger{0}, NSInteger{0});
  EXPECT_EQ(planar, nil) << "planar pixels are not supported";
}

TEST(GraphicsContext, SaveAndRestoreKeepAStackOfCurrentContexts) {
  objc::AutoreleasePool pool;
  id cls = Cls("NSGraphicsContext");
  EXPECT_EQ(
      objc::Send(cls, "graphicsContextWithGraphicsPort:flipped:", static_cast<void*>(nullptr), NO),
      nil);
  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  CGContextRef first =
      CGBitmapContextCreate(nullptr, 2, 2, 8, 0, space, kCGImageAlphaPremultipliedLast);
  CGContextRef second =
      CGBitmapContextCreate(nullptr, 2, 2, 8, 0, space, kCGImageAlphaPremultipliedLast);
  CGColorSpaceRelease(space);
  id a = objc::Send(cls, "graphicsContextWithGraphicsPort:flipped:", static_cast<void*>(first), NO);
  id b =
      objc::Send(cls, "graphicsContextWithGraphicsPort:flipped:", static_cast<void*>(second), YES);
  EXPECT_EQ(objc::Send<void*>(a, "graphicsPort"), first);
  EXPECT_EQ(objc::Send<void*>(b, "CGContext"), second);
  EXPECT_EQ(objc::Send<BOOL>(b, "isFlipped"), YES);

  id before = objc::Send(cls, "currentContext");
  objc::Send<void>(cls, "saveGraphicsState");
  objc::Send<void>(cls, "setCurrentContext:", a);
  objc::Send<void>(cls, "saveGraphicsState");
  objc::Send<void>(cls, "setCurrentContext:", b);
  EXPECT_EQ(objc::Send(cls, "currentContext"), b);
  EXPECT_EQ(CurrentGraphicsPort(), second);
  objc::Send<void>(cls, "restoreGraphicsState");
  EXPECT_EQ(objc::Send(cls, "currentContext"), a) << "restore brings the saved context back";
  objc::Send<void>(cls, "restoreGraphicsState");
  EXPECT_EQ(objc::Send(cls, "currentContext"), before);
  objc::Send<void>(cls, "restoreGraphicsState");  // nothing saved: nothing happens
  EXPECT_EQ(objc::Send(cls, "currentContext"), before);
  CGContextRelease(first);
  CGContextRelease(second);
}

TEST(ImageRep, DrawsIntoTheCurrentContextAndNamesTheImage) {
  objc::AutoreleasePool pool;
  PngFolder folder;
  PngSpec spec;
  spec.width = 2;
  spec.height = 1;
  spec.pixels = {255, 255, 255, 128, 0, 0, 255, 255};  // half-transparent white, opaque blue
  ASSERT_TRUE(WritePng(folder / "two.png", spec));
  id rep = RepFromFile(folder / "two.png");
  ASSERT_NE(rep, nil);
  EXPECT_EQ(objc::Send<BOOL>(rep, "drawAtPoint:", NSMakePoint(0, 0)), NO)
      << "no current context: nothing to draw into";

  id image = objc::Send(objc::Send(Cls("NSImage"), "alloc"), "initWithSize:", NSMakeSize(3, 2));
  id bitmap = NewRgbaBitmap(3, 2);
  objc::Send<void>(image, "addRepresentation:", bitmap);
  objc::Send<void>(image, "setName:", Str("given"));
  EXPECT_STREQ(ImageDisplayName(image), "given") << "a name given with setName:";
  {
    DrawingInto drawing(bitmap);
    EXPECT_EQ(objc::Send<BOOL>(rep, "drawAtPoint:", NSMakePoint(1, 1)), YES);
  }
  // Drawn at (1, 1) from the lower left: the top row, columns 1 and 2, premultiplied.
  EXPECT_EQ(Bytes(objc::Send<void*>(bitmap, "bitmapData"), 24),
            (std::vector<unsigned char>{0, 0, 0, 0, 128, 128, 128, 128, 0, 0, 255, 255,  //
                                        0, 0, 0, 0, 0,   0,   0,   0,   0, 0, 0,   0}));
  EXPECT_STREQ(ImageDisplayName(image), "two.png")
      << "an image is named by the picture file drawn into it";

  // A size other than the pixel grid resamples by nearest neighbour.
  id wide = NewRgbaBitmap(4, 1);
  objc::Send<void>(rep, "setSize:", NSMakeSize(4, 1));
  {
    DrawingInto drawing(wide);
    EXPECT_EQ(objc::Send<BOOL>(rep, "drawAtPoint:", NSMakePoint(0, 0)), YES);
  }
  EXPECT_EQ(Bytes(objc::Send<void*>(wide, "bitmapData"), 16),
            (std::vector<unsigned char>{128, 128, 128, 128, 128, 128, 128, 128, 0, 0, 255, 255, 0,
                                        0, 255, 255}));
  objc_release(wide);

  id reps = objc::Send(image, "representations");
  ASSERT_EQ(foundation::ArrayItems(reps).size(), 1u);
  EXPECT_EQ(ImageRepOwner(bitmap), image);
  objc_release(bitmap);  // the image keeps it
  EXPECT_EQ(objc::Send<NSSize>(image, "size").width, 3.0);
  objc::Send<void>(image, "setTemplate:", YES);
  EXPECT_EQ(objc::Send<BOOL>(image, "isTemplate"), YES);
  objc_release(image);

  // An image holding a representation read from a file is named by that file.
  id holder = objc::Send(objc::Send(Cls("NSImage"), "alloc"), "initWithSize:", NSMakeSize(0, 0));
  EXPECT_EQ(ImageDisplayName(holder), nullptr) << "no name at all";
  objc::Send<void>(holder, "addRepresentation:", rep);
  EXPECT_STREQ(ImageDisplayName(holder), "two.png");
  EXPECT_EQ(objc::Send<NSSize>(holder, "size").width, 4.0) << "an unsized image takes its rep's";
  objc_release(holder);
  EXPECT_EQ(ImageRepOwner(rep), nil) << "a freed image no longer owns its representations";
}

}  // namespace
