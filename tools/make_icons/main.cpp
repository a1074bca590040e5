// Draws Mindel's icons:
//   make_icons DIR           writes DIR/app_icon.png, DIR/inv_app_icon.png, DIR/app_fancy_icon.png
//   make_icons --theme DIR   writes the desktop's icons in the hicolor theme layout:
//                            DIR/<n>x<n>/apps/com.quorv.Mindel.png (16 to 512 pixels) and the
//                            panel glyph DIR/symbolic/apps/com.quorv.Mindel-symbolic.svg
//
// The design is a bell (a reminder) with a check mark cut through it (the one task). The
// status icons are template glyphs, 40 by 40 pixels at 144 dots per inch (20 by 20 points):
// black on transparent, and the same in white for dark menu bars. The fancy icon, shown in
// alerts, is the white bell on a warm rounded square, 128 by 128 pixels: an alert shows it
// at 64 points, so that is every pixel a double-density screen uses, and decoding it is a
// sixteenth of the work of a 512-pixel icon at each start.
//
//   --- Geometry ---   the shapes, in unit coordinates (0..1, y downward)
//   --- Painting ---   coverage by supersampling, layers, blur
//   --- PNG ---        writing with libpng, with the pHYs resolution
//   --- SVG ---        the glyph as a vector picture, for the symbolic icon
//   --- Icons ---      the pictures
#include <png.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "platform/appkit/png_writer.h"

namespace {

// --- Geometry ---

struct Vec {
  double x;  // rightward
  double y;  // downward
};

using Shape = std::function<bool(Vec)>;

double DistanceToSegment(Vec p, Vec a, Vec b) {
  const double dx = b.x - a.x, dy = b.y - a.y;
  double t = ((p.x - a.x) * dx + (p.y - a.y) * dy) / (dx * dx + dy * dy);
  t = std::clamp(t, 0.0, 1.0);
  return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

bool InCircle(Vec p, Vec centre, double radius) {
  return std::hypot(p.x - centre.x, p.y - centre.y) <= radius;
}

bool InRoundedRect(Vec p, double left, double top, double right, double bottom, double radius) {
  const double cx = std::clamp(p.x, left + radius, right - radius);
  const double cy = std::clamp(p.y, top + radius, bottom - radius);
  return p.x >= left && p.x <= right && p.y >= top && p.y <= bottom &&
         std::hypot(p.x - cx, p.y - cy) <= radius;
}

// The bell: a round crown flaring into a wide rim, a knob on top, a clapper below.
constexpr double kCentre = 0.5;
constexpr double kCrownY = 0.40, kCrownRadius = 0.23;  // the upper half-circle
constexpr double kRimY = 0.69, kFlare = 0.11;          // widening down to the rim
struct Box {
  double left, top, right, bottom, radius;
};
constexpr Box kLip{0.12, 0.67, 0.88, 0.755, 0.04};  // the rim's lip
struct Disc {
  Vec centre;
  double radius;
};
constexpr Disc kClapper{{kCentre, 0.85}, 0.065}, kKnob{{kCentre, 0.155}, 0.055};

bool InBell(Vec p) {
  const double dx = std::fabs(p.x - kCentre);
  bool body = false;
  if (p.y >= kCrownY - kCrownRadius && p.y <= kCrownY) {
    body = InCircle(p, {kCentre, kCrownY}, kCrownRadius);
  } else if (p.y > kCrownY && p.y <= kRimY) {
    const double t = (p.y - kCrownY) / (kRimY - kCrownY);
    body = dx <= kCrownRadius + kFlare * t * t;
  }
  // The clapper hangs a little below the rim, so the two read apart even at 20 points.
  return body || InRoundedRect(p, kLip.left, kLip.top, kLip.right, kLip.bottom, kLip.radius) ||
         InCircle(p, kClapper.centre, kClapper.radius) || InCircle(p, kKnob.centre, kKnob.radius);
}

// The check mark cut through the bell's body: two strokes with round ends.
constexpr Vec kStart{0.355, 0.475}, kCorner{0.46, 0.575}, kEnd{0.645, 0.36};
constexpr double kHalfWidth = 0.047;

bool InCheck(Vec p) {
  return DistanceToSegment(p, kStart, kCorner) <= kHalfWidth ||
         DistanceToSegment(p, kCorner, kEnd) <= kHalfWidth;
}

bool InGlyph(Vec p) {
  return InBell(p) && !InCheck(p);
}

// --- Painting ---

struct Colour {
  double r, g, b;  // 0..1
};

// Premultiplied RGBA pixels of a square picture, rows top to bottom.
struct Picture {
  int size;                   // pixels per side
  std::vector<double> pixel;  // size * size * 4 values, 0..1
};

Picture NewPicture(int size) {
  return Picture{size, std::vector<double>(size * size * 4, 0.0)};
}

// Per pixel, the share of samples x samples points inside shape, which is given in unit
// coordinates of the region [left, left + extent] x [top, top + extent] of the picture.
std::vector<double> Coverage(int size, int samples, const Shape& shape, double left = 0,
                             double top = 0, double extent = 1) {
  std::vector<double> coverage(size * size);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      int inside = 0;
      for (int sy = 0; sy < samples; ++sy) {
        for (int sx = 0; sx < samples; ++sx) {
          const double px = (x + (sx + 0.5) / samples) / size;
          const double py = (y + (sy + 0.5) / samples) / size;
          inside += shape({(px - left) / extent, (py - top) / extent});
        }
      }
      coverage[y * size + x] = static_cast<double>(inside) / (samples * samples);
    }
  }
  return coverage;
}

