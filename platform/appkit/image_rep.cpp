// NSImageRep and NSBitmapImageRep: pixel stores of an image, read from PNG files or made
// empty, and drawn into the current graphics context with source-over.
//
// Index: representation state · reading files · bitmaps · drawing · class loader.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/appkit/appkit.h"
#include "platform/appkit/image.h"
#include "platform/appkit/png_reader.h"
#include "platform/foundation/string.h"
#include "platform/graphics/composite.h"

extern "C" {
id NSDeviceRGBColorSpace = nil;
}

namespace {

// --- Representation state ---

// The state of one representation; the bitmap fields are used by NSBitmapImageRep only.
struct RepState {
  NSSize size{};              // drawn size in points
  NSInteger pixels_wide = 0;  // pixel grid; 0 for a representation without one
  NSInteger pixels_high = 0;
  NSInteger bits_per_sample = 0;
  bool has_alpha = false;        // the pixels carry alpha
  std::string file_name;         // the picture file read, without folder; "" when none
  id owner = nil;                // the NSImage it was added to; not retained (it retains us)
  uint8_t* data = nullptr;       // first byte of the top row
  bool owns_data = false;        // data was allocated here (std::free at dealloc)
  NSInteger bytes_per_row = 0;   // from one row to the next
  NSInteger bits_per_pixel = 0;  // bits of one pixel in memory
  NSInteger samples_per_pixel = 0;
  NSUInteger bitmap_format = 0;  // kBitmapFormat... bits
  id colour_space_name = nil;    // NSString, copied
};

Class gImageRep;              // NSImageRep
Class gBitmapRep;             // NSBitmapImageRep
ptrdiff_t gStateOffset = -1;  // offset of RepState in both classes

// The largest side a bitmap is made with: what a bitmap context can draw into.
constexpr NSInteger kMaxSide = 32768;
// The largest pixel memory a bitmap allocates (1 GiB); larger requests answer nil.
constexpr size_t kMaxBitmapBytes = size_t{1} << 30;

RepState& State(id self) {
  return objc::FieldAt<RepState>(self, gStateOffset);
}
bool IsRep(id obj) {
  return obj && gImageRep && objc::IsKindOf(obj, gImageRep);
}
bool IsBitmapRep(id obj) {
  return obj && gBitmapRep && objc::IsKindOf(obj, gBitmapRep);
}

// The bitmaps by their pixel memory, so that drawing into a context over that memory can
// tell which image it lands in. A bitmap is listed from its creation to its dealloc.
std::unordered_map<const void*, id>& BitmapsByData() {
  static auto* bitmaps = new std::unordered_map<const void*, id>;  // kept for the whole run
  return *bitmaps;
}

void ListBitmap(id rep) {
  if (State(rep).data) BitmapsByData()[State(rep).data] = rep;
}
void UnlistBitmap(id rep) {
  auto found = BitmapsByData().find(State(rep).data);
  if (found != BitmapsByData().end() && found->second == rep) BitmapsByData().erase(found);
}

// --- NSImageRep ---

NSSize Size(id self, SEL) {
  return State(self).size;
}
void SetSize(id self, SEL, NSSize size) {
  State(self).size = size;
}
NSInteger PixelsWide(id self, SEL) {
  return State(self).pixels_wide;
}
NSInteger PixelsHigh(id self, SEL) {
  return State(self).pixels_high;
}
void SetPixelsWide(id self, SEL, NSInteger pixels) {
  State(self).pixels_wide = pixels;
}
void SetPixelsHigh(id self, SEL, NSInteger pixels) {
  State(self).pixels_high = pixels;
}
BOOL HasAlpha(id self, SEL) {
  return State(self).has_alpha ? YES : NO;
}
void SetAlpha(id self, SEL, BOOL alpha) {
  State(self).has_alpha = alpha != NO;
}
NSInteger BitsPerSample(id self, SEL) {
  return State(self).bits_per_sample;
}
// A plain representation has no pixels to draw.
BOOL DrawAtPointNothing(id, SEL, NSPoint) {
  return NO;
}
BOOL DrawNothing(id, SEL) {
  return NO;
}

void DeallocRep(id self, SEL sel) {
  if (IsBitmapRep(self)) UnlistBitmap(self);
  RepState& state = State(self);
  if (state.owns_data) std::free(state.data);
  state.data = nullptr;
  appkit::AssignRetained(&state.colour_space_name, nil);
  objc::SendSuper<void>(self, gImageRep, sel);
}

// --- Reading files ---

// The last component of a path: "app_icon.png" for "/x/Resources/app_icon.png".
std::string FileNameOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// +imageRepWithContentsOfFile:: an autoreleased NSBitmapImageRep of the PNG file at path,
// sized by the file's resolution (72 dpi when it declares none: one point per pixel); nil
// when the file cannot be read as a PNG.
id ImageRepWithContentsOfFile(Class, SEL, id path) {
  if (!foundation::IsString(path)) return nil;
  const std::string file = foundation::StringUtf8(path);
  PngPicture picture{};
  if (!ReadPngFile(file.c_str(), &picture)) return nil;
  id rep = objc::Send(reinterpret_cast<id>(gBitmapRep), "alloc");
  rep = objc::SendSuper(rep, gBitmapRep, "init");  // NSImageRep's init: no pixel memory yet
  if (!rep) {
    std::free(picture.pixels);
    return nil;
  }
  RepState& state = State(rep);
  state.data = picture.pixels;
  state.owns_data = true;
  state.pixels_wide = picture.width;
  state.pixels_high = picture.height;
  state.size = NSSize{picture.width * 72.0 / picture.dpi_x, picture.height * 72.0 / picture.dpi_y};
  state.bits_per_sample = 8;
  state.samples_per_pixel = picture.has_alpha ? 4 : 3;
  state.has_alpha = picture.has_alpha;
  state.bits_per_pixel = 32;  // always held as R G B A (an opaque alpha when the file has none)
  state.bytes_per_row = NSInteger{picture.width} * 4;
  state.bitmap_format = kBitmapFormatAlphaNonpremultiplied;
  state.file_name = FileNameOf(file);
  appkit::AssignRetained(&state.colour_space_name, NSDeviceRGBColorSpace);
  ListBitmap(rep);
  return objc_autorelease(rep);
}

// --- NSBitmapImageRep ---

// -initWithBitmapDataPlanes:pixelsWide:...: with no planes (or a null first plane) the bitmap
// allocates zeroed memory of its own; otherwise it draws on the caller's memory, which must
// outlive it. Only meshed (not planar) pixels of 8 bits per sample are supported; anything
// else, a side outside 1..32768 or memory running out answers nil.
id InitWithBitmapDataPlanes(id self, SEL, unsigned char** planes, NSInteger wide, NSInteger high,
                            NSInteger bits_per_sample, NSInteger samples_per_pixel, BOOL alpha,
                            BOOL planar, id colour_space_name, NSUInteger bitmap_format,
                            NSInteger bytes_per_row, NSInteger bits_per_pixel) {
  self = objc::SendSuper(self, gBitmapRep, "init");
  if (!self) return nil;
  const bool valid = wide > 0 && high > 0 && wide <= kMaxSide && high <= kMaxSide &&
                     bits_per_sample == 8 && samples_per_pixel >= 1 && samples_per_pixel <= 5 &&
                     (!alpha || samples_per_pixel >= 2) && !planar;
  if (bits_per_pixel == 0) bits_per_pixel = samples_per_pixel * bits_per_sample;
  if (bytes_per_row == 0) bytes_per_row = wide * bits_per_pixel / 8;
  if (!valid || bits_per_pixel < samples_per_pixel * 8 || bits_per_pixel % 8 != 0 ||
      bits_per_pixel > 64 || bytes_per_row < wide * bits_per_pixel / 8 ||
      static_cast<size_t>(bytes_per_row) > kMaxBitmapBytes / static_cast<size_t>(high)) {
    objc_release(self);
    return nil;
  }
  RepState& state = State(self);
  if (planes && planes[0]) {
    state.data = planes[0];
  } else {
    state.data = static_cast<uint8_t*>(
        std::calloc(static_cast<size_t>(high), static_cast<size_t>(bytes_per_row)));
    if (!state.data) {
      objc_release(self);
      return nil;
    }
    state.owns_data = true;
  }
  state.pixels_wide = wide;
  state.pixels_high = high;
  state.size = NSSize{static_cast<double>(wide), static_cast<double>(high)};
  state.bits_per_sample = bits_per_sample;
  state.samples_per_pixel = samples_per_pixel;
  state.has_alpha = alpha != NO;
  state.bits_per_pixel = bits_per_pixel;
  state.bytes_per_row = bytes_per_row;
  state.bitmap_format = bitmap_format;
  appkit::AssignCopied(&state.colour_space_name, colour_space_name);
  ListBitmap(self);
  return self;
}

unsigned char* BitmapData(id self, SEL) {
  return State(self).data;
}
NSInteger BytesPerRow(id self, SEL) {
  return State(self).bytes_per_row;
}
NSInteger BitsPerPixel(id self, SEL) {
  return State(self).bits_per_pixel;
}
NSInteger SamplesPerPixel(id self, SEL) {
  return State(self).samples_per_pixel;
}
BOOL IsPlanar(id, SEL) {
  return NO;
}
NSUInteger BitmapFormat(id self, SEL) {
  return State(self).bitmap_format;
}
id ColourSpaceName(id self, SEL) {
  return State(self).colour_space_name;
}

// --- Drawing ---

// The bitmap's pixels as 4-byte R G B A (converted into scratch when they are held in another
// layout). False for a layout that cannot be drawn (fewer than three samples).
bool RgbaPicture(const RepState& state, std::vector<uint8_t>* scratch, PixelPicture* picture) {
  const size_t wide = static_cast<size_t>(state.pixels_wide);
  const size_t high = static_cast<size_t>(state.pixels_high);
  const bool premultiplied =
      state.has_alpha && (state.bitmap_format & kBitmapFormatAlphaNonpremultiplied) == 0;
  const bool alpha_first = state.has_alpha && (state.bitmap_format & kBitmapFormatAlphaFirst);
  const size_t colour_samples = static_cast<size_t>(state.samples_per_pixel) - state.has_alpha;
  if (colour_samples != 3) return false;  // grey and CMYK pixels are never made here
  *picture = PixelPicture{state.data, wide, high, static_cast<size_t>(state.bytes_per_row),
                          premultiplied ? PixelAlpha::kPremultiplied : PixelAlpha::kStraight};
  // Pixels without alpha are copied with an opaque alpha, whatever their padding byte holds.
  if (state.bits_per_pixel == 32 && state.has_alpha && !alpha_first) return true;
  const size_t step = static_cast<size_t>(state.bits_per_pixel) / 8;
  scratch->assign(wide * high * 4, 0);
  for (size_t y = 0; y < high; ++y) {
    const uint8_t* source = state.data + y * picture->bytes_per_row;
    uint8_t* target = scratch->data() + y * wide * 4;
    for (size_t x = 0; x < wide; ++x, source += step, target += 4) {
      const uint8_t* colour = alpha_first ? source + 1 : source;
      target[0] = colour[0];
      target[1] = colour[1];
      target[2] = colour[2];
      target[3] = !state.has_alpha ? 255 : alpha_first ? source[0] : source[3];
    }
  }
  picture->pixels = scratch->data();
  picture->bytes_per_row = wide * 4;
  return true;
}

// picture resampled to width x height pixels by nearest neighbour (each target pixel takes
// the source pixel under its centre).
void Resample(const PixelPicture& picture, size_t width, size_t height,
              std::vector<uint8_t>* scratch, PixelPicture* result) {
  std::vector<uint8_t> pixels(width * height * 4);
  for (size_t y = 0; y < height; ++y) {
    const size_t source_y =
        std::min(picture.height - 1, (2 * y + 1) * picture.height / (2 * height));
    const uint8_t* row = picture.pixels + source_y * picture.bytes_per_row;
    for (size_t x = 0; x < width; ++x) {
      const size_t source_x =
          std::min(picture.width - 1, (2 * x + 1) * picture.width / (2 * width));
      std::memcpy(pixels.data() + (y * width + x) * 4, row + source_x * 4, 4);
    }
  }
  scratch->swap(pixels);
  *result = PixelPicture{scratch->data(), width, height, width * 4, picture.alpha};
}

// Draws the bitmap into the current graphics context over rect (user space, which for a
// bitmap context is its pixel grid). A rect as large as the bitmap's pixel grid copies it
// one to one; any other size resamples it by nearest neighbour. Drawing into the bitmap of
// an image passes the picture file's name on to that image.
BOOL DrawBitmapInRect(id self, NSRect rect) {
  CGContextRef port = CurrentGraphicsPort();
  const RepState& state = State(self);
  if (!port || !state.data) return NO;
  const double width = std::round(rect.size.width), height = std::round(rect.size.height);
  if (!(width >= 0 && height >= 0 && width <= kMaxSide && height <= kMaxSide)) return NO;
  std::vector<uint8_t> converted, resampled;
  PixelPicture picture{};
  if (!RgbaPicture(state, &converted, &picture)) return NO;
  if (width == 0 || height == 0) return YES;  // nothing to cover
  if (width != picture.width || height != picture.height) {
    Resample(picture, static_cast<size_t>(width), static_cast<size_t>(height), &resampled,
             &picture);
  }
  if (!CompositePixels(port, picture, rect.origin)) return NO;
  if (id target = BitmapRepWithData(CGBitmapContextGetData(port))) {
    ImageSetSourceName(ImageRepOwner(target), state.file_name.c_str());
  }
  return YES;
}

// -drawAtPoint: draws the bitmap at its size in points.
BOOL DrawAtPoint(id self, SEL, NSPoint point) {
  return DrawBitmapInRect(self, NSRect{point, State(self).size});
}
BOOL DrawInRect(id self, SEL, NSRect rect) {
  return DrawBitmapInRect(self, rect);
}
BOOL Draw(id self, SEL) {
  return DrawBitmapInRect(self, NSRect{{0, 0}, State(self).size});
}

}  // namespace

