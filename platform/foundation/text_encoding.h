// Conversions between UTF-16 units and the byte encodings strings are made from and written
// to: UTF-8, UTF-16 (native order), ISO Latin-1, Mac OS Roman and ASCII.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace foundation {

enum class TextEncoding { Utf8, Utf16, Latin1, MacRoman, Ascii, Unknown };

// NSStringEncoding numbers: 1 ASCII, 4 UTF-8, 5 ISO Latin-1, 10 UTF-16, 30 Mac OS Roman.
TextEncoding EncodingFromNS(unsigned long ns_encoding);
// CFStringEncoding numbers: 0 Mac OS Roman, 0x0201 ISO Latin-1, 0x0600 ASCII, 0x0100 UTF-16,
// 0x08000100 UTF-8.
TextEncoding EncodingFromCF(uint32_t cf_encoding);

// Decodes bytes; false (out unchanged) for bytes that are not valid in the encoding (bad
// UTF-8, an odd UTF-16 length, ASCII above 127).
bool DecodeText(const uint8_t* bytes, size_t size, TextEncoding encoding, std::u16string* out);

// Encodes units; a character the encoding cannot hold becomes loss_byte, or, with loss_byte 0,
// ends the conversion. Answers how many units were converted; appends the bytes to out.
// Lone surrogates become U+FFFD in UTF-8.
size_t EncodeText(std::u16string_view units, TextEncoding encoding, uint8_t loss_byte,
                  std::string* out);

}  // namespace foundation
