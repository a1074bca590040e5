// Fuzzes TextToNumber and TextFromMemory: the number read from any text matches a plain
// model of the accepted forms, numbers survive NumberToText and back, and text taken from
// memory in every format stays inside the given bytes, ends at the first 0, and follows the
// result protocol, also when the memory is the preceding temporary result.
//
// Index: the number model; numbers; text from memory; the entry point.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/strings.h"
#include "core/temp_buffer.h"
#include "core/text.h"
#include "core/utf.h"
#include "fuzz/fuzz_check.h"

namespace {

// --- The number model ---

// The value of a digit in base, or -1.
int DigitValue(char16_t unit, unsigned base) {
  int value = -1;
  if (unit >= u'0' && unit <= u'9') value = unit - u'0';
  if (unit >= u'a' && unit <= u'f') value = unit - u'a' + 10;
  if (unit >= u'A' && unit <= u'F') value = unit - u'A' + 10;
  return value >= 0 && static_cast<unsigned>(value) < base ? value : -1;
}

// Tabs and spaces, one sign, "%" binary or "$" hexadecimal, digits that wrap at 64 bits.
int64_t ModelNumber(const std::u16string& text) {
  size_t i = 0;
  while (i < text.size() && (text[i] == u'\t' || text[i] == u' ')) i++;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) negative = text[i++] == u'-';
  unsigned base = 10;
  if (i < text.size() && text[i] == u'%') {
    base = 2;
    i++;
  } else if (i < text.size() && text[i] == u'$') {
    base = 16;
    i++;
  }
  uint64_t value = 0;
  for (; i < text.size() && DigitValue(text[i], base) >= 0; i++) {
    value = value * base + static_cast<uint64_t>(DigitValue(text[i], base));
  }
  return static_cast<int64_t>(negative ? 0 - value : value);
}

// Runs one string function with a fresh result offset and returns its result, checking the
// result protocol: end just past the text, a 0 unit there, the start stack untouched.
template <typename Call>
std::u16string Result(Call call) {
  const int32_t depth = g_temp.stack_depth;
  PushTempStart();
  const int64_t offset = PopTempStart();
  call(offset);
  const auto* text = reinterpret_cast<const char16_t*>(g_temp.base + offset);
  const std::u16string result(text, static_cast<size_t>(StringLength(text)));
  FUZZ_CHECK(g_temp.end == offset + 2 * static_cast<int64_t>(result.size()),
             "end lies just past the result");
  FUZZ_CHECK(g_temp.stack_depth == depth, "the start stack is as it was");
  TruncateTemp(offset);
  return result;
}

// --- Numbers ---

void CheckNumbers(const std::u16string& text, int64_t number) {
  FUZZ_CHECK(TextToNumber(text.c_str()) == ModelNumber(text),
             "TextToNumber reads the text up to its first 0 unit as the model does");
  FUZZ_CHECK(TextToNumber(nullptr) == 0, "a null string is 0");
  const std::u16string printed = Result([&](int64_t offset) { NumberToText(number, offset); });
  FUZZ_CHECK(TextToNumber(printed.c_str()) == number, "NumberToText reads back as the number");
}

// --- Text from memory ---

// The units format 25 gives for length units at memory: up to the first 0 unit.
std::u16string UnitsUpTo(const char16_t* memory, int64_t length) {
  std::u16string expected;
  for (int64_t i = 0; (length == -1 || i < length) && memory[i]; i++) expected += memory[i];
  return expected;
}

