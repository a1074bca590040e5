// The text side of the terminal desktop protocol: JSON string literals, UTF-8 checks, the
// parsers of command words and arguments, and the line reader that cuts standard input into
// commands. Nothing here touches the AppKit model, and every parser reads untrusted input:
// it refuses what it does not fully understand rather than guess.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace terminal {

// --- JSON string literals ---

// Appends text as a JSON string literal: quotes around, \" \\ \n \t escaped, other control
// characters (below U+0020) as \u00xx, everything else as UTF-8. Invalid UTF-8 in utf8 and
// unpaired surrogates in units are written as U+FFFD.
void AppendJsonString(std::string* out, std::string_view utf8);
void AppendJsonString(std::string* out, std::u16string_view units);
std::string JsonString(std::string_view utf8);
std::string JsonString(std::u16string_view units);

// --- UTF-8 ---

// True when bytes are well-formed UTF-8 (no overlong forms, surrogates or values above
// U+10FFFF).
bool IsValidUtf8(std::string_view bytes);
// The UTF-16 units of well-formed UTF-8 (call IsValidUtf8 first; bad bytes become U+FFFD).
std::u16string Utf16FromUtf8(std::string_view utf8);

// --- Command words ---

// A command line cut into its verb and the text after it.
struct CommandLine {
  std::string_view verb;  // the first word; empty for a blank line
  std::string_view rest;  // everything after the one space or tab that ends the verb, literally
};
// Splits line (leading spaces and tabs are skipped).
CommandLine SplitCommand(std::string_view line);
// Splits text into words separated by runs of spaces or tabs.
std::vector<std::string_view> SplitWords(std::string_view text);

// A decimal integer ("-" allowed when min < 0; no "+", no spaces, no leading zeros beyond a
// single "0") between min and max inclusive. Leaves *out alone on failure.
bool ParseInteger(std::string_view text, int64_t min, int64_t max, int64_t* out);

// The longest advance accepted: a year, far beyond any reminder interval.
constexpr int64_t kMaxDurationMilliseconds = int64_t{366} * 24 * 3600 * 1000;
// A duration: decimal digits then a unit, "ms", "s", "m" or "h" ("250ms", "90s", "5m", "2h"),
// up to kMaxDurationMilliseconds. Leaves *milliseconds alone on failure.
bool ParseDuration(std::string_view text, int64_t* milliseconds);

// A view address "W.V": window number W (0 or more: the program numbers its windows from 0)
// and view number V (1 or more).
struct ViewId {
  int64_t window;  // the window's number, as its delegate's windowID answers
  int64_t view;    // position in the depth-first walk of the content view, from 1
};
bool ParseViewId(std::string_view text, ViewId* out);

// A screen size "WxH" in points, each from 1 to kMaxScreenSide.
constexpr int64_t kMaxScreenSide = 100000;
bool ParseScreenSize(std::string_view text, int64_t* width, int64_t* height);

// --- Line reader ---

// The longest command line accepted, in bytes without the line end.
constexpr size_t kMaxLineBytes = 64 * 1024;

// Cuts a byte stream into lines. Bytes come in with Feed (or ReadFrom a descriptor); complete
// lines go out with Next, in order. A line longer than kMaxLineBytes is dropped as it arrives
// (the reader never holds more than one line's worth of a partial line) and comes out as
// kTooLong at its place in the order. A "\r" before the "\n" is removed. At end of input an
// unterminated last line still comes out.
class LineReader {
 public:
  enum class Item {
    kNone,     // no complete line yet (or the input has ended and everything was taken)
    kLine,     // a line (without its end) was stored in *line
    kTooLong,  // a line longer than kMaxLineBytes was skipped
  };

  // Appends bytes of the input.
  void Feed(std::string_view bytes);
  // Marks the end of the input.
  void FeedEnd();
  // Reads what the descriptor has (one read(2) of up to 64 KiB) and feeds it; a read of 0
  // bytes or a failure other than EINTR/EAGAIN marks the end of the input.
  void ReadFrom(int fd);

  // Takes the next item; *line receives the text of a kLine.
  Item Next(std::string* line);
  // True once the input has ended and every line was taken.
  bool Finished() const { return ended_ && !too_long_ready_ && start_ == buffer_.size(); }

 private:
  std::string buffer_;           // bytes received; [start_, size) are not taken yet
  size_t start_ = 0;             // first byte of the next line
  size_t scanned_ = 0;           // bytes from start_ already known to hold no "\n"
  bool dropping_ = false;        // dropping the rest of a line that grew too long
  bool too_long_ready_ = false;  // a dropped line has ended: kTooLong is next
  bool ended_ = false;           // the input has ended
};

}  // namespace terminal
