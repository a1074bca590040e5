// Tests of the terminal desktop's protocol over pipes, without an application: the `ok` after
// start-up and after each command, `error:` answers for bad lines, order under load, the
// real-clock deadline, and the end of input ending the process.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include "platform/foundation/clock.h"
#include "platform/terminal/terminal_desktop.h"
#include "tests/core/scratch_folder.h"

namespace {

constexpr double kForever = std::numeric_limits<double>::infinity();

// A terminal desktop between two pipes: the test writes commands into one and reads the
// protocol from the other.
class PipeDesktop {
 public:
  PipeDesktop() {
    EXPECT_EQ(pipe(commands_), 0);
    EXPECT_EQ(pipe(answers_), 0);
    desktop_ = new TerminalDesktop(commands_[0], answers_[1], TerminalSettings{});
  }
  ~PipeDesktop() {
    if (writer_.joinable()) writer_.join();
    delete desktop_;
    for (int fd : {commands_[0], commands_[1], answers_[0], answers_[1]}) {
      if (fd >= 0) close(fd);
    }
  }

  TerminalDesktop* desktop() { return desktop_; }

  // Writes text from a thread of its own, so input larger than a pipe does not block.
  void Send(std::string text) {
    if (writer_.joinable()) writer_.join();
    writer_ = std::thread([this, text = std::move(text)] {
      size_t done = 0;
      while (done < text.size()) {
        const ssize_t n = write(commands_[1], text.data() + done, text.size() - done);
        if (n <= 0) return;
        done += static_cast<size_t>(n);
      }
    });
  }

  // Reads one protocol line (blocks until it is complete; "" at the end of the stream).
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
      const ssize_t n = read(answers_[0], chunk, sizeof chunk);
      if (n <= 0) return "";
      pending_.append(chunk, static_cast<size_t>(n));
    }
  }

  // Closes the protocol's writing end and reads everything that is left, as lines.
  std::vector<std::string> ReadRest() {
    close(answers_[1]);
    answers_[1] = -1;
    std::vector<std::string> lines;
    std::string all;
    char chunk[4096];
    ssize_t n;
    while ((n = read(answers_[0], chunk, sizeof chunk)) > 0) all.append(chunk, n);
    size_t start = 0;
    for (size_t end; (end = all.find('\n', start)) != std::string::npos; start = end + 1) {
      lines.push_back(all.substr(start, end - start));
    }
    EXPECT_EQ(start, all.size()) << "every answer ends with a line end";
    return lines;
  }

 private:
  int commands_[2] = {-1, -1};  // the test writes [1]; the desktop reads [0]
  int answers_[2] = {-1, -1};   // the desktop writes [1]; the test reads [0]
  TerminalDesktop* desktop_ = nullptr;
  std::thread writer_;   // writes the last Send
  std::string pending_;  // read from the protocol but not yet taken by ReadLine
  size_t taken_ = 0;     // bytes of pending_ already returned
};

TEST(TerminalProtocol, AnswersOkOnceIdleAndErrorsAtOnce) {
  PipeDesktop pipes;
  pipes.Send(
      "help\n"
      "bogus\n"
      "\n"
      "   \n"
      "show extra\n"
      "advance 5x\n"
      "advance\n"
      "menu\n"
      "menu x\n"
      "click 1\n"
      "click 0.1\n"
      "focus 987654.1\n"
      "close -1\n"
      "step 1.1 sideways\n"
      "select 1.1\n"
      "hotkey ctrl+\n"
      "key nosuchkey\n"
      "quit-request now\n");
  const int lines = 18;
  for (int i = 0; i < lines; ++i) pipes.desktop()->Wait(kForever);
  std::vector<std::string> answers = pipes.ReadRest();

  std::vector<std::string> expected = {"ok"};
  for (const std::string& line : TerminalHelpLines()) expected.push_back(line);
  const std::vector<std::string> errors = {
      "ok",
      "error: unknown command \"bogus\" (help lists the commands)",
      "error: empty line",
      "error: empty line",
      "error: show takes no argument",
      "error: not a duration (such as 250ms, 90s, 5m): \"5x\"",
      "error: missing argument: advance DURATION",
      "error: missing argument: menu N",
      "error: not a menu tag: \"x\"",
      "error: not a view id (W.V, such as 1.3): \"1\"",
      "error: no window 0",
      "error: no window 987654",
      "error: not a window number: \"-1\"",
      "error: step goes up or down, not \"sideways\"",
      "error: missing argument: select W.V INDEX",
      "error: not a key name: \"ctrl+\"",
      "error: not a key name: \"nosuchkey\"",
      "error: quit-request takes no argument",
  };
  expected.insert(expected.end(), errors.begin(), errors.end());
  EXPECT_EQ(answers, expected) << "one ok at start, help then its ok, one error per bad line";
  EXPECT_GE(TerminalHelpLines().size(), 14u) << "help lists every command";
}

