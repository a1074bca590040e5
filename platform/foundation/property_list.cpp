// XML property lists: values, the reader, the writer and the atomic file write.
//
// Index:
//   --- Values and helpers ---
//   --- UTF-8 and UTF-16 ---
//   --- Numbers, dates and data as text ---
//   --- Reader ---
//   --- Writer ---
//   --- Files ---
#include "platform/foundation/property_list.h"

#include <dirent.h>
#include <fcntl.h>
#include <locale.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <unordered_map>

#include "platform/foundation/unicode.h"

namespace plist {

// --- Values and helpers ---

Value Value::String(std::u16string s) {
  Value v;
  v.kind = Kind::String;
  v.string = std::move(s);
  return v;
}

Value Value::Integer(int64_t i) {
  Value v;
  v.kind = Kind::Integer;
  v.integer = i;
  return v;
}

Value Value::Real(double r) {
  Value v;
  v.kind = Kind::Real;
  v.real = r;
  return v;
}

Value Value::Boolean(bool b) {
  Value v;
  v.kind = Kind::Boolean;
  v.integer = b ? 1 : 0;
  return v;
}

Value Value::Date(double seconds_since_2001) {
  Value v;
  v.kind = Kind::Date;
  v.real = seconds_since_2001;
  return v;
}

Value Value::Data(std::string bytes) {
  Value v;
  v.kind = Kind::Data;
  v.data = std::move(bytes);
  return v;
}

Value Value::Array(std::vector<Value> items) {
  Value v;
  v.kind = Kind::Array;
  v.array = std::move(items);
  return v;
}

Value Value::Dictionary(std::vector<std::pair<std::u16string, Value>> entries) {
  Value v;
  v.kind = Kind::Dictionary;
  v.dictionary = std::move(entries);
  return v;
}

bool operator==(const Value& a, const Value& b) {
  if (a.kind != b.kind) return false;
  switch (a.kind) {
    case Kind::String:
      return a.string == b.string;
    case Kind::Integer:
      return a.integer == b.integer;
    case Kind::Boolean:
      return (a.integer != 0) == (b.integer != 0);
    case Kind::Real:
    case Kind::Date:
      return a.real == b.real || (std::isnan(a.real) && std::isnan(b.real));
    case Kind::Data:
      return a.data == b.data;
    case Kind::Array:
      return a.array == b.array;
    case Kind::Dictionary:
      return a.dictionary == b.dictionary;
  }
  return false;
}

const Value* Find(const Value& dict, std::u16string_view key) {
  if (dict.kind != Kind::Dictionary) return nullptr;
  for (const auto& entry : dict.dictionary) {
    if (entry.first == key) return &entry.second;
  }
  return nullptr;
}

Value* Find(Value* dict, std::u16string_view key) {
  if (!dict) return nullptr;
  return const_cast<Value*>(Find(static_cast<const Value&>(*dict), key));
}

void Set(Value* dict, std::u16string key, Value v) {
  if (!dict || dict->kind != Kind::Dictionary) return;
  if (Value* existing = Find(dict, key)) {
    *existing = std::move(v);
    return;
  }
  dict->dictionary.emplace_back(std::move(key), std::move(v));
}

bool Remove(Value* dict, std::u16string_view key) {
  if (!dict || dict->kind != Kind::Dictionary) return false;
  auto& entries = dict->dictionary;
  for (auto it = entries.begin(); it != entries.end(); ++it) {
    if (it->first == key) {
      entries.erase(it);
      return true;
    }
  }
  return false;
}

// --- UTF-8 and UTF-16 ---

namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Decodes one character at *p (p < end) and advances past it. An invalid
// sequence (overlong, surrogate, above U+10FFFF, cut short) gives U+FFFD and
// consumes its longest valid-looking prefix, at least one byte.
char32_t NextUtf8(const unsigned char** p, const unsigned char* end) {
  const unsigned char* s = *p;
  unsigned lead = *s++;
  if (lead < 0x80) {
    *p = s;
    return lead;
  }
  int continuation;  // bytes still to come
  char32_t c;
  unsigned low = 0x80, high = 0xBF;  // allowed range of the first continuation byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    continuation = 1;
    c = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    continuation = 2;
    c = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    continuation = 3;
    c = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    *p = s;
    return kReplacement;
  }
  for (int i = 0; i < continuation; ++i) {
    if (s == end || *s < low || *s > high) {
      *p = s;
      return kReplacement;
    }
    c = (c << 6) | (*s++ & 0x3F);
    low = 0x80;
    high = 0xBF;
  }
  *p = s;
  return c;
}

