// The application's general alert: a message, an informative text and one or two buttons,
// run modally; and the activation that brings the application to the front first.
#pragma once

#include <cstdint>

// Shows a modal alert with the message `title`, the informative text `text` and the
// application's fancy icon. `button1` is always present; `button2` ("" or null for none) is
// added first and so stands on the right. `default_button` (1 or 2) is the one Return
// presses. Answers 1 when button 1 was pressed, 2 for button 2.
int64_t ShowNoteAlert(const char16_t* title, const char16_t* text, int64_t default_button,
                      const char16_t* button1, const char16_t* button2);

// Brings the application and all its windows to the front, ignoring other applications.
void ActivateApplication();
