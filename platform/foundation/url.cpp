// NSURL, file URLs only: a path and the calls that turn it back into a path.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "platform/foundation/bundle.h"
#include "platform/foundation/core_foundation.h"
#include "platform/foundation/foundation.h"
#include "platform/foundation/string.h"
#include "platform/objc/objc.h"

namespace {

Class gURL;            // NSURL
ptrdiff_t gPath = -1;  // offset of the std::string path (UTF-8)

std::string& Path(id self) {
  return objc::FieldAt<std::string>(self, gPath);
}

// Drops a trailing slash (but keeps "/"), as file URLs' paths do.
std::string Standardized(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

id WithPath(Class cls, SEL, id path) {
  if (!foundation::IsString(path)) return nil;
  id url = class_createInstance(cls, 0);
  if (!url) return nil;
  Path(url) = Standardized(foundation::StringUtf8(path));
  return objc_autorelease(url);
}
id WithPathIsDirectory(Class cls, SEL sel, id path, BOOL) {
  return WithPath(cls, sel, path);
}

id GetPath(id self, SEL) {
  return foundation::MakeStringFromUtf8(Path(self));
}
BOOL IsFileURL(id, SEL) {
  return YES;
}
// "file://" and the path with the characters a URL cannot hold percent-encoded.
id AbsoluteString(id self, SEL) {
  std::string text = "file://";
  for (unsigned char c : Path(self)) {
    if (std::isalnum(c) || std::strchr("/-._~!$&'()*+,;=:@", c)) {
      text.push_back(static_cast<char>(c));
    } else {
      char escape[4];
      std::snprintf(escape, sizeof(escape), "%%%02X", c);
      text += escape;
    }
  }
  return foundation::MakeStringFromUtf8(text);
}
BOOL IsEqual(id self, SEL, id other) {
  return other && objc::IsKindOf(other, gURL) && Path(other) == Path(self) ? YES : NO;
}
id Copy(id self, SEL) {
  return objc_retain(self);
}

}  // namespace

namespace foundation {

id MakeFileURL(const std::string& path) {
  objc::EnsureClassesLoaded();
  id url = class_createInstance(gURL, 0);
  if (!url) return nil;
  Path(url) = Standardized(path);
  return objc_autorelease(url);
}

std::string URLPath(id url) {
  return url && objc::IsKindOf(url, gURL) ? Path(url) : "";
}

void LoadNSURLClass() {
  gURL = objc::DefineClass("NSURL", "NSObject");
  gPath = objc::AddCxxIvar<std::string>(gURL, "_path");
  objc::AddClassMethod(gURL, "fileURLWithPath:", &WithPath);
  objc::AddClassMethod(gURL, "fileURLWithPath:isDirectory:", &WithPathIsDirectory);
  objc::AddMethod(gURL, "path", &GetPath);
  objc::AddMethod(gURL, "isFileURL", &IsFileURL);
  objc::AddMethod(gURL, "absoluteString", &AbsoluteString);
  objc::AddMethod(gURL, "description", &AbsoluteString);
  objc::AddMethod(gURL, "isEqual:", &IsEqual);
  objc::AddMethod(gURL, "copy", &Copy);
}

}  // namespace foundation

extern "C" Boolean CFURLGetFileSystemRepresentation(CFURLRef url, Boolean, UInt8* buffer,
                                                    CFIndex max_length) {
  id object = reinterpret_cast<id>(const_cast<__CFURL*>(url));
  if (!object || !objc::IsKindOf(object, gURL) || !buffer || max_length <= 0) return false;
  const std::string& path = Path(object);
  if (path.size() + 1 > static_cast<size_t>(max_length)) return false;
  std::memcpy(buffer, path.c_str(), path.size() + 1);
  return true;
}

extern "C" CFStringRef CFURLCopyFileSystemPath(CFURLRef url, CFURLPathStyle) {
  id object = reinterpret_cast<id>(const_cast<__CFURL*>(url));
  if (!object || !objc::IsKindOf(object, gURL)) return nullptr;
  return reinterpret_cast<CFStringRef>(objc_retain(foundation::MakeStringFromUtf8(Path(object))));
}

extern "C" CFURLRef CFURLCreateWithFileSystemPath(CFAllocatorRef, CFStringRef path, CFURLPathStyle,
                                                  Boolean) {
  id string = reinterpret_cast<id>(const_cast<__CFString*>(path));
  if (!foundation::IsString(string)) return nullptr;
  return reinterpret_cast<CFURLRef>(
      objc_retain(foundation::MakeFileURL(foundation::StringUtf8(string))));
}