// Paints colour (chosen per pixel centre, in unit coordinates) through coverage * opacity,
// source-over.
void Paint(Picture& picture, const std::vector<double>& coverage,
           const std::function<Colour(Vec)>& colour, double opacity = 1.0) {
  const int n = picture.size;
  for (int y = 0; y < n; ++y) {
    for (int x = 0; x < n; ++x) {
      const double a = coverage[y * n + x] * opacity;
      if (a <= 0) continue;
      const Colour c = colour({(x + 0.5) / n, (y + 0.5) / n});
      double* p = &picture.pixel[(y * n + x) * 4];
      p[0] = c.r * a + p[0] * (1 - a);
      p[1] = c.g * a + p[1] * (1 - a);
      p[2] = c.b * a + p[2] * (1 - a);
      p[3] = a + p[3] * (1 - a);
    }
  }
}

// Three passes of a box blur of the given radius: close to a Gaussian.
std::vector<double> Blur(std::vector<double> values, int size, int radius) {
  std::vector<double> next(values.size());
  for (int pass = 0; pass < 6; ++pass) {
    const bool horizontal = pass % 2 == 0;
    for (int y = 0; y < size; ++y) {
      for (int x = 0; x < size; ++x) {
        double sum = 0;
        for (int d = -radius; d <= radius; ++d) {
          const int sx = horizontal ? x + d : x, sy = horizontal ? y : y + d;
          if (sx >= 0 && sx < size && sy >= 0 && sy < size) sum += values[sy * size + sx];
        }
        next[y * size + x] = sum / (2 * radius + 1);
      }
    }
    values.swap(next);
  }
  return values;
}

Colour Mix(Colour a, Colour b, double t) {
  return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Colour Hex(unsigned rgb) {
  return {((rgb >> 16) & 255) / 255.0, ((rgb >> 8) & 255) / 255.0, (rgb & 255) / 255.0};
}

// Straight-alpha 8-bit RGBA bytes of a picture.
std::vector<png_byte> Bytes(const Picture& picture) {
  std::vector<png_byte> bytes(picture.pixel.size());
  for (size_t i = 0; i < picture.pixel.size(); i += 4) {
    const double a = picture.pixel[i + 3];
    for (int k = 0; k < 3; ++k) {
      const double c = a > 0 ? picture.pixel[i + k] / a : 0.0;
      bytes[i + k] = static_cast<png_byte>(std::lround(std::clamp(c, 0.0, 1.0) * 255));
    }
    bytes[i + 3] = static_cast<png_byte>(std::lround(std::clamp(a, 0.0, 1.0) * 255));
  }
  return bytes;
}

// --- PNG ---

bool WritePng(const std::string& path, int size, const std::vector<png_byte>& rgba,
              png_uint_32 pixels_per_metre) {
  return WritePngFile(path.c_str(), rgba.data(), static_cast<uint32_t>(size),
                      static_cast<uint32_t>(size), pixels_per_metre);
}

// --- SVG ---

// The glyph in a 16-point square, drawn in the theme's foreground grey, which the desktop
// recolours for symbolic icons. The flare of the bell is a parabola, so one quadratic curve
// draws it exactly; the check mark is a stroke cut out through a mask.
std::string GlyphSvg() {
  const double flare_end = kCentre + kCrownRadius + kFlare;
  const double bend_y = (kCrownY + kRimY) / 2;  // control point: vertical start, parabola end
  char path[1024];
  std::snprintf(path, sizeof path,
                "M %.4g %.4g A %.4g %.4g 0 0 1 %.4g %.4g Q %.4g %.4g %.4g %.4g "
                "L %.4g %.4g Q %.4g %.4g %.4g %.4g Z",
                kCentre - kCrownRadius, kCrownY, kCrownRadius, kCrownRadius, kCentre + kCrownRadius,
                kCrownY, kCentre + kCrownRadius, bend_y, flare_end, kRimY, 1 - flare_end, kRimY,
                kCentre - kCrownRadius, bend_y, kCentre - kCrownRadius, kCrownY);
  char shapes[1024];
  std::snprintf(shapes, sizeof shapes,
                "<rect x=\"%.4g\" y=\"%.4g\" width=\"%.4g\" height=\"%.4g\" rx=\"%.4g\"/>"
                "<circle cx=\"%.4g\" cy=\"%.4g\" r=\"%.4g\"/>"
                "<circle cx=\"%.4g\" cy=\"%.4g\" r=\"%.4g\"/>",
                kLip.left, kLip.top, kLip.right - kLip.left, kLip.bottom - kLip.top, kLip.radius,
                kClapper.centre.x, kClapper.centre.y, kClapper.radius, kKnob.centre.x,
                kKnob.centre.y, kKnob.radius);
  char check[512];
  std::snprintf(check, sizeof check,
                "<polyline points=\"%.4g,%.4g %.4g,%.4g %.4g,%.4g\" fill=\"none\" "
                "stroke=\"#000\" stroke-width=\"%.4g\" stroke-linecap=\"round\" "
                "stroke-linejoin=\"round\"/>",
                kStart.x, kStart.y, kCorner.x, kCorner.y, kEnd.x, kEnd.y, 2 * kHalfWidth);
  return std::string(
             "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"16\" height=\"16\" "
             "viewBox=\"0 0 1 1\">\n"
             "<mask id=\"check\"><rect width=\"1\" height=\"1\" fill=\"#fff\"/>") +
         check + "</mask>\n<g fill=\"#2e3436\" mask=\"url(#check)\"><path d=\"" + path + "\"/>" +
         shapes + "</g>\n</svg>\n";
}

bool WriteText(const std::string& path, const std::string& text) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && written;
}

