// The application's named actions, which the desktop starts from outside the program
// (launchers, scripts, keyboard shortcuts of the desktop's settings, global shortcuts).
#include <cstring>
#include <string>
#include <vector>

#include "platform/carbon/carbon.h"
#include "platform/carbon/carbon_desktop.h"

namespace {

constexpr size_t kMaxActionName = 64;
// A bound so a runaway caller cannot grow the table forever; desktops list a few at most.
constexpr size_t kMaxActions = 64;

// One offered action.
struct ApplicationAction {
  std::string name;                  // its identifier for the desktop ("enter-task")
  std::string title;                 // what people see ("Enter Task")
  ApplicationActionProcPtr perform;  // run on the main thread
  void* user_data;                   // handed to perform, not owned
};

std::vector<ApplicationAction>& Actions() {
  static std::vector<ApplicationAction> actions;
  return actions;
}

// Lower-case letters, digits and '-', starting with a letter: a name valid as a desktop
// entry's action, a D-Bus action name and a shortcut identifier alike.
bool IsActionName(const char* name) {
  const size_t length = std::strlen(name);
  if (length == 0 || length > kMaxActionName || name[0] < 'a' || name[0] > 'z') return false;
  for (size_t i = 0; i < length; ++i) {
    const char c = name[i];
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-')) return false;
  }
  return true;
}

const ApplicationAction* Find(const char* name) {
  if (name == nullptr) return nullptr;
  for (const ApplicationAction& action : Actions()) {
    if (action.name == name) return &action;
  }
  return nullptr;
}

}  // namespace

extern "C" OSStatus AddApplicationAction(const char* inName, const char* inTitle,
                                         ApplicationActionProcPtr inPerform, void* inUserData) {
  if (inName == nullptr || inTitle == nullptr || inTitle[0] == 0 || inPerform == nullptr ||
      !IsActionName(inName) || Find(inName) != nullptr || Actions().size() >= kMaxActions) {
    return paramErr;
  }
  Actions().push_back({inName, inTitle, inPerform, inUserData});
  return noErr;
}

bool CarbonPerformAction(const char* name) {
  const ApplicationAction* action = Find(name);
  if (action == nullptr) return false;
  // Copied out first: the action may add another, which can move the table.
  const ApplicationActionProcPtr perform = action->perform;
  void* const user_data = action->user_data;
  perform(user_data);
  return true;
}

const char* CarbonActionTitle(const char* name) {
  const ApplicationAction* action = Find(name);
  return action ? action->title.c_str() : nullptr;
}

void CarbonForEachAction(void (*visit)(void* context, const char* name, const char* title),
                         void* context) {
  if (visit == nullptr) return;
  for (size_t i = 0; i < Actions().size(); ++i) {
    visit(context, Actions()[i].name.c_str(), Actions()[i].title.c_str());
  }
}
