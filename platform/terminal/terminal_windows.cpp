// Naming views for the terminal protocol: "W.V" ids.
#include "platform/terminal/terminal_windows.h"

namespace terminal {

id FindView(const ViewId& view_id, id* window, std::string* error) {
  *window = FindNumberedWindow(view_id.window);
  if (!*window) {
    *error = "no window " + std::to_string(view_id.window);
    return nil;
  }
  const std::vector<id> views = NumberedViews(*window);
  if (view_id.view < 1 || static_cast<uint64_t>(view_id.view) > views.size()) {
    *error =
        "window " + std::to_string(view_id.window) + " has no view " + std::to_string(view_id.view);
    return nil;
  }
  return views[static_cast<size_t>(view_id.view - 1)];
}

}  // namespace terminal
