// NSUserDefaults: the application's settings in ~/Library/Preferences/<program>.plist, the
// global domain (AppleInterfaceStyle) and registered defaults.
#pragma once

#include <string>

#include "platform/foundation/property_list.h"

namespace foundation {

void LoadNSUserDefaultsClass();

// The user's home folder: HOME, else the password database; "" when neither knows it.
std::string HomeFolder();

// Whether reading the global domain asks the desktop for its appearance.
enum class DesktopAppearance {
  Ignored,  // only the file and MINDEL_APPEARANCE
  Asked,    // also CurrentDesktop()->PrefersDark() when neither of those says
};

// The global domain as it is now: ~/Library/Preferences/.GlobalPreferences.plist, with
// AppleInterfaceStyle "Dark" when MINDEL_APPEARANCE=dark, none when MINDEL_APPEARANCE=light
// (the variable overrides the file), else the file's own value, else, when asked for, "Dark"
// when the desktop prefers a dark appearance. Always a Dictionary.
plist::Value ReadGlobalDomain(const std::string& home, DesktopAppearance desktop);

// "Dark" when the Linux desktop prefers a dark colour scheme, else "". Reads only small
// files and the environment: GTK_THEME ending in ":dark", the GNOME color-scheme in the dconf
// database, GTK settings.ini and KDE's kdeglobals.
std::u16string DesktopInterfaceStyle(const std::string& home);

}  // namespace foundation
