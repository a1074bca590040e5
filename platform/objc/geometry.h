// The geometry records shared by every platform interface (points, sizes, rectangles, ranges)
// and their Objective-C type encodings.
#pragma once

#include <cstdint>

typedef double CGFloat;
typedef long NSInteger;            // encoded 'q'
typedef unsigned long NSUInteger;  // encoded 'Q'

struct CGPoint {
  CGFloat x;  // horizontal position in points
  CGFloat y;  // vertical position in points
};
struct CGSize {
  CGFloat width;   // in points
  CGFloat height;  // in points
};
struct CGRect {
  CGPoint origin;  // lower-left corner
  CGSize size;     // extent from the origin
};
typedef CGPoint NSPoint;
typedef CGSize NSSize;
typedef CGRect NSRect;

struct NSRange {
  NSUInteger location;  // first index
  NSUInteger length;    // number of elements
};

inline NSPoint NSMakePoint(CGFloat x, CGFloat y) {
  return NSPoint{x, y};
}
inline NSSize NSMakeSize(CGFloat w, CGFloat h) {
  return NSSize{w, h};
}
inline NSRect NSMakeRect(CGFloat x, CGFloat y, CGFloat w, CGFloat h) {
  return NSRect{{x, y}, {w, h}};
}
inline NSRange NSMakeRange(NSUInteger location, NSUInteger length) {
  return NSRange{location, length};
}
inline constexpr NSUInteger NSNotFound = 0x7fffffffffffffffUL;

namespace objc {

// The Objective-C type encoding of a structure passed by value; specialize it for new records.
template <class T>
struct StructEncoding;

template <>
struct StructEncoding<CGPoint> {
  static constexpr const char* value = "{CGPoint=dd}";
};
template <>
struct StructEncoding<CGSize> {
  static constexpr const char* value = "{CGSize=dd}";
};
template <>
struct StructEncoding<CGRect> {
  static constexpr const char* value = "{CGRect={CGPoint=dd}{CGSize=dd}}";
};
template <>
struct StructEncoding<NSRange> {
  static constexpr const char* value = "{_NSRange=QQ}";
};

}  // namespace objc
