// The gadget framework's state table: the registry of gadget records by number, the set-up,
// the number-taking operations and the common creation steps of the kinds. The functions
// objects are in gadget_functions.cpp, the tagged views in gadget_views.cpp, the gadget lists
// in gadget_lists.cpp and freeing in gadget_destruction.cpp.
//
// Sections: State, Set-up, Number-taking operations, For the kinds.
#include "gui/gadgets.h"

#include "core/cfstring.h"
#include "core/registry.h"
#include "gui/cocoa.h"
#include "gui/windows.h"

namespace {

// --- State ---

ObjectRegistry* g_gadgets = nullptr;  // GadgetRecord by gadget number
constexpr int32_t kGadgetSlots = 16;  // initial slots of the gadget registry

void DestroyGadgetCallback(int64_t gadget) {
  DestroyGadget(gadget);
}

id FunctionsOf(int64_t gadget) {
  GadgetRecord* record = FindGadgetRecord(gadget);
  return record ? record->functions : nil;
}

}  // namespace

ObjectRegistry* GadgetRegistry() {
  return g_gadgets;
}

GadgetRecord* FindGadgetRecord(int64_t gadget) {
  if (!g_gadgets) return nullptr;
  return static_cast<GadgetRecord*>(FindObject(g_gadgets, gadget));
}

// --- Set-up ---

void InitGadgetClasses() {
  if (GadgetFunctionsClass()) return;
  objc::EnsureClassesLoaded();
  InitWindows();  // Vo_NSFlippedView, which lists may need as a content view
  DefineGadgetFunctionsClass();
  DefineGadgetListClass();
  DefineTaggedViewClass("Vo_NSButton", "NSButton");
  DefineTaggedViewClass("Vo_NSTextField", "NSTextField");
  DefineTaggedViewClass("Vo_NSPopUpButton", "NSPopUpButton");
  DefineTaggedViewClass("Vo_NSComboBox", "NSComboBox");
  DefineTaggedViewClass("VoButtonGadgetView", "NSButton");
  DefineTaggedViewClass("VoShortcutView", "NSTextField");
  DefineButtonGadgetClasses();
  DefineCheckboxGadgetClasses();
  DefineTextGadgetClasses();
  DefineComboBoxGadgetClasses();
  DefineSpinGadgetClasses();
  DefineShortcutGadgetClasses();
}

void InitGadgets() {
  InitGadgetClasses();
  if (!g_gadgets) {
    g_gadgets = CreateRegistry(sizeof(GadgetRecord), kGadgetSlots, &DestroyGadgetCallback);
  }
}

void EndGadgets() {
  DestroyGadget(-1);
}

// --- Number-taking operations ---

int64_t AddGadgetItem(int64_t gadget, int32_t position, const char16_t* text, id image,
                      int32_t flags) {
  id functions = FunctionsOf(gadget);
  if (!functions) return 0;
  CFStringRef string = StringToCFString(text);
  int64_t result =
      objc::Send<int64_t>(functions, "AddGadgetItem:text:image:flags:", position,
                          reinterpret_cast<id>(const_cast<__CFString*>(string)), image, flags);
  if (string) CFRelease(string);
  return result;
}
int64_t AddGadgetItem(int64_t gadget, int32_t position, const char16_t* text, id image) {
  return AddGadgetItem(gadget, position, text, image, 0);
}
int64_t AddGadgetItem(int64_t gadget, int32_t position, const char16_t* text) {
  return AddGadgetItem(gadget, position, text, nil, 0);
}

void DisableGadget(int64_t gadget, int32_t state) {
  objc::Send<void>(FunctionsOf(gadget), "DisableGadget:", state);
}

void GadgetToolTip(int64_t gadget, const char16_t* text) {
  id functions = FunctionsOf(gadget);
  if (functions) objc::Send<void>(functions, "GadgetToolTip:", MakeCocoaString(text));
}

int64_t GetGadgetState(int64_t gadget) {
  return objc::Send<int64_t>(FunctionsOf(gadget), "GetGadgetState");
}

void SetGadgetState(int64_t gadget, int64_t state) {
  objc::Send<void>(FunctionsOf(gadget), "SetGadgetState:", state);
}

void GetGadgetText(int64_t gadget, int64_t offset) {
  id functions = FunctionsOf(gadget);
  id text = functions ? objc::Send(functions, "GetGadgetText") : nil;
  CFStringToTemp(reinterpret_cast<CFStringRef>(text), offset);
}

void SetGadgetText(int64_t gadget, const char16_t* text) {
  id functions = FunctionsOf(gadget);
  if (!functions) return;
  CFStringRef string = StringToCFString(text);
  objc::Send<void>(functions,
                   "SetGadgetText:", reinterpret_cast<id>(const_cast<__CFString*>(string)));
  if (string) CFRelease(string);
}

id GadgetView(int64_t gadget) {
  GadgetRecord* record = FindGadgetRecord(gadget);
  return record ? record->view : nil;
}

// --- For the kinds ---

GadgetRecord* SetupGadget(id functions, int64_t number, int32_t kind, id view, id container,
                          int32_t flags) {
  auto* record = reinterpret_cast<GadgetRecord*>(objc::Send<void*>(
      functions, "setup:type:view:container:flags:", number, kind, view, container, flags));
  if (!record) objc::Release(functions);
  return record;
}

int64_t PlaceGadget(int64_t number, GadgetRecord* record) {
  objc::Send<void>(GadgetListCurrentView(), "addSubview:", record->container);
  if (number == -1) return static_cast<int64_t>(reinterpret_cast<intptr_t>(record));
  return static_cast<int64_t>(reinterpret_cast<intptr_t>(record->view));
}

id MakeGadgetView(Class cls, int32_t x, int32_t y, int32_t width, int32_t height) {
  id view = objc::Send(objc::Send(reinterpret_cast<id>(cls), "alloc"),
                       "initWithFrame:", NSMakeRect(x, y, width, height));
  // Not a gadget until setup: its dealloc must not free anything before that.
  objc::Send<void>(view, "setAlreadyDestroyed:", YES);
  return objc::Autorelease(view);
}

id MakeGadgetFunctions(Class cls) {
  return objc::Send(objc::Send(reinterpret_cast<id>(cls), "alloc"), "init");
}

GadgetRecord* BeginSimpleGadget(Class view_class, Class functions_class, int64_t number,
                                int32_t kind, int32_t x, int32_t y, int32_t width, int32_t height,
                                int32_t flags, int64_t* failure) {
  *failure = 0;
  if (!view_class) return nullptr;
  id view = MakeGadgetView(view_class, x, y, width, height);
  if (!view) return nullptr;
  id functions = MakeGadgetFunctions(functions_class);
  if (!functions) {
    *failure = static_cast<int64_t>(reinterpret_cast<intptr_t>(view));
    return nullptr;
  }
  return SetupGadget(functions, number, kind, view, view, flags);
}

void SetGadgetTitleText(id functions, SEL, id text) {
  GadgetRecord* record = GadgetOf(functions);
  objc::Send<void>(record ? record->view : nil, "setTitle:", text);
}

id GetGadgetTitleText(id functions, SEL) {
  GadgetRecord* record = GadgetOf(functions);
  id title = objc::Send(record ? record->view : nil, "title");
  return title ? title : CocoaStringFromUtf8("");
}

int64_t GadgetWindowNumber(id view) {
  id window = objc::Send(view, "window");
  return window ? WindowNumberOf(window) : -1;
}
