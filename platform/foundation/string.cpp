// NSString and NSMutableString: immutable and mutable UTF-16 strings with the conversions,
// comparisons, searches and case mappings the platform's callers send.
//
// Index: storage | helpers for C++ | making strings | reading strings | searching and
// splitting | case and numbers | mutation | class definition
#include "platform/foundation/string.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/foundation/array.h"
#include "platform/foundation/foundation.h"
#include "platform/foundation/text_encoding.h"
#include "platform/objc/objc.h"

namespace {

// --- Storage ---

// The instance variable of every string.
struct StringFields {
  std::u16string units;  // the text
  id utf8 = nil;         // the last -UTF8String buffer, retained; released with the string
};

Class gString;           // NSString
Class gMutableString;    // NSMutableString
Class gUtf8Buffer;       // holds the bytes of one -UTF8String answer
ptrdiff_t gFields = -1;  // offset of StringFields in a string
ptrdiff_t gBytes = -1;   // offset of the std::string in a UTF-8 buffer

StringFields& Fields(id self) {
  return objc::FieldAt<StringFields>(self, gFields);
}
std::u16string& Units(id self) {
  return Fields(self).units;
}

const std::u16string& EmptyUnits() {
  static const auto* empty = new std::u16string();
  return *empty;
}

id NewOfClass(Class cls, std::u16string units) {
  id s = class_createInstance(cls, 0);
  if (s) Units(s) = std::move(units);
  return s;
}

// A new string of the receiver's kind (mutable stays mutable) for the class methods.
id MakeOfClass(Class cls, std::u16string units) {
  return objc_autorelease(NewOfClass(cls, std::move(units)));
}

}  // namespace

// --- Helpers for C++ ---

namespace foundation {

id NewString(std::u16string units) {
  objc::EnsureClassesLoaded();
  return NewOfClass(gString, std::move(units));
}
id MakeString(std::u16string units) {
  return objc_autorelease(NewString(std::move(units)));
}

id MakeStringFromUtf8(std::string_view utf8) {
  std::u16string units;
  if (!DecodeText(reinterpret_cast<const uint8_t*>(utf8.data()), utf8.size(), TextEncoding::Utf8,
                  &units)) {
    // Keep what can be kept: each bad byte becomes U+FFFD.
    units.clear();
    size_t i = 0;
    while (i < utf8.size()) {
      size_t n = 1;
      while (n <= 4 && i + n <= utf8.size()) {
        std::u16string piece;
        if (DecodeText(reinterpret_cast<const uint8_t*>(utf8.data() + i), n, TextEncoding::Utf8,
                       &piece)) {
          units += piece;
          break;
        }
        ++n;
      }
      if (n > 4 || i + n > utf8.size()) {
        units.push_back(0xFFFD);
        n = 1;
      }
      i += n;
    }
  }
  return MakeString(std::move(units));
}

bool IsString(id obj) {
  return obj && gString && objc::IsKindOf(obj, gString);
}

const std::u16string& StringUnits(id string) {
  return IsString(string) ? Units(string) : EmptyUnits();
}

std::string StringUtf8(id string) {
  std::string bytes;
  EncodeText(StringUnits(string), TextEncoding::Utf8, 0, &bytes);
  return bytes;
}

std::u16string DescriptionOf(id obj) {
  if (!obj) return u"(null)";
  if (IsString(obj)) return Units(obj);
  id description = objc::Send(obj, "description");
  if (IsString(description)) return Units(description);
  return u"";
}

}  // namespace foundation