void CheckTextFromMemory(const std::vector<uint8_t>& bytes, int64_t length, int format) {
  // The memory ends in two 0 bytes, so that length -1 and character counts find an end.
  std::vector<char> memory(bytes.begin(), bytes.end());
  memory.resize(memory.size() + 2, '\0');
  const char* address = memory.data();
  const int64_t byte_limit = static_cast<int64_t>(bytes.size());
  const size_t before_zero = std::strlen(address);

  if ((format & 31) == kTextFormatUtf16) {
    // Units need their own aligned block; the length never runs past it.
    std::vector<char16_t> units(bytes.size() / 2 + 1, 0);
    if (bytes.size() >= 2) std::memcpy(units.data(), bytes.data(), bytes.size() / 2 * 2);
    if (length > static_cast<int64_t>(units.size())) length = static_cast<int64_t>(units.size());
    const std::u16string got =
        Result([&](int64_t offset) { TextFromMemory(units.data(), length, format, offset); });
    FUZZ_CHECK(got == UnitsUpTo(units.data(), length < -1 ? 0 : length),
               "UTF-16 memory gives its units up to the length or the first 0 unit");

    // The same units as the preceding temporary result, overwritten by the new one.
    PushTempStart();
    const int64_t offset = PopTempStart();
    AppendTemp(units.data());
    const auto* source = reinterpret_cast<const char16_t*>(g_temp.base + offset);
    const std::u16string before = UnitsUpTo(source, length < -1 ? 0 : length);
    TextFromMemory(source, length, format, offset);
    const auto* text = reinterpret_cast<const char16_t*>(g_temp.base + offset);
    FUZZ_CHECK(std::u16string(text) == before && g_temp.end == offset + 2 * StringLength(text),
               "a temporary result read back over itself gives the same units");
    TruncateTemp(offset);
    return;
  }

  // Byte formats read at most length bytes (or characters, which take at least a byte each).
  if (length > byte_limit) length = byte_limit;
  const std::u16string got =
      Result([&](int64_t offset) { TextFromMemory(address, length, format, offset); });
  const bool utf8 = (format & 31) == kTextFormatUtf8;
  size_t bytes_taken = length == -1 ? before_zero : static_cast<size_t>(length < -1 ? 0 : length);
  if (utf8 && length >= 0 && !(format & kTextFormatCountBytes)) {
    // The length counts characters; bytes that start none are passed over uncounted.
    const int64_t passed = Utf8OffsetOfChar(address, length);
    FUZZ_CHECK(passed >= 0 && static_cast<size_t>(passed) <= before_zero,
               "counting characters stops at the terminating 0 byte");
    bytes_taken = static_cast<size_t>(passed);
  }
  bytes_taken = std::min(bytes_taken, before_zero);
  if (!utf8) {
    std::u16string expected;
    for (size_t i = 0; i < bytes_taken; i++) expected += static_cast<unsigned char>(address[i]);
    FUZZ_CHECK(got == expected, "one-byte memory gives one unit per byte up to the first 0");
    return;
  }
  // The same as converting exactly those bytes, up to a 0 unit a broken sequence gives.
  const auto taken = static_cast<int64_t>(bytes_taken);
  const int64_t count = MultiByteToUtf16(kCodePageUtf8, 0, address, taken, nullptr, 0);
  std::vector<char16_t> units(static_cast<size_t>(count) + 1);
  const int64_t written = MultiByteToUtf16(kCodePageUtf8, 0, address, taken, units.data(), count);
  std::u16string expected(units.data(), static_cast<size_t>(written));
  expected = expected.substr(0, expected.find(u'\0'));
  FUZZ_CHECK(got == expected, "UTF-8 memory converts the bytes its length takes");
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  InitTempBuffer();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider provider(data, size);
  const auto number = provider.ConsumeIntegral<int64_t>();
  const auto length = provider.ConsumeIntegralInRange<int64_t>(-3, 300);
  static constexpr int kFormats[] = {
      kTextFormatUtf16,
      kTextFormatUtf8,
      kTextFormatUtf8 | kTextFormatCountBytes,
      kTextFormatOneByte,
      7,
      kTextFormatUtf16 | 32,
  };
  const int format = provider.PickValueInArray(kFormats);
  const std::vector<uint8_t> bytes = provider.ConsumeRemainingBytes<uint8_t>();

  std::u16string text;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    char16_t unit;
    std::memcpy(&unit, bytes.data() + i, 2);
    if (!unit) break;
    text += unit;
  }
  // Narrow bytes as units too, so that digits and signs turn up often.
  std::u16string narrow;
  for (uint8_t byte : bytes) {
    if (!byte) break;
    narrow += byte;
  }
  CheckNumbers(text, number);
  CheckNumbers(narrow, number);
  CheckTextFromMemory(bytes, length, format);
  FUZZ_CHECK(g_temp.stack_depth == 0, "every push was popped");
  return 0;
}
