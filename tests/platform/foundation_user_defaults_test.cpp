// Tests of NSUserDefaults over a temporary HOME: values surviving a restart, damaged files
// left alone until a setting is written, a kill during synchronize, homes where nothing can
// be stored, the global domain and registered defaults.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "platform/foundation/bundle.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/string.h"
#include "platform/foundation/user_defaults.h"
#include "platform/objc/objc.h"
#include "tests/platform/appkit_test_support.h"

namespace {

// Points HOME at a fresh folder, clears the desktop's appearance settings and installs the
// scripted desktop (light) for one test; restores the environment afterwards.
class DefaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    desktop_ = &InstallScriptedDesktop();
    for (const char* name : kSaved) {
      const char* value = std::getenv(name);
      saved_.push_back(value ? std::optional<std::string>(value) : std::nullopt);
      unsetenv(name);
    }
    char pattern[] = "/tmp/mindel-defaults-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    home_ = pattern;
    setenv("HOME", home_.c_str(), 1);
    path_ = home_ + "/Library/Preferences/" + foundation::ProgramName() + ".plist";
  }
  void TearDown() override {
    std::string command = "rm -rf '" + home_ + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
    for (size_t i = 0; i < std::size(kSaved); ++i) {
      if (saved_[i]) {
        setenv(kSaved[i], saved_[i]->c_str(), 1);
      } else {
        unsetenv(kSaved[i]);
      }
    }
  }

  // A new defaults object reading the files as they are now (+1).
  objc::Ref NewDefaults() {
    return objc::Ref(objc::Send(objc::Send(objc_lookUpClass("NSUserDefaults"), "alloc"), "init"));
  }
  void WriteFile(const std::string& path, const std::string& bytes) {
    std::string folder = path.substr(0, path.find_last_of('/'));
    std::string command = "mkdir -p '" + folder + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ofstream(path, std::ios::binary) << bytes;
  }
  std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
  }

  static constexpr const char* kSaved[] = {"HOME", "MINDEL_APPEARANCE", "GTK_THEME",
                                           "XDG_CONFIG_HOME"};
  ScriptedDesktop* desktop_ = nullptr;             // answers the appearance questions
  std::vector<std::optional<std::string>> saved_;  // the variables' values before the test
  std::string home_;                               // the temporary HOME
  std::string path_;                               // the application domain's file
};

const char kValidFile[] =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
    "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
    "<plist version=\"1.0\">\n<dict>\n\t<key>Val1</key>\n\t<integer>5</integer>\n"
    "\t<key>Val5</key>\n\t<string>abc</string>\n\t<key>Val7</key>\n\t<string>12</string>\n"
    "</dict>\n</plist>\n";

TEST_F(DefaultsTest, SettingsSurviveARestart) {
  objc::AutoreleasePool pool;
  {
    objc::Ref first = NewDefaults();
    EXPECT_EQ(objc::Send(first, "stringForKey:", Str("Val1")), nullptr) << "nothing stored yet";
    EXPECT_EQ(objc::Send<NSInteger>(first, "integerForKey:", Str("Val18")), 0);
    EXPECT_TRUE(objc::Send<BOOL>(first, "synchronize")) << "nothing to write is a success";
    EXPECT_NE(access(path_.c_str(), F_OK), 0) << "no file is written before a setting";
    objc::Send<void>(first, "setObject:forKey:", Str("\xE2\x8C\x83\xE2\x8C\xA5T"), Str("Val1"));
    objc::Send<void>(first, "setInteger:forKey:", NSInteger{257}, Str("Val5"));
    objc::Send<void>(first, "setBool:forKey:", YES, Str("Flag"));
    objc::Send<void>(first, "setObject:forKey:", Str("\xF0\x9F\x98\x80"), Str("Val16"));
    objc::Send<void>(first, "setObject:forKey:", Str("gone"), Str("Temp"));
    objc::Send<void>(first, "removeObjectForKey:", Str("Temp"));
    EXPECT_TRUE(objc::Send<BOOL>(first, "synchronize"));
  }
  struct stat written;
  ASSERT_EQ(stat(path_.c_str(), &written), 0) << "synchronize writes " << path_;
  EXPECT_EQ(written.st_mode & 0777, 0600u) << "settings are private";

  objc::Ref second = NewDefaults();
  EXPECT_EQ(foundation::StringUtf8(objc::Send(second, "stringForKey:", Str("Val1"))),
            "\xE2\x8C\x83\xE2\x8C\xA5T");
  EXPECT_EQ(foundation::StringUtf8(objc::Send(second, "stringForKey:", Str("Val16"))),
            "\xF0\x9F\x98\x80");
  EXPECT_EQ(objc::Send<NSInteger>(second, "integerForKey:", Str("Val5")), 257);
  EXPECT_TRUE(objc::Send<BOOL>(second, "boolForKey:", Str("Flag")));
  EXPECT_EQ(objc::Send(second, "objectForKey:", Str("Temp")), nullptr);
  EXPECT_EQ(objc::Send(second, "stringForKey:", Str("Val5")), nullptr)
      << "stringForKey: answers strings only";
  EXPECT_EQ(objc::Send<NSInteger>(second, "integerForKey:", Str("Val1")), 0)
      << "a string that is no number reads as 0";

  // Writing the same value again changes nothing, so nothing is written.
  objc::Send<void>(second, "setInteger:forKey:", NSInteger{257}, Str("Val5"));
  EXPECT_TRUE(objc::Send<BOOL>(second, "synchronize"));
  struct stat after;
  ASSERT_EQ(stat(path_.c_str(), &after), 0);
  EXPECT_EQ(after.st_ino, written.st_ino) << "an unchanged domain is not rewritten";
}