namespace {

using foundation::DecodeText;
using foundation::EncodeText;
using foundation::TextEncoding;

// --- Making strings ---

id ClassString(Class cls, SEL) {
  return MakeOfClass(cls, u"");
}
id StringWithString(Class cls, SEL, id other) {
  return MakeOfClass(cls, foundation::StringUnits(other));
}
id StringWithCharacters(Class cls, SEL, const char16_t* units, NSUInteger length) {
  if (!units && length) return nil;
  return MakeOfClass(cls, std::u16string(units, length));
}
id StringWithCString(Class cls, SEL, const char* bytes, NSUInteger encoding) {
  if (!bytes) return nil;
  std::u16string units;
  if (!DecodeText(reinterpret_cast<const uint8_t*>(bytes), std::strlen(bytes),
                  foundation::EncodingFromNS(encoding), &units)) {
    return nil;
  }
  return MakeOfClass(cls, std::move(units));
}
id StringWithUTF8String(Class cls, SEL sel, const char* bytes) {
  return StringWithCString(cls, sel, bytes, 4);
}
id StringWithFormat(Class cls, SEL, id format, objc::VarArgs* rest) {
  return MakeOfClass(cls, foundation::FormatString(foundation::StringUnits(format), rest->list));
}

id InitWithString(id self, SEL, id other) {
  Units(self) = foundation::StringUnits(other);
  return self;
}
id InitWithCharacters(id self, SEL, const char16_t* units, NSUInteger length) {
  if (units) Units(self).assign(units, length);
  return self;
}
// Initializers that can fail dispose of the half-made object and answer nil.
id InitWithBytes(id self, SEL, const void* bytes, NSUInteger length, NSUInteger encoding) {
  if (!DecodeText(static_cast<const uint8_t*>(bytes), length, foundation::EncodingFromNS(encoding),
                  &Units(self))) {
    objc_release(self);
    return nil;
  }
  return self;
}
id InitWithCString(id self, SEL sel, const char* bytes, NSUInteger encoding) {
  return InitWithBytes(self, sel, bytes, bytes ? std::strlen(bytes) : 0, encoding);
}
id InitWithUTF8String(id self, SEL sel, const char* bytes) {
  return InitWithCString(self, sel, bytes, 4);
}
id InitWithFormat(id self, SEL, id format, objc::VarArgs* rest) {
  Units(self) = foundation::FormatString(foundation::StringUnits(format), rest->list);
  return self;
}

void Dealloc(id self, SEL sel) {
  objc_release(Fields(self).utf8);
  objc::SendSuper<void>(self, gString, sel);
}

// An immutable string is its own copy; a mutable one copies into an immutable string.
id Copy(id self, SEL) {
  if (object_getClass(self) == gString) return objc_retain(self);
  return NewOfClass(gString, Units(self));
}
id MutableCopy(id self, SEL) {
  return NewOfClass(gMutableString, Units(self));
}

// --- Reading strings ---

NSUInteger Length(id self, SEL) {
  return Units(self).size();
}
char16_t CharacterAtIndex(id self, SEL, NSUInteger index) {
  return index < Units(self).size() ? Units(self)[index] : 0;  // out of range: 0
}
void GetCharacters(id self, SEL, char16_t* buffer, NSRange range) {
  const std::u16string& units = Units(self);
  if (!buffer || range.location > units.size() || range.length > units.size() - range.location) {
    return;
  }
  std::memcpy(buffer, units.data() + range.location, range.length * sizeof(char16_t));
}

// The bytes live in an autoreleased buffer that the string also retains, so they last as
// long as the string or the current pool, whichever is longer.
const char* UTF8String(id self, SEL) {
  id buffer = class_createInstance(gUtf8Buffer, 0);
  if (!buffer) return nullptr;
  std::string& bytes = objc::FieldAt<std::string>(buffer, gBytes);
  EncodeText(Units(self), TextEncoding::Utf8, 0, &bytes);
  objc_release(Fields(self).utf8);
  Fields(self).utf8 = objc_retain(buffer);
  objc_autorelease(buffer);
  return bytes.c_str();
}

id Description(id self, SEL) {
  return self;
}

BOOL IsEqualToString(id self, SEL, id other) {
  return foundation::IsString(other) && Units(other) == Units(self) ? YES : NO;
}
BOOL IsEqual(id self, SEL, id other) {
  return self == other || (foundation::IsString(other) && Units(other) == Units(self)) ? YES : NO;
}
NSUInteger Hash(id self, SEL) {
  uint64_t hash = 1469598103934665603ull;  // FNV-1a over the units
  for (char16_t unit : Units(self)) {
    hash = (hash ^ unit) * 1099511628211ull;
  }
  return hash;
}
NSInteger Compare(id self, SEL, id other) {
  int c = Units(self).compare(foundation::StringUnits(other));
  return c < 0 ? -1 : (c > 0 ? 1 : 0);
}
BOOL HasPrefix(id self, SEL, id prefix) {
  const std::u16string& p = foundation::StringUnits(prefix);
  return !p.empty() && Units(self).compare(0, p.size(), p) == 0 ? YES : NO;
}
BOOL HasSuffix(id self, SEL, id suffix) {
  const std::u16string& s = foundation::StringUnits(suffix);
  const std::u16string& u = Units(self);
  return !s.empty() && u.size() >= s.size() && u.compare(u.size() - s.size(), s.size(), s) == 0
             ? YES
             : NO;
}

// --- Searching and splitting ---

id ComponentsSeparatedBy(id self, SEL, id separator) {
  const std::u16string& units = Units(self);
  const std::u16string& sep = foundation::StringUnits(separator);
  std::vector<id> parts;
  if (sep.empty()) {
    parts.push_back(foundation::MakeString(units));
  } else {
    size_t start = 0;
    for (;;) {
      size_t found = units.find(sep, start);
      if (found == std::u16string::npos) break;
      parts.push_back(foundation::MakeString(units.substr(start, found - start)));
      start = found + sep.size();
    }
    parts.push_back(foundation::MakeString(units.substr(start)));
  }
  return foundation::MakeArray(parts);
}

id ReplacingOccurrences(id self, SEL, id target, id replacement) {
  const std::u16string& units = Units(self);
  const std::u16string& from = foundation::StringUnits(target);
  const std::u16string& to = foundation::StringUnits(replacement);
  if (from.empty()) return foundation::MakeString(units);
  std::u16string result;
  size_t start = 0;
  for (;;) {
    size_t found = units.find(from, start);
    if (found == std::u16string::npos) break;
    result.append(units, start, found - start);
    result += to;
    start = found + from.size();
  }
  result.append(units, start, std::u16string::npos);
  return foundation::MakeString(std::move(result));
}

NSRange RangeOfString(id self, SEL, id other) {
  const std::u16string& needle = foundation::StringUnits(other);
  size_t found = needle.empty() ? std::u16string::npos : Units(self).find(needle);
  if (found == std::u16string::npos) return NSMakeRange(NSNotFound, 0);
  return NSMakeRange(found, needle.size());
}

id ByAppending(id self, SEL, id other) {
  return foundation::MakeString(Units(self) + foundation::StringUnits(other));
}
id SubstringFromIndex(id self, SEL, NSUInteger index) {
  const std::u16string& units = Units(self);
  return foundation::MakeString(index < units.size() ? units.substr(index) : u"");
}
id SubstringToIndex(id self, SEL, NSUInteger index) {
  return foundation::MakeString(Units(self).substr(0, index));
}

// --- Case and numbers ---

// Simple one-to-one case pairs: ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic. Other
// characters keep their case.
char16_t ToUpper(char16_t c) {
  if (c >= u'a' && c <= u'z') return c - 32;
  if (c >= 0xE0 && c <= 0xFE && c != 0xF7) return c - 32;
  if (c == 0xFF) return 0x178;
  if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 &&
      c != 0x17F) {
    bool odd_is_lower = !((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E));
    if (odd_is_lower ? (c & 1) : !(c & 1)) return c - 1;
    return c;
  }
  if (c >= 0x3B1 && c <= 0x3C9 && c != 0x3C2) return c - 32;
  if (c == 0x3C2) return 0x3A3;
  if (c >= 0x430 && c <= 0x44F) return c - 32;
  if (c >= 0x450 && c <= 0x45F) return c - 80;
  return c;
}

