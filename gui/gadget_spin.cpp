// The spin gadget (kind 26): a numeric text field with a stepper beside it, both inside a
// Vo_SpinView container. A stepper click posts SubtypeUp or SubtypeDown and, when the value
// moved in a numeric spin (flag 0x8), SubtypeChange; typing posts SubtypeChange.
#include <cstdio>

#include "gui/cocoa.h"
#include "gui/event_queue.h"
#include "gui/gadgets.h"

namespace {

// Creation flags.
enum : int32_t {
  kReadOnly = 0x4,  // the text cannot be edited
  kNumeric = 0x8,   // text and stepper follow each other
};
// Attributes of SetGadgetAttribute:value:.
enum : int32_t {
  kAttributeMinimum = 1,
  kAttributeMaximum = 2,
};
// Colour types of SetGadgetColor:color:.
enum : int32_t {
  kColorText = 1,
  kColorBackground = 2,
};
constexpr double kStepperWidth = 20;
constexpr NSUInteger kAlignRight = 2;

Class g_spin_view_class = nil;         // Vo_SpinView
Class g_text_class = nil;              // Vo_NSTextField
Class g_functions_class = nil;         // VoSpinGadgetFunctions
ptrdiff_t g_view_functions_ivar = -1;  // Vo_SpinView's "Functions"; not retained
ptrdiff_t g_spin_ivar = -1;            // "Spin": the Vo_SpinView
ptrdiff_t g_text_ivar = -1;            // "TextField": the Vo_NSTextField
ptrdiff_t g_stepper_ivar = -1;         // "Stepper": the NSStepper
ptrdiff_t g_previous_ivar = -1;  // "PreviousValue": the stepper value after the last change seen

id& Spin(id self) {
  return objc::FieldAt<id>(self, g_spin_ivar);
}
id& TextField(id self) {
  return objc::FieldAt<id>(self, g_text_ivar);
}
id& Stepper(id self) {
  return objc::FieldAt<id>(self, g_stepper_ivar);
}
int64_t& PreviousValue(id self) {
  return objc::FieldAt<int64_t>(self, g_previous_ivar);
}
int32_t Flags(id self) {
  GadgetRecord* record = GadgetOf(self);
  return record ? record->flags : 0;
}
id DecimalString(int64_t value) {
  char text[24];
  std::snprintf(text, sizeof(text), "%d", static_cast<int>(value));
  return CocoaStringFromUtf8(text);
}

// --- Vo_SpinView ---

void SpinSetFrame(id self, SEL sel, NSRect frame) {
  objc::SendSuper<void>(self, g_spin_view_class, sel, frame);
  objc::Send<void>(objc::FieldAt<id>(self, g_view_functions_ivar), "adjustSpinSubviews");
}

// --- VoSpinGadgetFunctions ---

void AdjustSpinSubviews(id self, SEL) {
  NSRect frame = objc::Send<NSRect>(Spin(self), "frame");
  double w = frame.size.width;
  double h = frame.size.height;
  objc::Send<void>(TextField(self), "setFrame:", NSMakeRect(0, 0, w - kStepperWidth, h));
  objc::Send<void>(Stepper(self), "setFrame:", NSMakeRect(w - kStepperWidth, 0, kStepperWidth, h));
}
void SetGadgetFont(id self, SEL, id font) {
  objc::Send<void>(TextField(self), "setFont:", font);
}
id GetGadgetFont(id self, SEL) {
  return objc::Send(TextField(self), "font");
}
void SetGadgetColor(id self, SEL, int32_t type, id color) {
  if (type == kColorText) objc::Send<void>(TextField(self), "setTextColor:", color);
  if (type == kColorBackground) objc::Send<void>(TextField(self), "setBackgroundColor:", color);
}
id GetGadgetColor(id self, SEL, int32_t type) {
  if (type == kColorText) return objc::Send(TextField(self), "textColor");
  if (type == kColorBackground) return objc::Send(TextField(self), "backgroundColor");
  return nil;
}
void SetGadgetState(id self, SEL, int64_t value) {
  PreviousValue(self) = value;
  objc::Send<void>(Stepper(self), "setDoubleValue:", static_cast<double>(value));
  objc::Send<void>(TextField(self), "setStringValue:", DecimalString(value));
}
int64_t GetGadgetState(id self, SEL) {
  return static_cast<int64_t>(objc::Send<double>(Stepper(self), "doubleValue"));
}
void SetGadgetText(id self, SEL, id text) {
  objc::Send<void>(TextField(self), "setStringValue:", text);
}
id GetGadgetText(id self, SEL) {
  id text = objc::Send(TextField(self), "stringValue");
  return text ? text : CocoaStringFromUtf8("");
}
void SetGadgetAttribute(id self, SEL, int32_t attribute, int64_t value) {
  if (attribute == kAttributeMinimum) {
    objc::Send<void>(Stepper(self), "setMinValue:", static_cast<double>(value));
  } else if (attribute == kAttributeMaximum) {
    objc::Send<void>(Stepper(self), "setMaxValue:", static_cast<double>(value));
  }
}
int64_t GetGadgetAttribute(id self, SEL, int32_t attribute) {
  if (attribute == kAttributeMinimum) {
    return static_cast<int64_t>(objc::Send<double>(Stepper(self), "minValue"));
  }
  if (attribute == kAttributeMaximum) {
    return static_cast<int64_t>(objc::Send<double>(Stepper(self), "maxValue"));
  }
  return 0;
}
void DisableGadget(id self, SEL, int32_t state) {
  objc::Send<void>(Stepper(self), "setEnabled:", state ? NO : YES);
  objc::Send<void>(TextField(self), "setEnabled:", state ? NO : YES);
}

// Up when the value rose, or when it stands at the maximum it could not pass.
void StepperEventHandler(id self, SEL, id) {
  double now = objc::Send<double>(Stepper(self), "doubleValue");
  double old = static_cast<double>(PreviousValue(self));
  bool up = now > old || objc::Send<double>(Stepper(self), "maxValue") == old;
  objc::Send<void>(self, "SendEvent:", int64_t{up ? SubtypeUp : SubtypeDown});
  PreviousValue(self) = static_cast<int64_t>(now);
  if (now != old && (Flags(self) & kNumeric)) {
    objc::Send<void>(self, "SetGadgetText:", DecimalString(static_cast<int64_t>(now)));
    objc::Send<void>(self, "SendEvent:", int64_t{SubtypeChange});
  }
}
// Typing moves the stepper (numeric spin) but not PreviousValue.
void ControlTextDidChange(id self, SEL, id) {
  if (Flags(self) & kNumeric) {
    objc::Send<void>(Stepper(self), "setDoubleValue:",
                     static_cast<double>(objc::Send<int>(TextField(self), "intValue")));
  }
  objc::Send<void>(self, "SendEvent:", int64_t{SubtypeChange});
}
// The views may outlive the gadget: they must not reach the freed functions object.
void FreeGadget(id self, SEL) {
  if (objc::Send(Stepper(self), "target") == self) {
    objc::Send<void>(Stepper(self), "setTarget:", static_cast<id>(nil));
  }
  if (objc::Send(TextField(self), "delegate") == self) {
    objc::Send<void>(TextField(self), "setDelegate:", static_cast<id>(nil));
  }
  if (Spin(self)) objc::FieldAt<id>(Spin(self), g_view_functions_ivar) = nil;
}

}  // namespace

