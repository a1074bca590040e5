// The graphical desktop's alerts, shown by the GTK module (gtk_module.h), which is loaded the
// first time an alert runs. What the person does comes back into the model the way the
// terminal desktop's commands put it there: a button's performClick:, the field's text typed
// over its selection.
#pragma once

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "platform/graphical/gtk_module.h"
#include "platform/graphical/icon_pixmap.h"
#include "platform/graphical/menu_layout.h"
#include "platform/objc/objc.h"

class GtkBridge {
 public:
  GtkBridge() = default;
  GtkBridge(const GtkBridge&) = delete;
  GtkBridge& operator=(const GtkBridge&) = delete;

  // Shows alert (about to run its modal loop) and forgets it once the loop ended.
  void AlertStarted(id alert, bool dark);
  void AlertEnded(id alert);
  // The program's numbered windows, shown (and brought up to date before every wait) while
  // they are visible.
  void WindowShown(id window, bool dark);
  void WindowHidden(id window);
  // Brings every shown window up to date with its views.
  void SyncWindows();
  // Docks the status item's icon in the X11 system tray with its tooltip and the menu a
  // click opens (choosing an entry calls choose with its id), or brings it up to date.
  void ShowTrayIcon(const IconPixmap& icon, const std::string& tool_tip, const MenuEntry& menu,
                    bool dark, std::function<void(int32_t)> choose);
  void HideTrayIcon();
  // Follows the appearance, once GTK runs.
  void SetDark(bool dark);
  // Carries out what had to wait for the alert's modal loop (an answer for an alert that
  // could not be shown); the desktop calls it at every wait.
  void RunPending();

 private:
  // Loads and starts the module on first use; false (said once) when it cannot.
  bool Ready(bool dark);
  static void OnButton(void* self, int number, int index);
  static void OnFieldText(void* self, int number, const char* text);
  static void OnViewClicked(void* self, int window, int view);
  static void OnViewText(void* self, int window, int view, const char* text);
  static void OnViewFocused(void* self, int window, int view);
  static void OnViewChose(void* self, int window, int view, int index);
  static void OnViewStepped(void* self, int window, int view, int up);
  static void OnKeyPressed(void* self, int window, const char* name);
  static void OnWindowClose(void* self, int window);
  static void OnMenuChosen(void* self, int id);

  // One alert shown.
  struct Shown {
    id alert;    // retained while shown
    int number;  // the module's number; 0 when it could not be shown
  };
  const MindelGtkModule* module_ = nullptr;  // null until loaded
  bool tried_ = false;                       // loading was tried (and said when it failed)
  MindelGtkHost host_{};                     // our calls, for the module
  std::vector<Shown> alerts_;                // innermost last
  std::vector<id> unanswered_;  // alerts that could not be shown, to answer in their loop
  std::vector<std::pair<id, int>> windows_;  // windows shown (retained) and their numbers
  std::function<void(int32_t)> choose_;      // the tray menu's choices go here
  std::string tray_shown_;                   // what the tray icon shows, as a key; "" hidden
};