// Whether XML 1.0 can hold the character at all (literally or as a reference).
bool XmlAllowed(char32_t c) {
  if (c < 0x20) return c == '\t' || c == '\n' || c == '\r';
  if (c >= 0xD800 && c <= 0xDFFF) return false;
  return c != 0xFFFE && c != 0xFFFF && c <= 0x10FFFF;
}

// Text read from a file into a string value: like Utf16FromUtf8, and characters
// XML cannot hold become U+FFFD (the writer does the same, so values round-trip).
std::u16string StringFromXmlText(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  auto p = reinterpret_cast<const unsigned char*>(text.data());
  const auto end = p + text.size();
  while (p < end) {
    if (*p >= 0x20 && *p < 0x80) {
      out.push_back(static_cast<char16_t>(*p++));
      continue;
    }
    const char32_t c = NextUtf8(&p, end);
    unicode::AppendUtf16(&out, XmlAllowed(c) ? c : kReplacement);
  }
  return out;
}

}  // namespace

std::u16string Utf16FromUtf8(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  auto p = reinterpret_cast<const unsigned char*>(utf8.data());
  const auto end = p + utf8.size();
  while (p < end) unicode::AppendUtf16(&out, NextUtf8(&p, end));
  return out;
}

std::string Utf8FromUtf16(std::u16string_view utf16) {
  std::string out;
  out.reserve(utf16.size());
  for (size_t i = 0; i < utf16.size(); ++i) {
    char32_t c = utf16[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < utf16.size() && utf16[i + 1] >= 0xDC00 &&
        utf16[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (utf16[++i] - 0xDC00);
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    unicode::AppendUtf8(&out, c);
  }
  return out;
}

// --- Numbers, dates and data as text ---

namespace {

bool IsXmlSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

std::string_view Trim(std::string_view t) {
  while (!t.empty() && IsXmlSpace(t.front())) t.remove_prefix(1);
  while (!t.empty() && IsXmlSpace(t.back())) t.remove_suffix(1);
  return t;
}

// Decimal, or hexadecimal after "0x", with an optional sign. Values outside the
// 64-bit range saturate to INT64_MIN / INT64_MAX rather than making the whole
// file damaged; the writer writes the saturated value, which reads back as itself.
bool ParseInteger(std::string_view t, int64_t* out) {
  t = Trim(t);
  bool negative = false;
  if (!t.empty() && (t[0] == '+' || t[0] == '-')) {
    negative = t[0] == '-';
    t.remove_prefix(1);
  }
  unsigned base = 10;
  if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
    base = 16;
    t.remove_prefix(2);
  }
  if (t.empty()) return false;
  uint64_t magnitude = 0;
  bool overflow = false;
  for (char ch : t) {
    unsigned digit;
    if (ch >= '0' && ch <= '9') {
      digit = static_cast<unsigned>(ch - '0');
    } else if (base == 16 && ch >= 'a' && ch <= 'f') {
      digit = static_cast<unsigned>(ch - 'a' + 10);
    } else if (base == 16 && ch >= 'A' && ch <= 'F') {
      digit = static_cast<unsigned>(ch - 'A' + 10);
    } else {
      return false;
    }
    if (magnitude > (UINT64_MAX - digit) / base) {
      overflow = true;
    } else {
      magnitude = magnitude * base + digit;
    }
  }
  constexpr uint64_t kMinMagnitude = uint64_t{1} << 63;  // |INT64_MIN|
  if (negative) {
    *out = overflow || magnitude >= kMinMagnitude ? INT64_MIN : -static_cast<int64_t>(magnitude);
  } else {
    *out = overflow || magnitude > INT64_MAX ? INT64_MAX : static_cast<int64_t>(magnitude);
  }
  return true;
}

// A decimal number, "inf"/"infinity"/"nan" with an optional sign; always with a
// point whatever the process locale says.
bool ParseReal(std::string_view t, double* out) {
  t = Trim(t);
  if (t.empty()) return false;
  static const locale_t c_locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
  if (!c_locale) return false;  // only when memory runs out
  const std::string text(t);    // strtod_l needs a terminator
  char* end = nullptr;
  const double value = strtod_l(text.c_str(), &end, c_locale);
  if (end != text.c_str() + text.size()) return false;
  *out = value;
  return true;
}

void AppendReal(std::string* out, double r) {
  if (std::isnan(r)) {
    out->append("nan");
  } else if (std::isinf(r)) {
    out->append(r > 0 ? "+infinity" : "-infinity");
  } else {
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, r);  // shortest exact form
    out->append(buffer, result.ptr);
  }
}

// Days since 1970-01-01 of a proleptic Gregorian date, and back.
constexpr int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const auto yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int64_t* y, unsigned* m, unsigned* d) {
  z += 719468;
  const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const auto doe = static_cast<unsigned>(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  *d = doy - (153 * mp + 2) / 5 + 1;
  *m = mp < 10 ? mp + 3 : mp - 9;
  *y = static_cast<int64_t>(yoe) + era * 400 + (*m <= 2);
}

constexpr int64_t kSecondsPerDay = 86400;
constexpr int64_t k2001InUnixSeconds = 978307200;

constexpr int64_t SecondsSince2001(int64_t y, unsigned mo, unsigned d, unsigned h, unsigned mi,
                                   unsigned s) {
  return DaysFromCivil(y, mo, d) * kSecondsPerDay + h * 3600 + mi * 60 + s - k2001InUnixSeconds;
}

// Dates hold whole seconds of the years 1 to 9999, as Apple's tools and python's
// plistlib write and read them; the writer clamps other values into that range
// and drops fractions (rounding down), so every date read back is one it wrote.
constexpr int64_t kFirstDate = SecondsSince2001(1, 1, 1, 0, 0, 0);
constexpr int64_t kLastDate = SecondsSince2001(9999, 12, 31, 23, 59, 59);

bool IsLeapYear(int64_t y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

// "YYYY-MM-DDTHH:MM:SSZ" exactly.
bool ParseDate(std::string_view t, double* out) {
  t = Trim(t);
  static constexpr char kShape[] = "dddd-dd-ddTdd:dd:ddZ";
  if (t.size() != sizeof kShape - 1) return false;
  for (size_t i = 0; i < t.size(); ++i) {
    const bool digit = t[i] >= '0' && t[i] <= '9';
    if (kShape[i] == 'd' ? !digit : t[i] != kShape[i]) return false;
  }
  auto number = [&](size_t at, size_t count) {
    unsigned n = 0;
    for (size_t i = at; i < at + count; ++i) n = n * 10 + static_cast<unsigned>(t[i] - '0');
    return n;
  };
  const int64_t year = number(0, 4);
  const unsigned month = number(5, 2), day = number(8, 2);
  const unsigned hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
  static constexpr unsigned kDaysInMonth[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1 || month < 1 || month > 12 || day < 1) return false;
  if (day > kDaysInMonth[month - 1] + (month == 2 && IsLeapYear(year) ? 1 : 0)) return false;
  if (hour > 23 || minute > 59 || second > 59) return false;
  *out = static_cast<double>(SecondsSince2001(year, month, day, hour, minute, second));
  return true;
}

void AppendDate(std::string* out, double seconds) {
  int64_t s = 0;
  if (!std::isnan(seconds)) {
    const double whole = std::floor(seconds);
    s = whole <= static_cast<double>(kFirstDate)  ? kFirstDate
        : whole >= static_cast<double>(kLastDate) ? kLastDate
                                                  : static_cast<int64_t>(whole);
  }
  const int64_t unix_seconds = s + k2001InUnixSeconds;
  int64_t days = unix_seconds / kSecondsPerDay;
  int64_t rest = unix_seconds % kSecondsPerDay;
  if (rest < 0) {
    rest += kSecondsPerDay;
    --days;
  }
  int64_t year;
  unsigned month, day;
  CivilFromDays(days, &year, &month, &day);
  char buffer[32];
  snprintf(buffer, sizeof buffer, "%04d-%02u-%02uT%02d:%02d:%02dZ", static_cast<int>(year), month,
           day, static_cast<int>(rest / 3600), static_cast<int>(rest / 60 % 60),
           static_cast<int>(rest % 60));
  out->append(buffer);
}

constexpr char kBase64Digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

int Base64Digit(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// Base64 with any whitespace; the "=" padding may be missing, but nothing but
// padding and whitespace may follow it.
bool DecodeBase64(std::string_view text, std::string* out) {
  out->reserve(text.size() / 4 * 3);
  uint32_t bits = 0;  // pending bits, in the low `count` bits
  int count = 0;
  bool padded = false;
  for (char c : text) {
    if (IsXmlSpace(c)) continue;
    if (c == '=') {
      padded = true;
      continue;
    }
    const int digit = Base64Digit(c);
    if (digit < 0 || padded) return false;
    bits = (bits << 6) | static_cast<uint32_t>(digit);
    count += 6;
    if (count >= 8) {
      count -= 8;
      out->push_back(static_cast<char>((bits >> count) & 0xFF));
    }
  }
  return count < 6;  // one lone digit holds no whole byte
}

void AppendBase64(std::string* out, std::string_view bytes, size_t line_length,
                  std::string_view indent) {
  size_t column = 0;
  auto put = [&](char c) {
    if (column == 0) out->append(indent);
    out->push_back(c);
    if (++column == line_length) {
      out->push_back('\n');
      column = 0;
    }
  };
  size_t i = 0;
  for (; i + 3 <= bytes.size(); i += 3) {
    const uint32_t n = static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << 16 |
                       static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8 |
                       static_cast<unsigned char>(bytes[i + 2]);
    put(kBase64Digits[n >> 18]);
    put(kBase64Digits[(n >> 12) & 63]);
    put(kBase64Digits[(n >> 6) & 63]);
    put(kBase64Digits[n & 63]);
  }
  if (i < bytes.size()) {
    uint32_t n = static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << 16;
    if (i + 1 < bytes.size())
      n |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i + 1])) << 8;
    put(kBase64Digits[n >> 18]);
    put(kBase64Digits[(n >> 12) & 63]);
    put(i + 1 < bytes.size() ? kBase64Digits[(n >> 6) & 63] : '=');
    put('=');
  }
  if (column != 0) out->push_back('\n');
}

}  // namespace