TEST_F(DefaultsTest, ValuesOfTheWrongTypeReadAsNothing) {
  objc::AutoreleasePool pool;
  WriteFile(path_, kValidFile);
  objc::Ref defaults = NewDefaults();
  EXPECT_EQ(objc::Send(defaults, "stringForKey:", Str("Val1")), nullptr);
  EXPECT_EQ(objc::Send<NSInteger>(defaults, "integerForKey:", Str("Val1")), 5);
  EXPECT_EQ(objc::Send<NSInteger>(defaults, "integerForKey:", Str("Val5")), 0);
  EXPECT_EQ(objc::Send<NSInteger>(defaults, "integerForKey:", Str("Val7")), 12)
      << "a string holding a number gives that number";
  EXPECT_EQ(foundation::StringUtf8(objc::Send(defaults, "objectForKey:", Str("Val5"))), "abc");
}

TEST_F(DefaultsTest, DamagedFilesReadAsEmptyAndStayUntilASettingIsWritten) {
  std::string valid = kValidFile;
  const std::string damaged[] = {
      "",                                 // empty
      valid.substr(0, valid.size() / 2),  // truncated
      "this is not XML at all\n",         // not XML
      "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>x</string></array></plist>",
      std::string("\x00\x01\x02\xff", 4),  // binary noise
  };
  for (const std::string& bytes : damaged) {
    SCOPED_TRACE("file: " + bytes.substr(0, 40));
    objc::AutoreleasePool pool;
    WriteFile(path_, bytes);
    objc::Ref defaults = NewDefaults();
    EXPECT_EQ(objc::Send(defaults, "stringForKey:", Str("Val5")), nullptr);
    EXPECT_EQ(objc::Send<NSInteger>(defaults, "integerForKey:", Str("Val18")), 0);
    EXPECT_TRUE(objc::Send<BOOL>(defaults, "synchronize"));
    EXPECT_EQ(ReadFile(path_), bytes) << "a damaged file is left as it is";
    objc::Send<void>(defaults, "setInteger:forKey:", NSInteger{9}, Str("Val18"));
    EXPECT_TRUE(objc::Send<BOOL>(defaults, "synchronize"));
    plist::Value read;
    ASSERT_EQ(plist::ReadFile(path_.c_str(), &read), plist::ReadResult::Ok)
        << "writing a setting replaces the file with a valid one";
    const plist::Value* stored = plist::Find(read, u"Val18");
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->integer, 9);
  }
}

TEST_F(DefaultsTest, KillDuringSynchronizeLeavesAValidFile) {
  int progress[2];
  ASSERT_EQ(pipe(progress), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(progress[0]);
    objc::AutoreleasePool pool;
    objc::Ref defaults = NewDefaults();
    std::string filler(4000, 'x');  // a file large enough to take several writes
    for (NSInteger i = 1;; ++i) {
      objc::AutoreleasePool round;
      objc::Send<void>(defaults, "setInteger:forKey:", i, Str("Counter"));
      objc::Send<void>(defaults, "setObject:forKey:", Str((filler + std::to_string(i)).c_str()),
                       Str("Filler"));
      objc::Send<BOOL>(defaults, "synchronize");
      char byte = 1;
      if (write(progress[1], &byte, 1) != 1) _exit(1);
    }
  }
  close(progress[1]);
  // Let the child synchronize a number of times, then kill it wherever it is.
  char bytes[25];
  size_t got = 0;
  while (got < sizeof(bytes)) {
    ssize_t n = read(progress[0], bytes + got, sizeof(bytes) - got);
    ASSERT_GT(n, 0) << "the child stopped early";
    got += static_cast<size_t>(n);
  }
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  close(progress[0]);
  EXPECT_TRUE(WIFSIGNALED(status));

  plist::Value read;
  ASSERT_EQ(plist::ReadFile(path_.c_str(), &read), plist::ReadResult::Ok)
      << "the file is whole after the kill";
  const plist::Value* counter = plist::Find(read, u"Counter");
  ASSERT_NE(counter, nullptr);
  EXPECT_GE(counter->integer, 25);
  objc::AutoreleasePool pool;
  objc::Ref defaults = NewDefaults();
  EXPECT_EQ(objc::Send<NSInteger>(defaults, "integerForKey:", Str("Counter")), counter->integer);
}

