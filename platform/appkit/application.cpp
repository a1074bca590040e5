// NSApplication: the shared application, its event queue and event fetch (where timers fire
// and the process waits on the desktop), event dispatch, the responder-chain action sending,
// modal sessions and termination.
//
// Index:
//   --- State ---
//   --- Event queue and fetch ---
//   --- Dispatch and actions ---
//   --- Modal sessions ---
//   --- Application methods ---
//   --- Internal interface and loader ---
#include "platform/appkit/application.h"

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <limits>
#include <vector>

#include "platform/appkit/appkit.h"
#include "platform/appkit/event.h"
#include "platform/desktop/desktop.h"
#include "platform/foundation/array.h"
#include "platform/foundation/bundle.h"
#include "platform/foundation/clock.h"
#include "platform/foundation/date.h"
#include "platform/foundation/notification.h"
#include "platform/foundation/run_loop.h"

id NSApp = nil;

namespace {

// --- State ---

constexpr double kInfinity = std::numeric_limits<double>::infinity();
// Limit dates this far away (NSDate's distantFuture is about 2000 years off) mean "no limit".
constexpr double kNoLimitSeconds = 1e10;

// One modal session: begun by beginModalSessionForWindow: or runModalForWindow:.
struct ModalSession {
  id window;       // retained for the session
  NSInteger code;  // the stop code, kModalResponseContinue until stopped
  bool stopped;    // stopModal, stopModalWithCode: or abortModal was sent
};

// The one application's state (there is one NSApp per process).
struct ApplicationState {
  std::deque<id> queue;              // posted NSEvents, retained, oldest first
  id delegate = nil;                 // not retained, as in Cocoa
  id main_menu = nil;                // retained
  std::vector<id> windows;           // every NSWindow alive, in creation order; not retained
  id key_window = nil;               // not retained; a window leaves when it is freed
  id main_window = nil;              // not retained
  std::vector<ModalSession*> modal;  // running modal sessions, innermost last; owned
  bool stop_requested = false;       // stop: was sent while run is looping
  id current_event = nil;            // the event last taken from the queue, retained
  bool launched = false;             // finishLaunching ran
  NSInteger activation_policy = 0;   // as set; only stored
};

ApplicationState gApp;
Class gApplication;  // NSApplication

bool Responds(id obj, const char* selector) {
  return foundation::RespondsTo(obj, selector);
}

// --- Event queue and fetch ---

bool Matches(id event, NSUInteger mask) {
  NSUInteger type = EventType(event);
  return type < 64 && (mask & (NSUInteger{1} << type)) != 0;
}

// The first queued event that matches mask, autoreleased, removed when dequeue is set.
id TakeMatching(NSUInteger mask, bool dequeue) {
  for (auto it = gApp.queue.begin(); it != gApp.queue.end(); ++it) {
    id event = *it;
    if (!Matches(event, mask)) continue;
    if (!dequeue) return objc_autorelease(objc_retain(event));
    gApp.queue.erase(it);
    appkit::AssignRetained(&gApp.current_event, event);
    return objc_autorelease(event);  // the queue's reference goes to the pool
  }
  return nil;
}

bool AnyMatching(NSUInteger mask) {
  return std::any_of(gApp.queue.begin(), gApp.queue.end(),
                     [mask](id event) { return Matches(event, mask); });
}

// True when the loop that is fetching should return at once: its modal session or the run
// loop of -run was stopped (possibly by a timer or a desktop action during the wait).
bool ShouldLeaveFetch() {
  if (!gApp.modal.empty() && gApp.modal.back()->stopped) return true;
  return gApp.stop_requested;
}

// -nextEventMatchingMask:untilDate:inMode:dequeue: (a nil date means now: no waiting). A
// fetch that takes events fires the due timers of mode; a peek (dequeue NO) only looks at the
// queue and the desktop, so that code which peeks from inside a callback (the GUI runtime
// does, to decide whether to wake the loop) never fires timers re-entrantly, and a peek from
// inside a modal loop cannot fire the default mode's timers.
id NextEvent(id, SEL, NSUInteger mask, id date, id mode, BOOL dequeue) {
  if (!mode) mode = NSDefaultRunLoopMode;
  double limit = foundation::IsDate(date) ? foundation::DateSeconds(date) : ClockNow();
  if (limit >= kNoLimitSeconds) limit = kInfinity;
  bool fires_timers = dequeue != NO;
  id previous_mode = RunLoopSetCurrentMode(mode);
  id result = nil;
  for (;;) {
    result = TakeMatching(mask, dequeue != NO);
    if (result || ShouldLeaveFetch()) break;
    if (fires_timers) {
      RunLoopFireDueTimers(mode);  // callbacks may post events
      if (AnyMatching(mask)) continue;
      if (ShouldLeaveFetch()) break;
    }
    double now = ClockNow();
    if (now >= limit) break;
    double deadline = fires_timers ? std::min(limit, RunLoopNextFireDate(mode)) : limit;
    if (deadline <= now) continue;  // a timer came due meanwhile
    CurrentDesktop()->Wait(deadline);
  }
  RunLoopSetCurrentMode(previous_mode);
  return result;
}

void PostEvent(id, SEL, id event, BOOL at_start) {
  if (!event) return;
  objc_retain(event);
  if (at_start) {
    gApp.queue.push_front(event);
  } else {
    gApp.queue.push_back(event);
  }
}

void DiscardEvents(id, SEL, NSUInteger mask, id before_event) {
  for (auto it = gApp.queue.begin(); it != gApp.queue.end();) {
    if (*it == before_event) break;
    if (Matches(*it, mask)) {
      objc_release(*it);
      it = gApp.queue.erase(it);
    } else {
      ++it;
    }
  }
}

id CurrentEvent(id, SEL) {
  return gApp.current_event;
}

// --- Dispatch and actions ---

// -sendEvent: key events go to the key window (key equivalents first: the window's views
// and default button, then the main menu outside modal sessions); mouse events to the window
// they name; other events do nothing.
void SendEvent(id, SEL, id event) {
  switch (EventType(event)) {
    case kEventKeyDown: {
      id key = gApp.key_window;
      if (key && objc::Send<BOOL>(key, "performKeyEquivalent:", event)) return;
      if (gApp.modal.empty() && gApp.main_menu &&
          objc::Send<BOOL>(gApp.main_menu, "performKeyEquivalent:", event)) {
        return;
      }
      objc::Send<void>(key, "sendEvent:", event);
      return;
    }
    case kEventKeyUp:
    case kEventFlagsChanged:
      objc::Send<void>(gApp.key_window, "sendEvent:", event);
      return;
    case kEventLeftMouseDown:
    case kEventLeftMouseUp:
    case kEventRightMouseDown:
    case kEventRightMouseUp:
      objc::Send<void>(ApplicationWindowWithNumber(EventWindowNumber(event)), "sendEvent:", event);
      return;
    default:
      return;  // application-defined events only wake the fetch
  }
}

// The object that handles action along the responder chain of window: its first responder
// and the next responders after it, the window, and the window's delegate.
id TargetInWindow(id window, SEL action) {
  if (!window) return nil;
  bool window_seen = false;
  id responder = objc::Send(window, "firstResponder");
  for (int depth = 0; responder && depth < 10000; ++depth) {  // a cycle cannot hang us
    if (responder == window) window_seen = true;
    if (class_respondsToSelector(object_getClass(responder), action)) return responder;
    responder = objc::Send(responder, "nextResponder");
  }
  if (!window_seen && class_respondsToSelector(object_getClass(window), action)) return window;
  id delegate = objc::Send(window, "delegate");
  if (delegate && class_respondsToSelector(object_getClass(delegate), action)) return delegate;
  return nil;
}

// Cocoa's search for a nil target: the key window's chain, the main window's chain, the
// application, then its delegate.
id FindTarget(SEL action) {
  if (!action) return nil;
  if (id target = TargetInWindow(gApp.key_window, action)) return target;
  if (gApp.main_window != gApp.key_window) {
    if (id target = TargetInWindow(gApp.main_window, action)) return target;
  }
  if (NSApp && class_respondsToSelector(object_getClass(NSApp), action)) return NSApp;
  if (gApp.delegate && class_respondsToSelector(object_getClass(gApp.delegate), action)) {
    return gApp.delegate;
  }
  return nil;
}

id TargetForAction(id, SEL, SEL action) {
  return FindTarget(action);
}

id TargetForActionToFrom(id, SEL, SEL action, id target, id) {
  if (target) return class_respondsToSelector(object_getClass(target), action) ? target : nil;
  return FindTarget(action);
}

BOOL SendActionToFrom(id, SEL, SEL action, id target, id sender) {
  if (!action) return NO;
  id receiver = target ? target : FindTarget(action);
  if (!receiver || !class_respondsToSelector(object_getClass(receiver), action)) return NO;
  objc_retain(receiver);
  objc_msgSend(receiver, action, sender);
  objc_release(receiver);
  return YES;
}

// -updateWindows runs after every event: once warm it allocates nothing (the list and the
// notification are reused; a nested call uses a list of its own).
void UpdateWindows(id, SEL) {
  static std::vector<id> reused;  // windows to tell, retained while being told
  static bool busy = false;       // reused is in use by an outer call
  static id notification = nil;   // NSWindowDidUpdateNotification, reused
  std::vector<id> nested;
  std::vector<id>& windows = busy ? nested : reused;
  bool outer = !busy;
  busy = true;
  windows.clear();
  for (id window : gApp.windows) {  // a delegate may close windows meanwhile: keep them
    if (Responds(objc::Send(window, "delegate"), "windowDidUpdate:")) {
      windows.push_back(objc_retain(window));
    }
  }
  for (size_t i = 0; i < windows.size(); ++i) {
    id window = windows[i];
    foundation::SendNotificationReusing(&notification, objc::Send(window, "delegate"),
                                        "windowDidUpdate:", "NSWindowDidUpdateNotification",
                                        window);
    objc_release(window);
  }
  windows.clear();
  if (outer) busy = false;
}

// --- Modal sessions ---

// Inside a modal session only the modal window (and its child windows) receive key and mouse
// events; other events are dropped, as Cocoa does.
bool AllowedInModal(id event, id modal_window) {
  NSUInteger type = EventType(event);
  id target = nil;
  if (type == kEventKeyDown || type == kEventKeyUp) {
    target = gApp.key_window;
  } else if (type >= kEventLeftMouseDown && type <= kEventRightMouseUp) {
    target = ApplicationWindowWithNumber(EventWindowNumber(event));
  } else {
    return true;
  }
  for (id window = target; window; window = objc::Send(window, "parentWindow")) {
    if (window == modal_window) return true;
  }
  return false;
}

ModalSession* BeginSession(id window) {
  auto* session = new ModalSession{objc_retain(window), kModalResponseContinue, false};
  gApp.modal.push_back(session);
  objc::Send<void>(window, "makeKeyAndOrderFront:", static_cast<id>(nil));
  return session;
}

void EndSession(ModalSession* session) {
  auto found = std::find(gApp.modal.begin(), gApp.modal.end(), session);
  if (found == gApp.modal.end()) return;
  gApp.modal.erase(found);
  objc_release(session->window);
  delete session;
}

// Takes and dispatches one event of the modal loop; waits until limit_date (nil: not at
// all). Answers false when no event came.
bool RunModalStep(ModalSession* session, id limit_date) {
  objc::AutoreleasePool pool;
  id event = NextEvent(NSApp, nullptr, ~NSUInteger{0}, limit_date, NSModalPanelRunLoopMode, YES);
  if (!event) return false;
  if (AllowedInModal(event, session->window)) objc::Send<void>(NSApp, "sendEvent:", event);
  objc::Send<void>(NSApp, "updateWindows");
  return true;
}

NSInteger RunModalForWindow(id, SEL, id window) {
  if (!window) return kModalResponseAbort;
  ModalSession* session = BeginSession(window);
  id forever = objc_retain(objc::Send(objc_lookUpClass("NSDate"), "distantFuture"));
  while (!session->stopped) RunModalStep(session, forever);
  objc_release(forever);
  NSInteger code = session->code;
  EndSession(session);
  return code;
}

void* BeginModalSession(id, SEL, id window) {
  return window ? BeginSession(window) : nullptr;
}

NSInteger RunModalSession(id, SEL, void* handle) {
  auto* session = static_cast<ModalSession*>(handle);
  if (std::find(gApp.modal.begin(), gApp.modal.end(), session) == gApp.modal.end()) {
    return kModalResponseAbort;
  }
  while (!session->stopped && RunModalStep(session, nil)) {
  }
  return session->stopped ? session->code : kModalResponseContinue;
}

void EndModalSession(id, SEL, void* handle) {
  EndSession(static_cast<ModalSession*>(handle));
}

void StopModalWithCode(id, SEL, NSInteger code) {
  if (gApp.modal.empty()) return;
  gApp.modal.back()->stopped = true;
  gApp.modal.back()->code = code;
}
void StopModal(id self, SEL) {
  StopModalWithCode(self, nullptr, kModalResponseStop);
}
void AbortModal(id self, SEL) {
  StopModalWithCode(self, nullptr, kModalResponseAbort);
}
id ModalWindow(id, SEL) {
  return ApplicationModalWindow();
}

// --- Application methods ---

id SharedApplication(Class cls, SEL) {
  if (!NSApp) {
    // The application starts here: from now on programs launched by name find the bundle's
    // Linux helpers.
    foundation::AppendBundleHelpersToPath();
    NSApp = objc::Send(objc::Send(cls, "alloc"), "init");
  }
  return NSApp;
}

id Delegate(id, SEL) {
  return gApp.delegate;
}
void SetDelegate(id, SEL, id delegate) {
  gApp.delegate = delegate;
}
id MainMenu(id, SEL) {
  return gApp.main_menu;
}
void SetMainMenu(id, SEL, id menu) {
  appkit::AssignRetained(&gApp.main_menu, menu);
}
id KeyWindow(id, SEL) {
  return gApp.key_window;
}
id MainWindow(id, SEL) {
  return gApp.main_window;
}
id Windows(id, SEL) {
  return foundation::MakeArray(gApp.windows);
}

void FinishLaunching(id self, SEL) {
  if (gApp.launched) return;
  gApp.launched = true;
  foundation::SendNotification(gApp.delegate, "applicationWillFinishLaunching:",
                               "NSApplicationWillFinishLaunchingNotification", self);
  // The program drives its own loop instead of -run, so launching is over here.
  foundation::SendNotification(gApp.delegate, "applicationDidFinishLaunching:",
                               "NSApplicationDidFinishLaunchingNotification", self);
}

void Run(id self, SEL) {
  FinishLaunching(self, nullptr);
  gApp.stop_requested = false;
  id forever = objc_retain(objc::Send(objc_lookUpClass("NSDate"), "distantFuture"));
  while (!gApp.stop_requested) {
    objc::AutoreleasePool pool;
    id event = NextEvent(self, nullptr, ~NSUInteger{0}, forever, NSDefaultRunLoopMode, YES);
    if (event) objc::Send<void>(self, "sendEvent:", event);
    objc::Send<void>(self, "updateWindows");
  }
  objc_release(forever);
  gApp.stop_requested = false;
}

// -stop: ends the innermost modal loop, or else -run.
void Stop(id self, SEL, id) {
  if (!gApp.modal.empty()) {
    StopModal(self, nullptr);
  } else {
    gApp.stop_requested = true;
  }
}

// -terminate: asks the delegate; NSTerminateNow (1) ends the process with code 0. Cancel (0)
// and NSTerminateLater (2) keep it running (a later reply is not supported: nothing in the
// platform waits for one).
void Terminate(id self, SEL, id) {
  NSUInteger reply = 1;
  if (Responds(gApp.delegate, "applicationShouldTerminate:")) {
    reply = objc::Send<NSUInteger>(gApp.delegate, "applicationShouldTerminate:", self);
  }
  if (reply != 1) return;
  foundation::SendNotification(
      gApp.delegate, "applicationWillTerminate:", "NSApplicationWillTerminateNotification", self);
  std::exit(0);
}

void ActivateIgnoringOtherApps(id, SEL, BOOL) {
  CurrentDesktop()->ApplicationActivated();
}
BOOL IsActive(id, SEL) {
  return YES;
}
BOOL IsRunning(id, SEL) {
  return gApp.launched ? YES : NO;
}
BOOL SetActivationPolicy(id, SEL, NSInteger policy) {
  gApp.activation_policy = policy;
  return YES;
}
NSInteger ActivationPolicy(id, SEL) {
  return gApp.activation_policy;
}
// Hiding is the desktop's business; these actions are accepted and do nothing.
void IgnoreSender(id, SEL, id) {}

}  // namespace