// --- Reader ---

namespace {

// A start tag as read: its element name and whether it closed itself ("<x/>").
struct Tag {
  std::string_view name;  // points into the input
  bool empty = false;
};

// Above this many entries a dictionary being read gets a hash index, so that
// duplicate keys are found in constant time and huge files read in linear time.
constexpr size_t kIndexThreshold = 16;

using DictIndex = std::unordered_map<std::u16string, size_t>;  // key -> entry position

// Adds an entry read from a file; a repeated key keeps its first position and
// takes the last value, as other property-list readers do.
void InsertEntry(Value* dict, DictIndex* index, std::u16string key, Value value) {
  auto& entries = dict->dictionary;
  if (index->empty() && entries.size() >= kIndexThreshold) {
    for (size_t i = 0; i < entries.size(); ++i) index->emplace(entries[i].first, i);
  }
  if (!index->empty()) {
    const auto [it, inserted] = index->try_emplace(key, entries.size());
    if (!inserted) {
      entries[it->second].second = std::move(value);
      return;
    }
  } else {
    for (auto& entry : entries) {
      if (entry.first == key) {
        entry.second = std::move(value);
        return;
      }
    }
  }
  entries.emplace_back(std::move(key), std::move(value));
}

// A recursive-descent reader over the whole file in memory. Every step checks
// the end of the input; every failure returns false at once, leaving in the
// value being built the entries that were complete: a leaf counts when its end
// tag was read, and a container that was open at the damage keeps what it had.
class Reader {
 public:
  Reader(const char* bytes, size_t size) : p_(bytes), end_(bytes + size) {}

