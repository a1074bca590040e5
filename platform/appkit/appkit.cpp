// The AppKit class loader and the small helpers the AppKit files share.
#include "platform/appkit/appkit.h"

#include <string>

#include "platform/appkit/image.h"  // LoadNSImageRepClasses, LoadNSImageClass, ...
#include "platform/foundation/string.h"

namespace appkit {

void LoadNSResponderClass();
void LoadNSApplicationClass();
void LoadNSEventClass();
void LoadNSViewClass();
void LoadNSWindowClasses();
void LoadNSScreenClass();
void LoadNSControlClasses();
void LoadNSButtonClasses();
void LoadNSTextFieldClasses();
void LoadNSPopUpButtonClass();
void LoadNSComboBoxClass();
void LoadNSStepperClass();
void LoadNSMenuClass();
void LoadNSMenuItemClass();
void LoadNSAlertClass();
void LoadNSStatusBarClasses();
void LoadNSWorkspaceClass();
void LoadNSColorClass();
void LoadNSFontClass();
void LoadNSRunningApplicationClass();
void LoadNSSpeechSynthesizerClass();

void LoadAppKitClasses() {
  LoadNSResponderClass();
  LoadNSApplicationClass();
  LoadNSEventClass();
  LoadNSViewClass();
  LoadNSWindowClasses();
  LoadNSScreenClass();
  LoadNSImageRepClasses();
  LoadNSImageClass();
  LoadNSGraphicsContextClass();
  LoadNSControlClasses();
  LoadNSButtonClasses();
  LoadNSTextFieldClasses();
  LoadNSPopUpButtonClass();
  LoadNSComboBoxClass();
  LoadNSStepperClass();
  LoadNSMenuClass();
  LoadNSMenuItemClass();
  LoadNSAlertClass();
  LoadNSStatusBarClasses();
  LoadNSWorkspaceClass();
  LoadNSColorClass();
  LoadNSFontClass();
  LoadNSRunningApplicationClass();
  LoadNSSpeechSynthesizerClass();
}

void AssignRetained(id* slot, id value) {
  if (*slot == value) return;
  id old = *slot;
  *slot = objc_retain(value);
  objc_release(old);
}

void AssignCopied(id* slot, id value) {
  id copy = value ? objc::Send(value, "copy") : nil;
  id old = *slot;
  *slot = copy;
  objc_release(old);
}

id EmptyString() {
  static id empty = foundation::NewString(u"");
  return empty;
}

id StringOrEmpty(id string) {
  return string ? string : EmptyString();
}

id Utf8String(const char* text) {
  return foundation::MakeStringFromUtf8(text);
}

}  // namespace appkit
