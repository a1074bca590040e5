// The text gadget (kind 3): a static label, neither editable nor selectable. Disabling it greys
// its text instead of disabling the field.
#include "gui/cocoa.h"
#include "gui/gadgets.h"

namespace {

// Creation flags.
enum : int32_t {
  kAlignRight = 0x1,   // right-aligned text
  kAlignCenter = 0x2,  // centred text, unless kAlignRight is given too
  kBordered = 0x4,     // draws a border
};
// Colour types of SetGadgetColor:color:.
enum : int32_t {
  kColorText = 1,
  kColorBackground = 2,
};

Class g_view_class = nil;             // Vo_NSTextField
Class g_functions_class = nil;        // VoTextGadgetFunctions
ptrdiff_t g_front_ivar = -1;          // "FrontColor": the text colour the program set; owned
ptrdiff_t g_default_back_ivar = -1;   // "defaultBackgroundColor": retained here
ptrdiff_t g_default_front_ivar = -1;  // "defaultFrontColor": retained here

id& FrontColor(id self) {
  return objc::FieldAt<id>(self, g_front_ivar);
}
id& DefaultBackground(id self) {
  return objc::FieldAt<id>(self, g_default_back_ivar);
}
id& DefaultFront(id self) {
  return objc::FieldAt<id>(self, g_default_front_ivar);
}
id View(id self) {
  GadgetRecord* record = GadgetOf(self);
  return record ? record->view : nil;
}
id Color(const char* name) {
  return objc::Send(CocoaClass("NSColor"), name);
}

void SetGadgetColor(id self, SEL, int32_t type, id color) {
  if (type == kColorText) {
    if (color) {
      objc::Retain(color);
      objc::Release(FrontColor(self));
      FrontColor(self) = color;
      objc::Send<void>(View(self), "setTextColor:", color);
    } else {
      objc::Send<void>(View(self), "setTextColor:", DefaultFront(self));
    }
  } else if (type == kColorBackground) {
    objc::Send<void>(View(self), "setBackgroundColor:", color ? color : DefaultBackground(self));
  }
}
id GetGadgetColor(id self, SEL, int32_t type) {
  if (type == kColorText) return objc::Send(View(self), "textColor");
  if (type == kColorBackground) return objc::Send(View(self), "backgroundColor");
  return nil;
}
// A label stays enabled; only its colour says that it is not.
void DisableGadget(id self, SEL, int32_t state) {
  id color = state ? Color("secondarySelectedControlColor")
                   : (FrontColor(self) ? FrontColor(self) : Color("controlTextColor"));
  objc::Send<void>(View(self), "setTextColor:", color);
}
void SetGadgetState(id, SEL, int64_t) {}
int64_t GetGadgetState(id, SEL) {
  return 0;
}
void Dealloc(id self, SEL sel) {
  objc::Release(FrontColor(self));
  objc::Release(DefaultBackground(self));
  objc::Release(DefaultFront(self));
  FrontColor(self) = DefaultBackground(self) = DefaultFront(self) = nil;
  objc::SendSuper<void>(self, g_functions_class, sel);
}

}  // namespace

void DefineTextGadgetClasses() {
  g_view_class = objc_lookUpClass("Vo_NSTextField");
  g_functions_class = objc::DefineClass("VoTextGadgetFunctions", GadgetFunctionsClass());
  g_front_ivar = objc::AddIvar<id>(g_functions_class, "FrontColor");
  g_default_back_ivar = objc::AddIvar<id>(g_functions_class, "defaultBackgroundColor");
  g_default_front_ivar = objc::AddIvar<id>(g_functions_class, "defaultFrontColor");
  objc::AddMethod(g_functions_class, "SetGadgetColor:color:", &SetGadgetColor);
  objc::AddMethod(g_functions_class, "GetGadgetColor:", &GetGadgetColor);
  objc::AddMethod(g_functions_class, "DisableGadget:", &DisableGadget);
  objc::AddMethod(g_functions_class, "SetGadgetState:", &SetGadgetState);
  objc::AddMethod(g_functions_class, "GetGadgetState", &GetGadgetState);
  objc::AddMethod(g_functions_class, "dealloc", &Dealloc);
}

int64_t CreateTextGadget(int64_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                         const char16_t* text, int32_t flags) {
  int64_t failure = 0;
  GadgetRecord* record = BeginSimpleGadget(g_view_class, g_functions_class, number, GadgetKindText,
                                           x, y, width, height, flags, &failure);
  if (!record) return failure;
  id view = record->view;
  id functions = record->functions;

  objc::Send<void>(functions, "SetGadgetText:", MakeCocoaString(text));
  objc::Send<void>(view, "setSelectable:", NO);
  objc::Send<void>(view, "setBezeled:", NO);
  objc::Send<void>(view, "setBackgroundColor:", Color("controlColor"));
  DefaultBackground(functions) = objc::Retain(objc::Send(view, "backgroundColor"));
  DefaultFront(functions) = objc::Retain(objc::Send(view, "textColor"));
  objc::Send<void>(view, "setBordered:", (flags & kBordered) ? YES : NO);
  if (flags & (kAlignRight | kAlignCenter)) {
    objc::Send<void>(view, "setAlignment:", NSUInteger{(flags & kAlignRight) ? 2u : 1u});
  }
  return PlaceGadget(number, record);
}

int64_t CreateTextGadget(int64_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                         const char16_t* text) {
  return CreateTextGadget(number, x, y, width, height, text, 0);
}
