// The icon loader: a picture file read into a numbered image at its full pixel resolution.
#pragma once

#include <cstdint>

#include "platform/objc/runtime.h"

// Loads the picture file at path (a runtime string) into image number at the file's full
// pixel size, whatever resolution the file declares, with straight (not premultiplied) alpha.
// Answers the image's NSImage (ImageCocoaHandle(number)), or 0 when the file cannot be read
// as a picture, its size is 0 or the image cannot be made.
id LoadFullSizeImage(int64_t number, const char16_t* path);