char16_t ToLower(char16_t c) {
  if (c >= u'A' && c <= u'Z') return c + 32;
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 32;
  if (c == 0x178) return 0xFF;
  if (c >= 0x100 && c <= 0x17F && c != 0x130 && c != 0x131 && c != 0x138 && c != 0x149 &&
      c != 0x17F) {
    bool odd_is_lower = !((c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E));
    if (odd_is_lower ? !(c & 1) : (c & 1)) return c + 1;
    return c;
  }
  if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2) return c + 32;
  if (c >= 0x410 && c <= 0x42F) return c + 32;
  if (c >= 0x400 && c <= 0x40F) return c + 80;
  return c;
}

id UppercaseString(id self, SEL) {
  std::u16string result;
  for (char16_t c : Units(self)) {
    if (c == 0xDF) {
      result += u"SS";  // ß has no one-letter capital
    } else {
      result.push_back(ToUpper(c));
    }
  }
  return foundation::MakeString(std::move(result));
}
id LowercaseString(id self, SEL) {
  std::u16string result;
  for (char16_t c : Units(self)) result.push_back(ToLower(c));
  return foundation::MakeString(std::move(result));
}

// The ASCII prefix of the string that a number parser reads (after leading white space).
std::string NumberPrefix(id self) {
  std::string ascii;
  const std::u16string& units = Units(self);
  size_t i = 0;
  while (i < units.size() &&
         (units[i] == u' ' || units[i] == u'\t' || units[i] == u'\n' || units[i] == u'\r')) {
    ++i;
  }
  for (; i < units.size() && units[i] < 0x80 && ascii.size() < 400; ++i) {
    ascii.push_back(static_cast<char>(units[i]));
  }
  return ascii;
}