TEST(TerminalProtocol, LongLinesAndBadBytesAreRefusedAndReadingGoesOn) {
  PipeDesktop pipes;
  std::string input = std::string(200 * 1024, 'x') + "\n";  // far beyond a pipe's capacity
  input += "bad \xC3\x28 bytes\n";
  input += std::string("nul \0 byte\n", 11);
  input.append("\xED\xA0\x80\n");  // a surrogate
  input += "help please\n";
  pipes.Send(input);
  for (int i = 0; i < 5; ++i) pipes.desktop()->Wait(kForever);
  const std::vector<std::string> expected = {
      "ok",
      "error: line too long",
      "error: line is not valid UTF-8",
      "error: line holds a NUL character",
      "error: line is not valid UTF-8",
      "error: help takes no argument",
  };
  EXPECT_EQ(pipes.ReadRest(), expected);
}

TEST(TerminalProtocol, TenThousandCommandsSentAtOnceAreAnsweredInOrder) {
  PipeDesktop pipes;
  // The answers are read while the desktop works, as a client that does not wait would.
  std::vector<std::string> answers;
  std::thread reader([&] {
    for (std::string line; !(line = pipes.ReadLine()).empty();) answers.push_back(line);
  });
  std::string input;
  const int count = 10000;
  for (int i = 0; i < count; ++i) {
    input += (i % 2 == 0) ? "help\n" : "nope" + std::to_string(i) + "\n";
  }
  pipes.Send(input);
  for (int i = 0; i < count; ++i) pipes.desktop()->Wait(kForever);
  pipes.desktop()->PrintLine("");  // an empty line ends the reader
  reader.join();

  const std::vector<std::string>& help = TerminalHelpLines();
  std::vector<std::string> expected = {"ok"};
  for (int i = 0; i < count; ++i) {
    if (i % 2 == 0) {
      expected.insert(expected.end(), help.begin(), help.end());
      expected.push_back("ok");
    } else {
      expected.push_back("error: unknown command \"nope" + std::to_string(i) +
                         "\" (help lists the commands)");
    }
  }
  ASSERT_EQ(answers.size(), expected.size()) << "every command answered exactly once";
  for (size_t i = 0; i < expected.size(); ++i) {
    ASSERT_EQ(answers[i], expected[i]) << "answer " << i << " in order";
  }
}

TEST(TerminalProtocol, RealClockWaitEndsAtItsDeadline) {
  if (ClockIsVirtual()) GTEST_SKIP() << "another test switched this process to the virtual clock";
  PipeDesktop pipes;
  const double deadline = ClockNow() + 0.05;
  pipes.desktop()->Wait(deadline);  // nothing to read: returns at the deadline
  EXPECT_GE(ClockNow(), deadline) << "the wait lasts until the deadline";
  pipes.Send("advance 5m\n");
  pipes.desktop()->Wait(kForever);
  EXPECT_EQ(pipes.ReadRest(),
            (std::vector<std::string>{
                "ok", "error: advance needs the virtual clock (MINDEL_CLOCK=virtual)"}));
}

TEST(TerminalProtocol, EndOfInputEndsTheProcessWithCodeZero) {
  int commands[2], answers[2];
  ASSERT_EQ(pipe(commands), 0);
  ASSERT_EQ(pipe(answers), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(commands[1]);
    close(answers[0]);
    TerminalDesktop desktop(commands[0], answers[1], TerminalSettings{});
    for (;;) desktop.Wait(kForever);
  }
  close(commands[0]);
  close(answers[1]);
  const std::string input = "help\nlast line without end";
  ASSERT_EQ(write(commands[1], input.data(), input.size()), static_cast<ssize_t>(input.size()));
  close(commands[1]);
  std::string output;
  char chunk[4096];
  ssize_t n;
  while ((n = read(answers[0], chunk, sizeof chunk)) > 0) output.append(chunk, n);
  close(answers[0]);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "the process ends by itself";
  EXPECT_EQ(WEXITSTATUS(status), 0) << "end of input is a normal end";
  const std::string ending = "ok\nerror: unknown command \"last\" (help lists the commands)\n";
  ASSERT_GE(output.size(), ending.size());
  EXPECT_EQ(output.substr(output.size() - ending.size()), ending)
      << "the unterminated last line is still answered before the end";
}

