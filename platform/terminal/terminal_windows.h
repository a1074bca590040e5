// How the terminal protocol names what it shows: window numbers, view numbers, the platform
// class of an object and the text of a view, shared by the commands and the state block.
//
// A window's number is what its delegate answers to windowID (0 or more); a window whose
// delegate does not answer, or answers -1 (an alert's panel), has no number, is never listed and
// cannot be addressed. View V of window W is the V-th view, from 1, of a depth-first walk (each
// view before its subviews, in subview order) of the views below W's content view; the content view
// itself and the field editor with everything below it are left out, so focusing a text field
// renumbers nothing.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/terminal/terminal_text.h"
#include "platform/objc/objc.h"

namespace terminal {

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

// The views of window in the order that numbers them (view 1 first).
std::vector<id> NumberedViews(id window);
// The view that id names, with its window in *window; nil with *error saying which part
// names nothing.
id FindView(const ViewId& view_id, id* window, std::string* error);

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

}  // namespace terminal