void DefineSpinGadgetClasses() {
  g_text_class = objc_lookUpClass("Vo_NSTextField");
  g_spin_view_class = objc::DefineClass("Vo_SpinView", "NSView");
  g_view_functions_ivar = objc::AddIvar<id>(g_spin_view_class, "Functions");
  objc::AddMethod(g_spin_view_class, "setFrame:", &SpinSetFrame);

  Class cls = objc::DefineClass("VoSpinGadgetFunctions", GadgetFunctionsClass());
  g_functions_class = cls;
  g_spin_ivar = objc::AddIvar<id>(cls, "Spin");
  g_text_ivar = objc::AddIvar<id>(cls, "TextField");
  g_stepper_ivar = objc::AddIvar<id>(cls, "Stepper");
  g_previous_ivar = objc::AddIvar<int64_t>(cls, "PreviousValue");
  objc::AddMethod(cls, "adjustSpinSubviews", &AdjustSpinSubviews);
  objc::AddMethod(cls, "SetGadgetFont:", &SetGadgetFont);
  objc::AddMethod(cls, "GetGadgetFont", &GetGadgetFont);
  objc::AddMethod(cls, "SetGadgetColor:color:", &SetGadgetColor);
  objc::AddMethod(cls, "GetGadgetColor:", &GetGadgetColor);
  objc::AddMethod(cls, "SetGadgetState:", &SetGadgetState);
  objc::AddMethod(cls, "GetGadgetState", &GetGadgetState);
  objc::AddMethod(cls, "SetGadgetText:", &SetGadgetText);
  objc::AddMethod(cls, "GetGadgetText", &GetGadgetText);
  objc::AddMethod(cls, "SetGadgetAttribute:value:", &SetGadgetAttribute);
  objc::AddMethod(cls, "GetGadgetAttribute:", &GetGadgetAttribute);
  objc::AddMethod(cls, "DisableGadget:", &DisableGadget);
  objc::AddMethod(cls, "StepperEventHandler:", &StepperEventHandler);
  objc::AddMethod(cls, "controlTextDidChange:", &ControlTextDidChange);
  objc::AddMethod(cls, "FreeGadget", &FreeGadget);
}

