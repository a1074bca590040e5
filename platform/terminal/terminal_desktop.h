// The terminal desktop: the AppKit model served over a line protocol on standard input and
// output, the desktop for sessions without a display and the contract of the end-to-end tests.
//
// One command per input line; answers and reports on the protocol stream, one per line:
// `ok` once the program is idle again after start-up and after every successful command,
// `error: <reason>` at once for a command that could not be carried out (and no `ok`), and the
// reports `alert: ...`, `speak: ...`, `window: open|close ...` as they happen. The commands
// are carried out by terminal_commands.cpp and the state block of `show` is written by
// terminal_show.cpp; terminal_windows.h numbers windows and views for both.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/desktop/desktop.h"
#include "platform/terminal/terminal_text.h"

// The appearance the terminal desktop asks for.
enum class TerminalAppearance {
  FollowDesktop,  // the Linux desktop's colour scheme, read from its files at every question
  Dark,           // MINDEL_APPEARANCE=dark
  Light,          // MINDEL_APPEARANCE=light (or a value that is neither)
};

// How the terminal desktop presents itself, read from the environment at start.
struct TerminalSettings {
  int screen_count = 1;               // 1, or 0 for MINDEL_SCREEN=none
  NSSize screen_size = {1920, 1080};  // the screen in points
  TerminalAppearance appearance = TerminalAppearance::FollowDesktop;
};

// MINDEL_SCREEN (WxH or none; default 1920x1080) and MINDEL_APPEARANCE (dark or light, fixed for
// the run; when unset, the appearance follows the Linux desktop's colour-scheme preference as far
// as it can be read from files). A value that cannot be read is reported on standard error and
// the default is used.
TerminalSettings TerminalSettingsFromEnvironment();

class TerminalDesktop : public Desktop {
 public:
  // Serves the protocol: commands from input_fd (-1: no input at all), answers and reports
  // to output_fd (-1: nowhere). The descriptors stay open and stay the caller's.
  TerminalDesktop(int input_fd, int output_fd, const TerminalSettings& settings);
  ~TerminalDesktop() override;
  TerminalDesktop(const TerminalDesktop&) = delete;
  TerminalDesktop& operator=(const TerminalDesktop&) = delete;

  // Makes the process's terminal desktop on the standard streams: the protocol writes to a
  // private duplicate of standard output and descriptor 1 then points at standard error; the
  // commands are read from a private duplicate of standard input and descriptor 0 then reads
  // /dev/null. So programs Mindel starts can neither write into the protocol nor eat commands.
  static TerminalDesktop* StartOnStandardStreams();

  // Prints an owed `ok`, then blocks until one command line has been read and carried out,
  // or, with the real clock, until deadline. At the end of the input the process ends with
  // exit code 0. While an `advance` runs, moves the virtual clock instead (see the .cpp).
  void Wait(double deadline) override;
  int ScreenCount() override;
  NSRect ScreenFrame(int index) override;
  bool PrefersDark() override;

  void WindowShown(id window) override;
  void WindowHidden(id window) override;
  void AlertStarted(id alert) override;
  void AlertEnded(id alert) override;
  void SpeechStarted(const char16_t* text) override;

  // --- For the commands ---

  // Writes one line (line + "\n") to the protocol stream at once.
  void PrintLine(std::string_view line);
  // Starts moving the virtual clock on by seconds; the command's `ok` is owed once the clock
  // has reached the target. False with the real clock.
  bool StartAdvance(double seconds);
  // The innermost alert running its modal loop; nil when none.
  id OpenAlert() const;

 private:
  // Blocks until the input is readable (true) or, with the real clock, deadline passed.
  bool WaitForInput(double deadline);
  // Carries out one complete input line and prints its error, or owes its `ok`.
  void Execute(const std::string& line);
  [[noreturn]] void EndOfInput();

  int input_fd_;                 // commands come from here; -1 when there is no input
  int output_fd_;                // the protocol stream; -1 when answers go nowhere
  TerminalSettings settings_;    // screens and appearance
  terminal::LineReader reader_;  // cuts the input into lines
  bool ok_owed_ = true;          // start-up, or a successful command, still needs its `ok`
  bool advancing_ = false;       // an `advance` is moving the virtual clock
  double advance_target_ = 0;    // where that advance ends, ClockNow() seconds
  // Numbered windows shown and not hidden since, with the number they were shown under (the
  // delegate that knows the number may be gone by the time the window closes).
  std::vector<std::pair<id, int64_t>> open_windows_;
  std::vector<id> alerts_;  // alerts in their modal loop, innermost last; retained
};

// Carries out one command line (terminal_commands.cpp). Answers true when it was done;
// otherwise *error says why (without the "error: " prefix) and nothing was changed.
bool RunTerminalCommand(TerminalDesktop* desktop, std::string_view line, std::string* error);

// The protocol's help: one line per command, as `help` prints them.
const std::vector<std::string>& TerminalHelpLines();

// Appends the state block of `show` (terminal_show.cpp), each line ending in "\n".
void AppendTerminalState(TerminalDesktop* desktop, std::string* out);

// The fields of an alert as the report and the state block print them:
// message=<s> informative=<s> buttons=[<s>,...] default=<s> field=<s or null> icon=<s or null>
std::string TerminalAlertFields(id alert);