long long IntegerPrefix(id self) {
  std::string text = NumberPrefix(self);
  // Only an optional sign and digits: "0x10" reads as 0, as a decimal parser would.
  size_t i = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
  if (i >= text.size() || text[i] < '0' || text[i] > '9') return 0;
  errno = 0;
  return std::strtoll(text.c_str(), nullptr, 10);  // clamps to LLONG_MIN / LLONG_MAX
}

int IntValue(id self, SEL) {
  long long value = IntegerPrefix(self);
  if (value > INT_MAX) return INT_MAX;
  if (value < INT_MIN) return INT_MIN;
  return static_cast<int>(value);
}
NSInteger IntegerValue(id self, SEL) {
  return static_cast<NSInteger>(IntegerPrefix(self));
}
double DoubleValue(id self, SEL) {
  std::string text = NumberPrefix(self);
  return std::strtod(text.c_str(), nullptr);
}
BOOL BoolValue(id self, SEL) {
  std::string text = NumberPrefix(self);
  size_t i = (!text.empty() && (text[0] == '+' || text[0] == '-')) ? 1 : 0;
  while (i < text.size() && text[i] == '0') ++i;
  if (i >= text.size()) return NO;
  char c = text[i];
  return (c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9')) ? YES : NO;
}

// --- Mutation (NSMutableString) ---

void AppendString(id self, SEL, id other) {
  Units(self) += foundation::StringUnits(other);
}
void SetString(id self, SEL, id other) {
  Units(self) = foundation::StringUnits(other);
}
void AppendFormat(id self, SEL, id format, objc::VarArgs* rest) {
  Units(self) += foundation::FormatString(foundation::StringUnits(format), rest->list);
}

// Every object's -description: "<ClassName: 0x...>".
id ObjectDescription(id self, SEL) {
  char text[128];
  std::snprintf(text, sizeof(text), "<%s: %p>", object_getClassName(self),
                static_cast<void*>(self));
  return foundation::MakeStringFromUtf8(text);
}

}  // namespace