TEST(TerminalProtocol, ScreenAndAppearanceComeFromTheEnvironment) {
  {
    ScopedEnvironment screen("MINDEL_SCREEN", "1280x800");
    ScopedEnvironment appearance("MINDEL_APPEARANCE", "Dark");
    TerminalDesktop desktop(-1, -1, TerminalSettingsFromEnvironment());
    ASSERT_EQ(desktop.ScreenCount(), 1);
    const NSRect frame = desktop.ScreenFrame(0);
    EXPECT_EQ(frame.origin.x, 0);
    EXPECT_EQ(frame.origin.y, 0);
    EXPECT_EQ(frame.size.width, 1280);
    EXPECT_EQ(frame.size.height, 800);
    EXPECT_EQ(desktop.ScreenFrame(1).size.width, 0) << "there is one screen only";
    EXPECT_TRUE(desktop.PrefersDark());
  }
  {
    ScopedEnvironment screen("MINDEL_SCREEN", "none");
    ScopedEnvironment appearance("MINDEL_APPEARANCE", "light");
    const TerminalSettings settings = TerminalSettingsFromEnvironment();
    EXPECT_EQ(settings.screen_count, 0);
    EXPECT_EQ(settings.appearance, TerminalAppearance::Light);
  }
  {
    ScopedEnvironment screen("MINDEL_SCREEN", "800x0");
    ScopedEnvironment appearance("MINDEL_APPEARANCE", "dim");
    const TerminalSettings settings = TerminalSettingsFromEnvironment();
    EXPECT_EQ(settings.screen_count, 1) << "a bad size gives the default screen";
    EXPECT_EQ(settings.screen_size.width, 1920);
    EXPECT_EQ(settings.screen_size.height, 1080);
    EXPECT_EQ(settings.appearance, TerminalAppearance::Light) << "an unknown appearance is light";
  }
  {
    ScopedEnvironment screen("MINDEL_SCREEN", nullptr);
    const TerminalSettings settings = TerminalSettingsFromEnvironment();
    EXPECT_EQ(settings.screen_count, 1);
    EXPECT_EQ(settings.screen_size.width, 1920);
  }
}

TEST(TerminalProtocol, WithoutAnOverrideTheAppearanceFollowsTheDesktopFilesAtEachQuestion) {
  ScratchFolder home;
  ScopedEnvironment home_variable("HOME", home.path().c_str());
  ScopedEnvironment config("XDG_CONFIG_HOME", nullptr);
  ScopedEnvironment theme("GTK_THEME", nullptr);
  ScopedEnvironment appearance("MINDEL_APPEARANCE", nullptr);
  TerminalDesktop desktop(-1, -1, TerminalSettingsFromEnvironment());
  EXPECT_FALSE(desktop.PrefersDark()) << "no settings: light";
  ASSERT_EQ(system(("mkdir -p '" + home.path() + "/.config/gtk-3.0'").c_str()), 0);
  const std::string settings = home / ".config/gtk-3.0/settings.ini";
  WriteFileText(settings, "[Settings]\ngtk-application-prefer-dark-theme=1\n");
  EXPECT_TRUE(desktop.PrefersDark()) << "switching the desktop to dark shows at the next question";
  WriteFileText(settings, "[Settings]\ngtk-application-prefer-dark-theme=0\n");
  EXPECT_FALSE(desktop.PrefersDark()) << "and back to light";

  ScopedEnvironment fixed("MINDEL_APPEARANCE", "light");
  TerminalDesktop overridden(-1, -1, TerminalSettingsFromEnvironment());
  WriteFileText(settings, "[Settings]\ngtk-application-prefer-dark-theme=1\n");
  EXPECT_FALSE(overridden.PrefersDark()) << "MINDEL_APPEARANCE overrides the desktop's files";
}

}  // namespace