  bool ReadDocument(Value* root) {
    if (StartsWith("\xEF\xBB\xBF")) p_ += 3;  // byte-order mark
    for (;;) {                                // prolog: declaration, comments, DOCTYPE
      if (!SkipMisc()) return false;
      if (!StartsWith("<!DOCTYPE")) break;
      if (!SkipDoctype()) return false;
    }
    Tag tag;
    if (!ReadStartTag(&tag)) return false;
    if (tag.name == "plist") {
      // An empty <plist> holds an empty dictionary.
      if (tag.empty) {
        *root = Value::Dictionary();
      } else {
        if (!SkipMisc()) return false;
        if (StartsWith("</")) {
          *root = Value::Dictionary();
        } else if (!ReadStartTag(&tag) || !ReadValue(tag, root) || !SkipMisc()) {
          return false;
        }
        if (!ReadEndTag("plist")) return false;
      }
    } else if (!ReadValue(tag, root)) {  // a value without the <plist> wrapper
      return false;
    }
    return SkipMisc() && p_ == end_;
  }

 private:
  bool StartsWith(std::string_view s) const {
    return static_cast<size_t>(end_ - p_) >= s.size() && memcmp(p_, s.data(), s.size()) == 0;
  }

  // Moves just past the next occurrence of terminator; false when there is none.
  bool SkipPast(std::string_view terminator) {
    const size_t at = std::string_view(p_, static_cast<size_t>(end_ - p_)).find(terminator);
    if (at == std::string_view::npos) return false;
    p_ += at + terminator.size();
    return true;
  }

