// Fuzzes the launcher's parameter-string splitter: the arguments found in place match a
// plain model of the command-line rules, every stored pointer lies inside the text, and no
// more than the vector's capacity is ever stored.
#include "core/parameter_split.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"

namespace {

bool IsSeparator(char c) {
  return c == '\t' || c == '\n' || c == ' ';
}

// Tab, line feed and space separate; a double quote opens an argument that a double quote
// or a line feed closes, after which splitting goes on at the next byte; quotes inside an
// unquoted argument are ordinary. The text ends at its first 0 byte.
std::vector<std::string> ModelSplit(const std::string& text) {
  std::vector<std::string> arguments;
  size_t i = 0;
  const size_t end = text.find('\0') == std::string::npos ? text.size() : text.find('\0');
  while (i < end) {
    if (IsSeparator(text[i])) {
      i++;
    } else if (text[i] == '"') {
      const size_t start = ++i;
      while (i < end && text[i] != '"' && text[i] != '\n') i++;
      arguments.push_back(text.substr(start, i - start));
      if (i < end) i++;  // the closing quote or line feed
    } else {
      const size_t start = i;
      while (i < end && !IsSeparator(text[i])) i++;
      arguments.push_back(text.substr(start, i - start));
    }
  }
  return arguments;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider provider(data, size);
  const int capacity = provider.ConsumeIntegralInRange<int>(0, 600);
  const std::string text = provider.ConsumeRemainingBytesAsString();
  const std::vector<std::string> expected = ModelSplit(text);

  std::vector<char> buffer(text.begin(), text.end());
  buffer.push_back('\0');
  // Exactly capacity + 1 entries, so a store past them is reported.
  std::vector<char*> arguments(static_cast<size_t>(capacity) + 1, nullptr);
  const int count = SplitParameters(buffer.data(), arguments.data(), capacity);

  FUZZ_CHECK(count == static_cast<int>(expected.size()),
             "the count of arguments matches the command-line rules");
  const int stored = count < capacity ? count : capacity;
  for (int i = 0; i < stored; i++) {
    const char* argument = arguments[static_cast<size_t>(i)];
    FUZZ_CHECK(argument >= buffer.data() && argument < buffer.data() + buffer.size(),
               "every argument points into the text");
    FUZZ_CHECK(expected[static_cast<size_t>(i)] == argument,
               "every argument holds the bytes the rules give it");
  }
  FUZZ_CHECK(arguments[static_cast<size_t>(stored)] == nullptr,
             "a null entry follows the last argument stored");

  // A null text holds no arguments.
  char* none[1] = {reinterpret_cast<char*>(1)};
  FUZZ_CHECK(SplitParameters(nullptr, none, 0) == 0 && none[0] == nullptr,
             "a null text gives no argument and a null entry");
  return 0;
}
