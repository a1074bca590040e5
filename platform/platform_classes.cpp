// The list of the platform's class loaders, run once by the object runtime before the first
// class lookup. A new family of classes (AppKit, ...) adds its loader here, after the classes
// it builds on.
#include "platform/appkit/appkit.h"
#include "platform/foundation/foundation.h"
#include "platform/foundation/run_loop.h"
#include "platform/objc/class_record.h"

namespace objc {

void LoadPlatformClasses() {
  foundation::LoadFoundationClasses();
  foundation::LoadRunLoopClasses();
  appkit::LoadAppKitClasses();
}

}  // namespace objc
