// XML property lists (the Apple "PLIST 1.0" format): the values they hold, a
// reader that keeps what it could read from a damaged file, a writer whose
// output standard property-list tools read, and an atomic file write.
//
// Characters XML 1.0 cannot hold (U+0000-U+001F other than tab, line feed and
// carriage return, U+FFFE, U+FFFF, lone surrogates) become U+FFFD both when a
// file is read and when one is written, so whatever the reader accepts the
// writer writes back to a file that reads as the same value.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace plist {

enum class Kind { String, Integer, Real, Boolean, Date, Data, Array, Dictionary };

// Containers nested deeper than this must be empty: content below them is damage
// when read and is left out when written, so hostile input cannot exhaust the
// stack and whatever is written reads back.
constexpr int kMaxDepth = 512;

// One property-list value; only the fields of its kind are meaningful.
struct Value {
  Kind kind = Kind::String;
  std::u16string string;     // String (UTF-16 units)
  int64_t integer = 0;       // Integer; Boolean as 0/1
  double real = 0;           // Real; Date as seconds since 2001-01-01T00:00:00Z
  std::string data;          // Data bytes
  std::vector<Value> array;  // Array
  std::vector<std::pair<std::u16string, Value>>
      dictionary;  // Dictionary, in file order, keys unique

  static Value String(std::u16string s);
  static Value Integer(int64_t i);
  static Value Real(double r);
  static Value Boolean(bool b);
  static Value Date(double seconds_since_2001);
  static Value Data(std::string bytes);
  static Value Array(std::vector<Value> items = {});
  static Value Dictionary(std::vector<std::pair<std::u16string, Value>> entries = {});
};

// Compares kind and the fields of that kind only (two NaN reals are equal).
bool operator==(const Value& a, const Value& b);

// --- Reading and writing ---

enum class ReadResult { Ok, Missing, Damaged };
// Missing: no such file. Damaged: unreadable or not a property list; *out then
// holds what could be read (a Dictionary, possibly empty).
ReadResult ReadFile(const char* path, Value* out);
// False when damaged; *out then keeps what was complete before the damage, in a
// top-level Dictionary (empty when the root was not a dictionary).
bool ParseXml(const char* bytes, size_t size, Value* out);
// UTF-8 XML text, tab-indented like Apple's tools, ending in a line feed.
std::string WriteXml(const Value& root);
// Creates missing parent folders (mode 0700); writes a temporary file in the
// same folder, fsyncs it, renames it over path, fsyncs the folder. False (and
// path untouched, errno saying why) on any failure. A replaced file keeps its permissions; a new
// one gets 0600, since settings are private to their user.
bool WriteFileAtomically(const char* path, const std::string& bytes);
// Removes the temporaries that WriteFileAtomically leaves beside path when the program is
// killed between making one and renaming it. A write of path running at the same time in
// another process would lose its temporary: call it where none runs, such as at start-up.
void RemoveLeftTemporaries(const char* path);

// --- Helpers for callers ---

// The value under key in a Dictionary; null when absent or dict is no Dictionary.
// Linear in the number of keys (settings dictionaries are small).
const Value* Find(const Value& dict, std::u16string_view key);
Value* Find(Value* dict, std::u16string_view key);
// Replaces the value under key in place, or appends key at the end. Does nothing
// when dict is null or not a Dictionary.
void Set(Value* dict, std::u16string key, Value v);
// Removes key; false when it was not there.
bool Remove(Value* dict, std::u16string_view key);

// UTF-8 <-> UTF-16. Invalid UTF-8 bytes and lone surrogates become U+FFFD;
// every other character, control characters included, is kept.
std::u16string Utf16FromUtf8(std::string_view utf8);
std::string Utf8FromUtf16(std::u16string_view utf16);

}  // namespace plist
