// A blocking message box over NSAlert: a title, a text, an optional icon and one OK button or
// Yes / No (/ Cancel), answering which button was pressed.
#pragma once

#include <cstdint>

// --- Flags ---
enum : int64_t {
  AlertYesNo = 0x1,         // buttons "Yes" and "No"
  AlertYesNoCancel = 0x2,   // buttons "Yes", "No" and "Cancel"
  AlertInfoIcon = 0x4,      // icon of the file type 'note'
  AlertErrorIcon = 0x8,     // icon of the file type 'stop'
  AlertWarningIcon = 0x10,  // icon of the file type 'caut' (wins over the other two)
};

// --- Results ---
enum : int32_t {
  AlertResultNone = 0,  // only the default button, or the alert could not be made
  AlertResultCancel = 2,
  AlertResultYes = 6,
  AlertResultNo = 7,
};

int32_t RunMessageAlert(const char16_t* title, const char16_t* text, int64_t flags);
// The same with flags 0: one OK button and the informational style.
int32_t RunMessageAlertPlain(const char16_t* title, const char16_t* text);
