// NSWorkspace: the shared workspace and its file-type icons. An icon is an NSImage named by
// the file type ("'stop'" gives an image named "stop"), which is how desktops show it.
#include <string>

#include "platform/appkit/appkit.h"
#include "platform/foundation/string.h"

namespace {

constexpr double kIconSize = 32;  // points, as Cocoa's file icons

Class gWorkspace;           // NSWorkspace
id gSharedWorkspace = nil;  // made on first use, kept for the whole run

id SharedWorkspace(Class cls, SEL) {
  if (!gSharedWorkspace) gSharedWorkspace = objc::Send(objc::Send(cls, "alloc"), "init");
  return gSharedWorkspace;
}

// -iconForFileType: names the icon by the type without the quotes of a four-letter code.
id IconForFileType(id, SEL, id type) {
  std::u16string name = foundation::StringUnits(type);
  if (name.size() >= 2 && name.front() == u'\'' && name.back() == u'\'') {
    name = name.substr(1, name.size() - 2);
  }
  id image = objc::Send(objc::Send(objc_lookUpClass("NSImage"), "alloc"),
                        "initWithSize:", NSMakeSize(kIconSize, kIconSize));
  objc::Send<BOOL>(image, "setName:", foundation::MakeString(name));
  return objc_autorelease(image);
}

}  // namespace

namespace appkit {

void LoadNSWorkspaceClass() {
  gWorkspace = objc::DefineClass("NSWorkspace", "NSObject");
  objc::AddClassMethod(gWorkspace, "sharedWorkspace", &SharedWorkspace);
  objc::AddMethod(gWorkspace, "iconForFileType:", &IconForFileType);
}

}  // namespace appkit
