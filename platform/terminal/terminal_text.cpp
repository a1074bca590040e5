// JSON literals, UTF-8 checks, argument parsers and the line reader of the terminal desktop.
//
// Index: JSON string literals, UTF-8, command words and numbers, line reader.
#include "platform/terminal/terminal_text.h"

#include <unistd.h>

#include <cerrno>

#include "platform/foundation/unicode.h"

namespace terminal {

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one UTF-8 sequence at bytes[*pos]; answers kReplacement for a bad one and moves
// *pos past it (one byte for a bad lead, or past the valid prefix of a cut sequence).
char32_t DecodeUtf8(std::string_view bytes, size_t* pos, bool* valid) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const unsigned char lead = byte(*pos);
  *valid = true;
  if (lead < 0x80) {
    ++*pos;
    return lead;
  }
  size_t length;
  char32_t value;
  char32_t minimum;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1F, minimum = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0F, minimum = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07, minimum = 0x10000;
  } else {
    ++*pos;
    *valid = false;
    return kReplacement;
  }
  size_t i = 1;
  for (; i < length; ++i) {
    if (*pos + i >= bytes.size() || (byte(*pos + i) & 0xC0) != 0x80) break;
    value = (value << 6) | (byte(*pos + i) & 0x3F);
  }
  if (i < length || value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
    *pos += i;
    *valid = false;
    return kReplacement;
  }
  *pos += length;
  return value;
}

// Appends one character of a JSON string's body.
void AppendJsonCharacter(std::string* out, char32_t c) {
  static const char kHex[] = "0123456789abcdef";
  switch (c) {
    case '"':
      out->append("\\\"");
      return;
    case '\\':
      out->append("\\\\");
      return;
    case '\n':
      out->append("\\n");
      return;
    case '\t':
      out->append("\\t");
      return;
    default:
      break;
  }
  if (c < 0x20) {
    out->append("\\u00");
    out->push_back(kHex[c >> 4]);
    out->push_back(kHex[c & 0xF]);
    return;
  }
  unicode::AppendUtf8(out, c);
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

}  // namespace

// --- JSON string literals ---

void AppendJsonString(std::string* out, std::string_view utf8) {
  out->push_back('"');
  size_t pos = 0;
  bool valid;
  while (pos < utf8.size()) AppendJsonCharacter(out, DecodeUtf8(utf8, &pos, &valid));
  out->push_back('"');
}

void AppendJsonString(std::string* out, std::u16string_view units) {
  out->push_back('"');
  for (size_t i = 0; i < units.size(); ++i) {
    char32_t c = units[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    AppendJsonCharacter(out, c);
  }
  out->push_back('"');
}

std::string JsonString(std::string_view utf8) {
  std::string out;
  AppendJsonString(&out, utf8);
  return out;
}

std::string JsonString(std::u16string_view units) {
  std::string out;
  AppendJsonString(&out, units);
  return out;
}

// --- UTF-8 ---

bool IsValidUtf8(std::string_view bytes) {
  size_t pos = 0;
  bool valid = true;
  while (pos < bytes.size() && valid) DecodeUtf8(bytes, &pos, &valid);
  return valid;
}

std::u16string Utf16FromUtf8(std::string_view utf8) {
  std::u16string units;
  size_t pos = 0;
  bool valid;
  while (pos < utf8.size()) {
    char32_t c = DecodeUtf8(utf8, &pos, &valid);
    if (c >= 0x10000) {
      c -= 0x10000;
      units.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      units.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    } else {
      units.push_back(static_cast<char16_t>(c));
    }
  }
  return units;
}

// --- Command words and numbers ---

CommandLine SplitCommand(std::string_view line) {
  size_t begin = 0;
  while (begin < line.size() && IsBlank(line[begin])) ++begin;
  size_t end = begin;
  while (end < line.size() && !IsBlank(line[end])) ++end;
  const size_t rest = end < line.size() ? end + 1 : end;  // one separator; the rest is literal
  return CommandLine{line.substr(begin, end - begin), line.substr(rest)};
}

std::vector<std::string_view> SplitWords(std::string_view text) {
  std::vector<std::string_view> words;
  size_t pos = 0;
  while (pos < text.size()) {
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    size_t end = pos;
    while (end < text.size() && !IsBlank(text[end])) ++end;
    if (end > pos) words.push_back(text.substr(pos, end - pos));
    pos = end;
  }
  return words;
}

bool ParseInteger(std::string_view text, int64_t min, int64_t max, int64_t* out) {
  bool negative = false;
  if (!text.empty() && text[0] == '-') {
    negative = true;
    text.remove_prefix(1);
  }
  if (text.empty() || text.size() > 18) return false;  // 18 digits cannot overflow int64
  if (text.size() > 1 && text[0] == '0') return false;
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    value = value * 10 + (c - '0');
  }
  if (negative) {
    if (value == 0) return false;  // "-0" is not a number anyone means
    value = -value;
  }
  if (value < min || value > max) return false;
  *out = value;
  return true;
}

