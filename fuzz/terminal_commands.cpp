// Fuzzes the terminal desktop's command reader: the input, fed in pieces of any size, is cut
// into the same lines as a plain model; each line goes through the word and argument parsers,
// whose answers keep their documented bounds, and then through the full command dispatch
// against a small application (status menu, a numbered window with a field, buttons, a
// pop-up and a stepper, a global hot key) made once per process.
//
// Index: the line model; the parsers; the application; the entry points.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/fuzz_check.h"
#include "platform/appkit/appkit.h"
#include "platform/carbon/carbon.h"
#include "platform/foundation/string.h"
#include "platform/objc/references.h"
#include "platform/terminal/terminal_desktop.h"
#include "platform/terminal/terminal_text.h"

namespace {

using terminal::LineReader;

// --- The line model ---

// One item the reader should give.
struct Line {
  bool too_long;     // longer than kMaxLineBytes
  std::string text;  // the line without its end, when not too long
};

// Lines end at "\n", lose one "\r" before it, and a last unterminated line still counts.
std::vector<Line> ModelLines(const std::string& input) {
  std::vector<Line> lines;
  size_t start = 0;
  while (start < input.size()) {
    size_t end = input.find('\n', start);
    const bool terminated = end != std::string::npos;
    if (!terminated) end = input.size();
    std::string text = input.substr(start, end - start);
    if (terminated && !text.empty() && text.back() == '\r') text.pop_back();
    if (text.size() > terminal::kMaxLineBytes) {
      lines.push_back({true, ""});
    } else {
      lines.push_back({false, std::move(text)});
    }
    start = end + 1;
  }
  return lines;
}

// --- The parsers ---

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

void CheckParsers(const std::string& line) {
  const terminal::CommandLine command = terminal::SplitCommand(line);
  for (char c : command.verb) FUZZ_CHECK(!IsBlank(c), "a verb holds no space or tab");
  size_t first = 0;
  while (first < line.size() && IsBlank(line[first])) first++;
  FUZZ_CHECK(line.compare(first, command.verb.size(), command.verb) == 0,
             "the verb is the first word of the line");
  FUZZ_CHECK(
      command.rest.size() <= line.size() &&
          line.compare(line.size() - command.rest.size(), std::string::npos, command.rest) == 0,
      "the rest is the end of the line, literally");

  std::string joined;
  for (std::string_view word : terminal::SplitWords(line)) {
    FUZZ_CHECK(!word.empty(), "no word is empty");
    for (char c : word) FUZZ_CHECK(!IsBlank(c), "a word holds no space or tab");
    joined += word;
  }
  std::string non_blank;
  for (char c : line) {
    if (!IsBlank(c)) non_blank += c;
  }
  FUZZ_CHECK(joined == non_blank, "the words hold every byte but spaces and tabs, in order");

  for (std::string_view word : terminal::SplitWords(line)) {
    int64_t number = 0;
    if (terminal::ParseInteger(word, -1000, 1000, &number)) {
      FUZZ_CHECK(number >= -1000 && number <= 1000, "an integer keeps its bounds");
      FUZZ_CHECK(std::to_string(number) == word,
                 "an accepted integer is written in its one decimal form");
    }
    if (terminal::ParseInteger(word, INT64_MIN, INT64_MAX, &number)) {
      FUZZ_CHECK(std::to_string(number) == word,
                 "any 64-bit integer is read exactly, without overflow");
    }
    int64_t milliseconds = -1;
    if (terminal::ParseDuration(word, &milliseconds)) {
      FUZZ_CHECK(milliseconds >= 0 && milliseconds <= terminal::kMaxDurationMilliseconds,
                 "a duration lies within its bounds");
    }
    terminal::ViewId view{-1, -1};
    if (terminal::ParseViewId(word, &view)) {
      FUZZ_CHECK(view.window >= 0 && view.view >= 1, "a view id names a window and a view");
    }
    int64_t width = 0;
    int64_t height = 0;
    if (terminal::ParseScreenSize(word, &width, &height)) {
      FUZZ_CHECK(width >= 1 && width <= terminal::kMaxScreenSide && height >= 1 &&
                     height <= terminal::kMaxScreenSide,
                 "a screen size lies within its bounds");
    }
  }

  const std::string json = terminal::JsonString(line);
  FUZZ_CHECK(json.size() >= 2 && json.front() == '"' && json.back() == '"',
             "a JSON string is quoted");
  FUZZ_CHECK(terminal::IsValidUtf8(json), "a JSON string is valid UTF-8");
  for (char c : json) {
    FUZZ_CHECK(static_cast<unsigned char>(c) >= 0x20, "a JSON string holds no control byte");
  }
  if (terminal::IsValidUtf8(line)) {
    const std::u16string units = terminal::Utf16FromUtf8(line);
    FUZZ_CHECK(terminal::JsonString(units) == json, "UTF-8 and its units give the same JSON");
  }
}

// --- The application ---

// The terminal desktop with its waiting switched off: the fuzzer hands it lines itself, and
// the platform loop that drains events must never block on standard input.
// Light, whatever the machine's desktop says, so that a run replays the same way anywhere.
TerminalSettings FuzzSettings() {
  TerminalSettings settings;
  settings.appearance = TerminalAppearance::Light;
  return settings;
}

class FuzzDesktop : public TerminalDesktop {
 public:
  FuzzDesktop() : TerminalDesktop(-1, -1, FuzzSettings()) {}
  void Wait(double) override {}
};

// The application's objects live as long as the process; held here so that the leak check
// sees them reachable.
FuzzDesktop* gDesktop;  // the current desktop
id gDelegate;           // target of the menu items and the button, delegate of the window
id gStatusItem;         // the status item with the menu
id gWindow;             // window 0, shown again before every input
id gField;              // its text field, emptied before every input
// MINDEL_FUZZ_VERBOSE=1 prints each command and its answer, for replaying a reproducer.
bool gVerbose;

NSInteger WindowNumber(id, SEL) {
  return 0;
}
void Nothing(id, SEL, id) {}

id NewObject(const char* class_name, NSRect frame) {
  return objc::Autorelease(
      objc::Send(objc::Send(objc_lookUpClass(class_name), "alloc"), "initWithFrame:", frame));
}

id Text(const char* text) {
  return foundation::MakeStringFromUtf8(text);
}

void BuildApplication() {
  objc::AutoreleasePool pool;
  objc::Send(objc_lookUpClass("NSApplication"), "sharedApplication");
  Class delegate_class = objc::DefineClass("FuzzCommandsDelegate", "NSObject");
  objc::AddMethod(delegate_class, "windowID", &WindowNumber);
  objc::AddMethod(delegate_class, "act:", &Nothing);
  gDelegate = objc::Send(delegate_class, "new");
  id delegate = gDelegate;

  gStatusItem =
      objc::Retain(objc::Send(objc::Send(objc_lookUpClass("NSStatusBar"), "systemStatusBar"),
                              "statusItemWithLength:", -1.0));
  id item = gStatusItem;
  objc::Send<void>(item, "setTitle:", Text("Task"));
  id menu = objc::Autorelease(objc::Send(objc_lookUpClass("NSMenu"), "new"));
  objc::Send<void>(menu, "setAutoenablesItems:", NO);
  for (NSInteger tag = 1; tag <= 3; tag++) {
    id entry = objc::Send(menu, "addItemWithTitle:action:keyEquivalent:", Text("Item"),
                          tag == 3 ? nullptr : sel_registerName("act:"), Text(""));
    objc::Send<void>(entry, "setTag:", tag);
    objc::Send<void>(entry, "setTarget:", delegate);
    objc::Send<void>(entry, "setEnabled:", tag != 2);
  }
  objc::Send<void>(item, "setMenu:", menu);

  gWindow =
      objc::Send(objc::Send(objc_lookUpClass("NSWindow"), "alloc"),
                 "initWithContentRect:styleMask:backing:defer:", NSMakeRect(100, 100, 300, 200),
                 NSUInteger{15}, NSUInteger{2}, NO);
  objc::Send<void>(gWindow, "setDelegate:", delegate);
  objc::Send<void>(gWindow, "setReleasedWhenClosed:", NO);
  id content = objc::Send(gWindow, "contentView");
  gField = NewObject("NSTextField", NSMakeRect(10, 100, 200, 24));
  objc::Send<void>(content, "addSubview:", gField);
  id button = NewObject("NSButton", NSMakeRect(200, 10, 80, 30));
  objc::Send<void>(button, "setTitle:", Text("Go"));
  objc::Send<void>(button, "setTarget:", delegate);
  objc::Send<void>(button, "setAction:", sel_registerName("act:"));
  objc::Send<void>(content, "addSubview:", button);
  id check = NewObject("NSButton", NSMakeRect(200, 50, 80, 30));
  objc::Send<void>(check, "setButtonType:", NSUInteger{3});
  objc::Send<void>(check, "setTitle:", Text("Check"));
  objc::Send<void>(content, "addSubview:", check);
  id popup = NewObject("NSPopUpButton", NSMakeRect(10, 10, 100, 24));
  objc::Send<void>(popup, "addItemWithTitle:", Text("One"));
  objc::Send<void>(popup, "addItemWithTitle:", Text("Two"));
  objc::Send<void>(content, "addSubview:", popup);
  id stepper = NewObject("NSStepper", NSMakeRect(120, 10, 20, 40));
  objc::Send<void>(content, "addSubview:", stepper);

  // Control-option-T as a global hot key whose press does nothing.
  const EventTypeSpec pressed = {kEventClassKeyboard, kEventHotKeyPressed};
  InstallEventHandler(
      GetApplicationEventTarget(),
      +[](EventHandlerCallRef, EventRef, void*) -> OSStatus { return 0; }, 1, &pressed, nullptr,
      nullptr);
  EventHotKeyRef hot_key = nullptr;
  RegisterEventHotKey(17, controlKey + optionKey, EventHotKeyID{1, 1}, GetApplicationEventTarget(),
                      0, &hot_key);
}

// Hands every posted event to the application, as its loop would.
void DeliverEvents() {
  while (id event = objc::Send(NSApp, "nextEventMatchingMask:untilDate:inMode:dequeue:",
                               ~NSUInteger{0}, static_cast<id>(nil), NSDefaultRunLoopMode, YES)) {
    objc::Send<void>(NSApp, "sendEvent:", event);
  }
}

void Dispatch(const std::string& line) {
  // Quitting would end the fuzzer's process; every other command is carried out.
  if (terminal::SplitCommand(line).verb == "quit-request") return;
  std::string error;
  const bool done = RunTerminalCommand(gDesktop, line, &error);
  if (!done) {
    FUZZ_CHECK(!error.empty(), "a refused command says why");
    FUZZ_CHECK(terminal::IsValidUtf8(error) && error.find('\n') == std::string::npos,
               "a refusal is one line of valid UTF-8");
  }
  if (gVerbose) {
    std::fprintf(stderr, "%s -> %s\n", terminal::JsonString(line).c_str(),
                 done ? "ok" : ("error: " + error).c_str());
  }
  DeliverEvents();
}

}  // namespace