TEST_F(DefaultsTest, SettingsThatCannotBeStoredLastTheRunAndAreReportedOnce) {
  objc::AutoreleasePool pool;
  const std::string name = foundation::ProgramName();

  // A home folder that does not exist is not made; the values live in the object.
  const std::string missing = home_ + "/missing";
  setenv("HOME", missing.c_str(), 1);
  ::testing::internal::CaptureStderr();
  {
    objc::Ref defaults = NewDefaults();
    objc::Send<void>(defaults, "setInteger:forKey:", NSInteger{7}, Str("Val18"));
    EXPECT_FALSE(objc::Send<BOOL>(defaults, "synchronize")) << "nowhere to store";
    EXPECT_EQ(objc::Send<NSInteger>(defaults, "integerForKey:", Str("Val18")), 7)
        << "the value is kept for the run";
  }
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            name + ": the home folder " + missing +
                " does not exist: settings are kept for this run only\n");
  EXPECT_NE(access(missing.c_str(), F_OK), 0) << "the home folder should not be made";

  // A home whose Library is a file (this holds for root too): one message for a run of
  // failed writes, none once a write succeeds again.
  setenv("HOME", home_.c_str(), 1);
  WriteFile(home_ + "/Library", "not a folder");
  objc::Ref defaults = NewDefaults();
  ::testing::internal::CaptureStderr();
  for (NSInteger value : {1, 2}) {
    objc::Send<void>(defaults, "setInteger:forKey:", value, Str("Val18"));
    EXPECT_FALSE(objc::Send<BOOL>(defaults, "synchronize"));
  }
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            name + ": cannot store the settings in " + path_ +
                " (Not a directory): changes are kept for this run only\n");
  ASSERT_EQ(unlink((home_ + "/Library").c_str()), 0);
  ::testing::internal::CaptureStderr();
  EXPECT_TRUE(objc::Send<BOOL>(defaults, "synchronize")) << "the next write tries again";
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
  plist::Value read;
  ASSERT_EQ(plist::ReadFile(path_.c_str(), &read), plist::ReadResult::Ok);
  ASSERT_NE(plist::Find(read, u"Val18"), nullptr);
  EXPECT_EQ(plist::Find(read, u"Val18")->integer, 2) << "the last value reaches the file";
}

TEST_F(DefaultsTest, TemporariesLeftByAKilledWriteAreRemovedAtTheNextStart) {
  objc::AutoreleasePool pool;
  const std::string folder = path_.substr(0, path_.rfind('/'));
  const std::string file = path_.substr(path_.rfind('/') + 1);
  WriteFile(path_, kValidFile);
  const std::string left[] = {"." + file + ".a1B2c3", "." + file + ".ZZZZZZ"};
  const std::string kept[] = {
      "." + file + ".12345",    // not a temporary's length
      "." + file + ".1234567",  // nor this
      "." + file + "x.abcdef",  // another file's temporary
      file + ".abcdef",         // not hidden
      ".other.plist.abcdef",    // another domain's
  };
  for (const std::string& name : left) WriteFile(folder + "/" + name, "<plist");
  for (const std::string& name : kept) WriteFile(folder + "/" + name, "mine");
  objc::Ref defaults = NewDefaults();
  for (const std::string& name : left) {
    EXPECT_NE(access((folder + "/" + name).c_str(), F_OK), 0) << name << " should be removed";
  }
  for (const std::string& name : kept) {
    EXPECT_EQ(ReadFile(folder + "/" + name), "mine") << name << " should be left alone";
  }
  EXPECT_EQ(ReadFile(path_), kValidFile) << "the settings file itself stays";
}

