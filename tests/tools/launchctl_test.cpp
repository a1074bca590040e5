// Tests of the launchctl helper, run as a program on a temporary home folder.
#include <fcntl.h>
#include <ftw.h>
#include <gtest/gtest.h>
#include <limits.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/foundation/property_list.h"

namespace {

// The helper as the build puts it in the bundle; MINDEL_BUILD_DIR is set by
// CTest, and otherwise the build folder is the one above this test's folder.
std::string HelperPath() {
  std::string build;
  if (const char* dir = getenv("MINDEL_BUILD_DIR"); dir && *dir) {
    build = dir;
  } else {
    char self[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    build = std::string(self, n > 0 ? static_cast<size_t>(n) : 0);
    for (int up = 0; up < 2 && build.rfind('/') != std::string::npos; ++up) {
      build.resize(build.rfind('/'));
    }
  }
  return build + "/Mindel.app/Contents/Helpers/launchctl";
}

std::string ReadWhole(const std::string& path) {
  std::string bytes;
  FILE* f = fopen(path.c_str(), "rb");
  if (!f) return "<missing>";
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) bytes.append(buffer, n);
  fclose(f);
  return bytes;
}

bool Exists(const std::string& path) {
  struct stat st;
  return lstat(path.c_str(), &st) == 0;
}

// The launch agent exactly as the program writes it: its fixed template with
// the label and the bundle path put in as they are.
std::string LaunchAgent(const std::string& label, const std::string& bundle) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
         "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
         "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
         "<plist version=\"1.0\">\n"
         "<dict>\n"
         "\t<key>Label</key>\n"
         "\t<string>" +
         label +
         "</string>\n"
         "\t<key>ProgramArguments</key>\n"
         "\t<array>\n"
         "\t\t<string>/usr/bin/open</string>\n"
         "\t\t<string>" +
         bundle +
         "</string>\n"
         "\t</array>\n"
         "\t<key>RunAtLoad</key>\n"
         "\t<true/>\n"
         "\t<key>KeepAlive</key>\n"
         "\t<false/>\n"
         "\t<key>LimitLoadToSessionType</key>\n"
         "\t<string>Aqua</string></dict>\n"
         "</plist>";
}