// --- The entry points ---

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  gVerbose = std::getenv("MINDEL_FUZZ_VERBOSE") != nullptr;
  gDesktop = new FuzzDesktop;
  SetCurrentDesktop(gDesktop);
  BuildApplication();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider provider(data, size);
  // Repeating the input makes lines longer than the reader keeps.
  const int repeats = provider.ConsumeBool() ? provider.ConsumeIntegralInRange<int>(2, 40) : 1;
  const auto piece = provider.ConsumeIntegralInRange<size_t>(1, 4096);
  const std::string once = provider.ConsumeRemainingBytesAsString();
  std::string input;
  for (int i = 0; i < repeats; i++) input += once;

  // Lines are taken as soon as they are complete, as the desktop does between reads.
  LineReader reader;
  std::vector<Line> lines;
  std::string text;
  auto take = [&] {
    for (;;) {
      const LineReader::Item item = reader.Next(&text);
      if (item == LineReader::Item::kNone) return;
      const bool too_long = item == LineReader::Item::kTooLong;
      lines.push_back({too_long, too_long ? "" : text});
    }
  };
  for (size_t at = 0; at < input.size(); at += piece) {
    reader.Feed(std::string_view(input).substr(at, piece));
    take();
  }
  reader.FeedEnd();
  take();
  FUZZ_CHECK(reader.Finished(), "every line was taken at the end of the input");
  const std::vector<Line> expected = ModelLines(input);
  FUZZ_CHECK(lines.size() == expected.size(), "the reader gives one item per input line");
  for (size_t i = 0; i < lines.size(); i++) {
    FUZZ_CHECK(lines[i].too_long == expected[i].too_long && lines[i].text == expected[i].text,
               "each line comes out whole, without its end, in order");
  }

  objc::AutoreleasePool pool;
  objc::Send<void>(gWindow, "makeKeyAndOrderFront:", static_cast<id>(nil));
  objc::Send<void>(gField, "setStringValue:", Text(""));  // typing must not pile up
  constexpr size_t kMostDispatched = 32;                  // repeated input repeats its lines
  for (size_t i = 0; i < lines.size() && i < kMostDispatched; i++) {
    if (lines[i].too_long) continue;
    CheckParsers(lines[i].text);
    Dispatch(lines[i].text);
  }
  return 0;
}
