// The check box gadget (kind 4): a switch button with a title; with flag 0x4 it has a mixed
// state that only the program can set (a click from off goes to on).
#include "gui/cocoa.h"
#include "gui/event_queue.h"
#include "gui/gadgets.h"

namespace {

// Creation flags.
enum : int32_t {
  kAlignRight = 0x1,   // right-aligned title
  kAlignCenter = 0x2,  // centred title, unless kAlignRight is given too
  kThreeState = 0x4,   // allows the mixed state
};
constexpr NSUInteger kSwitch = 3;

Class g_view_class = nil;       // Vo_NSButton
Class g_functions_class = nil;  // VoCheckboxGadgetFunctions

// The user reaches only off and on: a click that led to mixed goes on to on.
void EventHandler(id self, SEL, id) {
  GadgetRecord* record = GadgetOf(self);
  if (record && (record->flags & kThreeState) && objc::Send<int>(record->view, "intValue") == -1) {
    objc::Send<void>(record->view, "setIntValue:", 1);
  }
  objc::Send<void>(self, "SendEvent:", int64_t{SubtypeDefault});
}

}  // namespace

void DefineCheckboxGadgetClasses() {
  g_view_class = objc_lookUpClass("Vo_NSButton");
  g_functions_class = objc::DefineClass("VoCheckboxGadgetFunctions", GadgetFunctionsClass());
  objc::AddMethod(g_functions_class, "EventHandler:", &EventHandler);
  objc::AddMethod(g_functions_class, "SetGadgetText:", &SetGadgetTitleText);
  objc::AddMethod(g_functions_class, "GetGadgetText", &GetGadgetTitleText);
}

int64_t CreateCheckboxGadget(int64_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                             const char16_t* text, int32_t flags) {
  int64_t failure = 0;
  GadgetRecord* record =
      BeginSimpleGadget(g_view_class, g_functions_class, number, GadgetKindCheckbox, x, y, width,
                        height, flags, &failure);
  if (!record) return failure;
  id view = record->view;

  objc::Send<void>(view, "setTitle:", MakeCocoaString(text));
  objc::Send<void>(view, "setButtonType:", kSwitch);
  if (flags & kThreeState) objc::Send<void>(view, "setAllowsMixedState:", YES);
  if (flags & (kAlignRight | kAlignCenter)) {
    objc::Send<void>(view, "setAlignment:", NSUInteger{(flags & kAlignRight) ? 2u : 1u});
  }
  return PlaceGadget(number, record);
}

int64_t CreateCheckboxGadget(int64_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                             const char16_t* text) {
  return CreateCheckboxGadget(number, x, y, width, height, text, 0);
}
