// The terminal desktop's streams, its wait and its reports.
//
// Index: settings, start on the standard streams, the wait (and `advance`), screens and
// appearance, reports.
#include "platform/terminal/terminal_desktop.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <limits>

#include "platform/foundation/clock.h"
#include "platform/foundation/user_defaults.h"
#include "platform/terminal/terminal_windows.h"

namespace {

bool EqualsIgnoringCase(const char* text, const char* lower) {
  for (; *text && *lower; ++text, ++lower) {
    char c = *text;
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != *lower) return false;
  }
  return *text == *lower;
}

}  // namespace

// --- Settings ---

TerminalSettings TerminalSettingsFromEnvironment() {
  TerminalSettings settings;
  const char* screen = std::getenv("MINDEL_SCREEN");
  if (screen && screen[0]) {
    int64_t width, height;
    if (std::string_view(screen) == "none") {
      settings.screen_count = 0;
    } else if (terminal::ParseScreenSize(screen, &width, &height)) {
      settings.screen_size = NSMakeSize(static_cast<double>(width), static_cast<double>(height));
    } else {
      std::fprintf(stderr,
                   "mindel: MINDEL_SCREEN=\"%s\" is neither WxH (such as 1280x800) nor none; "
                   "using 1920x1080\n",
                   screen);
    }
  }
  const char* appearance = std::getenv("MINDEL_APPEARANCE");
  if (appearance && appearance[0]) {
    settings.appearance = TerminalAppearance::Light;
    if (EqualsIgnoringCase(appearance, "dark")) {
      settings.appearance = TerminalAppearance::Dark;
    } else if (!EqualsIgnoringCase(appearance, "light")) {
      std::fprintf(stderr,
                   "mindel: MINDEL_APPEARANCE=\"%s\" is neither dark nor light; using light\n",
                   appearance);
    }
  }
  return settings;
}

// --- Start ---

TerminalDesktop::TerminalDesktop(int input_fd, int output_fd, const TerminalSettings& settings)
    : input_fd_(input_fd), output_fd_(output_fd), settings_(settings) {
  if (input_fd_ < 0) reader_.FeedEnd();
}

TerminalDesktop::~TerminalDesktop() {
  for (id alert : alerts_) objc::Release(alert);
}

TerminalDesktop* TerminalDesktop::StartOnStandardStreams() {
  std::fflush(stdout);  // what was printed before belongs where it was going
  const int output = fcntl(STDOUT_FILENO, F_DUPFD_CLOEXEC, 3);
  if (output >= 0) dup2(STDERR_FILENO, STDOUT_FILENO);
  const int input = fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 3);
  if (input >= 0) {
    const int null = open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (null >= 0) {
      dup2(null, STDIN_FILENO);
      close(null);
    }
  }
  // With no standard input the first wait ends the process; with no standard output the
  // protocol goes unheard but the program still runs.
  return new TerminalDesktop(input, output, TerminalSettingsFromEnvironment());
}

// --- Wait ---

// An `advance` by D under the virtual clock: the target T = now + D is reached in steps. Each
// wait whose deadline (the next timer, or the fetch's limit) comes no later than T moves the
// clock to that deadline and returns at once, so the run loop fires what is due, in order, and
// the program handles it. The first wait with a later deadline moves the clock to T: the
// advance is over and, the program being idle, its `ok` is printed there.
void TerminalDesktop::Wait(double deadline) {
  if (std::isnan(deadline)) deadline = std::numeric_limits<double>::infinity();
  if (advancing_) {
    if (deadline <= advance_target_) {
      ClockAdvanceTo(std::max(ClockNow(), deadline));
      return;
    }
    ClockAdvanceTo(advance_target_);
    advancing_ = false;
    ok_owed_ = true;
  }
  if (ok_owed_) {
    ok_owed_ = false;
    PrintLine("ok");
  }
  std::string line;
  terminal::LineReader::Item item;
  while ((item = reader_.Next(&line)) == terminal::LineReader::Item::kNone) {
    if (reader_.Finished()) EndOfInput();
    if (!WaitForInput(deadline)) return;
    reader_.ReadFrom(input_fd_);
  }
  if (item == terminal::LineReader::Item::kTooLong) {
    PrintLine("error: line too long");
    return;
  }
  Execute(line);
}

