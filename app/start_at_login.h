// Start at login: the per-user launch agent that opens the bundle at login, written from a
// fixed template and loaded or unloaded with launchctl.
#pragma once

#include <cstdint>

// The agent's label and the stem of its file name.
extern const char16_t LaunchAgentLabel[];
// The agent file before "{appid}" and "{apppath}" are replaced: 461 characters in 18 lines,
// no line feed after the last.
extern const char16_t LaunchAgentTemplate[];

// 1 installs the agent (writes ~/Library/LaunchAgents/<label>.plist and has launchctl load
// it); 0 has launchctl unload it and deletes the file; any other value does neither.
void SetStartAtLogin(int64_t login);
