// The Core Foundation calls of the platform: strings, URLs and the main bundle. A CFStringRef
// is an NSString, a CFURLRef an NSURL and a CFBundleRef an NSBundle, so each can also be
// sent messages; CFRelease and CFRetain are release and retain.
#pragma once

#include <cstdint>

extern "C" {

typedef long CFIndex;
typedef unsigned long CFOptionFlags;
typedef unsigned char Boolean;
typedef uint8_t UInt8;
typedef uint16_t UniChar;
typedef uint32_t CFStringEncoding;
typedef const void* CFTypeRef;
typedef const struct __CFAllocator* CFAllocatorRef;
typedef const struct __CFString* CFStringRef;
typedef struct __CFString* CFMutableStringRef;
typedef const struct __CFURL* CFURLRef;
typedef struct __CFBundle* CFBundleRef;

// A range of UTF-16 units.
typedef struct CFRange {
  CFIndex location;  // first unit
  CFIndex length;    // number of units
} CFRange;

typedef enum : CFIndex { kCFURLPOSIXPathStyle = 0 } CFURLPathStyle;

enum : CFStringEncoding {
  kCFStringEncodingMacRoman = 0,
  kCFStringEncodingISOLatin1 = 0x0201,
  kCFStringEncodingASCII = 0x0600,
  kCFStringEncodingUnicode = 0x0100,
  kCFStringEncodingUTF16 = 0x0100,
  kCFStringEncodingUTF8 = 0x08000100,
};

// The default allocator (null); every allocator behaves as the default.
extern const CFAllocatorRef kCFAllocatorDefault;

inline CFRange CFRangeMake(CFIndex location, CFIndex length) {
  return CFRange{location, length};
}

CFTypeRef CFRetain(CFTypeRef object);
void CFRelease(CFTypeRef object);

// A new string (+1) decoded from bytes; null when they are not valid in the encoding. With
// is_external_representation, UTF-16 may start with a byte-order mark that is honoured.
CFStringRef CFStringCreateWithBytes(CFAllocatorRef allocator, const UInt8* bytes,
                                    CFIndex byte_count, CFStringEncoding encoding,
                                    Boolean is_external_representation);
CFStringRef CFStringCreateWithCString(CFAllocatorRef allocator, const char* text,
                                      CFStringEncoding encoding);
CFIndex CFStringGetLength(CFStringRef string);
UniChar CFStringGetCharacterAtIndex(CFStringRef string, CFIndex index);
// Converts the units of range into buffer (at most max_length bytes; a null buffer only
// measures). A unit the encoding cannot hold becomes loss_byte, or ends the conversion when
// loss_byte is 0. Answers the units converted and sets *used_length to the bytes written.
CFIndex CFStringGetBytes(CFStringRef string, CFRange range, CFStringEncoding encoding,
                         UInt8 loss_byte, Boolean is_external_representation, UInt8* buffer,
                         CFIndex max_length, CFIndex* used_length);
// Writes the text NUL-terminated; false when it does not fit or cannot be converted.
Boolean CFStringGetCString(CFStringRef string, char* buffer, CFIndex size,
                           CFStringEncoding encoding);
Boolean CFStringHasSuffix(CFStringRef string, CFStringRef suffix);
Boolean CFStringHasPrefix(CFStringRef string, CFStringRef prefix);
CFMutableStringRef CFStringCreateMutableCopy(CFAllocatorRef allocator, CFIndex max_length,
                                             CFStringRef string);
void CFStringAppend(CFMutableStringRef string, CFStringRef appended);

// The main bundle (not owned by the caller), its folder as a new file URL (+1), and a URL's
// path written NUL-terminated into buffer (false when it does not fit).
CFBundleRef CFBundleGetMainBundle(void);
CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle);
Boolean CFURLGetFileSystemRepresentation(CFURLRef url, Boolean resolve_against_base, UInt8* buffer,
                                         CFIndex max_length);
CFStringRef CFURLCopyFileSystemPath(CFURLRef url, CFURLPathStyle style);
CFURLRef CFURLCreateWithFileSystemPath(CFAllocatorRef allocator, CFStringRef path,
                                       CFURLPathStyle style, Boolean is_directory);

}  // extern "C"
