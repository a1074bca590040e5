// Gadgets: the numbered controls program code places in runtime windows. This is what every
// kind shares: the gadget record and registry (gadgets.cpp), the functions-object class
// VoGadgetFunctions (gadget_functions.cpp), the tagged view classes (gadget_views.cpp), the
// gadget-list stack VoGadgetList that says where a new gadget goes (gadget_lists.cpp), freeing
// (gadget_destruction.cpp) and the number-taking operations. The kinds live in the other
// gadget_*.cpp files.
#pragma once

#include <cstdint>

#include "platform/objc/objc.h"

// Gadget kinds (the kind field of a record).
enum : int32_t {
  GadgetKindButton = 1,
  GadgetKindText = 3,
  GadgetKindCheckbox = 4,
  GadgetKindComboBox = 8,
  GadgetKindSpin = 26,
  GadgetKindShortcut = 32,
};

// The value that keeps a coordinate or size unchanged in ResizeGadget:y:width:height:.
constexpr int32_t kGadgetKeep = -65535;

// One gadget; its first field is non-zero exactly while the gadget exists.
struct GadgetRecord {
  id view;         // the main view (tag, target, font, state, text); retained by its superview
  id container;    // the outermost view placed in the window; == view except for spin gadgets
  id functions;    // the kind's VoGadgetFunctions subclass; owned
  int64_t window;  // number of the window the gadget was created in (-1: none)
  int32_t kind;    // GadgetKind...
  int32_t flags;   // the creation flags of the kind
};

// --- Set-up ---
// Defines the gadget classes and creates the registry (16 slots). Called once at start-up.
void InitGadgets();
// Frees every gadget (program end).
void EndGadgets();

// --- Number-taking operations (a number that names no gadget does nothing and answers 0) ---
// The text is converted to a platform string; image and flags are 0 when not given. Answers
// the kind's result (the new NSMenuItem of a pop-up combo box, 1 for an editable one, else 0).
int64_t AddGadgetItem(int64_t gadget, int32_t position, const char16_t* text);
int64_t AddGadgetItem(int64_t gadget, int32_t position, const char16_t* text, id image);
int64_t AddGadgetItem(int64_t gadget, int32_t position, const char16_t* text, id image,
                      int32_t flags);
void DisableGadget(int64_t gadget, int32_t state);
// A null text is an empty tool tip.
void GadgetToolTip(int64_t gadget, const char16_t* text);
int64_t GetGadgetState(int64_t gadget);
void SetGadgetState(int64_t gadget, int64_t state);
// Writes the gadget's text into the temporary buffer at offset (the result protocol); empty
// when the gadget does not exist.
void GetGadgetText(int64_t gadget, int64_t offset);
void SetGadgetText(int64_t gadget, const char16_t* text);
// The gadget's main view; 0 when there is none.
id GadgetView(int64_t gadget);
// Removes the gadget's container from its superview and frees the gadget; -1 frees every one.
void DestroyGadget(int64_t gadget);

// --- Internal operations ---
// The registry of gadget records by number; null before InitGadgets.
struct ObjectRegistry;
ObjectRegistry* GadgetRegistry();
// Defines every gadget class once: the framework's, then the kinds'. InitGadgets and the first
// gadget list call it.
void InitGadgetClasses();
// Class definitions of the framework, called by InitGadgetClasses.
void DefineGadgetFunctionsClass();  // gadget_functions.cpp
void DefineGadgetListClass();       // gadget_lists.cpp
// Frees the record and functions object of a gadget exactly once (its view is marked so that
// its own dealloc frees nothing more). Nothing when the number names no gadget.
void FreeGadgetRecord(int64_t gadget);
// Frees every gadget created in that window; the views stay in the closing window.
void FreeWindowGadgets(int64_t window);
// The record of a live gadget; null when none.
GadgetRecord* FindGadgetRecord(int64_t gadget);

// --- Gadget lists (VoGadgetList) ---
// Makes window's list the current one (creating it); answers the window of the previous
// current list (nil when none). nil changes nothing.
id GadgetListSetWindow(id window);
// Forgets window's list; clears the current list when it was that one.
void GadgetListRemoveWindow(id window);
// The view new gadgets go into (nil when there is no current list), and its window.
id GadgetListCurrentView();
id GadgetListCurrentWindow();

// --- For the kinds (gadget_*.cpp) ---
// VoGadgetFunctions, base of every kind's functions class; defined by InitGadgets.
Class GadgetFunctionsClass();
// Defines a tagged view class (Vo_tag, Vo_alreadyDestroyed and their methods) under base.
Class DefineTaggedViewClass(const char* name, const char* base);
// The functions object's GadgetID and record.
int64_t GadgetIdOf(id functions);
GadgetRecord* GadgetOf(id functions);
// The common creation around a kind's configuration: Setup sends setup:type:view:container:
// flags: (the record, or null when none could be had, in which case functions is released);
// Place adds the container to the current gadget-list view and answers the creation result
// (the dynamic number for -1, else the view).
GadgetRecord* SetupGadget(id functions, int64_t number, int32_t kind, id view, id container,
                          int32_t flags);
int64_t PlaceGadget(int64_t number, GadgetRecord* record);
// A new autoreleased view of cls made with initWithFrame: at (x, y, width, height).
id MakeGadgetView(Class cls, int32_t x, int32_t y, int32_t width, int32_t height);
// A new functions object of cls (alloc/init, +1).
id MakeGadgetFunctions(Class cls);
// The start of creating a gadget whose container is its one view: the view of view_class,
// the functions object of functions_class and the record. Answers the record, or null with
// *failure set to what the creating operation answers then (0, or the view's address when
// only the functions object could not be made).
GadgetRecord* BeginSimpleGadget(Class view_class, Class functions_class, int64_t number,
                                int32_t kind, int32_t x, int32_t y, int32_t width, int32_t height,
                                int32_t flags, int64_t* failure);
// SetGadgetText: / GetGadgetText for kinds whose text is their view's title (button, check box).
void SetGadgetTitleText(id functions, SEL, id text);
id GetGadgetTitleText(id functions, SEL);
// The view's window number, by the window layer's rule (-1 when none).
int64_t GadgetWindowNumber(id view);

// --- The kinds' creation operations (gadget_*.cpp) ---
int64_t CreateButtonGadget(int64_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                           const char16_t* text, int32_t flags);
int64_t CreateButtonGadget(int64_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                           const char16_t* text);
int64_t CreateCheckboxGadget(int64_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                             const char16_t* text, int32_t flags);
int64_t CreateCheckboxGadget(int64_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                             const char16_t* text);
int64_t CreateTextGadget(int64_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                         const char16_t* text, int32_t flags);
int64_t CreateTextGadget(int64_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                         const char16_t* text);
int64_t CreateComboBoxGadget(int64_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                             int32_t flags);
int64_t CreateComboBoxGadget(int64_t number, int32_t x, int32_t y, int32_t width, int32_t height);
int64_t CreateSpinGadget(int64_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                         int32_t minimum, int32_t maximum, int32_t flags);
int64_t CreateSpinGadget(int64_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                         int32_t minimum, int32_t maximum);
int64_t CreateShortcutGadget(int64_t number, int32_t x, int32_t y, int32_t width, int32_t height,
                             uint32_t value);

// Class definitions of the kinds, called by InitGadgets.
void DefineButtonGadgetClasses();
void DefineCheckboxGadgetClasses();
void DefineTextGadgetClasses();
void DefineComboBoxGadgetClasses();
void DefineSpinGadgetClasses();
void DefineShortcutGadgetClasses();