// A home folder of its own for each test, and a way to run the helper in it.
class Launchctl : public testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/launchctl_test.XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    home_ = pattern;
    agent_ = home_ + "/Library/LaunchAgents/com.quorv.Mindel.plist";
    entry_ = home_ + "/.config/autostart/com.quorv.Mindel.desktop";
  }

  void TearDown() override {
    nftw(
        home_.c_str(),
        [](const char* p, const struct stat*, int, struct FTW*) { return remove(p); }, 16,
        FTW_DEPTH | FTW_PHYS);
  }

  // Runs the helper with HOME set to the test's home; answers its exit code
  // and leaves what it wrote on standard error in errors_.
  int Run(const std::vector<std::string>& arguments,
          const std::vector<std::string>& extra_environment = {}) {
    const std::string helper = HelperPath();
    const std::string errors_path = home_ + "/stderr.txt";
    const pid_t child = fork();
    if (child == 0) {
      const int fd = open(errors_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (fd < 0 || dup2(fd, 2) < 0) _exit(125);
      std::vector<std::string> environment = {"HOME=" + home_, "PATH=/usr/bin:/bin"};
      environment.insert(environment.end(), extra_environment.begin(), extra_environment.end());
      std::vector<char*> argv = {const_cast<char*>(helper.c_str())};
      for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      std::vector<char*> envp;
      for (std::string& e : environment) envp.push_back(e.data());
      envp.push_back(nullptr);
      execve(helper.c_str(), argv.data(), envp.data());
      _exit(126);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child) return -1;
    errors_ = ReadWhole(errors_path);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  void WriteAgent(const std::string& text) {
    ASSERT_TRUE(plist::WriteFileAtomically(agent_.c_str(), text));
  }

  std::string home_;    // the temporary home folder
  std::string agent_;   // where the program writes its launch agent
  std::string entry_;   // the autostart entry for the program's label
  std::string errors_;  // standard error of the last run
};

TEST_F(Launchctl, LoadWritesAnAutostartEntryForTheBundleProgram) {
  ASSERT_TRUE(Exists(HelperPath())) << "expected the helper built at " << HelperPath();
  WriteAgent(LaunchAgent("com.quorv.Mindel", "/Applications/My Apps/Mindel.app"));
  ASSERT_EQ(Run({"load", agent_}), 0) << errors_;
  EXPECT_EQ(ReadWhole(entry_),
            "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=Mindel\n"
            "Exec=\"/Applications/My Apps/Mindel.app/Contents/MacOS/Mindel\"\n"
            "Terminal=false\n"
            "Hidden=false\n"
            "X-GNOME-Autostart-enabled=true\n"
            "X-Launchctl-Agent=" +
                agent_ + "\n");
  EXPECT_EQ(errors_, "");

  // Loading again replaces the entry; unloading removes it, and again is no error.
  WriteAgent(LaunchAgent("com.quorv.Mindel", "/opt/Mindel.app/"));
  ASSERT_EQ(Run({"load", "-w", agent_}), 0) << errors_;
  EXPECT_NE(ReadWhole(entry_).find("Exec=\"/opt/Mindel.app/Contents/MacOS/Mindel\"\n"),
            std::string::npos)
      << ReadWhole(entry_);
  ASSERT_EQ(Run({"unload", agent_}), 0) << errors_;
  EXPECT_FALSE(Exists(entry_)) << "expected unload to remove the entry";
  EXPECT_EQ(Run({"unload", agent_}), 0) << "expected unloading twice to succeed: " << errors_;
}

TEST_F(Launchctl, ExecQuotesEveryCharacterTheDesktopEntryFormatReserves) {
  // The program puts the bundle path into its agent unescaped; "&" still reads.
  WriteAgent(
      LaunchAgent("com.quorv.Mindel", "/tmp/R&D \"q\" $HOME `x` 100% back\\slash/Mindel.app"));
  ASSERT_EQ(Run({"load", agent_}), 0) << errors_;
  EXPECT_NE(
      ReadWhole(entry_).find("\nExec=\"env\" \"/tmp/R&D \\\\\"q\\\\\" \\\\$HOME \\\\`x\\\\` 100%% "
                             "back\\\\\\\\slash/Mindel.app/Contents/MacOS/Mindel\"\n"),
      std::string::npos)
      << "expected quotes, $, ` and \\ escaped twice (\\\\ at the string level), % doubled "
         "and the program started by env:\n"
      << ReadWhole(entry_);

  // Other programs keep their arguments; Info.plist names a bundle's executable.
  const std::string bundle = home_ + "/Tool.app";
  ASSERT_TRUE(plist::WriteFileAtomically(
      (bundle + "/Contents/Info.plist").c_str(),
      plist::WriteXml(
          plist::Value::Dictionary({{u"CFBundleExecutable", plist::Value::String(u"tool-bin")}}))));
  WriteAgent(LaunchAgent("org.example.tool", bundle));
  ASSERT_EQ(Run({"load", agent_}), 0) << errors_;
  EXPECT_NE(ReadWhole(home_ + "/.config/autostart/org.example.tool.desktop")
                .find("Name=Tool\nExec=\"" + bundle + "/Contents/MacOS/tool-bin\"\n"),
            std::string::npos);

  WriteAgent(plist::WriteXml(plist::Value::Dictionary({
      {u"Label", plist::Value::String(u"org.example.echo")},
      {u"ProgramArguments", plist::Value::Array({plist::Value::String(u"/bin/echo"),
                                                 plist::Value::String(u"a b\tc\n")})},
  })));
  ASSERT_EQ(Run({"load", agent_}), 0) << errors_;
  EXPECT_NE(ReadWhole(home_ + "/.config/autostart/org.example.echo.desktop")
                .find("Name=org.example.echo\nExec=\"/bin/echo\" \"a b\\tc\\n\"\n"),
            std::string::npos)
      << ReadWhole(home_ + "/.config/autostart/org.example.echo.desktop");
}

TEST_F(Launchctl, AnInstalledBundleStartsThroughItsLauncherWithItsIcon) {
  // P/lib/mindel/Mindel.app with P/bin/mindel linked to its program, as an install lays out.
  const std::string prefix = home_ + "/pre fix é";
  const std::string bundle = prefix + "/lib/mindel/Mindel.app";
  const std::string program = bundle + "/Contents/MacOS/Mindel";
  const std::string icon = bundle + "/Contents/Resources/app_fancy_icon.png";
  ASSERT_TRUE(plist::WriteFileAtomically(program.c_str(), "#!/bin/sh\n"));
  ASSERT_TRUE(plist::WriteFileAtomically(icon.c_str(), "png"));
  ASSERT_TRUE(plist::WriteFileAtomically(
      (bundle + "/Contents/Info.plist").c_str(),
      plist::WriteXml(plist::Value::Dictionary(
          {{u"CFBundleExecutable", plist::Value::String(u"Mindel")},
           {u"CFBundleIconFile", plist::Value::String(u"app_fancy_icon.png")}}))));
  ASSERT_EQ(mkdir((prefix + "/bin").c_str(), 0755), 0);
  ASSERT_EQ(
      symlink("../lib/mindel/Mindel.app/Contents/MacOS/Mindel", (prefix + "/bin/mindel").c_str()),
      0);
  WriteAgent(LaunchAgent("com.quorv.Mindel", bundle));
  ASSERT_EQ(Run({"load", agent_}), 0) << errors_;
  const std::string entry = ReadWhole(entry_);
  EXPECT_NE(entry.find("\nExec=\"" + prefix + "/bin/mindel\"\nIcon=" + icon + "\n"),
            std::string::npos)
      << entry;

  // A launcher that leads elsewhere is not this bundle's: the program is started directly.
  ASSERT_EQ(remove((prefix + "/bin/mindel").c_str()), 0);
  ASSERT_TRUE(plist::WriteFileAtomically((prefix + "/bin/mindel").c_str(), "#!/bin/sh\n"));
  ASSERT_EQ(Run({"load", agent_}), 0) << errors_;
  EXPECT_NE(ReadWhole(entry_).find("\nExec=\"" + program + "\"\n"), std::string::npos)
      << ReadWhole(entry_);
}

TEST_F(Launchctl, AnEntryWrittenByHandIsNeitherReplacedNorRemoved) {
  const std::string by_hand =
      "[Desktop Entry]\nType=Application\nName=My Mindel\nExec=mindel --my-way\n";
  ASSERT_TRUE(plist::WriteFileAtomically(entry_.c_str(), by_hand));
  WriteAgent(LaunchAgent("com.quorv.Mindel", "/opt/Mindel.app"));
  EXPECT_NE(Run({"load", agent_}), 0);
  EXPECT_NE(errors_.find("not written by launchctl"), std::string::npos) << errors_;
  EXPECT_EQ(errors_.find('\n'), errors_.size() - 1) << "one line: " << errors_;
  EXPECT_NE(Run({"unload", agent_}), 0);
  EXPECT_EQ(ReadWhole(entry_), by_hand) << "the entry is the user's and stays as it was";

  // Once the user removes it, launchctl's own entry comes and goes again.
  ASSERT_EQ(remove(entry_.c_str()), 0);
  ASSERT_EQ(Run({"load", agent_}), 0) << errors_;
  ASSERT_EQ(Run({"load", agent_}), 0) << "its own entry is replaced: " << errors_;
  ASSERT_EQ(Run({"unload", agent_}), 0) << errors_;
  EXPECT_FALSE(Exists(entry_));
}

TEST_F(Launchctl, DesktopFileValidateAcceptsTheEntries) {
  if (system("command -v desktop-file-validate >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "desktop-file-validate (desktop-file-utils) is not installed";
  }
  for (const std::string& bundle : {std::string("/opt/Mindel.app"),
                                    std::string("/tmp/R&D \"q\" $HOME `x` 100% a\\b/Mindel.app"),
                                    std::string("/tmp/tab\there/Mindel.app")}) {
    WriteAgent(LaunchAgent("com.quorv.Mindel", bundle));
    ASSERT_EQ(Run({"load", agent_}), 0) << errors_;
    const std::string command =
        "desktop-file-validate '" + entry_ + "' >'" + home_ + "/v.txt' 2>&1";
    EXPECT_EQ(system(command.c_str()), 0) << ReadWhole(home_ + "/v.txt") << ReadWhole(entry_);
    EXPECT_EQ(ReadWhole(home_ + "/v.txt"), "") << "no warnings either for " << bundle;
  }
}

TEST_F(Launchctl, UnloadWorksFromTheFileNameWhenTheAgentIsGone) {
  WriteAgent(LaunchAgent("com.quorv.Mindel", "/opt/Mindel.app"));
  ASSERT_EQ(Run({"load", agent_}), 0) << errors_;
  ASSERT_TRUE(Exists(entry_));
  ASSERT_EQ(remove(agent_.c_str()), 0);
  EXPECT_EQ(Run({"unload", agent_}), 0) << errors_;
  EXPECT_FALSE(Exists(entry_)) << "expected the label taken from the agent's file name";
}

TEST_F(Launchctl, XdgConfigHomeChoosesTheAutostartFolder) {
  WriteAgent(LaunchAgent("com.quorv.Mindel", "/opt/Mindel.app"));
  const std::string config = home_ + "/config";
  ASSERT_EQ(Run({"load", agent_}, {"XDG_CONFIG_HOME=" + config}), 0) << errors_;
  EXPECT_TRUE(Exists(config + "/autostart/com.quorv.Mindel.desktop"));
  EXPECT_FALSE(Exists(entry_));
  ASSERT_EQ(Run({"unload", agent_}, {"XDG_CONFIG_HOME=" + config}), 0) << errors_;
  EXPECT_FALSE(Exists(config + "/autostart/com.quorv.Mindel.desktop"));
}

TEST_F(Launchctl, FailuresExitNonZeroWithAMessage) {
  struct Case {
    const char* what;
    std::string agent;  // written to agent_ first unless empty
    std::vector<std::string> arguments;
  };
  const std::string no_label = plist::WriteXml(plist::Value::Dictionary(
      {{u"ProgramArguments", plist::Value::Array({plist::Value::String(u"/bin/true")})}}));
  const std::string bad_label = LaunchAgent("../escape", "/opt/Mindel.app");
  const std::string no_program = plist::WriteXml(
      plist::Value::Dictionary({{u"Label", plist::Value::String(u"org.example.none")}}));
  const std::string open_options = plist::WriteXml(plist::Value::Dictionary({
      {u"Label", plist::Value::String(u"org.example.open")},
      {u"ProgramArguments",
       plist::Value::Array({plist::Value::String(u"/usr/bin/open"), plist::Value::String(u"-a"),
                            plist::Value::String(u"Mindel")})},
  }));
  const Case cases[] = {
      {"no arguments", "", {}},
      {"an unknown command", "", {"start", agent_}},
      {"an unknown option", "", {"load", "-x", agent_}},
      {"no path", "", {"load", "-w"}},
      {"a missing agent", "", {"load", home_ + "/none.plist"}},
      {"a damaged agent", "<plist><dict><key>Label</key>", {"load", agent_}},
      {"an agent without a label", no_label, {"load", agent_}},
      {"a label that is a path", bad_label, {"load", agent_}},
      {"an agent without a program", no_program, {"load", agent_}},
      {"open with options", open_options, {"load", agent_}},
  };
  for (const Case& c : cases) {
    if (!c.agent.empty()) WriteAgent(c.agent);
    EXPECT_NE(Run(c.arguments), 0) << "expected a failure exit for " << c.what;
    EXPECT_NE(errors_, "") << "expected a message on standard error for " << c.what;
  }
  EXPECT_FALSE(Exists(home_ + "/.config/autostart/org.example.open.desktop"));
  EXPECT_FALSE(Exists(home_ + "/escape.desktop"));

  // An autostart folder that cannot be made.
  WriteAgent(LaunchAgent("com.quorv.Mindel", "/opt/Mindel.app"));
  ASSERT_TRUE(plist::WriteFileAtomically((home_ + "/.config").c_str(), "a file, not a folder"));
  EXPECT_NE(Run({"load", agent_}), 0);
  EXPECT_NE(errors_.find("cannot write"), std::string::npos) << errors_;
}

}  // namespace