TEST_F(DefaultsTest, AppearanceIsReadAfreshAtEachLookup) {
  objc::AutoreleasePool pool;
  ScriptedDesktop& desktop = *desktop_;
  objc::Ref defaults = NewDefaults();
  auto style = [&] {
    id value = objc::Send(defaults, "stringForKey:", Str("AppleInterfaceStyle"));
    return value ? foundation::StringUtf8(value) : std::string("none");
  };
  EXPECT_EQ(style(), "none") << "a light desktop gives no style";
  desktop.dark = true;
  EXPECT_EQ(style(), "Dark") << "the desktop switched to dark: the same object sees it";
  EXPECT_EQ(foundation::StringUtf8(objc::Send(objc::Send(defaults, "dictionaryRepresentation"),
                                              "objectForKey:", Str("AppleInterfaceStyle"))),
            "Dark");
  desktop.dark = false;
  EXPECT_EQ(style(), "none") << "and back to light";

  const std::string global = home_ + "/Library/Preferences/.GlobalPreferences.plist";
  WriteFile(global,
            "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>AppleInterfaceStyle</key>"
            "<string>Dark</string></dict></plist>");
  EXPECT_EQ(style(), "Dark") << "the global preferences file, written after the object was made";
  setenv("MINDEL_APPEARANCE", "light", 1);
  EXPECT_EQ(style(), "none") << "the override wins over the file";
  std::remove(global.c_str());
  setenv("MINDEL_APPEARANCE", "dark", 1);
  EXPECT_EQ(style(), "Dark") << "and over the desktop";
  unsetenv("MINDEL_APPEARANCE");
  EXPECT_EQ(style(), "none");

  const int questions = desktop.appearance_questions;
  EXPECT_EQ(objc::Send<NSInteger>(defaults, "integerForKey:", Str("Val18")), 0);
  EXPECT_EQ(desktop.appearance_questions, questions) << "other keys never ask the desktop";
}

TEST_F(DefaultsTest, TheDesktopsColourSchemeIsReadFromItsFiles) {
  EXPECT_EQ(foundation::DesktopInterfaceStyle(home_), u"") << "nothing set: light";
  setenv("GTK_THEME", "Adwaita:dark", 1);
  EXPECT_EQ(foundation::DesktopInterfaceStyle(home_), u"Dark") << "the GTK theme's variant";
  unsetenv("GTK_THEME");
  WriteFile(home_ + "/.config/gtk-3.0/settings.ini",
            "[Settings]\ngtk-application-prefer-dark-theme = true\n");
  EXPECT_EQ(foundation::DesktopInterfaceStyle(home_), u"Dark") << "the GTK setting";
  std::remove((home_ + "/.config/gtk-3.0/settings.ini").c_str());
  WriteFile(home_ + "/.config/kdeglobals", "[General]\nColorScheme=BreezeDark\n");
  EXPECT_EQ(foundation::DesktopInterfaceStyle(home_), u"Dark") << "KDE's colour scheme";
}

TEST_F(DefaultsTest, GlobalDomainAndRegisteredDefaults) {
  objc::AutoreleasePool pool;
  WriteFile(home_ + "/Library/Preferences/.GlobalPreferences.plist",
            "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>AppleInterfaceStyle</key>"
            "<string>Dark</string><key>Shared</key><integer>3</integer></dict></plist>");
  objc::Ref defaults = NewDefaults();
  id registered =
      objc::Send(objc_lookUpClass("NSDictionary"), "dictionaryWithObjectsAndKeys:", Str("fallback"),
                 Str("Registered"), Str("low"), Str("Shared"), nil);
  objc::Send<void>(defaults, "registerDefaults:", registered);
  EXPECT_EQ(foundation::StringUtf8(objc::Send(defaults, "stringForKey:", Str("Registered"))),
            "fallback");
  EXPECT_EQ(objc::Send<NSInteger>(defaults, "integerForKey:", Str("Shared")), 3)
      << "the global domain comes before registered defaults";
  objc::Send<void>(defaults, "setObject:forKey:", Str("Light"), Str("AppleInterfaceStyle"));
  EXPECT_EQ(
      foundation::StringUtf8(objc::Send(defaults, "stringForKey:", Str("AppleInterfaceStyle"))),
      "Light")
      << "the application's domain comes first";
  EXPECT_TRUE(objc::Send<BOOL>(defaults, "synchronize"));
  plist::Value read;
  ASSERT_EQ(plist::ReadFile(path_.c_str(), &read), plist::ReadResult::Ok);
  EXPECT_EQ(plist::Find(read, u"Registered"), nullptr) << "registered defaults are not stored";
  EXPECT_EQ(plist::Find(read, u"Shared"), nullptr) << "global values are not copied";
}

}  // namespace