  // Whitespace, comments and processing instructions (the XML declaration too).
  bool SkipMisc() {
    for (;;) {
      while (p_ < end_ && IsXmlSpace(*p_)) ++p_;
      if (StartsWith("<!--")) {
        p_ += 4;
        if (!SkipPast("-->")) return false;
      } else if (StartsWith("<?")) {
        p_ += 2;
        if (!SkipPast("?>")) return false;
      } else {
        return true;
      }
    }
  }

  // Skips the DOCTYPE declaration, with any quoted identifiers and internal subset.
  bool SkipDoctype() {
    char quote = 0;    // the open quotation mark, or 0
    int brackets = 0;  // open '[' of an internal subset
    for (p_ += 9; p_ < end_;) {
      const char c = *p_++;
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '[') {
        ++brackets;
      } else if (c == ']') {
        --brackets;
      } else if (c == '>' && brackets <= 0) {
        return true;
      }
    }
    return false;
  }

  // Reads "<name attributes>" or "<name attributes/>"; attributes are skipped.
  bool ReadStartTag(Tag* tag) {
    if (p_ >= end_ || *p_ != '<') return false;
    const char* name = ++p_;
    while (p_ < end_ && !IsXmlSpace(*p_) && *p_ != '/' && *p_ != '>' && *p_ != '<') ++p_;
    tag->name = std::string_view(name, static_cast<size_t>(p_ - name));
    if (tag->name.empty()) return false;
    while (p_ < end_) {
      const char c = *p_++;
      if (c == '>') {
        tag->empty = false;
        return true;
      }
      if (c == '/') {
        if (p_ == end_ || *p_ != '>') return false;
        ++p_;
        tag->empty = true;
        return true;
      }
      if (c == '"' || c == '\'') {
        const char* close = static_cast<const char*>(memchr(p_, c, static_cast<size_t>(end_ - p_)));
        if (!close) return false;
        p_ = close + 1;
      } else if (c == '<') {
        return false;
      }
    }
    return false;
  }

  bool ReadEndTag(std::string_view name) {
    if (!StartsWith("</")) return false;
    p_ += 2;
    if (!StartsWith(name)) return false;
    p_ += name.size();
    while (p_ < end_ && IsXmlSpace(*p_)) ++p_;
    if (p_ == end_ || *p_ != '>') return false;
    ++p_;
    return true;
  }

  // Appends the character an entity or character reference at p_ ('&') stands
  // for. A '&' that starts no known reference is taken as itself: the launch
  // agent file is written from a template with the bundle path put in as it
  // is, so a path such as "R&D/Mindel.app" must still read.
  void ReadReference(std::string* text) {
    static constexpr size_t kLongest = 12;  // "&#x0010FFFF;" and the like
    const size_t room = static_cast<size_t>(end_ - p_);
    const auto* semicolon = static_cast<const char*>(memchr(p_, ';', std::min(room, kLongest)));
    if (semicolon) {
      const std::string_view body(p_ + 1, static_cast<size_t>(semicolon - p_ - 1));
      char32_t c = 0;
      bool known = true;
      if (body == "lt") {
        c = '<';
      } else if (body == "gt") {
        c = '>';
      } else if (body == "amp") {
        c = '&';
      } else if (body == "quot") {
        c = '"';
      } else if (body == "apos") {
        c = '\'';
      } else if (body.size() >= 2 && body[0] == '#') {
        const bool hex = body[1] == 'x';
        const std::string_view digits = body.substr(hex ? 2 : 1);
        uint32_t n = 0;
        const auto result =
            std::from_chars(digits.data(), digits.data() + digits.size(), n, hex ? 16 : 10);
        known = !digits.empty() && result.ptr == digits.data() + digits.size() &&
                result.ec == std::errc();
        c = known && XmlAllowed(n) ? n : kReplacement;  // see the note at the top of the header
      } else {
        known = false;
      }
      if (known) {
        unicode::AppendUtf8(text, c);
        p_ = semicolon + 1;
        return;
      }
    }
    text->push_back('&');
    ++p_;
  }

