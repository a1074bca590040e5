// The application object and the application menu: VoApplication with the edit shortcuts,
// VoApplicationDelegate, start-up and the menu bar.
//
// Sections: Classes, Application menu, Start-up.
#include "gui/application.h"

#include <unistd.h>

#include <cstring>

#include "gui/cocoa.h"
#include "gui/event_queue.h"
#include "gui/menus.h"
#include "platform/carbon/carbon.h"
#include "platform/foundation/core_foundation.h"

namespace {

Class g_application_class = nil;  // VoApplication
Class g_delegate_class = nil;     // VoApplicationDelegate

id g_default_main_menu = nil;  // main menu made at start, reinstalled when a menu bar goes; owned
id g_application_menu = nil;   // the application menu, built once; owned
id g_about_item = nil;         // its About item; held by the application menu
id g_preferences_item = nil;   // its Preferences item; held by the application menu
id g_quit_item = nil;          // its Quit item; held by the application menu
id g_apple_item = nil;         // "Apple" item carrying the application menu; owned
id g_application_delegate = nil;            // the VoApplicationDelegate; lives for the whole run
OpenFilesHook g_open_files_hook = nullptr;  // receives opened files; none in this program

constexpr NSUInteger kCommand = 0x100000;
constexpr NSUInteger kCommandShift = 0x120000;
constexpr NSUInteger kCommandOption = 0x180000;
constexpr NSUInteger kKeyDown = 10;
constexpr int kPathBytes = 255;  // limit of the bundle path and of the Contents path

// --- Classes ---

// Sends action up the responder chain; true when someone handled it.
bool SendEditAction(id application, const char* action) {
  return objc::Send<BOOL>(application, "sendAction:to:from:", sel_registerName(action),
                          static_cast<id>(nil), application) != NO;
}

bool CharactersAre(id characters, const char* text) {
  return objc::Send<BOOL>(characters, "isEqualToString:", CocoaStringFromUtf8(text)) != NO;
}

// Gives text fields cut, copy, paste, select all, undo and redo without an Edit menu.
void SendEvent(id self, SEL sel, id event) {
  if (objc::Send<NSUInteger>(event, "type") == kKeyDown) {
    NSUInteger mods = objc::Send<NSUInteger>(event, "modifierFlags") & ~NSUInteger{0xFFFF};
    id chars = objc::Send(event, "charactersIgnoringModifiers");
    if (mods == kCommand) {
      static const char* const kEdits[][2] = {
          {"x", "cut:"}, {"c", "copy:"}, {"v", "paste:"}, {"a", "selectAll:"}};
      for (const auto& edit : kEdits) {
        if (CharactersAre(chars, edit[0])) {
          if (SendEditAction(self, edit[1])) return;
          break;
        }
      }
      // Undo goes on to the normal dispatch whether or not it was handled.
      if (CharactersAre(chars, "z")) SendEditAction(self, "undo:");
    } else if (mods == kCommandShift && CharactersAre(chars, "Z")) {
      if (SendEditAction(self, "redo:")) return;
    }
  }
  objc::SendSuper<void>(self, g_application_class, sel, event);
}

void OpenFiles(id, SEL, id, id files) {
  id joined = objc::Send(files, "componentsJoinedByString:", CocoaStringFromUtf8("\t"));
  if (g_open_files_hook) g_open_files_hook(objc::Send<const char*>(joined, "UTF8String"));
}

// Cocoa never ends the process by itself: a quit request becomes a MenuEvent for the program.
NSUInteger ShouldTerminate(id, SEL, id) {
  QueueUiEvent(MenuEvent, QuitItem, -1, 0);
  return 0;
}

void ThreadedAction(id, SEL, id) {}

void DefineApplicationClasses() {
  if (g_application_class) return;
  g_application_class = objc::DefineClass("VoApplication", "NSApplication");
  objc::AddMethod(g_application_class, "sendEvent:", &SendEvent);

  g_delegate_class = objc::DefineClass("VoApplicationDelegate", "NSObject");
  objc::AddMethod(g_delegate_class, "application:openFiles:", &OpenFiles);
  objc::AddMethod(g_delegate_class, "applicationShouldTerminate:", &ShouldTerminate);
  objc::AddMethod(g_delegate_class, "theadedAction:", &ThreadedAction);
}

// --- Application menu ---

id NewMenuItem(id title, const char* action, const char* key) {
  return objc::Send(
      objc::Send(CocoaClass("NSMenuItem"), "alloc"), "initWithTitle:action:keyEquivalent:", title,
      action ? sel_registerName(action) : static_cast<SEL>(nullptr), CocoaStringFromUtf8(key));
}

// Adds item (+1) to the menu and drops the creating reference; answers the item.
id AddOwnedItem(id menu, id item) {
  objc::Send<void>(menu, "addItem:", item);
  objc::Release(item);
  return item;
}

void AddSeparator(id menu) {
  objc::Send<void>(menu, "addItem:", objc::Send(CocoaClass("NSMenuItem"), "separatorItem"));
}

id FormatWithName(const char* format, id name) {
  uint64_t word =
      objc_msgSend(reinterpret_cast<id>(CocoaClass("NSString")),
                   sel_registerName("stringWithFormat:"), CocoaStringFromUtf8(format), name);
  return reinterpret_cast<id>(static_cast<uintptr_t>(word));
}

void BuildApplicationMenuOnce() {
  if (g_application_menu) return;
  id path = objc::Send(objc::Send(CocoaClass("NSBundle"), "mainBundle"), "executablePath");
  id name = objc::Send(objc::Send(path, "componentsSeparatedByString:", CocoaStringFromUtf8("/")),
                       "lastObject");
  if (!name) name = CocoaStringFromUtf8("");

  id menu = objc::Send(objc::Send(CocoaClass("NSMenu"), "alloc"),
                       "initWithTitle:", CocoaStringFromUtf8(""));
  g_about_item = AddOwnedItem(menu, NewMenuItem(FormatWithName("About %@", name), "about:", ""));
  AddSeparator(menu);
  static const char16_t kPreferences[] = u"Preferences\u2026";
  g_preferences_item =
      AddOwnedItem(menu, NewMenuItem(MakeCocoaString(kPreferences), "preferences:", ","));
  AddSeparator(menu);
  id services = AddOwnedItem(menu, NewMenuItem(CocoaStringFromUtf8("Services"), nullptr, ""));
  id services_menu = objc::Send(objc::Send(CocoaClass("NSMenu"), "alloc"),
                                "initWithTitle:", CocoaStringFromUtf8("Services"));
  objc::Send<void>(services, "setSubmenu:", services_menu);
  objc::Release(services_menu);
  AddSeparator(menu);
  AddOwnedItem(menu, NewMenuItem(FormatWithName("Hide %@", name), "hide:", "h"));
  id hide_others = AddOwnedItem(
      menu, NewMenuItem(CocoaStringFromUtf8("Hide Others"), "hideOtherApplications:", "h"));
  objc::Send<void>(hide_others, "setKeyEquivalentModifierMask:", kCommandOption);
  AddOwnedItem(menu, NewMenuItem(CocoaStringFromUtf8("Show All"), "unhideAllApplications:", ""));
  AddSeparator(menu);
  g_quit_item = AddOwnedItem(menu, NewMenuItem(FormatWithName("Quit %@", name), "terminate:", "q"));
  objc::Send<void>(g_quit_item, "setTarget:", SharedMenuDelegate());
  g_application_menu = menu;

  g_apple_item = NewMenuItem(CocoaStringFromUtf8("Apple"), nullptr, "");
  objc::Send<void>(g_apple_item, "setSubmenu:", g_application_menu);
}

}  // namespace

