// The vImage alpha conversions of 8-bit RGBA pixels.
#include "platform/graphics/vimage.h"

#include <cstring>

namespace {

constexpr vImage_Flags kKnownFlags = 1023;  // every flag up to kvImageNoAllocate

// Checks the arguments common to both conversions; kvImageNoError when the work may start.
vImage_Error Check(const vImage_Buffer* src, const vImage_Buffer* dest, vImage_Flags flags) {
  if (src == nullptr || dest == nullptr || src->data == nullptr || dest->data == nullptr) {
    return kvImageNullPointerArgument;
  }
  if ((flags & ~kKnownFlags) != 0) return kvImageUnknownFlagsBit;
  if (dest->width > src->width || dest->height > src->height) {
    return kvImageRoiLargerThanInputBuffer;
  }
  // Widths this large cannot be real pictures; refusing them keeps width * 4 exact.
  if (src->width > (vImagePixelCount{1} << 40)) return kvImageInvalidParameter;
  if (src->rowBytes < src->width * 4 || dest->rowBytes < dest->width * 4) {
    return kvImageInvalidParameter;
  }
  return kvImageNoError;
}

// Applies convert(pixel in, pixel out) to every pixel of dest's size.
template <class Convert>
vImage_Error ForEachPixel(const vImage_Buffer* src, const vImage_Buffer* dest, vImage_Flags flags,
                          Convert convert) {
  const vImage_Error error = Check(src, dest, flags);
  if (error != kvImageNoError || (flags & kvImageGetTempBufferSize) != 0) return error;
  for (vImagePixelCount y = 0; y < dest->height; ++y) {
    const uint8_t* in = static_cast<const uint8_t*>(src->data) + y * src->rowBytes;
    uint8_t* out = static_cast<uint8_t*>(dest->data) + y * dest->rowBytes;
    for (vImagePixelCount x = 0; x < dest->width; ++x, in += 4, out += 4) convert(in, out);
  }
  return kvImageNoError;
}

}  // namespace

extern "C" vImage_Error vImageUnpremultiplyData_RGBA8888(const vImage_Buffer* src,
                                                         const vImage_Buffer* dest,
                                                         vImage_Flags flags) {
  return ForEachPixel(src, dest, flags, [](const uint8_t* in, uint8_t* out) {
    const unsigned alpha = in[3];
    // Opaque pixels keep their colour and clear ones become 0, as the division below gives;
    // most pixels of an icon are one or the other.
    if (alpha == 255) {
      if (out != in) std::memcpy(out, in, 4);
      return;
    }
    if (alpha == 0) {
      std::memset(out, 0, 4);
      return;
    }
    for (int i = 0; i < 3; ++i) {
      // Colour above alpha is not valid premultiplied data; it saturates at 255.
      const unsigned value = alpha == 0 ? 0 : (in[i] * 255u + alpha / 2) / alpha;
      out[i] = static_cast<uint8_t>(value > 255 ? 255 : value);
    }
    out[3] = static_cast<uint8_t>(alpha);
  });
}

extern "C" vImage_Error vImagePremultiplyData_RGBA8888(const vImage_Buffer* src,
                                                       const vImage_Buffer* dest,
                                                       vImage_Flags flags) {
  return ForEachPixel(src, dest, flags, [](const uint8_t* in, uint8_t* out) {
    const unsigned alpha = in[3];
    for (int i = 0; i < 3; ++i) out[i] = static_cast<uint8_t>((in[i] * alpha + 127) / 255);
    out[3] = static_cast<uint8_t>(alpha);
  });
}