bool ParseDuration(std::string_view text, int64_t* milliseconds) {
  size_t digits = 0;
  while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
  const std::string_view unit = text.substr(digits);
  int64_t scale;
  if (unit == "ms") {
    scale = 1;
  } else if (unit == "s") {
    scale = 1000;
  } else if (unit == "m") {
    scale = 60 * 1000;
  } else if (unit == "h") {
    scale = 3600 * 1000;
  } else {
    return false;
  }
  int64_t count;
  if (!ParseInteger(text.substr(0, digits), 0, kMaxDurationMilliseconds, &count)) return false;
  if (count > kMaxDurationMilliseconds / scale) return false;
  *milliseconds = count * scale;
  return true;
}

bool ParseViewId(std::string_view text, ViewId* out) {
  const size_t dot = text.find('.');
  if (dot == std::string_view::npos) return false;
  int64_t window, view;
  if (!ParseInteger(text.substr(0, dot), 0, INT64_MAX, &window) ||
      !ParseInteger(text.substr(dot + 1), 1, INT64_MAX, &view)) {
    return false;
  }
  *out = ViewId{window, view};
  return true;
}

bool ParseScreenSize(std::string_view text, int64_t* width, int64_t* height) {
  const size_t x = text.find('x');
  if (x == std::string_view::npos) return false;
  int64_t w, h;
  if (!ParseInteger(text.substr(0, x), 1, kMaxScreenSide, &w) ||
      !ParseInteger(text.substr(x + 1), 1, kMaxScreenSide, &h)) {
    return false;
  }
  *width = w;
  *height = h;
  return true;
}

// --- Line reader ---

void LineReader::Feed(std::string_view bytes) {
  if (dropping_) {
    // The rest of an over-long line is dropped as it comes; only what follows its end stays.
    const size_t newline = bytes.find('\n');
    if (newline == std::string_view::npos) return;
    dropping_ = false;
    too_long_ready_ = true;
    bytes.remove_prefix(newline + 1);
  }
  if (start_ > 0 && start_ == buffer_.size()) {
    buffer_.clear();
    start_ = scanned_ = 0;
  }
  buffer_.append(bytes);
}

void LineReader::FeedEnd() {
  ended_ = true;
  if (dropping_) {
    dropping_ = false;
    too_long_ready_ = true;
  }
}

void LineReader::ReadFrom(int fd) {
  char chunk[64 * 1024];
  const ssize_t count = read(fd, chunk, sizeof chunk);
  if (count > 0) {
    Feed(std::string_view(chunk, static_cast<size_t>(count)));
  } else if (count == 0 || (errno != EINTR && errno != EAGAIN)) {
    FeedEnd();
  }
}

LineReader::Item LineReader::Next(std::string* line) {
  if (too_long_ready_) {
    too_long_ready_ = false;
    return Item::kTooLong;
  }
  if (dropping_) return Item::kNone;
  const size_t newline = buffer_.find('\n', start_ + scanned_);
  if (newline == std::string::npos) {
    const size_t pending = buffer_.size() - start_;
    if (pending > kMaxLineBytes + 1) {  // + 1: room for a "\r" before the "\n"
      buffer_.clear();
      start_ = scanned_ = 0;
      if (ended_) return Item::kTooLong;
      dropping_ = true;
      return Item::kNone;
    }
    if (ended_ && pending > 0) {
      const size_t begin = start_;
      start_ = buffer_.size();
      scanned_ = 0;
      if (pending > kMaxLineBytes) return Item::kTooLong;
      line->assign(buffer_, begin, pending);
      return Item::kLine;
    }
    scanned_ = pending;
    // Move the partial line to the front so the buffer does not grow without end.
    if (start_ > 0) {
      buffer_.erase(0, start_);
      start_ = 0;
    }
    return Item::kNone;
  }
  size_t end = newline;
  if (end > start_ && buffer_[end - 1] == '\r') --end;
  const size_t length = end - start_;
  const size_t begin = start_;
  start_ = newline + 1;
  scanned_ = 0;
  if (length > kMaxLineBytes) return Item::kTooLong;
  line->assign(buffer_, begin, length);
  return Item::kLine;
}

}  // namespace terminal
