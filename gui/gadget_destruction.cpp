// Freeing gadgets: a gadget's record and functions object are freed exactly once, by
// whichever of DestroyGadget, window close (FreeWindowGadgets), re-creation under its number or
// its view's dealloc comes first. FreeGadgetRecord marks the view (Vo_alreadyDestroyed) before
// anything else, so a later dealloc of the view frees nothing more.
#include <vector>

#include "core/registry.h"
#include "gui/cocoa.h"
#include "gui/gadgets.h"

void DestroyGadget(int64_t gadget) {
  ObjectRegistry* registry = GadgetRegistry();
  if (!registry) return;
  if (gadget == -1) {
    FreeAllObjects(registry);
    return;
  }
  GadgetRecord* record = FindGadgetRecord(gadget);
  if (!record) return;
  // Held across the removal so that the views' dealloc, if it comes now, finds them marked.
  objc::Ref container = objc::Ref::Retained(record->container);
  objc::Ref view = objc::Ref::Retained(record->view);
  objc::Send<void>(container.get(), "removeFromSuperview");
  FreeGadgetRecord(gadget);
}

void FreeGadgetRecord(int64_t gadget) {
  GadgetRecord* record = FindGadgetRecord(gadget);
  if (!record) return;
  GadgetRecord gone = *record;
  objc::Send<void>(gone.view, "setAlreadyDestroyed:", YES);
  objc::Send<void>(gone.functions, "FreeGadget");
  // The view may outlive the gadget (in a closing window): it must not message the freed
  // functions object any more.
  if (objc::IsKindOf(gone.view, CocoaClass("NSControl")) &&
      objc::Send(gone.view, "target") == gone.functions) {
    objc::Send<void>(gone.view, "setTarget:", static_cast<id>(nil));
    objc::Send<void>(gone.view, "setAction:", static_cast<SEL>(nullptr));
  }
  objc::Release(gone.functions);
  *record = GadgetRecord{};
  FreeObject(GadgetRegistry(), gadget);
}

void FreeWindowGadgets(int64_t window) {
  ObjectRegistry* registry = GadgetRegistry();
  if (!registry) return;
  // Numbers first: freeing while enumerating would unlink the nodes the walk stands on.
  std::vector<int64_t> numbers;
  ResetObjectEnumeration(registry);
  int64_t number = 0;
  while (auto* record = static_cast<GadgetRecord*>(NextObject(registry, &number))) {
    if (record->view && record->window == window) numbers.push_back(number);
  }
  for (int64_t gadget : numbers) FreeGadgetRecord(gadget);
}