int64_t CreateSpinGadget(int64_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                         int32_t minimum, int32_t maximum, int32_t flags) {
  if (!g_spin_view_class) return 0;
  id spin =
      objc::Autorelease(objc::Send(objc::Send(reinterpret_cast<id>(g_spin_view_class), "alloc"),
                                   "initWithFrame:", NSMakeRect(x, y, width, height)));
  if (!spin) return 0;
  id field = MakeGadgetView(g_text_class, 0, 0, 0, 0);
  id stepper = objc::Autorelease(objc::Send(objc::Send(CocoaClass("NSStepper"), "alloc"),
                                            "initWithFrame:", NSMakeRect(0, 0, 0, 0)));
  id functions = field && stepper ? MakeGadgetFunctions(g_functions_class) : nil;
  if (!functions) return static_cast<int64_t>(reinterpret_cast<intptr_t>(spin));

  Spin(functions) = spin;
  TextField(functions) = field;
  Stepper(functions) = stepper;
  objc::FieldAt<id>(spin, g_view_functions_ivar) = functions;
  objc::Send<void>(spin, "addSubview:", field);
  objc::Send<void>(spin, "addSubview:", stepper);

  GadgetRecord* record = SetupGadget(functions, number, GadgetKindSpin, field, spin, flags);
  if (!record) {
    objc::FieldAt<id>(spin, g_view_functions_ivar) = nil;
    return 0;
  }
  objc::Send<void>(functions, "adjustSpinSubviews");

  objc::Send<void>(field, "setEditable:", (flags & kReadOnly) ? NO : YES);
  objc::Send<void>(field, "setDelegate:", functions);
  objc::Send<void>(field, "setAlignment:", kAlignRight);

  objc::Send<void>(stepper, "setTarget:", functions);
  objc::Send<void>(stepper, "setAction:", sel_registerName("StepperEventHandler:"));
  objc::Send<void>(stepper, "setValueWraps:", NO);
  objc::Send<void>(stepper, "setMinValue:", static_cast<double>(minimum));
  objc::Send<void>(stepper, "setMaxValue:", static_cast<double>(maximum));
  objc::Send<void>(stepper, "setDoubleValue:", static_cast<double>(minimum));
  PreviousValue(functions) = minimum;
  return PlaceGadget(number, record);
}

int64_t CreateSpinGadget(int64_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                         int32_t minimum, int32_t maximum) {
  return CreateSpinGadget(number, x, y, width, height, minimum, maximum, 0);
}
