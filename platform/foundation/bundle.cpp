// NSBundle: the main bundle, found from the program's own path exactly as on the original
// platform (X.app/Contents/MacOS/program), with its Info.plist read once.
#include "platform/foundation/bundle.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "platform/foundation/core_foundation.h"
#include "platform/foundation/dictionary.h"
#include "platform/foundation/foundation.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/property_list_objects.h"
#include "platform/foundation/string.h"
#include "platform/objc/objc.h"

namespace {

// The instance variable of a bundle.
struct BundleFields {
  foundation::BundleLayout layout;  // its paths
  id info = nil;                    // retained NSDictionary of Info.plist (empty when absent)
};

Class gBundle;           // NSBundle
ptrdiff_t gFields = -1;  // offset of BundleFields
id gMainBundle;          // made on first use, kept for the whole run

BundleFields& Fields(id self) {
  return objc::FieldAt<BundleFields>(self, gFields);
}

std::string Parent(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

id MainBundle(Class, SEL) {
  if (!gMainBundle) gMainBundle = foundation::NewBundleForProgram(foundation::ProgramPath());
  return gMainBundle;
}

void Dealloc(id self, SEL sel) {
  objc_release(Fields(self).info);
  objc::SendSuper<void>(self, gBundle, sel);
}

id PathString(const std::string& path) {
  return foundation::MakeStringFromUtf8(path);
}

id BundlePath(id self, SEL) {
  return PathString(Fields(self).layout.bundle_path);
}
id ExecutablePath(id self, SEL) {
  return PathString(Fields(self).layout.executable_path);
}
id ResourcePath(id self, SEL) {
  return PathString(Fields(self).layout.resource_path);
}
id InfoDictionary(id self, SEL) {
  return Fields(self).info;
}
id InfoObject(id self, SEL, id key) {
  return objc::Send(Fields(self).info, "objectForKey:", key);
}
id BundleIdentifier(id self, SEL sel) {
  id value = InfoObject(self, sel, foundation::MakeString(u"CFBundleIdentifier"));
  return foundation::IsString(value) ? value : nil;
}
id BundleURL(id self, SEL) {
  return foundation::MakeFileURL(Fields(self).layout.bundle_path);
}
// The resource's path when the file exists, else nil.
id PathForResource(id self, SEL, id name, id type) {
  std::string path = Fields(self).layout.resource_path + "/" + foundation::StringUtf8(name);
  std::string extension = foundation::StringUtf8(type);
  if (!extension.empty()) path += (extension[0] == '.' ? "" : ".") + extension;
  return access(path.c_str(), F_OK) == 0 ? PathString(path) : nil;
}

}  // namespace

namespace foundation {

BundleLayout LayoutForProgram(const std::string& program_path) {
  BundleLayout layout;
  layout.executable_path = program_path;
  std::string folder = Parent(program_path);
  std::string candidate = Parent(Parent(folder));
  if (EndsWith(candidate, ".app") && EndsWith(Parent(folder), "/Contents")) {
    layout.bundle_path = candidate;
    layout.resource_path = candidate + "/Contents/Resources";
  } else {
    layout.bundle_path = folder;
    layout.resource_path = folder;
  }
  layout.info_path = layout.bundle_path + "/Contents/Info.plist";
  return layout;
}

id NewBundleForProgram(const std::string& program_path) {
  objc::EnsureClassesLoaded();
  id bundle = class_createInstance(gBundle, 0);
  if (!bundle) return nil;
  BundleFields& f = Fields(bundle);
  f.layout = LayoutForProgram(program_path);
  plist::Value info;
  id dictionary = nil;
  // A missing or damaged Info.plist gives an empty (or partial) dictionary.
  if (plist::ReadFile(f.layout.info_path.c_str(), &info) != plist::ReadResult::Missing &&
      info.kind == plist::Kind::Dictionary) {
    objc::AutoreleasePool pool;
    dictionary = objc_retain(ObjectFromPlist(info));
  }
  if (!dictionary) dictionary = objc_retain(MakeDictionary({}));
  f.info = dictionary;
  return bundle;
}

std::string PathWithFolderAppended(const char* path, const std::string& folder) {
  if (!path || !*path) return folder;
  const std::string_view elements = path;
  for (size_t start = 0;;) {
    const size_t colon = elements.find(':', start);
    if (elements.substr(start, colon - start) == folder) return std::string(elements);
    if (colon == std::string_view::npos) break;
    start = colon + 1;
  }
  return std::string(elements) + ":" + folder;
}

void AppendBundleHelpersToPath() {
  const BundleLayout layout = LayoutForProgram(ProgramPath());
  if (layout.resource_path == layout.bundle_path) return;  // not inside X.app/Contents/MacOS
  const std::string helpers = layout.bundle_path + "/Contents/Helpers";
  struct stat st;
  if (stat(helpers.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return;
  if (helpers.find(':') != std::string::npos) {
    std::fprintf(stderr,
                 "Mindel: the helpers folder %s has a colon in its path and cannot go on PATH: "
                 "start at login and opening web pages need launchctl and Open elsewhere\n",
                 helpers.c_str());
    return;
  }
  setenv("PATH", PathWithFolderAppended(getenv("PATH"), helpers).c_str(), 1);
}

std::string ProgramPath() {
  char path[PATH_MAX];
  ssize_t size = readlink("/proc/self/exe", path, sizeof(path) - 1);
  if (size <= 0) return "";
  return std::string(path, static_cast<size_t>(size));
}

std::string ProgramName() {
  std::string path = ProgramPath();
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void LoadNSBundleClass() {
  gBundle = objc::DefineClass("NSBundle", "NSObject");
  gFields = objc::AddCxxIvar<BundleFields>(gBundle, "_fields");
  objc::AddClassMethod(gBundle, "mainBundle", &MainBundle);
  objc::AddMethod(gBundle, "dealloc", &Dealloc);
  objc::AddMethod(gBundle, "bundlePath", &BundlePath);
  objc::AddMethod(gBundle, "executablePath", &ExecutablePath);
  objc::AddMethod(gBundle, "resourcePath", &ResourcePath);
  objc::AddMethod(gBundle, "infoDictionary", &InfoDictionary);
  objc::AddMethod(gBundle, "objectForInfoDictionaryKey:", &InfoObject);
  objc::AddMethod(gBundle, "bundleIdentifier", &BundleIdentifier);
  objc::AddMethod(gBundle, "bundleURL", &BundleURL);
  objc::AddMethod(gBundle, "pathForResource:ofType:", &PathForResource);
}

std::string MainBundleInfoString(const char* key, const char* fallback) {
  objc::AutoreleasePool pool;
  id bundle = objc::Send(objc_lookUpClass("NSBundle"), "mainBundle");
  id value =
      bundle ? objc::Send(bundle, "objectForInfoDictionaryKey:", MakeStringFromUtf8(key)) : nil;
  std::string text = IsString(value) ? StringUtf8(value) : "";
  return text.empty() ? fallback : text;
}

}  // namespace foundation

extern "C" CFBundleRef CFBundleGetMainBundle(void) {
  return reinterpret_cast<CFBundleRef>(objc::Send(objc_lookUpClass("NSBundle"), "mainBundle"));
}

extern "C" CFURLRef CFBundleCopyBundleURL(CFBundleRef bundle) {
  id object = reinterpret_cast<id>(bundle);
  if (!object || !objc::IsKindOf(object, gBundle)) return nullptr;
  return reinterpret_cast<CFURLRef>(objc_retain(objc::Send(object, "bundleURL")));
}
