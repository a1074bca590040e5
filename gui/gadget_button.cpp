// The button gadget (kind 1): a push button, or a toggle button with flag 0x4; 25 points high it
// has the push-button bezel and, with flag 0x8, is the window's default button.
#include "gui/cocoa.h"
#include "gui/gadgets.h"

namespace {

// Creation flags.
enum : int32_t {
  kAlignRight = 0x1,  // right-aligned title, unless kAlignLeft is given too
  kAlignLeft = 0x2,   // left-aligned title
  kToggle = 0x4,      // push on / push off
  kDefault = 0x8,     // key equivalent Return; only at height 25
};
constexpr NSUInteger kPushOnPushOff = 1;
constexpr NSUInteger kBezelPush = 1;    // the rounded push-button bezel, made for 25 points
constexpr NSUInteger kBezelSquare = 2;  // the regular square bezel, any height
constexpr double kPushHeight = 25;

Class g_view_class = nil;       // VoButtonGadgetView
Class g_functions_class = nil;  // VoButtonGadgetFunctions

// The push bezel only fits 25 points: any other height takes the square bezel for good.
void SetFrame(id self, SEL sel, NSRect frame) {
  if (frame.size.height != kPushHeight &&
      objc::Send<NSUInteger>(self, "bezelStyle") == kBezelPush) {
    objc::Send<void>(self, "setBezelStyle:", kBezelSquare);
  }
  objc::SendSuper<void>(self, g_view_class, sel, frame);
}

}  // namespace

void DefineButtonGadgetClasses() {
  g_view_class = objc_lookUpClass("VoButtonGadgetView");
  objc::AddMethod(g_view_class, "setFrame:", &SetFrame);
  g_functions_class = objc::DefineClass("VoButtonGadgetFunctions", GadgetFunctionsClass());
  objc::AddMethod(g_functions_class, "SetGadgetText:", &SetGadgetTitleText);
  objc::AddMethod(g_functions_class, "GetGadgetText", &GetGadgetTitleText);
}

int64_t CreateButtonGadget(int64_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                           const char16_t* text, int32_t flags) {
  int64_t failure = 0;
  GadgetRecord* record = BeginSimpleGadget(g_view_class, g_functions_class, number,
                                           GadgetKindButton, x, y, width, height, flags, &failure);
  if (!record) return failure;
  id view = record->view;

  objc::Send<void>(view, "setTitle:", MakeCocoaString(text));
  if (flags & kToggle) objc::Send<void>(view, "setButtonType:", kPushOnPushOff);
  if (flags & (kAlignLeft | kAlignRight)) {
    objc::Send<void>(view, "setAlignment:", NSUInteger{(flags & kAlignLeft) ? 0u : 2u});
  }
  objc::Send<void>(view, "setBordered:", YES);
  if (height == kPushHeight) {
    objc::Send<void>(view, "setBezelStyle:", kBezelPush);
    if (flags & kDefault) objc::Send<void>(view, "setKeyEquivalent:", CocoaStringFromUtf8("\r"));
  } else {
    objc::Send<void>(view, "setBezelStyle:", kBezelSquare);
  }
  return PlaceGadget(number, record);
}

int64_t CreateButtonGadget(int64_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                           const char16_t* text) {
  return CreateButtonGadget(number, x, y, width, height, text, 0);
}
