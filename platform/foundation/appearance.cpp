// The global defaults domain and the desktop's light or dark preference behind
// AppleInterfaceStyle. Only files, the environment and the desktop's own answer are read, never
// a program, so a lookup never waits on the desktop.
#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <string>

#include "platform/desktop/desktop.h"
#include "platform/foundation/user_defaults.h"

namespace foundation {

namespace {

// Settings files are small; more than this is not read (a larger dconf database is scanned
// only in its first part).
constexpr size_t kMaxSettingsFile = 4 << 20;

std::string ReadSmallFile(const std::string& path) {
  std::string bytes;
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return bytes;
  char buffer[65536];
  while (bytes.size() < kMaxSettingsFile) {
    ssize_t got = read(fd, buffer, sizeof(buffer));
    if (got <= 0) break;
    bytes.append(buffer, static_cast<size_t>(got));
  }
  close(fd);
  return bytes;
}

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool EndsWith(const std::string& text, const std::string& suffix) {
  return text.size() >= suffix.size() &&
         text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The value of "key = value" in an ini-style file, lower-cased; "" when absent. key is given in
// lower case and matched without regard to case.
std::string IniValue(const std::string& text, const std::string& key) {
  size_t start = 0;
  std::string found;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    size_t eq = line.find('=');
    if (eq != std::string::npos) {
      std::string name = line.substr(0, eq);
      while (!name.empty() && std::isspace(static_cast<unsigned char>(name.back())))
        name.pop_back();
      while (!name.empty() && std::isspace(static_cast<unsigned char>(name.front()))) {
        name.erase(0, 1);
      }
      if (Lower(name) == key) {  // KDE writes ColorScheme
        found = line.substr(eq + 1);
        while (!found.empty() && std::isspace(static_cast<unsigned char>(found.front()))) {
          found.erase(0, 1);
        }
        while (!found.empty() && std::isspace(static_cast<unsigned char>(found.back()))) {
          found.pop_back();
        }
      }
    }
    start = end + 1;
  }
  return Lower(found);
}

std::string ConfigFolder(const std::string& home) {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && xdg[0] == '/') return xdg;
  return home.empty() ? "" : home + "/.config";
}

}  // namespace

std::u16string DesktopInterfaceStyle(const std::string& home) {
  const char* theme = std::getenv("GTK_THEME");
  if (theme && EndsWith(Lower(theme), ":dark")) return u"Dark";
  std::string config = ConfigFolder(home);
  if (config.empty()) return u"";
  // GNOME keeps org.gnome.desktop.interface color-scheme in the dconf database, where a
  // string value is stored with its terminating NUL.
  std::string dconf = ReadSmallFile(config + "/dconf/user");
  if (dconf.find(std::string("prefer-dark\0", 12)) != std::string::npos) return u"Dark";
  for (const char* file : {"/gtk-4.0/settings.ini", "/gtk-3.0/settings.ini"}) {
    std::string settings = ReadSmallFile(config + file);
    std::string prefer = IniValue(settings, "gtk-application-prefer-dark-theme");
    if (prefer == "1" || prefer == "true") return u"Dark";
    if (IniValue(settings, "gtk-theme-name").find("dark") != std::string::npos) return u"Dark";
  }
  if (IniValue(ReadSmallFile(config + "/kdeglobals"), "colorscheme").find("dark") !=
      std::string::npos) {
    return u"Dark";
  }
  return u"";
}

plist::Value ReadGlobalDomain(const std::string& home, DesktopAppearance desktop) {
  plist::Value global = plist::Value::Dictionary();
  if (!home.empty()) {
    plist::Value read;
    if (plist::ReadFile((home + "/Library/Preferences/.GlobalPreferences.plist").c_str(), &read) !=
            plist::ReadResult::Missing &&
        read.kind == plist::Kind::Dictionary) {
      global = std::move(read);
    }
  }
  const char* override_style = std::getenv("MINDEL_APPEARANCE");
  std::string forced = override_style ? Lower(override_style) : "";
  if (forced == "dark") {
    plist::Set(&global, u"AppleInterfaceStyle", plist::Value::String(u"Dark"));
  } else if (forced == "light") {
    plist::Remove(&global, u"AppleInterfaceStyle");
  } else if (desktop == DesktopAppearance::Asked && !plist::Find(global, u"AppleInterfaceStyle") &&
             CurrentDesktop()->PrefersDark()) {
    plist::Set(&global, u"AppleInterfaceStyle", plist::Value::String(u"Dark"));
  }
  return global;
}

}  // namespace foundation