  // Reads the character data of element name up to and including its end tag:
  // references decoded, CDATA sections taken as they are, comments and
  // processing instructions dropped, line ends normalised to a line feed as
  // XML requires. Any element inside is damage.
  bool ReadText(std::string_view name, std::string* text) {
    const char* run = p_;  // start of the literal bytes not yet copied
    auto flush = [&] { text->append(run, static_cast<size_t>(p_ - run)); };
    while (p_ < end_) {
      const char c = *p_;
      if (c == '<') {
        flush();
        if (StartsWith("</")) return ReadEndTag(name);
        if (StartsWith("<![CDATA[")) {
          p_ += 9;
          const char* start = p_;
          if (!SkipPast("]]>")) return false;
          AppendNormalised(text, std::string_view(start, static_cast<size_t>(p_ - 3 - start)));
        } else if (StartsWith("<!--")) {
          p_ += 4;
          if (!SkipPast("-->")) return false;
        } else if (StartsWith("<?")) {
          p_ += 2;
          if (!SkipPast("?>")) return false;
        } else {
          return false;
        }
        run = p_;
      } else if (c == '&') {
        flush();
        ReadReference(text);
        run = p_;
      } else if (c == '\r') {
        flush();
        text->push_back('\n');
        if (++p_ < end_ && *p_ == '\n') ++p_;
        run = p_;
      } else {
        ++p_;
      }
    }
    return false;
  }

  static void AppendNormalised(std::string* text, std::string_view raw) {
    for (size_t i = 0; i < raw.size(); ++i) {
      if (raw[i] != '\r') {
        text->push_back(raw[i]);
      } else {
        text->push_back('\n');
        if (i + 1 < raw.size() && raw[i + 1] == '\n') ++i;
      }
    }
  }

  // The text of a leaf element; "<x/>" holds the empty text.
  bool ReadLeafText(const Tag& tag, std::string* text) {
    return tag.empty || ReadText(tag.name, text);
  }

  // Reads the value whose start tag has just been read.
  bool ReadValue(const Tag& tag, Value* out) {
    const std::string_view name = tag.name;
    if (name == "dict" || name == "array") {
      const bool dict = name == "dict";
      *out = dict ? Value::Dictionary() : Value::Array();
      if (tag.empty) return true;
      ++depth_;
      const bool ok = dict ? ReadDict(out) : ReadArray(out);
      --depth_;
      return ok;
    }
    std::string text;
    if (name == "string") {
      if (!ReadLeafText(tag, &text)) return false;
      *out = Value::String(StringFromXmlText(text));
      return true;
    }
    if (name == "true" || name == "false") {
      if (!ReadLeafText(tag, &text) || !Trim(text).empty()) return false;
      *out = Value::Boolean(name == "true");
      return true;
    }
    if (name == "data") {
      Value v = Value::Data({});
      if (!ReadLeafText(tag, &text) || !DecodeBase64(text, &v.data)) return false;
      *out = std::move(v);
      return true;
    }
    if (name == "integer") {
      int64_t n;
      if (!ReadLeafText(tag, &text) || !ParseInteger(text, &n)) return false;
      *out = Value::Integer(n);
      return true;
    }
    if (name == "real" || name == "date") {
      double r;
      if (!ReadLeafText(tag, &text)) return false;
      if (!(name == "real" ? ParseReal(text, &r) : ParseDate(text, &r))) return false;
      *out = name == "real" ? Value::Real(r) : Value::Date(r);
      return true;
    }
    return false;  // unknown element, or a <key> outside a dictionary
  }

  // Reads the start tag of a container's next child; a container nested deeper
  // than kMaxDepth may hold nothing, which bounds the recursion.
  bool ReadChildStart(Tag* tag) {
    if (depth_ > kMaxDepth) return false;
    return ReadStartTag(tag);
  }

  bool ReadArray(Value* out) {
    for (;;) {
      if (!SkipMisc()) return false;
      if (StartsWith("</")) return ReadEndTag("array");
      Tag tag;
      if (!ReadChildStart(&tag)) return false;
      Value item;
      const bool ok = ReadValue(tag, &item);
      if (ok || item.kind == Kind::Array || item.kind == Kind::Dictionary) {
        out->array.push_back(std::move(item));
      }
      if (!ok) return false;
    }
  }

