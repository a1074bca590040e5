// Where the desktop portals (Settings, GlobalShortcuts, the host application registry) answer
// on the session bus.
#pragma once

constexpr const char kPortal[] = "org.freedesktop.portal.Desktop";
constexpr const char kPortalPath[] = "/org/freedesktop/portal/desktop";
