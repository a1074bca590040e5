// Fuzzes the conversions between UTF-8 and runtime strings (UTF-16): the same bytes read as
// UTF-8 and as UTF-16 units. Counting and writing agree, a destination sized by the counting
// pass (or any smaller one) is never overrun, and a well-formed text survives the round trip
// exactly.
//
// Index: a strict UTF-8 check; UTF-8 to UTF-16 and back; UTF-16 to UTF-8 and back; the
// heap and temporary-buffer copies.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/strings.h"
#include "core/temp_buffer.h"
#include "core/utf.h"
#include "fuzz/fuzz_check.h"

namespace {

// --- A strict UTF-8 check ---

// True when bytes are well-formed UTF-8 in the strict sense: shortest forms only, no
// surrogates, nothing above U+10FFFF. Only such text must come back byte for byte.
bool IsStrictUtf8(const unsigned char* bytes, size_t size) {
  size_t i = 0;
  while (i < size) {
    const unsigned char lead = bytes[i];
    size_t length;
    uint32_t code_point;
    if (lead < 0x80) {
      i++;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      code_point = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      code_point = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      code_point = lead & 0x07;
    } else {
      return false;
    }
    if (size - i < length) return false;
    for (size_t k = 1; k < length; k++) {
      if ((bytes[i + k] & 0xC0) != 0x80) return false;
      code_point = (code_point << 6) | (bytes[i + k] & 0x3F);
    }
    if ((length == 3 && code_point < 0x800) || (length == 4 && code_point < 0x10000) ||
        code_point > 0x10FFFF || (code_point >= 0xD800 && code_point <= 0xDFFF)) {
      return false;
    }
    i += length;
  }
  return true;
}

// True when a high surrogate is followed by anything but a low surrogate (the last unit
// included): the one UTF-16 damage the UTF-8 writer refuses or stops at.
bool HasBrokenPair(const std::vector<char16_t>& units) {
  for (size_t i = 0; i < units.size(); i++) {
    if ((units[i] & 0xFC00) != 0xD800) continue;
    if (i + 1 >= units.size() || (units[i + 1] & 0xFC00) != 0xDC00) return true;
    i++;
  }
  return false;
}

// A heap block of exactly count elements, never null (a null destination means counting),
// so ASan reports a write even one element past it.
template <typename T>
std::unique_ptr<T[]> Block(int64_t count) {
  return std::unique_ptr<T[]>(new T[static_cast<size_t>(count)]());
}

// --- UTF-8 to UTF-16 and back ---

void CheckUtf8(const std::string& text, int64_t small_size) {
  // An exact copy: a read one byte past the text is reported too.
  const auto size = static_cast<int64_t>(text.size());
  const auto source = Block<char>(size);
  if (size) std::memcpy(source.get(), text.data(), text.size());
  const char* bytes = source.get();
  const int64_t counted = MultiByteToUtf16(kCodePageUtf8, 0, bytes, size, nullptr, 0);
  FUZZ_CHECK(counted >= 0 && counted <= 2 * size, "at most two units per byte are counted");

  // Exactly the counted room: a heap block of that size, so any overrun is reported.
  const auto units = Block<char16_t>(counted);
  const int64_t written = MultiByteToUtf16(kCodePageUtf8, 0, bytes, size, units.get(), counted);
  FUZZ_CHECK(written == counted || written == 0,
             "writing gives the counted units, or 0 for a byte that cannot lead");

  // Any smaller destination is filled at most to its size.
  if (small_size < counted) {
    const auto small = Block<char16_t>(small_size);
    const int64_t partial =
        MultiByteToUtf16(kCodePageUtf8, 0, bytes, size, small.get(), small_size);
    FUZZ_CHECK(partial >= 0 && partial <= small_size, "a short destination is not overrun");
    if (written == counted) {
      FUZZ_CHECK(std::memcmp(small.get(), units.get(), static_cast<size_t>(partial) * 2) == 0,
                 "a short destination holds the start of the full conversion");
    }
  }

  if (!IsStrictUtf8(reinterpret_cast<const unsigned char*>(bytes), text.size())) return;
  FUZZ_CHECK(written == counted, "well-formed UTF-8 converts completely");
  const int64_t back_count = Utf16ToMultiByte(kCodePageUtf8, 0, units.get(), written, nullptr, 0);
  FUZZ_CHECK(back_count == size, "well-formed UTF-8 counts back to its own length");
  const auto back = Block<char>(back_count);
  const int64_t back_written =
      Utf16ToMultiByte(kCodePageUtf8, 0, units.get(), written, back.get(), back_count);
  FUZZ_CHECK(back_written == size && std::memcmp(back.get(), bytes, text.size()) == 0,
             "well-formed UTF-8 comes back unchanged");
}

// --- UTF-16 to UTF-8 and back ---

void CheckUtf16(const std::vector<char16_t>& units, int64_t small_size) {
  const auto length = static_cast<int64_t>(units.size());
  const int64_t counted = Utf16ToMultiByte(kCodePageUtf8, 0, units.data(), length, nullptr, 0);
  FUZZ_CHECK(counted >= 0 && counted <= 3 * length, "at most three bytes per unit are counted");

  const auto bytes = Block<char>(counted);
  const int64_t written =
      Utf16ToMultiByte(kCodePageUtf8, 0, units.data(), length, bytes.get(), counted);
  FUZZ_CHECK(written == counted || written == 0,
             "writing gives the counted bytes, or 0 for a broken surrogate pair");

  if (small_size < counted) {
    const auto small = Block<char>(small_size);
    const int64_t partial =
        Utf16ToMultiByte(kCodePageUtf8, 0, units.data(), length, small.get(), small_size);
    FUZZ_CHECK(partial >= 0 && partial <= small_size, "a short destination is not overrun");
  }

  // One-byte text: units above 255 are dropped, never counted.
  int64_t narrow = 0;
  for (char16_t unit : units) narrow += unit < 256;
  FUZZ_CHECK(Utf16ToMultiByte(kCodePageOneByte, 0, units.data(), length, nullptr, 0) == narrow,
             "one-byte counting keeps exactly the units below 256");

  if (HasBrokenPair(units)) return;
  FUZZ_CHECK(written == counted, "UTF-16 without a broken pair converts completely");
  // Lone low surrogates take three bytes and come back as themselves, so every such text
  // survives the round trip.
  const int64_t back_count = MultiByteToUtf16(kCodePageUtf8, 0, bytes.get(), written, nullptr, 0);
  FUZZ_CHECK(back_count == length, "the UTF-8 counts back to the original number of units");
  const auto back = Block<char16_t>(back_count);
  const int64_t back_written =
      MultiByteToUtf16(kCodePageUtf8, 0, bytes.get(), written, back.get(), back_count);
  FUZZ_CHECK(back_written == length &&
                 (units.empty() || std::memcmp(back.get(), units.data(), units.size() * 2) == 0),
             "UTF-16 comes back unchanged");
}

// --- Heap and temporary-buffer copies ---

// The 0-terminated forms: the text ends at its first 0 byte.
void CheckCopies(const std::string& text) {
  const char* terminated = text.c_str();
  const size_t before_zero = std::strlen(terminated);

  char16_t* copy = Utf8ToUtf16Copy(terminated);
  FUZZ_CHECK(copy != nullptr, "a heap copy is made");
  PushTempStart();
  const int64_t offset = PopTempStart();
  Utf8ToTemp(terminated, offset);
  const auto* temp = reinterpret_cast<const char16_t*>(g_temp.base + offset);
  FUZZ_CHECK(g_temp.end == offset + 2 * StringLength(temp),
             "the temporary result ends just past its text");
  FUZZ_CHECK(StringsEqual(copy, temp), "the heap and temporary copies agree");

  char* again = ToUtf8(copy);
  FUZZ_CHECK(again != nullptr, "a UTF-8 copy is made");
  if (IsStrictUtf8(reinterpret_cast<const unsigned char*>(terminated), before_zero)) {
    FUZZ_CHECK(std::strcmp(again, terminated) == 0, "well-formed text copies back unchanged");
  }
  FreeUtf8(again);
  std::free(copy);
  TruncateTemp(offset);

  for (int64_t count : {int64_t{0}, int64_t{1}, int64_t{3}, static_cast<int64_t>(before_zero)}) {
    const int64_t passed = Utf8OffsetOfChar(terminated, count);
    FUZZ_CHECK(passed >= 0 && passed <= static_cast<int64_t>(before_zero),
               "counting characters never passes the terminating 0 byte");
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  InitTempBuffer();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider provider(data, size);
  const auto small_size = provider.ConsumeIntegralInRange<int64_t>(0, 64);
  const std::vector<uint8_t> rest = provider.ConsumeRemainingBytes<uint8_t>();
  const std::string text(rest.begin(), rest.end());

  CheckUtf8(text, small_size);
  std::vector<char16_t> units(rest.size() / 2);
  if (!units.empty()) std::memcpy(units.data(), rest.data(), units.size() * 2);
  CheckUtf16(units, small_size);
  CheckCopies(text);
  return 0;
}
