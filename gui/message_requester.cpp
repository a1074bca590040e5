// The message requester over NSAlert.
#include "gui/message_requester.h"

#include "gui/cocoa.h"

namespace {

constexpr NSUInteger kInformationalStyle = 1;

id AddButton(id alert, const char* title, NSInteger tag) {
  id button = objc::Send(alert, "addButtonWithTitle:", CocoaStringFromUtf8(title));
  objc::Send<void>(button, "setTag:", tag);
  return button;
}

}  // namespace

int32_t RunMessageAlert(const char16_t* title, const char16_t* text, int64_t flags) {
  id alert = objc::Autorelease(objc::Send(objc::Send(CocoaClass("NSAlert"), "alloc"), "init"));
  if (!alert) return AlertResultNone;
  id key_window = objc::Send(SharedApplication(), "keyWindow");

  objc::Send<void>(alert, "setMessageText:", MakeCocoaString(title));
  objc::Send<void>(alert, "setInformativeText:", MakeCocoaString(text));
  objc::Send<void>(alert, "setShowsHelp:", NO);

  const char* file_type = nullptr;
  if (flags & AlertWarningIcon) {
    file_type = "'caut'";
  } else if (flags & AlertInfoIcon) {
    file_type = "'note'";
  } else if (flags & AlertErrorIcon) {
    file_type = "'stop'";
  }
  if (file_type) {
    id workspace = objc::Send(CocoaClass("NSWorkspace"), "sharedWorkspace");
    objc::Send<void>(alert, "setIcon:",
                     objc::Send(workspace, "iconForFileType:", CocoaStringFromUtf8(file_type)));
  } else {
    objc::Send<void>(alert, "setAlertStyle:", kInformationalStyle);
  }

  int32_t result = AlertResultNone;
  if (flags & (AlertYesNo | AlertYesNoCancel)) {
    AddButton(alert, "Yes", AlertResultYes);
    AddButton(alert, "No", AlertResultNo);
    if (flags & AlertYesNoCancel) AddButton(alert, "Cancel", AlertResultCancel);
    result = static_cast<int32_t>(objc::Send<NSInteger>(alert, "runModal"));
  } else {
    objc::Send<NSInteger>(alert, "runModal");
  }

  if (key_window) objc::Send<void>(key_window, "makeKeyWindow");
  return result;
}

int32_t RunMessageAlertPlain(const char16_t* title, const char16_t* text) {
  return RunMessageAlert(title, text, 0);
}
