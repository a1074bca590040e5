// The program's start-up, in its fixed order: every runtime library is initialised exactly
// once, before any of its objects is made, and no event is read before the status item
// exists.
#include "app/startup.h"

#include "app/desktop_actions.h"
#include "app/hot_keys.h"
#include "app/settings.h"
#include "app/state.h"
#include "app/status_item.h"
#include "core/file.h"
#include "core/filesystem.h"
#include "core/memory.h"
#include "core/temp_buffer.h"
#include "core/text.h"
#include "core/threads.h"
#include "gui/application.h"
#include "gui/event_queue.h"
#include "gui/gadgets.h"
#include "gui/menus.h"
#include "gui/selector_bridge.h"
#include "gui/windows.h"
#include "image/image.h"

namespace {

// ResourceDir: the program file's folder followed by "../Resources/".
void FindResourceDir() {
  PushTempStart();
  const int64_t program = PeekTempStart();
  ExecutablePath(program);
  PushTempStart();
  const int64_t folder = PopTempStart();
  PathDirectory(TempPointerAt(program + 1), folder);
  AppendTemp(u"../Resources/");
  StoreTemp(&ResourceDir, folder);
  PopTempDiscard();
}

// PrefsFile: the home folder followed by "Library/Preferences/Mindel.plist".
void FindPrefsFile() {
  PushTempStart();
  const int64_t home = PeekTempStart();
  HomeDirectoryPath(home);
  AppendTemp(u"Library/Preferences/Mindel.plist");
  StoreTemp(&PrefsFile, home);
  PopTempDiscard();
}

// Every runtime library's initialisation routine, in the order the libraries build on
// each other.
void InitRuntimeLibraries() {
  InitHeapSettings();
  InitTempBuffer();
  FilesInit();
  // The array and list libraries keep no global state: nothing to initialise.
  // The vector-drawing and image-decoder libraries keep no global state of their own.
  ImagesInit();
  CreateDrawingKey();
  // The map library keeps no global state: nothing to initialise.
  InitEventQueue();
  InitWindows();
  InitMenus();
  InitGadgets();
  InitRuntimeThreads();  // the process library: its list mutex and data block
}

}  // namespace

int64_t MaxTaskLengthForWidth(int64_t width) {
  return width > 1920 ? 90 : 45;
}

void StartProgram(int argc, char** argv) {
  ProgramArgumentCount = argc;
  ProgramArguments = argv;

  BringProcessToFront();
  StartApplication();
  InitLocale();  // numbers always with a point
  EnterBundleContents();
  InitRuntimeLibraries();

  FindResourceDir();

  BuildKeyCodeMap();
  InstallHotKeyHandler();  // tells the user and ends the program when it fails
  OfferDesktopActions();

  Defaults = SelectorObject(SelectorSend0(nullptr, nil, "NSUserDefaults standardUserDefaults"));

  FindPrefsFile();
  if (PathSize(PrefsFile) == -1) {
    WriteFirstRunSettings();
  } else {
    LoadSettings();
  }

  CountScreens();
  MaxTaskLength = MaxTaskLengthForWidth(ScreenWidth(0));

  BuildStatusItem();
}