  bool ReadDict(Value* out) {
    DictIndex index;
    for (;;) {
      if (!SkipMisc()) return false;
      if (StartsWith("</")) return ReadEndTag("dict");
      Tag tag;
      if (!ReadChildStart(&tag) || tag.name != "key") return false;
      std::string text;
      if (!ReadLeafText(tag, &text) || !SkipMisc()) return false;
      std::u16string key = StringFromXmlText(text);
      if (StartsWith("</") || !ReadStartTag(&tag)) return false;  // a key needs a value
      Value value;
      const bool ok = ReadValue(tag, &value);
      if (ok || value.kind == Kind::Array || value.kind == Kind::Dictionary) {
        InsertEntry(out, &index, std::move(key), std::move(value));
      }
      if (!ok) return false;
    }
  }

  const char* p_;    // next byte to read
  const char* end_;  // end of the input
  int depth_ = 0;    // containers open around p_
};

}  // namespace

bool ParseXml(const char* bytes, size_t size, Value* out) {
  if (!out) return false;
  Value root;
  const bool ok = bytes && Reader(bytes, size).ReadDocument(&root);
  if (!ok && root.kind != Kind::Dictionary) root = Value::Dictionary();
  *out = std::move(root);
  return ok;
}

// --- Writer ---

namespace {

// Writes a string as element content: "<", ">" and "&" escaped, carriage return
// as a reference (a literal one would read back as a line feed), surrogate
// pairs as one 4-byte UTF-8 character. A character XML 1.0 cannot hold at all
// (controls other than tab, line feed and carriage return, U+FFFE, U+FFFF,
// lone surrogates) is written as U+FFFD, so the file stays readable by every
// property-list tool; the reader maps such characters the same way.
void AppendEscaped(std::string* out, std::u16string_view s) {
  for (size_t i = 0; i < s.size(); ++i) {
    char32_t c = s[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
        s[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
    } else if (!XmlAllowed(c)) {
      c = kReplacement;
    }
    switch (c) {
      case '<':
        out->append("&lt;");
        break;
      case '>':
        out->append("&gt;");
        break;
      case '&':
        out->append("&amp;");
        break;
      case '\r':
        out->append("&#13;");
        break;
      default:
        unicode::AppendUtf8(out, c);
    }
  }
}

// Writes v at the current position (its indentation already written), then a
// line feed. depth counts the containers around v; containers deeper than
// kMaxDepth are written empty, so the output always reads back.
void WriteValue(std::string* out, const Value& v, int depth) {
  const std::string indent(static_cast<size_t>(depth), '\t');
  switch (v.kind) {
    case Kind::String:
      out->append("<string>");
      AppendEscaped(out, v.string);
      out->append("</string>\n");
      break;
    case Kind::Integer:
      out->append("<integer>").append(std::to_string(v.integer)).append("</integer>\n");
      break;
    case Kind::Real:
      out->append("<real>");
      AppendReal(out, v.real);
      out->append("</real>\n");
      break;
    case Kind::Boolean:
      out->append(v.integer ? "<true/>\n" : "<false/>\n");
      break;
    case Kind::Date:
      out->append("<date>");
      AppendDate(out, v.real);
      out->append("</date>\n");
      break;
    case Kind::Data: {
      // Lines as python's plistlib makes them: 76 columns less the indentation.
      const size_t line = static_cast<size_t>(std::max(16, 76 - 8 * depth));
      out->append("<data>\n");
      AppendBase64(out, v.data, line, indent);
      out->append(indent).append("</data>\n");
      break;
    }
    case Kind::Array:
      if (v.array.empty() || depth >= kMaxDepth) {
        out->append("<array/>\n");
        break;
      }
      out->append("<array>\n");
      for (const Value& item : v.array) {
        out->append(indent).push_back('\t');
        WriteValue(out, item, depth + 1);
      }
      out->append(indent).append("</array>\n");
      break;
    case Kind::Dictionary:
      if (v.dictionary.empty() || depth >= kMaxDepth) {
        out->append("<dict/>\n");
        break;
      }
      out->append("<dict>\n");
      for (const auto& [key, item] : v.dictionary) {
        out->append(indent).append("\t<key>");
        AppendEscaped(out, key);
        out->append("</key>\n").append(indent).push_back('\t');
        WriteValue(out, item, depth + 1);
      }
      out->append(indent).append("</dict>\n");
      break;
  }
}

}  // namespace

std::string WriteXml(const Value& root) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
      "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
      "<plist version=\"1.0\">\n";
  WriteValue(&out, root, 0);
  out.append("</plist>\n");
  return out;
}

