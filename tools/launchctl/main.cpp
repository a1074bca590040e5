// launchctl for Linux: `launchctl load PATH` turns a launch agent property list
// into an XDG autostart entry <config>/autostart/<Label>.desktop that starts the
// agent's program at login, and `launchctl unload PATH` removes that entry. An entry
// that launchctl did not write (one without its X-Launchctl-Agent key) is never replaced
// or removed.
//
// Index:
//   --- Reading the launch agent ---
//   --- The Linux command line ---
//   --- The desktop entry ---
//   --- Commands ---
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/property_list.h"

namespace {

// Exit codes.
constexpr int kSuccess = 0;
constexpr int kFailure = 1;
constexpr int kUsage = 2;

void Complain(const std::string& message) {
  fprintf(stderr, "launchctl: %s\n", message.c_str());
}

// --- Reading the launch agent ---

// What an autostart entry is made from.
struct Agent {
  std::string label;                   // Label, the entry's file name stem (UTF-8)
  std::vector<std::string> arguments;  // the program and its arguments (UTF-8), never empty
};

// A label names a file in the autostart folder: one path component, not hidden,
// no control characters.
bool UsableLabel(std::string_view label) {
  if (label.empty() || label[0] == '.') return false;
  for (unsigned char c : label) {
    if (c == '/' || c < 0x20 || c == 0x7F) return false;
  }
  return true;
}

// The string under key, or "" when there is none.
std::string StringAt(const plist::Value& dict, std::u16string_view key) {
  const plist::Value* v = plist::Find(dict, key);
  return v && v->kind == plist::Kind::String ? plist::Utf8FromUtf16(v->string) : std::string();
}

bool ReadAgent(const std::string& path, Agent* agent) {
  plist::Value root;
  switch (plist::ReadFile(path.c_str(), &root)) {
    case plist::ReadResult::Ok:
      break;
    case plist::ReadResult::Missing:
      Complain(path + ": no such file");
      return false;
    case plist::ReadResult::Damaged:
      Complain(path + ": not a readable property list");
      return false;
  }
  agent->label = StringAt(root, u"Label");
  if (!UsableLabel(agent->label)) {
    Complain(path + ": no usable Label");
    return false;
  }
  // As for launchd: ProgramArguments is the argument vector, and Program, when
  // given, is the program run in place of its first entry.
  agent->arguments.clear();
  if (const plist::Value* arguments = plist::Find(root, u"ProgramArguments")) {
    if (arguments->kind != plist::Kind::Array) {
      Complain(path + ": ProgramArguments is not an array");
      return false;
    }
    for (const plist::Value& argument : arguments->array) {
      if (argument.kind != plist::Kind::String) {
        Complain(path + ": ProgramArguments holds something other than strings");
        return false;
      }
      agent->arguments.push_back(plist::Utf8FromUtf16(argument.string));
    }
  }
  const std::string program = StringAt(root, u"Program");
  if (!program.empty()) {
    if (agent->arguments.empty()) agent->arguments.emplace_back();
    agent->arguments[0] = program;
  }
  if (agent->arguments.empty() || agent->arguments[0].empty()) {
    Complain(path + ": neither ProgramArguments nor Program names a program");
    return false;
  }
  return true;
}

// --- The Linux command line ---

std::string_view BaseName(std::string_view path) {
  while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
  const size_t slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

bool EndsWith(std::string_view s, std::string_view suffix) {
  return s.size() > suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

std::string Parent(std::string_view path) {
  const size_t slash = path.rfind('/');
  return slash == std::string_view::npos || slash == 0 ? std::string()
                                                       : std::string(path.substr(0, slash));
}

std::string RealPath(const std::string& path) {
  const std::unique_ptr<char, decltype(&free)> real(realpath(path.c_str(), nullptr), &free);
  return real ? std::string(real.get()) : std::string();
}

bool IsFile(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// What an autostart entry needs to know of a bundle.
struct Bundle {
  std::string name;     // the bundle's name without ".app"
  std::string program;  // the file to start
  std::string icon;     // its icon file, or "" when it names none that exists
};

// An installed bundle P/lib/<name>/<Name>.app is started as P/bin/<name>, a link to its
// program that stays right when the bundle moves on an upgrade; "" when the bundle is not
// installed that way.
std::string InstalledLauncher(const std::string& bundle, const std::string& program) {
  const std::string folder = Parent(bundle);  // P/lib/<name>
  const std::string lib = Parent(folder);
  if (folder.empty() || lib.empty() || BaseName(lib) != "lib") return "";
  const std::string launcher = Parent(lib) + "/bin/" + std::string(BaseName(folder));
  const std::string target = RealPath(program);
  return !target.empty() && RealPath(launcher) == target ? launcher : "";
}

// The bundle's program: its installed launcher, else Contents/MacOS/ and the executable its
// Info.plist names, or the bundle's name; its icon is the file Info.plist names in
// Contents/Resources.
Bundle ReadBundle(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  Bundle bundle;
  std::string_view stem = BaseName(path);
  stem.remove_suffix(4);  // ".app"
  bundle.name = std::string(stem);
  std::string executable = bundle.name;
  plist::Value info;
  if (plist::ReadFile((path + "/Contents/Info.plist").c_str(), &info) == plist::ReadResult::Ok) {
    const std::string named = StringAt(info, u"CFBundleExecutable");
    if (UsableLabel(named)) executable = named;
    const std::string icon = StringAt(info, u"CFBundleIconFile");
    if (UsableLabel(icon) && IsFile(path + "/Contents/Resources/" + icon)) {
      bundle.icon = path + "/Contents/Resources/" + icon;
    }
  }
  bundle.program = path + "/Contents/MacOS/" + executable;
  const std::string launcher = InstalledLauncher(path, bundle.program);
  if (!launcher.empty()) bundle.program = launcher;
  return bundle;
}

// The command line that does on Linux what the agent does on macOS. The
// program's own agent runs "/usr/bin/open BUNDLE", which becomes the bundle's
// program itself; open with one other path or address is left to xdg-open.
// *name receives the entry's display name (the bundle's, else the label) and *icon the
// bundle's icon file, or "".
bool LinuxCommand(const Agent& agent, std::vector<std::string>* command, std::string* name,
                  std::string* icon) {
  const std::vector<std::string>& arguments = agent.arguments;
  *name = agent.label;
  icon->clear();
  if (arguments[0] != "/usr/bin/open" && arguments[0] != "open") {
    *command = arguments;
    return true;
  }
  if (arguments.size() != 2 || arguments[1].empty() || arguments[1][0] == '-') {
    Complain("only \"open PATH\" can be turned into a Linux command");
    return false;
  }
  const std::string_view target = BaseName(arguments[1]);
  if (EndsWith(target, ".app")) {
    const Bundle bundle = ReadBundle(arguments[1]);
    *command = {bundle.program};
    *name = bundle.name;
    *icon = bundle.icon;
  } else {
    *command = {"xdg-open", arguments[1]};
  }
  return true;
}

// --- The desktop entry ---

// One argument of an Exec key, always in double quotes: inside them '"', '`',
// '$' and '\' take a backslash, and '%' is doubled so that it is no field code.
std::string QuoteArgument(std::string_view argument) {
  std::string quoted = "\"";
  for (char c : argument) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') {
      quoted.push_back('\\');
    } else if (c == '%') {
      quoted.push_back('%');
    }
    quoted.push_back(c);
  }
  quoted.push_back('"');
  return quoted;
}

// A value of type string: backslash and the line-breaking characters escaped.
// This is undone before the Exec quoting, so a backslash inside a quoted
// argument ends up written as four.
std::string EscapeValue(std::string_view value) {
  std::string escaped;
  for (char c : value) {
    switch (c) {
      case '\\':
        escaped.append("\\\\");
        break;
      case '\n':
        escaped.append("\\n");
        break;
      case '\t':
        escaped.append("\\t");
        break;
      case '\r':
        escaped.append("\\r");
        break;
      default:
        escaped.push_back(c);
    }
  }
  return escaped;
}

// The key that marks an entry as launchctl's own, with the agent it was made from.
constexpr std::string_view kOwnerKey = "X-Launchctl-Agent=";

// What goes into an autostart entry.
struct Entry {
  std::string name;                  // Name
  std::vector<std::string> command;  // Exec, one string per argument, never empty
  std::string icon;                  // Icon, or "" for none
  std::string agent;                 // the launch agent's path, under kOwnerKey
};

std::string DesktopEntry(Entry entry) {
  // GLib looks for an entry's program before it turns "%%" back into "%", and
  // ignores the entry when it finds none; such a program is started by env.
  if (entry.command[0].find('%') != std::string::npos) {
    entry.command.insert(entry.command.begin(), "env");
  }
  std::string exec;
  for (const std::string& argument : entry.command) {
    if (!exec.empty()) exec.push_back(' ');
    exec += QuoteArgument(argument);
  }
  std::string text = "[Desktop Entry]\nType=Application\nName=" + EscapeValue(entry.name) +
                     "\nExec=" + EscapeValue(exec) + "\n";
  if (!entry.icon.empty()) text += "Icon=" + EscapeValue(entry.icon) + "\n";
  text +=
      "Terminal=false\n"
      "Hidden=false\n"
      "X-GNOME-Autostart-enabled=true\n";
  text.append(kOwnerKey).append(EscapeValue(entry.agent)).push_back('\n');
  return text;
}

enum class Owner { None, Launchctl, Someone };

// Who wrote the entry at path: nobody (there is none, or its folder cannot be searched, which
// writing reports), launchctl, or someone else (an entry written by hand or by another
// program, or one that cannot be read).
Owner EntryOwner(const std::string& path) {
  struct stat st;
  if (lstat(path.c_str(), &st) != 0) return Owner::None;
  if (!S_ISREG(st.st_mode)) return Owner::Someone;
  FILE* file = fopen(path.c_str(), "r");
  if (!file) return Owner::Someone;
  Owner owner = Owner::Someone;
  char line[4096];
  while (owner == Owner::Someone && fgets(line, sizeof line, file)) {
    if (std::string_view(line).substr(0, kOwnerKey.size()) == kOwnerKey) owner = Owner::Launchctl;
  }
  fclose(file);
  return owner;
}

// $XDG_CONFIG_HOME/autostart, else ~/.config/autostart; "" without a home folder.
std::string AutostartFolder() {
  const char* config = getenv("XDG_CONFIG_HOME");
  if (config && config[0] == '/') return std::string(config) + "/autostart";
  std::string home;
  if (const char* env = getenv("HOME"); env && *env) {
    home = env;
  } else if (const passwd* user = getpwuid(getuid()); user && user->pw_dir) {
    home = user->pw_dir;
  }
  if (home.empty()) return "";
  if (home.back() != '/') home.push_back('/');
  return home + ".config/autostart";
}

std::string EntryPath(const std::string& label) {
  const std::string folder = AutostartFolder();
  if (folder.empty()) {
    Complain("no home folder");
    return "";
  }
  return folder + "/" + label + ".desktop";
}

// --- Commands ---

int Load(const std::string& path) {
  Agent agent;
  Entry entry;
  if (!ReadAgent(path, &agent) || !LinuxCommand(agent, &entry.command, &entry.name, &entry.icon)) {
    return kFailure;
  }
  const std::string entry_path = EntryPath(agent.label);
  if (entry_path.empty()) return kFailure;
  if (EntryOwner(entry_path) == Owner::Someone) {
    Complain(entry_path + ": not written by launchctl, so it is left as it is");
    return kFailure;
  }
  entry.agent = path;
  if (!plist::WriteFileAtomically(entry_path.c_str(), DesktopEntry(entry))) {
    Complain(entry_path + ": cannot write: " + strerror(errno));
    return kFailure;
  }
  return kSuccess;
}

// The label comes from the agent file, or, when that has already gone or is
// unreadable, from its name (agents are named <Label>.plist): the program
// deletes the file right after starting the unload.
int Unload(const std::string& path) {
  plist::Value root;
  plist::ReadFile(path.c_str(), &root);
  std::string label = StringAt(root, u"Label");
  if (!UsableLabel(label)) {
    const std::string_view file = BaseName(path);
    label = std::string(EndsWith(file, ".plist") ? file.substr(0, file.size() - 6) : file);
  }
  if (!UsableLabel(label)) {
    Complain(path + ": no usable Label");
    return kFailure;
  }
  const std::string entry = EntryPath(label);
  if (entry.empty()) return kFailure;
  if (EntryOwner(entry) == Owner::Someone) {
    Complain(entry + ": not written by launchctl, so it is left as it is");
    return kFailure;
  }
  // An entry that is not there (nor its folder) is already unloaded.
  if (unlink(entry.c_str()) != 0 && errno != ENOENT && errno != ENOTDIR) {
    Complain(entry + ": cannot remove: " + strerror(errno));
    return kFailure;
  }
  return kSuccess;
}

int Usage() {
  fputs(
      "usage: launchctl load [-w] [-F] PATH...\n"
      "       launchctl unload [-w] PATH...\n",
      stderr);
  return kUsage;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) return Usage();
  const std::string_view command = argv[1];
  const bool load = command == "load";
  if (!load && command != "unload") {
    Complain("unknown command \"" + std::string(command) + "\"");
    return Usage();
  }
  int i = 2;
  // -w (also change the Disabled override) and -F (force) change nothing here.
  for (; i < argc && argv[i][0] == '-'; ++i) {
    const std::string_view option = argv[i];
    if (option == "--") {
      ++i;
      break;
    }
    if (option != "-w" && !(load && option == "-F")) {
      Complain("unknown option " + std::string(option));
      return Usage();
    }
  }
  if (i == argc) return Usage();
  int result = kSuccess;
  for (; i < argc; ++i) {
    if ((load ? Load(argv[i]) : Unload(argv[i])) != kSuccess) result = kFailure;
  }
  return result;
}
