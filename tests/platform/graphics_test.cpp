// Tests of the Core Graphics bitmap contexts, source-over compositing and the vImage alpha
// conversions.
#include "platform/graphics/graphics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/graphics/composite.h"
#include "platform/graphics/vimage.h"

namespace {

// A colour space for one test.
class DeviceRGB {
 public:
  DeviceRGB() : space_(CGColorSpaceCreateDeviceRGB()) {}
  ~DeviceRGB() { CGColorSpaceRelease(space_); }
  CGColorSpaceRef get() const { return space_; }

 private:
  CGColorSpaceRef space_;
};

std::vector<uint8_t> Pixel(const std::vector<uint8_t>& memory, size_t pitch, size_t x, size_t y) {
  const uint8_t* p = memory.data() + y * pitch + x * 4;
  return {p[0], p[1], p[2], p[3]};
}

using Bytes = std::vector<uint8_t>;

TEST(BitmapContext, DrawsIntoCallerMemoryOrItsOwn) {
  DeviceRGB rgb;
  std::vector<uint8_t> memory(3 * 40, 0xEE);  // 3 rows of 10 pixels
  CGContextRef context =
      CGBitmapContextCreate(memory.data(), 10, 3, 8, 40, rgb.get(), kCGImageAlphaPremultipliedLast);
  ASSERT_NE(context, nullptr);
  EXPECT_EQ(CGBitmapContextGetData(context), memory.data()) << "no copy of the caller's memory";
  EXPECT_EQ(CGBitmapContextGetWidth(context), 10u);
  EXPECT_EQ(CGBitmapContextGetHeight(context), 3u);
  EXPECT_EQ(CGBitmapContextGetBytesPerRow(context), 40u);
  EXPECT_EQ(CGBitmapContextGetBitsPerComponent(context), 8u);
  EXPECT_EQ(CGBitmapContextGetBitsPerPixel(context), 32u);
  EXPECT_EQ(CGBitmapContextGetAlphaInfo(context), kCGImageAlphaPremultipliedLast);
  EXPECT_EQ(CGBitmapContextGetColorSpace(context), rgb.get());
  EXPECT_EQ(memory[0], 0xEE) << "creating a context over memory leaves the pixels alone";

  // The context keeps its own reference to the colour space and survives an extra release.
  CGColorSpaceRef space = CGColorSpaceCreateDeviceRGB();
  CGContextRef owned =
      CGBitmapContextCreate(nullptr, 5, 4, 8, 0, space, kCGImageAlphaPremultipliedFirst);
  CGColorSpaceRelease(space);
  ASSERT_NE(owned, nullptr);
  EXPECT_EQ(CGBitmapContextGetBytesPerRow(owned), 20u) << "0 bytes per row means width * 4";
  const uint8_t* data = static_cast<const uint8_t*>(CGBitmapContextGetData(owned));
  ASSERT_NE(data, nullptr);
  for (size_t i = 0; i < 80; ++i) ASSERT_EQ(data[i], 0) << "own memory starts transparent";
  EXPECT_EQ(CGContextRetain(owned), owned);
  CGContextRelease(owned);
  EXPECT_EQ(CGBitmapContextGetWidth(owned), 5u) << "still alive after one of two releases";
  CGContextRelease(owned);
  CGContextRelease(context);
  CGContextRelease(nullptr);
  CGColorSpaceRelease(nullptr);
  EXPECT_EQ(CGContextRetain(nullptr), nullptr);
  EXPECT_EQ(CGBitmapContextGetData(nullptr), nullptr);
  EXPECT_EQ(CGBitmapContextGetWidth(nullptr), 0u);
}

TEST(BitmapContext, UnsupportedFormatsGiveNoContext) {
  DeviceRGB rgb;
  uint8_t memory[64] = {};
  const uint32_t premultiplied = kCGImageAlphaPremultipliedLast;
  EXPECT_EQ(CGBitmapContextCreate(memory, 2, 2, 16, 16, rgb.get(), premultiplied), nullptr)
      << "only 8 bits per component";
  for (uint32_t alpha : {0u, 3u, 4u, 5u, 6u, 7u, 8u}) {
    EXPECT_EQ(CGBitmapContextCreate(memory, 2, 2, 8, 8, rgb.get(), alpha), nullptr)
        << "alpha info " << alpha << " is not premultiplied RGBA";
  }
  EXPECT_EQ(CGBitmapContextCreate(memory, 2, 2, 8, 8, rgb.get(),
                                  premultiplied | kCGBitmapByteOrder16Little),
            nullptr);
  EXPECT_EQ(CGBitmapContextCreate(memory, 2, 2, 8, 8, rgb.get(), premultiplied | 0x100), nullptr)
      << "floating-point components are not supported";
  EXPECT_EQ(CGBitmapContextCreate(memory, 2, 2, 8, 8, nullptr, premultiplied), nullptr);
  EXPECT_EQ(CGBitmapContextCreate(memory, 2, 2, 8, 7, rgb.get(), premultiplied), nullptr)
      << "rows shorter than the pixels";
  EXPECT_EQ(CGBitmapContextCreate(memory, 0, 2, 8, 8, rgb.get(), premultiplied), nullptr);
  EXPECT_EQ(CGBitmapContextCreate(memory, 2, 0, 8, 8, rgb.get(), premultiplied), nullptr);
  EXPECT_EQ(CGBitmapContextCreate(nullptr, 40000, 1, 8, 0, rgb.get(), premultiplied), nullptr);
  EXPECT_EQ(CGBitmapContextCreate(nullptr, size_t{1} << 62, size_t{1} << 62, 8, 0, rgb.get(),
                                  premultiplied),
            nullptr)
      << "sizes whose product overflows are refused";
  CGContextRef big_order =
      CGBitmapContextCreate(memory, 2, 2, 8, 8, rgb.get(), premultiplied | kCGBitmapByteOrder32Big);
  EXPECT_NE(big_order, nullptr);
  CGContextRelease(big_order);
}

TEST(BitmapContext, ClearRectUsesLowerLeftOrigin) {
  DeviceRGB rgb;
  std::vector<uint8_t> memory(4 * 4 * 4, 0xFF);
  CGContextRef context =
      CGBitmapContextCreate(memory.data(), 4, 4, 8, 16, rgb.get(), kCGImageAlphaPremultipliedLast);
  ASSERT_NE(context, nullptr);
  // The lower-left 2 x 1 pixels are the first two pixels of the last memory row.
  CGContextClearRect(context, CGRectMake(0, 0, 2, 1));
  EXPECT_EQ(Pixel(memory, 16, 0, 3), (Bytes{0, 0, 0, 0}));
  EXPECT_EQ(Pixel(memory, 16, 1, 3), (Bytes{0, 0, 0, 0}));
  EXPECT_EQ(Pixel(memory, 16, 2, 3), (Bytes{255, 255, 255, 255}));
  EXPECT_EQ(Pixel(memory, 16, 0, 2), (Bytes{255, 255, 255, 255}));

  // Clipped to the context; a negative size counts from the origin downward.
  CGContextClearRect(context, CGRectMake(3.2, 100, -1.0, -97.4));  // x 2..3, y 3..4 (top row)
  EXPECT_EQ(Pixel(memory, 16, 2, 0), (Bytes{0, 0, 0, 0}));
  EXPECT_EQ(Pixel(memory, 16, 3, 0), (Bytes{255, 255, 255, 255}));
  EXPECT_EQ(Pixel(memory, 16, 2, 1), (Bytes{255, 255, 255, 255}));
  CGContextClearRect(context, CGRectMake(-1e300, 0, 1e300, 1e300));  // nothing inside
  CGContextClearRect(context, CGRectMake(std::nan(""), 0, 1, 1));    // NaN: nothing
  EXPECT_EQ(Pixel(memory, 16, 0, 0), (Bytes{255, 255, 255, 255}));

  CGContextClearRect(context, CGRectMake(-5, -5, 50, 50));
  for (uint8_t byte : memory) ASSERT_EQ(byte, 0) << "a rectangle covering all clears all";
  CGContextRelease(context);
}

// --- Compositing ---

TEST(Composite, SourceOverWithPremultipliedAndStraightPictures) {
  DeviceRGB rgb;
  std::vector<uint8_t> memory(2 * 2 * 4);
  for (size_t i = 0; i < memory.size(); i += 4) {
    memory[i + 2] = 255;  // opaque blue
    memory[i + 3] = 255;
  }
  CGContextRef context =
      CGBitmapContextCreate(memory.data(), 2, 2, 8, 8, rgb.get(), kCGImageAlphaPremultipliedLast);
  ASSERT_NE(context, nullptr);

  // Top row: opaque red, then half-transparent red (premultiplied); bottom row: fully
  // transparent, then straight half-transparent green.
  const uint8_t premultiplied[] = {255, 0, 0, 255, 128, 0, 0, 128, 0, 0, 0, 0, 0, 0, 0, 0};
  ASSERT_TRUE(CompositePixels(context, {premultiplied, 2, 1, 8, PixelAlpha::kPremultiplied},
                              CGPointMake(0, 1)));
  EXPECT_EQ(Pixel(memory, 8, 0, 0), (Bytes{255, 0, 0, 255})) << "opaque source replaces";
  EXPECT_EQ(Pixel(memory, 8, 1, 0), (Bytes{128, 0, 127, 255}))
      << "half red over blue: red 128, blue 255 * 127 / 255 rounded";
  EXPECT_EQ(Pixel(memory, 8, 0, 1), (Bytes{0, 0, 255, 255})) << "the bottom row is untouched";

  const uint8_t straight[] = {0, 0, 0, 0, 0, 255, 0, 128};
  ASSERT_TRUE(
      CompositePixels(context, {straight, 2, 1, 8, PixelAlpha::kStraight}, CGPointMake(0, 0)));
  EXPECT_EQ(Pixel(memory, 8, 0, 1), (Bytes{0, 0, 255, 255})) << "transparent adds nothing";
  EXPECT_EQ(Pixel(memory, 8, 1, 1), (Bytes{0, 128, 127, 255}))
      << "straight green is premultiplied before blending";
  CGContextRelease(context);
}

TEST(Composite, TransparentTargetKeepsPremultipliedSource) {
  // What the icon loader does: draw a picture into a cleared image, then unpremultiply.
  DeviceRGB rgb;
  std::vector<uint8_t> memory(4, 0);
  CGContextRef context =
      CGBitmapContextCreate(memory.data(), 1, 1, 8, 4, rgb.get(), kCGImageAlphaPremultipliedLast);
  const uint8_t white_half[] = {255, 255, 255, 128};
  ASSERT_TRUE(CompositePixels(context, {white_half, 1, 1, 4, PixelAlpha::kStraight}, {0, 0}));
  EXPECT_EQ(memory, (Bytes{128, 128, 128, 128})) << "the context holds premultiplied colour";
  vImage_Buffer buffer{memory.data(), 1, 1, 4};
  EXPECT_EQ(vImageUnpremultiplyData_RGBA8888(&buffer, &buffer, kvImageNoFlags), kvImageNoError);
  EXPECT_EQ(memory, (Bytes{255, 255, 255, 128})) << "half-transparent white reads back white";
  CGContextRelease(context);
}

TEST(Composite, EveryAlphaBlendsAsSourceOverOntoAHalfOpaqueTarget) {
  // One row of 256 pixels, alpha 0 to 255, composited over a grey half-opaque target; each
  // result must follow source-over with rounding, the opaque and clear ends included.
  DeviceRGB rgb;
  const auto mul = [](unsigned x, unsigned y) { return (x * y + 127) / 255; };
  for (const PixelAlpha kind : {PixelAlpha::kPremultiplied, PixelAlpha::kStraight}) {
    Bytes source(256 * 4);
    for (unsigned a = 0; a < 256; ++a) {
      const unsigned colour = kind == PixelAlpha::kStraight ? 200 : a * 200 / 255;
      source[a * 4 + 0] = static_cast<uint8_t>(colour);
      source[a * 4 + 1] = static_cast<uint8_t>(colour / 2);
      source[a * 4 + 2] = static_cast<uint8_t>(colour / 3);
      source[a * 4 + 3] = static_cast<uint8_t>(a);
    }
    Bytes memory(256 * 4);
    for (size_t i = 0; i < memory.size(); i += 4) {
      memory[i] = memory[i + 1] = memory[i + 2] = 60;
      memory[i + 3] = 128;
    }
    CGContextRef context = CGBitmapContextCreate(memory.data(), 256, 1, 8, 256 * 4, rgb.get(),
                                                 kCGImageAlphaPremultipliedLast);
    ASSERT_NE(context, nullptr);
    ASSERT_TRUE(CompositePixels(context, {source.data(), 256, 1, 256 * 4, kind}, {0, 0}));
    for (unsigned a = 0; a < 256; ++a) {
      for (int k = 0; k < 4; ++k) {
        unsigned in = source[a * 4 + k];
        if (kind == PixelAlpha::kStraight && k < 3) in = mul(in, a);
        const unsigned want = std::min(255u, in + mul(k < 3 ? 60 : 128, 255 - a));
        ASSERT_EQ(memory[a * 4 + k], want) << "alpha " << a << ", channel " << k
                                           << (kind == PixelAlpha::kStraight ? ", straight" : "");
      }
    }
    CGContextRelease(context);
  }
}

TEST(Composite, ClipsAtEveryEdgeAndHonoursRowPadding) {
  DeviceRGB rgb;
  const size_t pitch = 20;  // 3 pixels and 8 bytes of padding per row
  std::vector<uint8_t> memory(pitch * 3, 0);
  CGContextRef context = CGBitmapContextCreate(memory.data(), 3, 3, 8, pitch, rgb.get(),
                                               kCGImageAlphaPremultipliedLast);
  ASSERT_NE(context, nullptr);
  // A 2 x 2 picture whose pixels carry their position in red (x) and green (y).
  const uint8_t picture[] = {10, 10, 0, 255, 20, 10, 0, 255, 0xAA, 0xAA, 0xAA, 0xAA,
                             10, 20, 0, 255, 20, 20, 0, 255, 0xAA, 0xAA, 0xAA, 0xAA};
  const PixelPicture source{picture, 2, 2, 12, PixelAlpha::kPremultiplied};

  // Lower-left corner at (-1, -1): only the picture's top-right pixel lands, at the
  // context's lower-left pixel (memory row 2, column 0).
  ASSERT_TRUE(CompositePixels(context, source, CGPointMake(-1, -1)));
  EXPECT_EQ(Pixel(memory, pitch, 0, 2), (Bytes{20, 10, 0, 255}));
  // At (2.4, 1.6), taken to (2, 2): the picture's bottom-left pixel lands at the top-right.
  ASSERT_TRUE(CompositePixels(context, source, CGPointMake(2.4, 1.6)));
  EXPECT_EQ(Pixel(memory, pitch, 2, 0), (Bytes{10, 20, 0, 255}));
  int touched = 0;
  for (size_t y = 0; y < 3; ++y) {
    for (size_t x = 0; x < 3; ++x) touched += Pixel(memory, pitch, x, y)[3] != 0;
    for (size_t pad = 12; pad < pitch; ++pad) ASSERT_EQ(memory[y * pitch + pad], 0) << "padding";
  }
  EXPECT_EQ(touched, 2) << "nothing outside the overlaps is drawn";

  EXPECT_TRUE(CompositePixels(context, source, CGPointMake(3, 0))) << "outside: nothing to do";
  EXPECT_TRUE(CompositePixels(context, source, CGPointMake(1e300, -1e300)));
  EXPECT_TRUE(CompositePixels(context, source, CGPointMake(std::nan(""), 0)));
  EXPECT_FALSE(CompositePixels(nullptr, source, {0, 0}));
  EXPECT_FALSE(CompositePixels(context, {nullptr, 2, 2, 12, PixelAlpha::kStraight}, {0, 0}));
  EXPECT_FALSE(CompositePixels(context, {picture, 4, 2, 12, PixelAlpha::kStraight}, {0, 0}))
      << "rows shorter than the pixels are refused";
  CGContextRelease(context);
}

TEST(Composite, FollowsTheContextsChannelOrder) {
  DeviceRGB rgb;
  const uint8_t red[] = {255, 0, 0, 255};
  const struct {
    uint32_t info;
    Bytes expected;
  } cases[] = {
      {kCGImageAlphaPremultipliedLast, {255, 0, 0, 255}},
      {kCGImageAlphaPremultipliedLast | kCGBitmapByteOrder32Big, {255, 0, 0, 255}},
      {kCGImageAlphaPremultipliedFirst, {255, 255, 0, 0}},
      {kCGImageAlphaPremultipliedFirst | kCGBitmapByteOrder32Little, {0, 0, 255, 255}},  // BGRA
      {kCGImageAlphaPremultipliedLast | kCGBitmapByteOrder32Little, {255, 0, 0, 255}},   // ABGR
  };
  for (const auto& c : cases) {
    Bytes memory(4, 0);
    CGContextRef context = CGBitmapContextCreate(memory.data(), 1, 1, 8, 4, rgb.get(), c.info);
    ASSERT_NE(context, nullptr);
    ASSERT_TRUE(CompositePixels(context, {red, 1, 1, 4, PixelAlpha::kPremultiplied}, {0, 0}));
    EXPECT_EQ(memory, c.expected) << "bitmap info " << c.info;
    CGContextRelease(context);
  }
}

// --- Alpha conversions ---

TEST(VImage, PremultiplyRoundTripsWithinRoundingOnEveryAlpha) {
  // Every colour value at every alpha, one pixel each: 256 x 256 pixels.
  std::vector<uint8_t> straight(256 * 256 * 4);
  for (unsigned a = 0; a < 256; ++a) {
    for (unsigned c = 0; c < 256; ++c) {
      uint8_t* p = &straight[(a * 256 + c) * 4];
      p[0] = static_cast<uint8_t>(c);
      p[1] = static_cast<uint8_t>(255 - c);
      p[2] = static_cast<uint8_t>(c / 2);
      p[3] = static_cast<uint8_t>(a);
    }
  }
  std::vector<uint8_t> pixels = straight;
  vImage_Buffer buffer{pixels.data(), 256, 256, 256 * 4};
  ASSERT_EQ(vImagePremultiplyData_RGBA8888(&buffer, &buffer, kvImageNoFlags), kvImageNoError);
  const std::vector<uint8_t> premultiplied = pixels;
  ASSERT_EQ(vImageUnpremultiplyData_RGBA8888(&buffer, &buffer, kvImageNoFlags), kvImageNoError);

  for (unsigned a = 0; a < 256; ++a) {
    // Premultiplying keeps only a + 1 levels, so the way back can miss by half a level.
    const double tolerance = a == 0 ? 0 : 127.5 / a + 0.5;
    for (unsigned c = 0; c < 256; ++c) {
      const size_t i = (a * 256 + c) * 4;
      for (int k = 0; k < 3; ++k) {
        const int want = static_cast<int>((straight[i + k] * a * 2 + 255) / 510);
        ASSERT_EQ(premultiplied[i + k], want) << "premultiply rounds to nearest, a=" << a;
        ASSERT_LE(premultiplied[i + k], a) << "premultiplied colour never exceeds alpha";
        const int back = pixels[i + k];
        if (a == 0) {
          ASSERT_EQ(back, 0) << "colour under zero alpha is 0";
        } else {
          ASSERT_LE(std::abs(back - straight[i + k]), tolerance) << "a=" << a << " c=" << c;
        }
      }
      ASSERT_EQ(pixels[i + 3], a) << "alpha is never changed";
    }
  }
  for (unsigned c = 0; c < 256; ++c) {
    ASSERT_EQ(pixels[(255 * 256 + c) * 4], c) << "opaque pixels round-trip exactly";
  }

  // The other way round is exact: every valid premultiplied value survives.
  std::vector<uint8_t> valid;
  for (unsigned a = 1; a < 256; ++a) {
    for (unsigned c = 0; c <= a; ++c)
      valid.insert(valid.end(), {uint8_t(c), 0, uint8_t(a), uint8_t(a)});
  }
  std::vector<uint8_t> converted(valid.size());
  vImage_Buffer in{valid.data(), 1, valid.size() / 4, valid.size()};
  vImage_Buffer out{converted.data(), 1, valid.size() / 4, valid.size()};
  ASSERT_EQ(vImageUnpremultiplyData_RGBA8888(&in, &out, kvImageNoFlags), kvImageNoError);
  ASSERT_EQ(vImagePremultiplyData_RGBA8888(&out, &out, kvImageNoFlags), kvImageNoError);
  EXPECT_EQ(converted, valid) << "unpremultiply then premultiply gives the same bytes";
}

TEST(VImage, UnpremultiplyRoundsAsDocumented) {
  uint8_t pixels[] = {128, 128, 128, 128, 1, 2, 3, 0, 200, 100, 0, 100, 1, 0, 0, 3};
  vImage_Buffer buffer{pixels, 1, 4, sizeof pixels};
  ASSERT_EQ(vImageUnpremultiplyData_RGBA8888(&buffer, &buffer, kvImageNoFlags), kvImageNoError);
  EXPECT_EQ(Bytes(pixels, pixels + 4), (Bytes{255, 255, 255, 128}));
  EXPECT_EQ(Bytes(pixels + 4, pixels + 8), (Bytes{0, 0, 0, 0})) << "zero alpha gives zero colour";
  EXPECT_EQ(Bytes(pixels + 8, pixels + 12), (Bytes{255, 255, 0, 100}))
      << "colour above alpha saturates";
  EXPECT_EQ(Bytes(pixels + 12, pixels + 16), (Bytes{85, 0, 0, 3})) << "(1 * 255 + 1) / 3";
}

TEST(VImage, ConvertsOnlyTheDestinationsAreaAndRefusesBadBuffers) {
  // 2 x 2 source with padded rows; 1 x 2 destination: one column converted.
  uint8_t source[] = {255, 255, 255, 255, 255, 0, 0, 255, 9, 9,
                      100, 100, 100, 100, 1,   1, 1, 1,   9, 9};
  uint8_t dest[8] = {};
  vImage_Buffer src{source, 2, 2, 10};
  vImage_Buffer dst{dest, 2, 1, 4};
  ASSERT_EQ(vImagePremultiplyData_RGBA8888(&src, &dst, kvImageDoNotTile), kvImageNoError);
  EXPECT_EQ(Bytes(dest, dest + 8), (Bytes{255, 255, 255, 255, 39, 39, 39, 100}));
  EXPECT_EQ(source[8], 9) << "the source is not written";

  vImage_Buffer wide{dest, 1, 3, 12};
  EXPECT_EQ(vImagePremultiplyData_RGBA8888(&src, &wide, 0), kvImageRoiLargerThanInputBuffer);
  vImage_Buffer high{dest, 3, 1, 4};
  EXPECT_EQ(vImageUnpremultiplyData_RGBA8888(&src, &high, 0), kvImageRoiLargerThanInputBuffer);
  vImage_Buffer short_rows{source, 2, 2, 7};
  EXPECT_EQ(vImageUnpremultiplyData_RGBA8888(&short_rows, &dst, 0), kvImageInvalidParameter);
  EXPECT_EQ(vImageUnpremultiplyData_RGBA8888(nullptr, &dst, 0), kvImageNullPointerArgument);
  EXPECT_EQ(vImageUnpremultiplyData_RGBA8888(&src, nullptr, 0), kvImageNullPointerArgument);
  vImage_Buffer no_data{nullptr, 1, 1, 4};
  EXPECT_EQ(vImagePremultiplyData_RGBA8888(&no_data, &dst, 0), kvImageNullPointerArgument);
  EXPECT_EQ(vImagePremultiplyData_RGBA8888(&src, &dst, 1024), kvImageUnknownFlagsBit);
  const uint8_t before = dest[4];
  EXPECT_EQ(vImageUnpremultiplyData_RGBA8888(&src, &dst, kvImageGetTempBufferSize), 0)
      << "no temporary buffer is needed";
  EXPECT_EQ(dest[4], before) << "asking for the buffer size converts nothing";
}

}  // namespace
