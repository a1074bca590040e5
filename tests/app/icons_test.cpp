// Tests of the icon loader: real PNG files read into numbered images at their full pixel size,
// with straight alpha after drawing.
#include "app/icons.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "image/image.h"
#include "platform/appkit/image.h"
#include "platform/foundation/array.h"
#include "platform/foundation/string.h"
#include "tests/platform/png_test_writer.h"

namespace {

std::u16string Path(const std::string& text) {
  return std::u16string(text.begin(), text.end());
}

// The 4 bytes of pixel (x, y) of image number, y counted from the top row.
std::vector<int> PixelAt(int64_t number, int x, int y) {
  const std::vector<id>& reps =
      foundation::ArrayItems(objc::Send(ImageCocoaHandle(number), "representations"));
  if (reps.size() != 1) return {};
  const auto* data = static_cast<const uint8_t*>(objc::Send<void*>(reps[0], "bitmapData"));
  const uint8_t* p = data + y * objc::Send<NSInteger>(reps[0], "bytesPerRow") + x * 4;
  return {p[0], p[1], p[2], p[3]};
}

class LoadFullSizeImageTest : public ::testing::Test {
 protected:
  void SetUp() override { ImagesInit(); }
  void TearDown() override { ImagesEnd(); }
  objc::AutoreleasePool pool_;
};

TEST_F(LoadFullSizeImageTest, DenseFileKeepsEveryPixelWithStraightAlpha) {
  PngFolder folder;
  // 40 x 40 pixels at 144 dpi (20 x 20 points): transparent, with a half-transparent white
  // pixel at the top left and an opaque orange one at the bottom right.
  PngSpec spec = SolidPng(40, 40, 0, 0, 0, 0);
  spec.pixels_per_metre = kPixelsPerMetreAt144Dpi;
  const std::vector<unsigned char> white_half = {255, 255, 255, 128};
  const std::vector<unsigned char> orange = {255, 128, 0, 255};
  std::copy(white_half.begin(), white_half.end(), spec.pixels.begin());
  std::copy(orange.begin(), orange.end(), spec.pixels.end() - 4);
  ASSERT_TRUE(WritePng(folder / "dense.png", spec));

  const std::u16string path = Path(folder / "dense.png");
  id handle = LoadFullSizeImage(0, path.c_str());
  ASSERT_NE(handle, nil) << "a readable PNG gives an image";
  EXPECT_EQ(handle, ImageCocoaHandle(0)) << "the answer is the image's NSImage";
  EXPECT_EQ(ImagePixelWidth(0), 40) << "full pixel size, not the 20 points the file declares";
  EXPECT_EQ(ImagePixelHeight(0), 40);
  EXPECT_EQ(ImageBitDepth(0, kImageDeclaredDepth), 32);
  EXPECT_EQ(PixelAt(0, 0, 0), (std::vector<int>{255, 255, 255, 128}))
      << "half-transparent white comes back unpremultiplied";
  EXPECT_EQ(PixelAt(0, 39, 39), (std::vector<int>{255, 128, 0, 255})) << "not moved or flipped";
  EXPECT_EQ(PixelAt(0, 20, 20), (std::vector<int>{0, 0, 0, 0}));
  EXPECT_STREQ(ImageDisplayName(handle), "dense.png")
      << "the image is named by the file its pixels came from";
}

TEST_F(LoadFullSizeImageTest, BundleIconMatchesItsFile) {
  const std::string file = ResourcePath("app_icon.png");
  const std::u16string path = Path(file);
  ASSERT_NE(LoadFullSizeImage(64, path.c_str()), nil);
  EXPECT_EQ(ImagePixelWidth(64), 40);
  EXPECT_EQ(ImagePixelHeight(64), 40);

  id rep = objc::Send(reinterpret_cast<id>(objc_lookUpClass("NSImageRep")),
                      "imageRepWithContentsOfFile:", foundation::MakeStringFromUtf8(file));
  ASSERT_NE(rep, nil);
  const auto* source = static_cast<const uint8_t*>(objc::Send<void*>(rep, "bitmapData"));
  int opaque = 0;
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 40; ++x) {
      const uint8_t* want = source + (y * 40 + x) * 4;
      std::vector<int> got = PixelAt(64, x, y);
      ASSERT_EQ(got[3], want[3]) << "alpha of pixel " << x << "," << y << " is the file's";
      if (want[3] == 255) {
        ++opaque;
        EXPECT_EQ(got, (std::vector<int>{want[0], want[1], want[2], 255}))
            << "opaque pixel " << x << "," << y << " keeps its colour exactly";
      }
    }
  }
  EXPECT_GT(opaque, 0) << "the icon has opaque pixels to compare";
}

TEST_F(LoadFullSizeImageTest, UnreadableFilesGiveZero) {
  PngFolder folder;
  const std::u16string missing = Path(folder / "missing.png");
  EXPECT_EQ(LoadFullSizeImage(1, missing.c_str()), nil) << "a missing file";
  EXPECT_EQ(ImageCocoaHandle(1), nil) << "no image is made";
  EXPECT_EQ(LoadFullSizeImage(1, nullptr), nil) << "no path";
}

}  // namespace
