// Tests of the terminal desktop serving a real application: the test program starts itself
// again as a child that builds a small application (a numbered window with views, a repeating
// timer) under the virtual clock and runs its loop on the terminal desktop; the parent speaks
// the protocol over pipes, waiting on each `ok`.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "platform/appkit/appkit.h"
#include "platform/carbon/carbon.h"
#include "platform/desktop/desktop.h"
#include "platform/desktop/key_names.h"
#include "platform/foundation/clock.h"
#include "platform/foundation/string.h"

extern char** environ;

namespace {

constexpr const char* kChildVariable = "MINDEL_TERMINAL_TEST_CHILD";

// --- The child: a small application on the terminal desktop ---

id gTestWindow;     // the numbered window
id gStatusItem;     // the status item, whose title the actions below change
int gTicks;         // how often the timer fired
double gStartTime;  // ClockNow() when the timer was scheduled

NSInteger WindowId(id, SEL) {
  return 7;
}

void Tick(id, SEL, id) {
  ++gTicks;
  const double elapsed_ms = (ClockNow() - gStartTime) * 1000;
  const std::string title = "tick " + std::to_string(gTicks) + " at " +
                            std::to_string(static_cast<long long>(elapsed_ms + 0.5)) + "ms";
  objc::Send<void>(gTestWindow, "setTitle:", foundation::MakeStringFromUtf8(title));
}

void SetStatusTitle(const std::string& title) {
  objc::Send<void>(gStatusItem, "setTitle:", foundation::MakeStringFromUtf8(title));
}

void Enter(id, SEL, id) {
  SetStatusTitle("entered");
}

// Runs an alert with a text field, as the task dialog does, and shows its answer.
void AskText(id, SEL, id) {
  objc::AutoreleasePool pool;
  id field = objc::Autorelease(objc::Send(objc::Send(objc_lookUpClass("NSTextField"), "alloc"),
                                          "initWithFrame:", NSMakeRect(0, 0, 360, 26)));
  objc::Send<void>(field, "setStringValue:", foundation::MakeStringFromUtf8("old text"));
  id alert = objc::Autorelease(objc::Send(objc_lookUpClass("NSAlert"), "new"));
  objc::Send<void>(alert, "setMessageText:", foundation::MakeStringFromUtf8("Enter \"it\""));
  objc::Send<void>(alert, "setInformativeText:", foundation::MakeStringFromUtf8(""));
  objc::Send(alert, "addButtonWithTitle:", foundation::MakeStringFromUtf8("Save"));
  objc::Send(alert, "addButtonWithTitle:", foundation::MakeStringFromUtf8("Cancel"));
  objc::Send<void>(alert, "setAccessoryView:", field);
  objc::Send<void>(field, "becomeFirstResponder");
  const NSInteger answer = objc::Send<NSInteger>(alert, "runModal");
  SetStatusTitle("answer " + std::to_string(answer) + " " +
                 foundation::StringUtf8(objc::Send(field, "stringValue")));
}

OSStatus HotKeyPressed(EventHandlerCallRef, EventRef, void*) {
  SetStatusTitle("hot key");
  return noErr;
}

id MakeMenuItem(id menu, const char* title, const char* action, const char* key, NSInteger tag,
                id target) {
  id item = objc::Send(
      menu, "addItemWithTitle:action:keyEquivalent:", foundation::MakeStringFromUtf8(title),
      action ? sel_registerName(action) : nullptr, foundation::MakeStringFromUtf8(key));
  objc::Send<void>(item, "setTag:", tag);
  objc::Send<void>(item, "setTarget:", target);
  return item;
}

id MakeView(NSRect frame) {
  return objc::Autorelease(
      objc::Send(objc::Send(objc_lookUpClass("NSView"), "alloc"), "initWithFrame:", frame));
}

TEST(TerminalDesktopChild, ServeSmallApplication) {
  if (!std::getenv(kChildVariable)) GTEST_SKIP() << "runs only as the child of other tests";
  // The parent handed the protocol pipe over as descriptor 3 and gave standard output to the
  // test framework's chatter; the desktop takes the protocol from descriptor 1.
  dup2(3, STDOUT_FILENO);
  close(3);
  objc::AutoreleasePool pool;
  id app = objc::Send(objc_lookUpClass("NSApplication"), "sharedApplication");

  Class delegate_class = objc::DefineClass("TerminalTestDelegate", "NSObject");
  objc::AddMethod(delegate_class, "windowID", &WindowId);
  objc::AddMethod(delegate_class, "tick:", &Tick);
  objc::AddMethod(delegate_class, "enter:", &Enter);
  objc::AddMethod(delegate_class, "askText:", &AskText);
  objc::AddMethod(
      delegate_class, "controlTextDidChange:", +[](id, SEL, id notification) {
        id field = objc::Send(notification, "object");
        SetStatusTitle("changed " + foundation::StringUtf8(objc::Send(field, "stringValue")));
      });
  objc::AddMethod(
      delegate_class, "clicked:", +[](id, SEL, id sender) {
        SetStatusTitle("clicked " + foundation::StringUtf8(objc::Send(sender, "title")));
      });
  id delegate = objc::Send(delegate_class, "new");

  gStatusItem =
      objc::Retain(objc::Send(objc::Send(objc_lookUpClass("NSStatusBar"), "systemStatusBar"),
                              "statusItemWithLength:", -1.0));
  SetStatusTitle("Task");
  id menu = objc::Autorelease(objc::Send(objc_lookUpClass("NSMenu"), "new"));
  objc::Send<void>(menu, "setAutoenablesItems:", NO);
  id enter = MakeMenuItem(menu, "Enter Task\tctrl-alt-T", "enter:", "t", 1, delegate);
  objc::Send<void>(enter, "setKeyEquivalentModifierMask:", NSUInteger{0x40000 | 0x80000});
  objc::Send<void>(menu, "addItem:", objc::Send(objc_lookUpClass("NSMenuItem"), "separatorItem"));
  id disabled = MakeMenuItem(menu, "Every 5 minutes", "enter:", "", 3, delegate);
  objc::Send<void>(disabled, "setEnabled:", NO);
  MakeMenuItem(menu, "No action", nullptr, "", 4, delegate);
  MakeMenuItem(menu, "Ask", "askText:", "", 5, delegate);
  objc::Send<void>(gStatusItem, "setMenu:", menu);

  const EventTypeSpec pressed = {kEventClassKeyboard, kEventHotKeyPressed};
  InstallEventHandler(GetApplicationEventTarget(), &HotKeyPressed, 1, &pressed, nullptr, nullptr);
  EventHotKeyRef hot_key = nullptr;
  RegisterEventHotKey(17, kCarbonControl + kCarbonOption, EventHotKeyID{1, 1},
                      GetApplicationEventTarget(), 0, &hot_key);

  gTestWindow =
      objc::Send(objc::Send(objc_lookUpClass("NSWindow"), "alloc"),
                 "initWithContentRect:styleMask:backing:defer:", NSMakeRect(100, 100, 300, 200),
                 NSUInteger{15}, NSUInteger{2}, NO);
  objc::Send<void>(gTestWindow, "setTitle:", foundation::MakeStringFromUtf8("Test"));
  objc::Send<void>(gTestWindow, "setDelegate:", delegate);
  objc::Send<void>(gTestWindow, "setReleasedWhenClosed:", NO);
  id content = objc::Send(gTestWindow, "contentView");
  id outer = MakeView(NSMakeRect(10, 20, 30, 40));
  objc::Send<void>(outer, "addSubview:", MakeView(NSMakeRect(1, 2, 3, 4)));
  objc::Send<void>(content, "addSubview:", outer);
  id hidden = MakeView(NSMakeRect(50.4, 60.6, 70, 80));
  objc::Send<void>(hidden, "setHidden:", YES);
  objc::Send<void>(content, "addSubview:", hidden);
  id button = objc::Autorelease(objc::Send(objc::Send(objc_lookUpClass("NSButton"), "alloc"),
                                           "initWithFrame:", NSMakeRect(200, 10, 80, 30)));
  objc::Send<void>(button, "setTitle:", foundation::MakeStringFromUtf8("Go"));
  objc::Send<void>(button, "setTarget:", delegate);
  objc::Send<void>(button, "setAction:", sel_registerName("clicked:"));
  objc::Send<void>(content, "addSubview:", button);
  id check = objc::Autorelease(objc::Send(objc::Send(objc_lookUpClass("NSButton"), "alloc"),
                                          "initWithFrame:", NSMakeRect(200, 50, 80, 30)));
  objc::Send<void>(check, "setButtonType:", NSUInteger{3});  // a check box
  objc::Send<void>(check, "setTitle:", foundation::MakeStringFromUtf8("Check"));
  objc::Send<void>(check, "setState:", NSInteger{1});
  objc::Send<void>(check, "setEnabled:", NO);
  objc::Send<void>(content, "addSubview:", check);
  id field = objc::Autorelease(objc::Send(objc::Send(objc_lookUpClass("NSTextField"), "alloc"),
                                          "initWithFrame:", NSMakeRect(10, 100, 200, 24)));
  objc::Send<void>(field, "setStringValue:", foundation::MakeStringFromUtf8("xyz"));
  objc::Send<void>(field, "setDelegate:", delegate);
  objc::Send<void>(content, "addSubview:", field);
  objc::Send<void>(gTestWindow, "makeKeyAndOrderFront:", static_cast<id>(nil));

  gStartTime = ClockNow();
  objc::Send(objc_lookUpClass("NSTimer"),
             "scheduledTimerWithTimeInterval:target:selector:userInfo:repeats:", 5.0, delegate,
             sel_registerName("tick:"), static_cast<id>(nil), YES);
  objc::Send<void>(app, "run");  // the end of the input ends the process
  ADD_FAILURE() << "the loop should never return";
}

// --- The parent ---

// The child program with pipes to its input and from its protocol stream.
class Child {
 public:
  // Starts the child with the given MINDEL_DESKTOP, MINDEL_SCREEN and MINDEL_APPEARANCE, its
  // standard error going to error_path (empty: the test's own).
  explicit Child(const char* desktop = "terminal", const char* screen = "800x600",
                 const char* appearance = "dark", const std::string& error_path = "") {
    int commands[2], answers[2];
    EXPECT_EQ(pipe(commands), 0);
    EXPECT_EQ(pipe(answers), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, commands[0], STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, answers[1], 3);
    if (!error_path.empty()) {
      posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, error_path.c_str(),
                                       O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }
    posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, commands[1]);
    posix_spawn_file_actions_addclose(&actions, answers[0]);