id BuildApplicationMenu() {
  id menu = objc::Send(objc::Send(CocoaClass("NSMenu"), "alloc"), "init");
  while (objc::Send<NSInteger>(menu, "numberOfItems") != 0) {
    objc::Send<void>(menu, "removeItemAtIndex:", NSInteger{0});
  }
  BuildApplicationMenuOnce();
  return menu;
}

void InstallMenuBar(id menu, int64_t window) {
  id app = SharedApplication();
  if (!app || !menu) return;
  // The item can sit in one menu only: take it from the menu bar that holds it now.
  id holder = objc::Send(g_apple_item, "menu");
  if (holder) objc::Send<void>(holder, "removeItem:", g_apple_item);
  objc::Send<void>(menu, "insertItem:atIndex:", g_apple_item, NSInteger{0});
  objc::Send<void>(app, "setMainMenu:", menu);
  objc::Send<void>(SharedMenuDelegate(), "setWindowID:", window);
}

id DefaultMainMenu() {
  return g_default_main_menu;
}

id ApplicationMenuItem(int64_t item) {
  switch (item) {
    case AboutItem:
      return g_about_item;
    case PreferencesItem:
      return g_preferences_item;
    case QuitItem:
      return g_quit_item;
    default:
      return nil;
  }
}

void SetOpenFilesHook(OpenFilesHook hook) {
  g_open_files_hook = hook;
}

// --- Start-up ---

void BringProcessToFront() {
  ProcessSerialNumber process;
  if (GetCurrentProcess(&process) == noErr) SetFrontProcess(&process);
}

void StartApplication() {
  RecycleAutoreleasePool();  // the runtime's first pool

  id defaults = objc::Send(CocoaClass("NSUserDefaults"), "standardUserDefaults");
  id no = objc::Send(CocoaClass("NSNumber"), "numberWithBool:", NO);
  id registered = objc::Send(CocoaClass("NSDictionary"), "dictionaryWithObject:forKey:", no,
                             CocoaStringFromUtf8("NSFunctionBarAPIEnabled"));
  objc::Send<void>(defaults, "registerDefaults:", registered);

  DefineApplicationClasses();
  DefineMenuClasses();
  id app = objc::Send(g_application_class, "sharedApplication");
  if (!objc::Send(app, "delegate")) {
    CreateMenuDelegate();
    g_default_main_menu = BuildApplicationMenu();
    InstallMenuBar(g_default_main_menu, -1);
    g_application_delegate = objc::Send(g_delegate_class, "new");
    objc::Send<void>(app, "setDelegate:", g_application_delegate);
  }
  objc::Send<void>(app, "finishLaunching");
}

void EnterBundleContents() {
  CFBundleRef bundle = CFBundleGetMainBundle();
  if (!bundle) return;
  CFURLRef url = CFBundleCopyBundleURL(bundle);
  if (!url) return;
  char path[kPathBytes + 1] = {};
  Boolean ok =
      CFURLGetFileSystemRepresentation(url, true, reinterpret_cast<UInt8*>(path), kPathBytes);
  CFRelease(url);
  if (!ok) return;
  static const char kContents[] = "/Contents";
  if (std::strlen(path) + sizeof(kContents) - 1 > kPathBytes) return;  // would not fit
  std::strcat(path, kContents);
  if (chdir(path) != 0) return;  // the working directory stays where it was
}