// --- Files ---

namespace {

// Larger files are treated as damaged rather than read into memory: no
// settings file comes near this.
constexpr size_t kMaxFileSize = size_t{256} << 20;

// Reads all of fd; false on a read error or a file above kMaxFileSize.
bool ReadAll(int fd, std::string* bytes) {
  struct stat st;
  if (fstat(fd, &st) == 0 && st.st_size > 0) {
    if (static_cast<uint64_t>(st.st_size) > kMaxFileSize) return false;
    bytes->reserve(static_cast<size_t>(st.st_size));
  }
  char buffer[65536];
  for (;;) {
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    if (bytes->size() + static_cast<size_t>(n) > kMaxFileSize) return false;
    bytes->append(buffer, static_cast<size_t>(n));
  }
}

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Creates every missing folder of folder (mode 0700, since they hold one
// user's files); false when one cannot be made or is not a folder.
bool MakeFolders(const std::string& folder) {
  for (size_t i = 1; i <= folder.size(); ++i) {
    if (i < folder.size() && folder[i] != '/') continue;
    if (folder[i - 1] == '/') continue;
    const std::string prefix = folder.substr(0, i);
    struct stat st;
    if (stat(prefix.c_str(), &st) == 0) {
      if (S_ISDIR(st.st_mode)) continue;
      errno = ENOTDIR;
      return false;
    }
    if (mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return true;
}

}  // namespace

ReadResult ReadFile(const char* path, Value* out) {
  if (!out) return ReadResult::Damaged;
  *out = Value::Dictionary();
  if (!path || !*path) return ReadResult::Missing;
  const int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0)
    return errno == ENOENT || errno == ENOTDIR ? ReadResult::Missing : ReadResult::Damaged;
  std::string bytes;
  const bool read_ok = ReadAll(fd, &bytes);
  close(fd);
  if (!read_ok) return ReadResult::Damaged;
  return ParseXml(bytes.data(), bytes.size(), out) ? ReadResult::Ok : ReadResult::Damaged;
}

bool WriteFileAtomically(const char* path, const std::string& bytes) {
  if (!path || !*path) return false;
  const std::string target = path;
  if (target.back() == '/') return false;
  const size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "."
                             : slash == 0               ? "/"
                                                        : target.substr(0, slash);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  if (!MakeFolders(folder)) return false;

  // A hidden temporary beside the target, so that the rename stays on one file
  // system; one left behind by a crash is harmless.
  std::string temporary = folder + "/." + name + ".XXXXXX";
  const int fd = mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return false;
  struct stat st;
  bool ok = true;
  if (stat(path, &st) == 0 && S_ISREG(st.st_mode)) ok = fchmod(fd, st.st_mode & 07777) == 0;
  ok = ok && WriteAll(fd, bytes) && fsync(fd) == 0;
  ok = close(fd) == 0 && ok;
  ok = ok && rename(temporary.c_str(), path) == 0;
  if (!ok) {
    const int error = errno;  // kept for the caller's message
    unlink(temporary.c_str());
    errno = error;
    return false;
  }
  // The new file is in place; syncing the folder makes the rename itself
  // survive a power loss. Its failure is not reported, since answering false
  // now would wrongly say the old file is still there.
  const int folder_fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder_fd >= 0) {
    fsync(folder_fd);
    close(folder_fd);
  }
  return true;
}

void RemoveLeftTemporaries(const char* path) {
  if (!path || !*path) return;
  const std::string target = path;
  const size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "."
                             : slash == 0               ? "/"
                                                        : target.substr(0, slash);
  // The names WriteFileAtomically makes: "." + name + "." + six characters of mkostemp.
  const std::string prefix =
      "." + (slash == std::string::npos ? target : target.substr(slash + 1)) + ".";
  DIR* dir = opendir(folder.c_str());
  if (!dir) return;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name.size() == prefix.size() + 6 && name.compare(0, prefix.size(), prefix) == 0) {
      unlink((folder + "/" + name).c_str());
    }
  }
  closedir(dir);
}

}  // namespace plist
