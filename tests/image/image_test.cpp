// Tests of numbered images (pixel layout, backgrounds, depths, freeing and reusing numbers)
// and of drawing outputs on them.
#include "image/image.h"

#include <gtest/gtest.h>

#include <vector>

#include "core/registry.h"
#include "platform/appkit/image.h"
#include "platform/foundation/array.h"
#include "platform/graphics/composite.h"

namespace {

class Images : public ::testing::Test {
 protected:
  void SetUp() override { ImagesInit(); }
  void TearDown() override { ImagesEnd(); }
};

id BitmapOf(int64_t number) {
  const std::vector<id>& reps =
      foundation::ArrayItems(objc::Send(ImageCocoaHandle(number), "representations"));
  return reps.size() == 1 ? reps[0] : nil;
}

std::vector<uint8_t> PixelBytes(int64_t number) {
  id bitmap = BitmapOf(number);
  const auto* data = static_cast<const uint8_t*>(objc::Send<void*>(bitmap, "bitmapData"));
  if (!data) return {};
  const size_t count = static_cast<size_t>(objc::Send<NSInteger>(bitmap, "bytesPerRow") *
                                           objc::Send<NSInteger>(bitmap, "pixelsHigh"));
  return std::vector<uint8_t>(data, data + count);
}

id CurrentGraphicsContext() {
  return objc::Send(reinterpret_cast<id>(objc_lookUpClass("NSGraphicsContext")), "currentContext");
}

TEST_F(Images, CreateLaysPixelsOutAsRedGreenBlueAlpha) {
  objc::AutoreleasePool pool;
  const int64_t handle = ImageCreate(3, 2, 1, 32, 0x0000FF);
  ASSERT_NE(handle, 0);
  id image = ImageCocoaHandle(3);
  EXPECT_EQ(handle, static_cast<int64_t>(reinterpret_cast<uintptr_t>(image)))
      << "an explicit number answers the NSImage";
  EXPECT_STREQ(object_getClassName(image), "NSImage");
  EXPECT_EQ(PixelBytes(3), (std::vector<uint8_t>{255, 0, 0, 255, 255, 0, 0, 255}))
      << "colour 0x0000FF is opaque red";
  NSSize size = objc::Send<NSSize>(image, "size");
  EXPECT_EQ(size.width, 2.0);
  EXPECT_EQ(size.height, 1.0);
  EXPECT_EQ(objc::Send<BOOL>(image, "isDataRetained"), YES);
  id bitmap = BitmapOf(3);
  ASSERT_NE(bitmap, nil);
  EXPECT_EQ(objc::Send<NSInteger>(bitmap, "bytesPerRow"), 8);
  EXPECT_EQ(objc::Send<NSInteger>(bitmap, "bitsPerPixel"), 32);
  EXPECT_EQ(objc::Send<NSUInteger>(bitmap, "bitmapFormat"), NSUInteger{2})
      << "alpha last, not premultiplied";

  ASSERT_NE(ImageCreate(4, 1, 1, 32, 0x123456), 0);
  EXPECT_EQ(PixelBytes(4), (std::vector<uint8_t>{0x56, 0x34, 0x12, 255}))
      << "a colour value is 0x00BBGGRR";
}

TEST_F(Images, BackgroundsAndDepths) {
  objc::AutoreleasePool pool;
  ASSERT_NE(ImageCreate(0, 16, 16, 32, kImageTransparent), 0);
  EXPECT_EQ(PixelBytes(0), std::vector<uint8_t>(1024, 0)) << "-1 leaves every byte 0";
  EXPECT_EQ(ImagePixelWidth(0), 16);
  EXPECT_EQ(ImagePixelHeight(0), 16);

  ASSERT_NE(ImageCreate(1, 2, 1), 0);
  EXPECT_EQ(PixelBytes(1), (std::vector<uint8_t>{0, 0, 0, 255, 0, 0, 0, 255}))
      << "the short forms fill with opaque black";
  EXPECT_EQ(ImageBitDepth(1), 32) << "every image is stored with 32 bits";
  EXPECT_EQ(ImageBitDepth(1, kImageDeclaredDepth), 24) << "the three-argument form declares 24";

  ASSERT_NE(ImageCreate(2, 1, 3, 32), 0);
  EXPECT_EQ(ImageBitDepth(2, kImageDeclaredDepth), 32);
  EXPECT_EQ(ImagePixelHeight(2), 3);

  EXPECT_EQ(ImageBitDepth(77), 0) << "a number that names no image";
  EXPECT_EQ(ImagePixelWidth(77), 0);
  EXPECT_EQ(ImageCocoaHandle(77), nil);
}

TEST_F(Images, FreeingAndReusingNumbers) {
  objc::AutoreleasePool pool;
  ASSERT_NE(ImageCreate(5, 4, 4, 32, 0), 0);
  id first = objc_retain(ImageCocoaHandle(5));
  ASSERT_EQ(objc_retainCount(first), 2);
  ASSERT_NE(ImageCreate(5, 8, 2, 32, 0), 0) << "a number in use can be created again";
  EXPECT_EQ(objc_retainCount(first), 1) << "re-creating a number releases the old image";
  objc_release(first);
  EXPECT_EQ(ImagePixelWidth(5), 8);

  ImageFree(5);
  EXPECT_EQ(ImageCocoaHandle(5), nil);
  EXPECT_EQ(ImagePixelWidth(5), 0);
  ImageFree(5);  // freeing twice does nothing

  const int64_t dynamic = ImageCreate(-1, 3, 3, 32, -1);
  ASSERT_NE(dynamic, 0);
  EXPECT_NE(ImageCocoaHandle(dynamic), nil) << "-1 answers the new number";
  EXPECT_EQ(ImagePixelWidth(dynamic), 3);

  // Failures leave the number free, also when it held an image before.
  ASSERT_NE(ImageCreate(6, 2, 2), 0);
  EXPECT_EQ(ImageCreate(6, 0, 2), 0) << "no pixels";
  EXPECT_EQ(ImageCocoaHandle(6), nil);
  EXPECT_EQ(ImageCreate(7, 40000, 1), 0) << "wider than 16 bits can hold";
  EXPECT_EQ(ImageCocoaHandle(7), nil);
  EXPECT_EQ(ImageCreate(-5, 2, 2), 0) << "a negative number other than -1";

  ASSERT_NE(ImageCreate(8, 1, 1), 0);
  ImageFree(-1);
  EXPECT_EQ(ImageCocoaHandle(8), nil) << "-1 frees every image";
}

TEST_F(Images, DrawingOutputExposesThePixelsAndEndsCleanly) {
  objc::AutoreleasePool pool;
  EXPECT_EQ(ImageDrawingTarget(99), nullptr) << "no image, no output";
  EXPECT_EQ(CurrentDrawingOutput(), nullptr);
  EXPECT_EQ(DrawingBegin(nullptr), 0);

  ASSERT_NE(ImageCreate(9, 3, 2, 32, kImageTransparent), 0);
  id before = CurrentGraphicsContext();
  DrawingOutput* output = ImageDrawingTarget(9);
  ASSERT_NE(output, nullptr);
  EXPECT_EQ(CurrentDrawingOutput(), output) << "a new output is current";
  ASSERT_NE(DrawingBegin(output), 0);
  uint8_t* pixels = static_cast<uint8_t*>(objc::Send<void*>(BitmapOf(9), "bitmapData"));
  EXPECT_EQ(DrawingPixels(), pixels) << "the image's own memory";
  EXPECT_EQ(DrawingPixelsPitch(), 12);
  EXPECT_EQ(DrawingPixelsFormat(), 32);
  EXPECT_EQ(DrawingAreaWidth(), 3);
  EXPECT_EQ(DrawingAreaHeight(), 2);

  // AppKit drawing lands in the image: the current graphics context draws on its pixels.
  CGContextRef port = CurrentGraphicsPort();
  ASSERT_NE(port, nullptr);
  EXPECT_EQ(CGBitmapContextGetData(port), pixels);
  const uint8_t green[4] = {0, 255, 0, 255};
  ASSERT_TRUE(CompositePixels(port, PixelPicture{green, 1, 1, 4, PixelAlpha::kStraight},
                              CGPointMake(2, 0)));
  DrawingEnd();
  EXPECT_EQ(PixelBytes(9), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0,   0, 0,  //
                                                 0, 0, 0, 0, 0, 0, 0, 0, 0, 255, 0, 255}))
      << "(2, 0) from the lower left is the last pixel of the bottom row";

  EXPECT_EQ(CurrentDrawingOutput(), nullptr) << "no output is current after DrawingEnd";
  EXPECT_EQ(DrawingPixels(), nullptr);
  EXPECT_EQ(DrawingAreaWidth(), 0);
  EXPECT_EQ(CurrentGraphicsContext(), before) << "the previous graphics context is back";
  DrawingEnd();  // nothing current: nothing happens

  // A second target while one is open ends the first, restoring the graphics state once.
  DrawingOutput* one = ImageDrawingTarget(9);
  ASSERT_NE(one, nullptr);
  DrawingOutput* two = ImageDrawingTarget(9);
  ASSERT_NE(two, nullptr);
  EXPECT_EQ(CurrentDrawingOutput(), two);
  ASSERT_NE(DrawingBegin(two), 0);
  DrawingEnd();
  EXPECT_EQ(CurrentGraphicsContext(), before);
  EXPECT_EQ(CurrentDrawingOutput(), nullptr);
}

}  // namespace
