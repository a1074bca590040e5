// The status item's pixmaps: a picture fitted into the square sizes panels ask for, template
// glyphs drawn in the panel's foreground colour, and the pixmaps of a model image.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "platform/appkit/image.h"
#include "platform/graphical/icon_pixmap.h"
#include "tests/platform/appkit_test_support.h"

namespace {

// A width x height RGBA picture, every pixel (r, g, b, a).
std::vector<uint8_t> Solid(size_t width, size_t height, uint8_t r, uint8_t g, uint8_t b,
                           uint8_t a) {
  std::vector<uint8_t> pixels;
  for (size_t i = 0; i < width * height; ++i) pixels.insert(pixels.end(), {r, g, b, a});
  return pixels;
}

PixelPicture Picture(const std::vector<uint8_t>& pixels, size_t width, size_t height,
                     PixelAlpha alpha = PixelAlpha::kStraight) {
  return PixelPicture{pixels.data(), width, height, width * 4, alpha};
}

// The A R G B bytes of pixel (x, y).
std::vector<int> At(const IconPixmap& pixmap, int x, int y) {
  const uint8_t* p = pixmap.argb.data() + (static_cast<size_t>(y) * pixmap.size + x) * 4;
  return {p[0], p[1], p[2], p[3]};
}

TEST(GraphicalIconTest, PicturesAreFittedCentredAndAveragedIntoTheSquare) {
  // A 40 x 20 red bar in a 22-pixel square: 11 rows tall, centred, with straight colour.
  const std::vector<uint8_t> bar = Solid(40, 20, 255, 0, 0, 255);
  const IconPixmap fitted = FitIntoSquare(Picture(bar, 40, 20), 22, false, 0);
  ASSERT_EQ(fitted.size, 22);
  ASSERT_EQ(fitted.argb.size(), 22u * 22 * 4);
  EXPECT_EQ(At(fitted, 0, 0), (std::vector<int>{0, 0, 0, 0})) << "above the bar is clear";
  EXPECT_EQ(At(fitted, 11, 11), (std::vector<int>{255, 255, 0, 0})) << "A R G B byte order";
  EXPECT_EQ(At(fitted, 21, 21), (std::vector<int>{0, 0, 0, 0})) << "below the bar is clear";
  EXPECT_EQ(At(fitted, 0, 6)[0], 255) << "the bar starts at row 5.5, so row 6 is covered";

  // A one-pixel checkerboard of opaque and clear halves to half alpha, without darkening:
  // the colour of the opaque pixels stays.
  std::vector<uint8_t> checks;
  for (int y = 0; y < 44; ++y) {
    for (int x = 0; x < 44; ++x) {
      const bool on = (x + y) % 2 == 0;
      checks.insert(checks.end(),
                    {0, 0, static_cast<uint8_t>(on ? 200 : 0), static_cast<uint8_t>(on ? 255 : 0)});
    }
  }
  const IconPixmap halved = FitIntoSquare(Picture(checks, 44, 44), 22, false, 0);
  EXPECT_EQ(At(halved, 10, 10), (std::vector<int>{128, 0, 0, 200}));

  // Premultiplied pixels come out straight.
  const std::vector<uint8_t> dim = Solid(4, 4, 50, 50, 50, 100);
  EXPECT_EQ(At(FitIntoSquare(Picture(dim, 4, 4, PixelAlpha::kPremultiplied), 2, false, 0), 1, 1),
            (std::vector<int>{100, 128, 128, 128}));

  EXPECT_TRUE(FitIntoSquare(Picture(bar, 40, 20), 0, false, 0).argb.empty());
  EXPECT_TRUE(FitIntoSquare(PixelPicture{nullptr, 4, 4, 16, PixelAlpha::kStraight}, 22, false, 0)
                  .argb.empty());
}

TEST(GraphicalIconTest, TemplatesKeepTheirShapeInThePanelsForegroundColour) {
  const std::vector<uint8_t> glyph = Solid(8, 8, 0, 0, 0, 255);
  EXPECT_EQ(At(FitIntoSquare(Picture(glyph, 8, 8), 16, true, 0xFFFFFF), 8, 8),
            (std::vector<int>{255, 255, 255, 255}))
      << "a black glyph is drawn white on a dark panel";
  EXPECT_EQ(At(FitIntoSquare(Picture(glyph, 8, 8), 16, true, 0x123456), 8, 8),
            (std::vector<int>{255, 0x12, 0x34, 0x56}));
  const std::vector<uint8_t> clear = Solid(8, 8, 0, 0, 0, 0);
  EXPECT_EQ(At(FitIntoSquare(Picture(clear, 8, 8), 16, true, 0xFFFFFF), 8, 8),
            (std::vector<int>{0, 0, 0, 0}))
      << "clear pixels stay clear";
}

TEST(GraphicalIconTest, ModelImagesGivePixmapsAtEverySize) {
  InstallScriptedDesktop();
  objc::AutoreleasePool pool;
  EXPECT_TRUE(StatusIconPixmaps(nil, 0).empty());
  id empty = objc::Autorelease(objc::Send(Cls("NSImage"), "new"));
  EXPECT_TRUE(StatusIconPixmaps(empty, 0).empty()) << "an image without pixels has no pixmaps";

  // A 4 x 4 bitmap of opaque green, as a template and not.
  unsigned char** no_planes = nullptr;
  id rep = objc::Autorelease(
      objc::Send(objc::Send(Cls("NSBitmapImageRep"), "alloc"),
                 "initWithBitmapDataPlanes:pixelsWide:pixelsHigh:bitsPerSample:samplesPerPixel:"
                 "hasAlpha:isPlanar:colorSpaceName:bitmapFormat:bytesPerRow:bitsPerPixel:",
                 no_planes, NSInteger{4}, NSInteger{4}, NSInteger{8}, NSInteger{4}, YES, NO,
                 NSDeviceRGBColorSpace, NSUInteger{kBitmapFormatAlphaNonpremultiplied},
                 NSInteger{16}, NSInteger{32}));
  ASSERT_NE(rep, nil);
  auto* data = objc::Send<uint8_t*>(rep, "bitmapData");
  for (int i = 0; i < 16; ++i) {
    data[i * 4 + 1] = 255;
    data[i * 4 + 3] = 255;
  }
  id image = objc::Autorelease(objc::Send(Cls("NSImage"), "new"));
  objc::Send<void>(image, "addRepresentation:", rep);
  const std::vector<IconPixmap> plain = StatusIconPixmaps(image, 0xFFFFFF);
  ASSERT_EQ(plain.size(), std::size(kIconPixmapSizes));
  std::vector<int32_t> sizes;
  for (const IconPixmap& pixmap : plain) sizes.push_back(pixmap.size);
  EXPECT_NE(std::find(sizes.begin(), sizes.end(), 22), sizes.end());
  EXPECT_NE(std::find(sizes.begin(), sizes.end(), 44), sizes.end());
  EXPECT_EQ(At(plain[1], 5, 5), (std::vector<int>{255, 0, 255, 0})) << "colours kept";
  objc::Send<void>(image, "setTemplate:", YES);
  EXPECT_EQ(At(StatusIconPixmaps(image, 0xFFFFFF)[1], 5, 5), (std::vector<int>{255, 255, 255, 255}))
      << "a template is drawn in the foreground colour";
}

}  // namespace
