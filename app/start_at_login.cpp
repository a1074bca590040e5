// Start at login: installing and removing the per-user launch agent.
#include "app/start_at_login.h"

#include <cstdio>

#include "core/file.h"
#include "core/filesystem.h"
#include "core/process.h"
#include "core/temp_buffer.h"
#include "core/text.h"
#include "core/utf.h"
#include "gui/selector_bridge.h"

const char16_t LaunchAgentLabel[] = u"com.quorv.Mindel";

const char16_t LaunchAgentTemplate[] =
    u"<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    u"<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
    u"\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    u"<plist version=\"1.0\">\n"
    u"<dict>\n"
    u"\t<key>Label</key>\n"
    u"\t<string>{appid}</string>\n"
    u"\t<key>ProgramArguments</key>\n"
    u"\t<array>\n"
    u"\t\t<string>/usr/bin/open</string>\n"
    u"\t\t<string>{apppath}</string>\n"
    u"\t</array>\n"
    u"\t<key>RunAtLoad</key>\n"
    u"\t<true/>\n"
    u"\t<key>KeepAlive</key>\n"
    u"\t<false/>\n"
    u"\t<key>LimitLoadToSessionType</key>\n"
    u"\t<string>Aqua</string></dict>\n"
    u"</plist>";

namespace {

char16_t* AgentsFolder = nullptr;  // home folder + "Library/LaunchAgents/"
char16_t* AgentFile = nullptr;     // AgentsFolder + label + ".plist"
char16_t* AgentDraft = nullptr;    // AgentsFolder + "." + label + ".plist.new": written first
char16_t* AppPath = nullptr;       // the running bundle's path
char16_t* AgentText = nullptr;     // the template with its placeholders replaced
char16_t* Command = nullptr;       // launchctl's parameter string

// Fills AgentsFolder, AgentFile and AppPath; 0 when the bundle has no path.
int FindPaths() {
  id bundle = SelectorObject(SelectorSend0(nullptr, nil, "NSBundle mainBundle"));
  id path = SelectorObject(SelectorSend0(nullptr, bundle, "bundlePath"));
  const char* utf8 = reinterpret_cast<const char*>(SelectorSend0(nullptr, path, "UTF8String"));
  if (utf8 == nullptr) return 0;

  PushTempStart();
  int64_t offset = PopTempStart();
  Utf8ToTemp(utf8, offset);
  StoreTemp(&AppPath, offset);

  PushTempStart();
  offset = PopTempStart();
  HomeDirectoryPath(offset);
  AppendTemp(u"Library/LaunchAgents/");
  StoreTemp(&AgentsFolder, offset);

  PushTempStart();
  offset = PopTempStart();
  AppendTemp(AgentsFolder);
  AppendTemp(LaunchAgentLabel);
  AppendTemp(u".plist");
  StoreTemp(&AgentFile, offset);

  // Hidden and without the .plist ending, so that a draft left by a crash is never taken
  // for an agent; the next install writes over it.
  PushTempStart();
  offset = PopTempStart();
  AppendTemp(AgentsFolder);
  AppendTemp(u".");
  AppendTemp(LaunchAgentLabel);
  AppendTemp(u".plist.new");
  StoreTemp(&AgentDraft, offset);
  return 1;
}

// Starts launchctl with verb and the quoted agent file path; with wait, returns after it
// has ended.
void RunLaunchctl(const char16_t* verb, int flags) {
  PushTempStart();
  const int64_t offset = PopTempStart();
  AppendTemp(verb);
  AppendTemp(u" \"");
  AppendTemp(AgentFile);
  AppendTemp(u"\"");
  StoreTemp(&Command, offset);
  if (LaunchProgram(u"launchctl", Command, u"", flags) == 0) {
    // The agent file is still written and removed; only the service manager is not told.
    std::fputs(
        "Mindel: launchctl cannot be started (is it on PATH?): the login item's file "
        "is changed, but the service manager is not told\n",
        stderr);
  }
}

// The setting still says "on" while no agent exists: the user is told why.
void ReportAgentNotWritten() {
  char* path = ToUtf8(AgentFile);
  std::fprintf(stderr,
               "Mindel: the login item %s cannot be written: Mindel will not start at "
               "login\n",
               path ? path : "");
  FreeUtf8(path);
}

void InstallAgent() {
  if (PathSize(AgentsFolder) != -2 && MakeDirectory(AgentsFolder) == 0) {
    ReportAgentNotWritten();
    return;
  }
  // The agent is written beside its place and then put there in one step, so that the file
  // is never seen half written, not even after a crash.
  const int64_t file = FileCreate(-1, AgentDraft);
  if (FileIsOpen(file) == 0) {
    ReportAgentNotWritten();
    return;
  }

  PushTempStart();
  int64_t offset = PopTempStart();
  TextReplace(LaunchAgentTemplate, u"{appid}", LaunchAgentLabel, offset);
  StoreTemp(&AgentText, offset);
  PushTempStart();
  offset = PopTempStart();
  TextReplace(AgentText, u"{apppath}", AppPath, offset);
  StoreTemp(&AgentText, offset);

  const int64_t written = FileWriteText(file, AgentText, 2);
  FileClose(file);
  // A draft shorter than the text (a full disk) must not take the agent's place.
  if (written == 0 || PathSize(AgentDraft) != written) {
    RemoveFile(AgentDraft);
    ReportAgentNotWritten();
    return;
  }
  if (ReplaceFile(AgentDraft, AgentFile) == 0) {
    ReportAgentNotWritten();
    return;
  }
  RunLaunchctl(u"load", 0);  // detached: the file is complete and closed
}

void RemoveAgent() {
  if (PathSize(AgentFile) == -1) return;
  // Waiting for launchctl to end makes sure it has read the file before it is deleted.
  RunLaunchctl(u"unload", kLaunchWait);
  RemoveFile(AgentFile, 2);
}

}  // namespace

void SetStartAtLogin(int64_t login) {
  // A stored value other than 0 or 1 toggles to neither (1 - 2 is -1): nothing is done.
  if (login != 0 && login != 1) return;
  if (FindPaths() == 0) return;
  if (login == 1) {
    InstallAgent();
  } else {
    RemoveAgent();
  }
}