// --- Icons ---

constexpr png_uint_32 k144Dpi = 5669;  // pixels per metre: 2 pixels per point
constexpr png_uint_32 k72Dpi = 2835;   // one pixel per point

Picture StatusGlyph(Colour ink) {
  Picture picture = NewPicture(40);
  Paint(picture, Coverage(40, 16, InGlyph), [&](Vec) { return ink; });
  return picture;
}

// The application icon at kSize pixels a side; the shadow's softness scales with it.
Picture FancyIcon(int kSize = 128) {
  constexpr int kSamples = 4;
  const int blur = std::max(1, kSize / 64);
  Picture picture = NewPicture(kSize);
  // A rounded square with a warm vertical gradient, slightly lighter at the top left.
  const Shape tile = [](Vec p) { return InRoundedRect(p, 0.08, 0.08, 0.92, 0.92, 0.19); };
  Paint(picture, Coverage(kSize, kSamples, tile), [](Vec p) {
    const Colour vertical = Mix(Hex(0xFFB547), Hex(0xF2545B), (p.y - 0.08) / 0.84);
    return Mix(vertical, Hex(0xFFFFFF), std::max(0.0, 0.12 - 0.2 * (p.x + p.y - 0.16)));
  });
  // The bell, 64% of the tile, with a soft shadow below it.
  constexpr double kLeft = 0.18, kTop = 0.17, kExtent = 0.64;
  const std::vector<double> shadow =
      Blur(Coverage(kSize, 4, InGlyph, kLeft, kTop + 0.025, kExtent), kSize, blur);
  Paint(
      picture, shadow, [](Vec) { return Hex(0x8A1F2B); }, 0.35);
  Paint(picture, Coverage(kSize, kSamples, InGlyph, kLeft, kTop, kExtent), [](Vec p) {
    return Mix(Hex(0xFFFFFF), Hex(0xFFE9D6), std::clamp((p.y - 0.25) / 0.55, 0.0, 1.0));
  });
  return picture;
}

}  // namespace

namespace {

bool MakeFolder(const std::string& path) {
  return mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

// The desktop's icons in the hicolor layout under dir.
int WriteThemeIcons(const std::string& dir) {
  constexpr int kSizes[] = {16, 22, 24, 32, 48, 64, 128, 256, 512};
  for (int size : kSizes) {
    const std::string folder = dir + "/" + std::to_string(size) + "x" + std::to_string(size);
    const std::string path = folder + "/apps/com.quorv.Mindel.png";
    const Picture picture = FancyIcon(size);
    if (!MakeFolder(dir) || !MakeFolder(folder) || !MakeFolder(folder + "/apps") ||
        !WritePng(path, size, Bytes(picture), k72Dpi)) {
      std::fprintf(stderr, "make_icons: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  const std::string symbolic = dir + "/symbolic/apps/com.quorv.Mindel-symbolic.svg";
  if (!MakeFolder(dir + "/symbolic") || !MakeFolder(dir + "/symbolic/apps") ||
      !WriteText(symbolic, GlyphSvg())) {
    std::fprintf(stderr, "make_icons: cannot write %s\n", symbolic.c_str());
    return 1;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--theme") return WriteThemeIcons(argv[2]);
  if (argc != 2) {
    std::fprintf(stderr, "usage: make_icons DIR\n       make_icons --theme DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  const struct {
    const char* name;
    Picture picture;
  } icons[] = {
      {"app_icon.png", StatusGlyph({0, 0, 0})},
      {"inv_app_icon.png", StatusGlyph({1, 1, 1})},
      {"app_fancy_icon.png", FancyIcon()},
  };
  for (const auto& icon : icons) {
    const std::string path = dir + "/" + icon.name;
    if (!WritePng(path, icon.picture.size, Bytes(icon.picture), k144Dpi)) {
      std::fprintf(stderr, "make_icons: cannot write %s\n", path.c_str());
      return 1;
    }
  }
  return 0;
}