    std::vector<std::string> variables;
    for (char** entry = environ; *entry; ++entry) {
      if (std::strncmp(*entry, "MINDEL_", 7) != 0) variables.push_back(*entry);
    }
    variables.push_back(std::string(kChildVariable) + "=1");
    variables.push_back("MINDEL_CLOCK=virtual");
    variables.push_back(std::string("MINDEL_DESKTOP=") + desktop);
    variables.push_back(std::string("MINDEL_SCREEN=") + screen);
    variables.push_back(std::string("MINDEL_APPEARANCE=") + appearance);
    std::vector<char*> env;
    for (std::string& variable : variables) env.push_back(variable.data());
    env.push_back(nullptr);
    std::string filter = "--gtest_filter=TerminalDesktopChild.ServeSmallApplication";
    char program[] = "/proc/self/exe";
    char* argv[] = {program, filter.data(), nullptr};
    EXPECT_EQ(posix_spawn(&pid_, program, &actions, nullptr, argv, env.data()), 0);
    posix_spawn_file_actions_destroy(&actions);
    close(commands[0]);
    close(answers[1]);
    input_ = commands[1];
    output_ = answers[0];
  }
  ~Child() {
    if (input_ >= 0) close(input_);
    close(output_);
    if (pid_ > 0) waitpid(pid_, nullptr, 0);
  }

