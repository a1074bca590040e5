// What every desktop needs of the AppKit model: the program's numbered windows and their views
// in a fixed order, what a view shows, and the things a person does to them (a click, a key, a
// choice in a pop-up, a step, the close box), each put into the model the way a real one
// arrives, so that both desktops drive the program alike.
//
// A window's number is what its delegate answers to windowID (0 or more); a window whose
// delegate does not answer, or answers -1 (an alert's panel), has no number. The views of a
// window are those below its content view, depth-first (each view before its subviews, in
// subview order), leaving out the field editor and everything below it, so focusing a text
// field reorders nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/desktop/key_names.h"
#include "platform/objc/objc.h"

namespace desktop_model {

// --- Reading the model ---

// True when obj is not nil and implements selector.
bool Answers(id obj, const char* selector);
// The UTF-16 units of an NSString (empty for nil or any other object).
std::u16string StringUnitsOf(id string);
// An autoreleased NSString of units.
id MakeNSString(const std::u16string& units);

// The windows of the application, in creation order (NSApp's `windows`).
std::vector<id> ApplicationWindows();
// Stores the number of window in *number; false when the window has no number.
bool WindowNumberOf(id window, int64_t* number);
// The window numbered number; nil when none has it.
id FindNumberedWindow(int64_t number);
// The views of window in their fixed order.
std::vector<id> NumberedViews(id window);

// The name of the nearest platform class of obj: its class or the first superclass whose
// name starts with "NS" ("NSButton" for the runtime's Vo_NSButton); the class's own name
// when there is none.
std::string PlatformClassName(id obj);
// The text a view shows: its title when it has one (buttons, boxes), else its string value
// (text fields, and controls that show a value); empty for other views.
std::u16string ViewText(id view);
// True when a control is enabled; views that are not controls count as enabled.
bool ViewIsEnabled(id view);
// The first NSTextField at or below view (depth-first); nil when none.
id FindTextField(id view);

// --- What a person does ---

// Sends a control's action to its target as the control itself would.
void SendControlAction(id control);
// A mouse click (down and up) at the centre of view, posted to the application.
bool ClickView(id window, id view);
// Makes view the first responder of window, and window the key window where it can be.
// Answers false when the view does not take the focus.
bool FocusView(id window, id view);
// A key press (down and up) posted to the application for the key window.
bool PressKey(id window, const KeyStroke& key);
// Chooses item index of a pop-up button, as the person's choice in its menu.
void ChoosePopUpItem(id view, NSInteger index);
// One click on the up (or down) arrow of a stepper: the value moves by its increment,
// wrapping or stopping at the ends, and the action is sent.
void StepStepper(id view, bool up);
// The close box of window: asks it to close as a click on the box would.
void CloseWindow(id window);

}  // namespace desktop_model
