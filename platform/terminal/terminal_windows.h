// How the terminal protocol names what it shows: window numbers and views by "W.V" ids, shared
// by the commands and the state block. View V of window W is the V-th of the window's views in
// the fixed order of desktop_model.h (from 1); windows without a number are never listed and
// cannot be addressed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/appkit/desktop_model.h"
#include "platform/objc/objc.h"
#include "platform/terminal/terminal_text.h"

namespace terminal {

// The model's windows and views, as every desktop reads them.
using desktop_model::Answers;
using desktop_model::ApplicationWindows;
using desktop_model::FindNumberedWindow;
using desktop_model::FindTextField;
using desktop_model::MakeNSString;
using desktop_model::NumberedViews;
using desktop_model::PlatformClassName;
using desktop_model::StringUnitsOf;
using desktop_model::ViewIsEnabled;
using desktop_model::ViewText;
using desktop_model::WindowNumberOf;

// The view that id names, with its window in *window; nil with *error saying which part
// names nothing.
id FindView(const ViewId& view_id, id* window, std::string* error);

}  // namespace terminal