  void Send(const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
      const ssize_t n = write(input_, text.data() + done, text.size() - done);
      if (n <= 0) return;
      done += static_cast<size_t>(n);
    }
  }

  // One protocol line; "<end>" when the stream ended.
  std::string ReadLine() {
    for (;;) {
      const size_t end = pending_.find('\n', taken_);
      if (end != std::string::npos) {
        std::string line = pending_.substr(taken_, end - taken_);
        taken_ = end + 1;
        return line;
      }
      pending_.erase(0, taken_);
      taken_ = 0;
      char chunk[65536];
      const ssize_t n = read(output_, chunk, sizeof chunk);
      if (n <= 0) return "<end>";
      pending_.append(chunk, static_cast<size_t>(n));
    }
  }

  // The lines up to the next `ok` or `error:` (included), or the end of the stream.
  std::vector<std::string> Answer() {
    std::vector<std::string> lines;
    for (;;) {
      lines.push_back(ReadLine());
      const std::string& last = lines.back();
      if (last == "ok" || last.rfind("error:", 0) == 0 || last == "<end>") return lines;
    }
  }
  std::vector<std::string> Command(const std::string& line) {
    Send(line + "\n");
    return Answer();
  }

  // Ends the input and answers the child's exit status.
  int Finish() {
    close(input_);
    input_ = -1;
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return status;
  }

 private:
  pid_t pid_ = -1;
  int input_ = -1;       // the child's standard input
  int output_ = -1;      // the child's protocol stream
  std::string pending_;  // read but not yet taken
  size_t taken_ = 0;     // bytes of pending_ already returned
};

using Lines = std::vector<std::string>;

