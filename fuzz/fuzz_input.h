// Turning a fuzz input into the UTF-16 text the runtime's string functions take.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

// The input read as native-order UTF-16 units, up to the first 0 unit (an odd last byte is
// dropped), since the functions under test stop at the terminator.
inline std::u16string UnitsUpToZero(const uint8_t* data, size_t size) {
  std::u16string text;
  for (size_t i = 0; i + 1 < size; i += 2) {
    char16_t unit;
    std::memcpy(&unit, data + i, 2);
    if (!unit) break;
    text += unit;
  }
  return text;
}
