// Conversions between runtime strings (NUL-terminated UTF-16 units) and Core Foundation
// strings.
#pragma once

#include <cstdint>

#include "platform/foundation/core_foundation.h"

// A new CFString (+1, release it with CFRelease) holding the string's units; a null string
// gives an empty CFString. Null only when memory runs out.
CFStringRef StringToCFString(const char16_t* string);
// Writes the CFString's units into the temporary buffer at offset (the result protocol); a
// null CFString counts as empty. Answers the units copied.
int64_t CFStringToTemp(CFStringRef string, int64_t offset);
// Writes at most size - 1 units and a terminator into buffer; answers the units copied (0 and
// nothing written when size is below 1).
int64_t CFStringToBuffer(char16_t* buffer, CFStringRef string, int64_t size);