// The first of lines that starts with prefix; "" when none does.
std::string LineStarting(const Lines& lines, const std::string& prefix) {
  for (const std::string& line : lines) {
    if (line.rfind(prefix, 0) == 0) return line;
  }
  return "";
}

TEST(TerminalDesktop, ServesAnApplicationOverPipes) {
  Child child;
  EXPECT_EQ(child.Answer(), (Lines{"window: open 7 \"Test\"", "ok"}))
      << "the window's report, then the ok of start-up";

  EXPECT_EQ(child.Command("show"),
            (Lines{
                "status title=\"Task\" image=null length=-1",
                "menu 1 \"Enter Task\\tctrl-alt-T\" key=\"t\" mods=ctrl+alt enabled",
                "menu -",
                "menu 3 \"Every 5 minutes\" key=\"\" mods=cmd disabled",
                "menu 4 \"No action\" key=\"\" mods=cmd enabled",
                "menu 5 \"Ask\" key=\"\" mods=cmd enabled",
                "hotkey 17 6144",
                "timer -1 -1 5000",
                "window 7 \"Test\" visible key level=0",
                "view 7.1 NSView \"\" frame=10,20,30,40 enabled",
                "view 7.2 NSView \"\" frame=1,2,3,4 enabled",
                "view 7.3 NSView \"\" frame=50,61,70,80 enabled hidden",
                "view 7.4 NSButton \"Go\" frame=200,10,80,30 enabled",
                "view 7.5 NSButton \"Check\" frame=200,50,80,30 disabled state=1",
                "view 7.6 NSTextField \"xyz\" frame=10,100,200,24 enabled",
                "ok",
            }));
  EXPECT_EQ(child.Command("bogus 1"),
            Lines{"error: unknown command \"bogus\" (help lists the commands)"});
  EXPECT_EQ(child.Command("click 8.1"), Lines{"error: no window 8"});
  EXPECT_EQ(child.Command("click 7.7"), Lines{"error: window 7 has no view 7"});
  EXPECT_EQ(child.Command("click 7.3"), Lines{"error: view 7.3 is hidden"});
  EXPECT_EQ(child.Command("focus 7.1"), Lines{"error: view 7.1 does not take the focus"});
  EXPECT_EQ(child.Command("select 7.1 0"), Lines{"error: view 7.1 is not a pop-up button"});
  EXPECT_EQ(child.Command("step 7.2 up"), Lines{"error: view 7.2 is not a stepper"});
  EXPECT_EQ(child.Command("type hello"), Lines{"error: no text field has the focus"});
  EXPECT_EQ(child.Command("press OK"), Lines{"error: no button titled \"OK\""});
  EXPECT_EQ(child.Command("menu 2"), Lines{"error: no menu item 2"});
  EXPECT_EQ(child.Command("menu 3"), Lines{"error: menu item 3 is disabled"});
  EXPECT_EQ(child.Command("menu 4"), Lines{"error: menu item 4 has no action"});
  EXPECT_EQ(child.Command("hotkey ctrl+alt+y"),
            Lines{"error: no hot key ctrl+alt+y is registered"});
  EXPECT_EQ(child.Command("show")[0], "status title=\"Task\" image=null length=-1")
      << "refused commands change nothing";
  EXPECT_EQ(child.Command("menu 1"), Lines{"ok"});
  EXPECT_EQ(child.Command("show")[0], "status title=\"entered\" image=null length=-1");
  EXPECT_EQ(child.Command("hotkey ctrl+alt+t"), Lines{"ok"});
  EXPECT_EQ(child.Command("show")[0], "status title=\"hot key\" image=null length=-1");

  // A menu action that runs an alert: the alert is reported and the command's ok comes from
  // inside the alert's modal loop; the alert's buttons are pressed from there.
  const std::string alert =
      "message=\"Enter \\\"it\\\"\" informative=\"\" buttons=[\"Cancel\",\"Save\"] "
      "default=\"Save\" field=";
  EXPECT_EQ(child.Command("menu 5"), (Lines{"alert: " + alert + "\"old text\" icon=null", "ok"}));
  EXPECT_EQ(child.Command("show").back(), "ok");
  EXPECT_EQ(child.Command("close 7"), Lines{"error: window 7 is behind a modal window"});
  EXPECT_EQ(child.Command("type new \"text\"\t"), Lines{"ok"});
  const Lines during = child.Command("show");
  ASSERT_GE(during.size(), 2u);
  EXPECT_EQ(during[during.size() - 2], "alert " + alert + "\"new \\\"text\\\"\\t\" icon=null");
  EXPECT_EQ(child.Command("press Nope"), Lines{"error: no button titled \"Nope\""});
  EXPECT_EQ(child.Command("press Save"), Lines{"ok"});
  const Lines after = child.Command("show");
  EXPECT_EQ(after[0], "status title=\"answer 1000 new \\\"text\\\"\\t\" image=null length=-1");
  EXPECT_EQ(after[after.size() - 2].rfind("view 7.6", 0), 0u) << "no alert line once it is over";

  EXPECT_EQ(child.Command("click 7.2"), Lines{"ok"});
  EXPECT_EQ(child.Command("click 7.4"), Lines{"ok"});
  EXPECT_EQ(LineStarting(child.Command("show"), "status"),
            "status title=\"clicked Go\" image=null length=-1")
      << "a click reaches the button under the view's centre";
  EXPECT_EQ(child.Command("press Check"), Lines{"error: the button \"Check\" is disabled"});
  EXPECT_EQ(child.Command("press Go"), Lines{"ok"});
  EXPECT_EQ(child.Command("focus 7.6"), Lines{"ok"});
  EXPECT_EQ(child.Command("type caf\xC3\xA9"), Lines{"ok"});
  const Lines typed = child.Command("show");
  EXPECT_EQ(LineStarting(typed, "status"),
            "status title=\"changed caf\xC3\xA9\" image=null length=-1")
      << "the delegate hears of the change";
  EXPECT_EQ(LineStarting(typed, "view 7.6"),
            "view 7.6 NSTextField \"caf\xC3\xA9\" frame=10,100,200,24 enabled")
      << "the focused field's whole text was selected and replaced";
  EXPECT_EQ(child.Command("key cmd+x"), Lines{"ok"});

  // The timer is due 5 s after it was scheduled, and not a millisecond earlier.
  EXPECT_EQ(child.Command("advance 4999ms"), Lines{"ok"});
  EXPECT_EQ(LineStarting(child.Command("show"), "window 7"),
            "window 7 \"Test\" visible key level=0");
  EXPECT_EQ(child.Command("advance 1ms"), Lines{"ok"});
  EXPECT_EQ(LineStarting(child.Command("show"), "window 7"),
            "window 7 \"tick 1 at 5000ms\" visible key level=0");
  EXPECT_EQ(child.Command("advance 12s"), Lines{"ok"});
  EXPECT_EQ(LineStarting(child.Command("show"), "window 7"),
            "window 7 \"tick 3 at 15000ms\" visible key level=0")
      << "each firing in its turn, at its own time";

  // Many commands sent without waiting are all answered, in order.
  std::string many;
  const int count = 10000;
  for (int i = 0; i < count; ++i) many += (i % 2 == 0) ? "click 7.1\n" : "close 9\n";
  std::thread writer([&] { child.Send(many); });
  bool in_order = true;
  for (int i = 0; i < count && in_order; ++i) {
    const std::string expected = (i % 2 == 0) ? "ok" : "error: no window 9";
    const std::string line = child.ReadLine();
    in_order = line == expected;
    EXPECT_EQ(line, expected) << "answer " << i;
  }
  writer.join();

  EXPECT_EQ(child.Command("close 7"), (Lines{"window: close 7", "ok"}));
  EXPECT_EQ(child.Command("close 7"), Lines{"error: window 7 is not visible"});
  const int status = child.Finish();
  ASSERT_TRUE(WIFEXITED(status)) << "the child ends by itself at the end of its input";
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(TerminalDesktop, BadSettingsAreReportedAndTheDefaultsServe) {
  char path[] = "/tmp/mindel-terminal-test-XXXXXX";
  const int fd = mkstemp(path);
  ASSERT_GE(fd, 0);
  close(fd);
  Child child("weird", "1920by1080", "purple", path);
  EXPECT_EQ(child.Answer(), (Lines{"window: open 7 \"Test\"", "ok"}))
      << "an unknown desktop name still gives the terminal desktop";
  EXPECT_EQ(child.Command("help").back(), "ok");
  const int status = child.Finish();
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  std::string errors;
  const int in = open(path, O_RDONLY);
  char chunk[4096];
  ssize_t n;
  while ((n = read(in, chunk, sizeof chunk)) > 0) errors.append(chunk, static_cast<size_t>(n));
  close(in);
  unlink(path);
  EXPECT_NE(errors.find("MINDEL_DESKTOP=\"weird\" is not a desktop"), std::string::npos) << errors;
  EXPECT_NE(errors.find("MINDEL_SCREEN=\"1920by1080\" is neither"), std::string::npos) << errors;
  EXPECT_NE(errors.find("MINDEL_APPEARANCE=\"purple\" is neither"), std::string::npos) << errors;
}

}  // namespace
