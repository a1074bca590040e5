// NSRunningApplication: the current application, which can ask the desktop for the front.
#include <unistd.h>

#include "platform/appkit/appkit.h"
#include "platform/desktop/desktop.h"

namespace {

Class gRunningApplication;  // NSRunningApplication
id gCurrent = nil;          // made on first use, kept for the whole run

id CurrentApplication(Class cls, SEL) {
  if (!gCurrent) gCurrent = objc::Send(objc::Send(cls, "alloc"), "init");
  return gCurrent;
}
// -activateWithOptions: tells the desktop the application wants the front; it always answers
// YES (whether the desktop can raise it is the desktop's business).
BOOL ActivateWithOptions(id, SEL, NSUInteger) {
  CurrentDesktop()->ApplicationActivated();
  return YES;
}
int ProcessIdentifier(id, SEL) {
  return static_cast<int>(getpid());
}
BOOL IsActive(id, SEL) {
  return YES;
}

}  // namespace

namespace appkit {

void LoadNSRunningApplicationClass() {
  gRunningApplication = objc::DefineClass("NSRunningApplication", "NSObject");
  objc::AddClassMethod(gRunningApplication, "currentApplication", &CurrentApplication);
  objc::AddMethod(gRunningApplication, "activateWithOptions:", &ActivateWithOptions);
  objc::AddMethod(gRunningApplication, "processIdentifier", &ProcessIdentifier);
  objc::AddMethod(gRunningApplication, "isActive", &IsActive);
}

}  // namespace appkit