bool TerminalDesktop::WaitForInput(double deadline) {
  for (;;) {
    timespec timeout;
    timespec* limit = nullptr;  // none: time stands still or there is no deadline
    if (!ClockIsVirtual() && std::isfinite(deadline)) {
      // Real seconds: a fast clock reaches the deadline sooner.
      const double remaining = std::min((deadline - ClockNow()) / ClockRate(), 1e8);
      if (remaining <= 0) return false;
      double whole;
      const double fraction = std::modf(remaining, &whole);
      timeout.tv_sec = static_cast<time_t>(whole);
      // Rounded up, so the run loop never finds its deadline a hair ahead and waits again.
      timeout.tv_nsec = static_cast<long>(std::ceil(fraction * 1e9));
      if (timeout.tv_nsec >= 1000000000L) {
        timeout.tv_sec += 1;
        timeout.tv_nsec -= 1000000000L;
      }
      limit = &timeout;
    }
    pollfd input{input_fd_, POLLIN, 0};
    const int ready = ppoll(&input, 1, limit, nullptr);
    if (ready > 0) return true;
    if (ready == 0) return false;
    if (errno != EINTR) return true;  // let the read find out what is wrong
  }
}

void TerminalDesktop::Execute(const std::string& line) {
  if (!terminal::IsValidUtf8(line)) {
    PrintLine("error: line is not valid UTF-8");
    return;
  }
  if (line.find('\0') != std::string::npos) {
    PrintLine("error: line holds a NUL character");
    return;
  }
  objc::AutoreleasePool pool;
  // Owed before the command runs: a command whose action runs a modal loop is answered by
  // that loop's first wait, as soon as the program is idle in it.
  ok_owed_ = true;
  std::string error;
  if (!RunTerminalCommand(this, line, &error)) {
    ok_owed_ = false;
    PrintLine("error: " + error);
  }
}

void TerminalDesktop::EndOfInput() {
  // Every answer has been written already (PrintLine does not buffer); stdio may hold more.
  std::fflush(nullptr);
  std::exit(0);
}

bool TerminalDesktop::StartAdvance(double seconds) {
  if (!ClockIsVirtual()) return false;
  advancing_ = true;
  advance_target_ = ClockNow() + seconds;
  ok_owed_ = false;  // owed once the clock is there
  return true;
}

id TerminalDesktop::OpenAlert() const {
  return alerts_.empty() ? nil : alerts_.back();
}

void TerminalDesktop::PrintLine(std::string_view line) {
  if (output_fd_ < 0) return;
  std::string text(line);
  text.push_back('\n');
  size_t written = 0;
  while (written < text.size()) {
    const ssize_t count = write(output_fd_, text.data() + written, text.size() - written);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return;  // the reader is gone; the program goes on unheard
    written += static_cast<size_t>(count);
  }
}

// --- Screens and appearance ---

int TerminalDesktop::ScreenCount() {
  return settings_.screen_count;
}

NSRect TerminalDesktop::ScreenFrame(int index) {
  if (index < 0 || index >= settings_.screen_count) return NSMakeRect(0, 0, 0, 0);
  return NSMakeRect(0, 0, settings_.screen_size.width, settings_.screen_size.height);
}

// Without MINDEL_APPEARANCE the desktop's files are read at every question, so a change of the
// colour scheme shows at the program's next look at the appearance.
bool TerminalDesktop::PrefersDark() {
  switch (settings_.appearance) {
    case TerminalAppearance::Dark:
      return true;
    case TerminalAppearance::Light:
      return false;
    case TerminalAppearance::FollowDesktop:
      break;
  }
  return foundation::DesktopInterfaceStyle(foundation::HomeFolder()) == u"Dark";
}

// --- Reports ---

void TerminalDesktop::WindowShown(id window) {
  int64_t number;
  if (!terminal::WindowNumberOf(window, &number)) return;
  for (const auto& open : open_windows_) {
    if (open.first == window) return;  // shown already
  }
  open_windows_.emplace_back(window, number);
  PrintLine("window: open " + std::to_string(number) + " " +
            terminal::JsonString(terminal::StringUnitsOf(objc::Send(window, "title"))));
}

void TerminalDesktop::WindowHidden(id window) {
  for (auto open = open_windows_.begin(); open != open_windows_.end(); ++open) {
    if (open->first != window) continue;
    const int64_t number = open->second;
    open_windows_.erase(open);
    PrintLine("window: close " + std::to_string(number));
    return;
  }
}

void TerminalDesktop::AlertStarted(id alert) {
  if (!alert) return;
  alerts_.push_back(objc::Retain(alert));
  PrintLine("alert: " + TerminalAlertFields(alert));
}

void TerminalDesktop::AlertEnded(id alert) {
  const auto found = std::find(alerts_.rbegin(), alerts_.rend(), alert);
  if (found == alerts_.rend()) return;
  alerts_.erase(std::next(found).base());
  objc::Release(alert);
}

void TerminalDesktop::SpeechStarted(const char16_t* text) {
  PrintLine("speak: " + terminal::JsonString(std::u16string_view(text ? text : u"")));
}
