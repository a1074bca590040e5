// NSUserDefaults: the application's settings in ~/Library/Preferences/<program>.plist, the
// global domain (AppleInterfaceStyle) and registered defaults.
#pragma once

#include <string>

#include "platform/foundation/property_list.h"

namespace foundation {

void LoadNSUserDefaultsClass();

// The user's home folder: HOME, else the password database; "" when neither knows it.
std::string HomeFolder();

// The global domain: ~/Library/Preferences/.GlobalPreferences.plist, with AppleInterfaceStyle
// ("Dark") taken from the desktop when the file does not set it. MINDEL_APPEARANCE=dark|light
// overrides both. Always a Dictionary.
plist::Value ReadGlobalDomain(const std::string& home);

// "Dark" when the Linux desktop prefers a dark colour scheme, else "". Reads only small
// files and the environment: GTK_THEME ending in ":dark", the GNOME color-scheme in the dconf
// database, GTK settings.ini and KDE's kdeglobals.
std::u16string DesktopInterfaceStyle(const std::string& home);

}  // namespace foundation