// --- Internal calls ---

const char* ImageRepFileName(id rep) {
  return IsRep(rep) ? State(rep).file_name.c_str() : nullptr;
}

id ImageRepOwner(id rep) {
  return IsRep(rep) ? State(rep).owner : nil;
}

void ImageRepSetOwner(id rep, id image) {
  if (IsRep(rep)) State(rep).owner = image;
}

bool BitmapRepPicture(id rep, std::vector<uint8_t>* scratch, PixelPicture* picture) {
  if (!IsRep(rep) || !State(rep).data || !scratch || !picture) return false;
  return RgbaPicture(State(rep), scratch, picture);
}

id BitmapRepWithData(const void* data) {
  if (!data) return nil;
  auto found = BitmapsByData().find(data);
  return found == BitmapsByData().end() ? nil : found->second;
}

// --- Class loader ---

namespace appkit {

void LoadNSImageRepClasses() {
  NSDeviceRGBColorSpace = foundation::NewString(u"NSDeviceRGBColorSpace");

  Class rep = gImageRep = objc::DefineClass("NSImageRep", "NSObject");
  gStateOffset = objc::AddCxxIvar<RepState>(rep, "_repState");
  objc::AddClassMethod(rep, "imageRepWithContentsOfFile:", &ImageRepWithContentsOfFile);
  objc::AddMethod(rep, "size", &Size);
  objc::AddMethod(rep, "setSize:", &SetSize);
  objc::AddMethod(rep, "pixelsWide", &PixelsWide);
  objc::AddMethod(rep, "pixelsHigh", &PixelsHigh);
  objc::AddMethod(rep, "setPixelsWide:", &SetPixelsWide);
  objc::AddMethod(rep, "setPixelsHigh:", &SetPixelsHigh);
  objc::AddMethod(rep, "hasAlpha", &HasAlpha);
  objc::AddMethod(rep, "setAlpha:", &SetAlpha);
  objc::AddMethod(rep, "bitsPerSample", &BitsPerSample);
  objc::AddMethod(rep, "drawAtPoint:", &DrawAtPointNothing);
  objc::AddMethod(rep, "draw", &DrawNothing);
  objc::AddMethod(rep, "dealloc", &DeallocRep);

  Class bitmap = gBitmapRep = objc::DefineClass("NSBitmapImageRep", "NSImageRep");
  objc::AddMethod(bitmap,
                  "initWithBitmapDataPlanes:pixelsWide:pixelsHigh:bitsPerSample:samplesPerPixel:"
                  "hasAlpha:isPlanar:colorSpaceName:bitmapFormat:bytesPerRow:bitsPerPixel:",
                  &InitWithBitmapDataPlanes);
  objc::AddMethod(bitmap, "bitmapData", &BitmapData);
  objc::AddMethod(bitmap, "bytesPerRow", &BytesPerRow);
  objc::AddMethod(bitmap, "bitsPerPixel", &BitsPerPixel);
  objc::AddMethod(bitmap, "samplesPerPixel", &SamplesPerPixel);
  objc::AddMethod(bitmap, "isPlanar", &IsPlanar);
  objc::AddMethod(bitmap, "bitmapFormat", &BitmapFormat);
  objc::AddMethod(bitmap, "colorSpaceName", &ColourSpaceName);
  objc::AddMethod(bitmap, "drawAtPoint:", &DrawAtPoint);
  objc::AddMethod(bitmap, "drawInRect:", &DrawInRect);
  objc::AddMethod(bitmap, "draw", &Draw);
}

}  // namespace appkit
