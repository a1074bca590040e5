// launchctl for Linux: `launchctl load PATH` turns a launch agent property list
// into an XDG autostart entry <config>/autostart/<Label>.desktop that starts the
// agent's program at login, and `launchctl unload PATH` removes that entry.
//
// Index:
//   --- Reading the launch agent ---
//   --- The Linux command line ---
//   --- The desktop entry ---
//   --- Commands ---
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

// The program inside a bundle: Contents/MacOS/ and the executable its
// Info.plist names, or else the bundle's name without ".app".
std::string BundleProgram(std::string bundle) {
  while (bundle.size() > 1 && bundle.back() == '/') bundle.pop_back();
  std::string_view stem = BaseName(bundle);
  stem.remove_suffix(4);  // ".app"
  std::string executable(stem);
  plist::Value info;
  if (plist::ReadFile((bundle + "/Contents/Info.plist").c_str(), &info) == plist::ReadResult::Ok) {
    const std::string named = StringAt(info, u"CFBundleExecutable");
    if (UsableLabel(named)) executable = named;
  }
  return bundle + "/Contents/MacOS/" + executable;
}

// The command line that does on Linux what the agent does on macOS. The
// program's own agent runs "/usr/bin/open BUNDLE", which becomes the bundle's
// program itself; open with one other path or address is left to xdg-open.
// *name receives the entry's display name: the bundle's, else the label.
bool LinuxCommand(const Agent& agent, std::vector<std::string>* command, std::string* name) {
  const std::vector<std::string>& arguments = agent.arguments;
  *name = agent.label;
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
    *command = {BundleProgram(arguments[1])};
    *name = std::string(target.substr(0, target.size() - 4));
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

std::string DesktopEntry(const std::string& name, std::vector<std::string> command) {
  // GLib looks for an entry's program before it turns "%%" back into "%", and
  // ignores the entry when it finds none; such a program is started by env.
  if (command[0].find('%') != std::string::npos) command.insert(command.begin(), "env");
  std::string exec;
  for (const std::string& argument : command) {
    if (!exec.empty()) exec.push_back(' ');
    exec += QuoteArgument(argument);
  }
  return "[Desktop Entry]\n"
         "Type=Application\n"
         "Name=" +
         EscapeValue(name) +
         "\n"
         "Exec=" +
         EscapeValue(exec) +
         "\n"
         "Terminal=false\n"
         "X-GNOME-Autostart-enabled=true\n";
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
  std::vector<std::string> command;
  std::string name;
  if (!ReadAgent(path, &agent) || !LinuxCommand(agent, &command, &name)) return kFailure;
  const std::string entry = EntryPath(agent.label);
  if (entry.empty()) return kFailure;
  if (!plist::WriteFileAtomically(entry.c_str(), DesktopEntry(name, command))) {
    Complain(entry + ": cannot write: " + strerror(errno));
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
  // An entry that is not there is already unloaded.
  if (unlink(entry.c_str()) != 0 && errno != ENOENT) {
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