// --- Class definition ---

namespace foundation {

void LoadNSStringClass() {
  objc::AddMethod(objc_lookUpClass("NSObject"), "description", &ObjectDescription);

  gUtf8Buffer = objc::DefineClass("_NSUTF8Buffer", "NSObject");
  gBytes = objc::AddCxxIvar<std::string>(gUtf8Buffer, "_bytes");

  gString = objc::DefineClass("NSString", "NSObject");
  gFields = objc::AddCxxIvar<StringFields>(gString, "_fields");
  objc::AddClassMethod(gString, "string", &ClassString);
  objc::AddClassMethod(gString, "stringWithString:", &StringWithString);
  objc::AddClassMethod(gString, "stringWithCharacters:length:", &StringWithCharacters);
  objc::AddClassMethod(gString, "stringWithCString:encoding:", &StringWithCString);
  objc::AddClassMethod(gString, "stringWithUTF8String:", &StringWithUTF8String);
  objc::AddClassMethod(gString, "stringWithFormat:", &StringWithFormat);
  objc::AddMethod(gString, "initWithString:", &InitWithString);
  objc::AddMethod(gString, "initWithCharacters:length:", &InitWithCharacters);
  objc::AddMethod(gString, "initWithBytes:length:encoding:", &InitWithBytes);
  objc::AddMethod(gString, "initWithCString:encoding:", &InitWithCString);
  objc::AddMethod(gString, "initWithUTF8String:", &InitWithUTF8String);
  objc::AddMethod(gString, "initWithFormat:", &InitWithFormat);
  objc::AddMethod(gString, "dealloc", &Dealloc);
  objc::AddMethod(gString, "copy", &Copy);
  objc::AddMethod(gString, "mutableCopy", &MutableCopy);
  objc::AddMethod(gString, "length", &Length);
  objc::AddMethod(gString, "characterAtIndex:", &CharacterAtIndex);
  objc::AddMethod(gString, "getCharacters:range:", &GetCharacters);
  objc::AddMethod(gString, "UTF8String", &UTF8String);
  objc::AddMethod(gString, "description", &Description);
  objc::AddMethod(gString, "isEqualToString:", &IsEqualToString);
  objc::AddMethod(gString, "isEqual:", &IsEqual);
  objc::AddMethod(gString, "hash", &Hash);
  objc::AddMethod(gString, "compare:", &Compare);
  objc::AddMethod(gString, "hasPrefix:", &HasPrefix);
  objc::AddMethod(gString, "hasSuffix:", &HasSuffix);
  objc::AddMethod(gString, "componentsSeparatedByString:", &ComponentsSeparatedBy);
  objc::AddMethod(gString,
                  "stringByReplacingOccurrencesOfString:withString:", &ReplacingOccurrences);
  objc::AddMethod(gString, "rangeOfString:", &RangeOfString);
  objc::AddMethod(gString, "stringByAppendingString:", &ByAppending);
  objc::AddMethod(gString, "substringFromIndex:", &SubstringFromIndex);
  objc::AddMethod(gString, "substringToIndex:", &SubstringToIndex);
  objc::AddMethod(gString, "uppercaseString", &UppercaseString);
  objc::AddMethod(gString, "lowercaseString", &LowercaseString);
  objc::AddMethod(gString, "intValue", &IntValue);
  objc::AddMethod(gString, "integerValue", &IntegerValue);
  objc::AddMethod(gString, "doubleValue", &DoubleValue);
  objc::AddMethod(gString, "boolValue", &BoolValue);

  gMutableString = objc::DefineClass("NSMutableString", gString);
  objc::AddMethod(gMutableString, "appendString:", &AppendString);
  objc::AddMethod(gMutableString, "setString:", &SetString);
  objc::AddMethod(gMutableString, "appendFormat:", &AppendFormat);
}

}  // namespace foundation