// --- Internal interface and loader ---

void ApplicationAddWindow(id window) {
  gApp.windows.push_back(window);
}

void ApplicationRemoveWindow(id window) {
  auto found = std::find(gApp.windows.begin(), gApp.windows.end(), window);
  if (found != gApp.windows.end()) gApp.windows.erase(found);
  if (gApp.key_window == window) gApp.key_window = nil;
  if (gApp.main_window == window) gApp.main_window = nil;
}

id ApplicationWindowWithNumber(NSInteger number) {
  if (number <= 0) return nil;
  for (id window : gApp.windows) {
    if (objc::Send<NSInteger>(window, "windowNumber") == number) return window;
  }
  return nil;
}

id ApplicationKeyWindow() {
  return gApp.key_window;
}
void ApplicationSetKeyWindow(id window) {
  gApp.key_window = window;
}
id ApplicationMainWindow() {
  return gApp.main_window;
}
void ApplicationSetMainWindow(id window) {
  gApp.main_window = window;
}
id ApplicationModalWindow() {
  return gApp.modal.empty() ? nil : gApp.modal.back()->window;
}

namespace appkit {

void LoadNSApplicationClass() {
  gApplication = objc::DefineClass("NSApplication", "NSResponder");
  Class cls = gApplication;
  objc::AddClassMethod(cls, "sharedApplication", &SharedApplication);
  objc::AddMethod(cls, "nextEventMatchingMask:untilDate:inMode:dequeue:", &NextEvent);
  objc::AddMethod(cls, "postEvent:atStart:", &PostEvent);
  objc::AddMethod(cls, "discardEventsMatchingMask:beforeEvent:", &DiscardEvents);
  objc::AddMethod(cls, "currentEvent", &CurrentEvent);
  objc::AddMethod(cls, "sendEvent:", &SendEvent);
  objc::AddMethod(cls, "sendAction:to:from:", &SendActionToFrom);
  objc::AddMethod(cls, "targetForAction:", &TargetForAction);
  objc::AddMethod(cls, "targetForAction:to:from:", &TargetForActionToFrom);
  objc::AddMethod(cls, "updateWindows", &UpdateWindows);
  objc::AddMethod(cls, "runModalForWindow:", &RunModalForWindow);
  objc::AddMethod(cls, "beginModalSessionForWindow:", &BeginModalSession);
  objc::AddMethod(cls, "runModalSession:", &RunModalSession);
  objc::AddMethod(cls, "endModalSession:", &EndModalSession);
  objc::AddMethod(cls, "stopModal", &StopModal);
  objc::AddMethod(cls, "stopModalWithCode:", &StopModalWithCode);
  objc::AddMethod(cls, "abortModal", &AbortModal);
  objc::AddMethod(cls, "modalWindow", &ModalWindow);
  objc::AddMethod(cls, "delegate", &Delegate);
  objc::AddMethod(cls, "setDelegate:", &SetDelegate);
  objc::AddMethod(cls, "mainMenu", &MainMenu);
  objc::AddMethod(cls, "setMainMenu:", &SetMainMenu);
  objc::AddMethod(cls, "keyWindow", &KeyWindow);
  objc::AddMethod(cls, "mainWindow", &MainWindow);
  objc::AddMethod(cls, "windows", &Windows);
  objc::AddMethod(cls, "finishLaunching", &FinishLaunching);
  objc::AddMethod(cls, "run", &Run);
  objc::AddMethod(cls, "stop:", &Stop);
  objc::AddMethod(cls, "terminate:", &Terminate);
  objc::AddMethod(cls, "activateIgnoringOtherApps:", &ActivateIgnoringOtherApps);
  objc::AddMethod(cls, "isActive", &IsActive);
  objc::AddMethod(cls, "isRunning", &IsRunning);
  objc::AddMethod(cls, "setActivationPolicy:", &SetActivationPolicy);
  objc::AddMethod(cls, "activationPolicy", &ActivationPolicy);
  objc::AddMethod(cls, "hide:", &IgnoreSender);
  objc::AddMethod(cls, "unhide:", &IgnoreSender);
  objc::AddMethod(cls, "hideOtherApplications:", &IgnoreSender);
  objc::AddMethod(cls, "unhideAllApplications:", &IgnoreSender);
}

}  // namespace appkit
