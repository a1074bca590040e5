// The program's desktop actions, each posting its hot key's program event.
#include "app/desktop_actions.h"

#include "app/hot_keys.h"
#include "app/main_loop.h"
#include "gui/event_queue.h"
#include "platform/carbon/carbon.h"

namespace {

// One action: its name for the desktop, the title people see, and the event it posts.
struct DesktopAction {
  const char* name;
  const char* title;
  int32_t event;
};

constexpr DesktopAction kActions[] = {
    {"enter-task", "Enter Task", TaskKeyEvent},
    {"clear-task", "Clear Task", ClearKeyEvent},
};

void PostActionEvent(void* action) {
  const int32_t event = static_cast<const DesktopAction*>(action)->event;
  QueueProgramEvent(event, HotKeyNoTarget, HotKeyNoTarget, HotKeyNoTarget, nullptr);
}

}  // namespace

void OfferDesktopActions() {
  for (const DesktopAction& action : kActions) {
    // A refusal leaves the action out; the hot keys work without it.
    AddApplicationAction(action.name, action.title, &PostActionEvent,
                         const_cast<DesktopAction*>(&action));
  }
}

const char* DesktopActionOfEvent(int64_t event) {
  for (const DesktopAction& action : kActions) {
    if (action.event == event) return action.name;
  }
  return nullptr;
}
