// Tests of the gadget framework: numbering and window numbers in events, freeing exactly once
// in every order, the gadget-list stack, geometry and operations on numbers that name nothing.
// Under AddressSanitizer a record or functions object freed twice, or never, fails the run.
#include "tests/gui/gadget_harness.h"

namespace {

using GadgetFrameworkTest = GadgetTest;

int64_t NumberOf(id view) {
  return objc::Send<NSInteger>(view, "tag");
}

TEST_F(GadgetFrameworkTest, GadgetEventsCarryTheWindowTheGadgetWasCreatedIn) {
  OpenPreferencesWindow();
  int64_t button = CreateButtonGadget(-1, 198, 20, 40, 25, u"Set");
  ASSERT_NE(button, 0);
  id view = GadgetView(button);
  EXPECT_EQ(NumberOf(view), button) << "the view is tagged with the dynamic number";
  EXPECT_EQ(objc::Send(view, "superview"), ContentView()) << "placed in window 1's content";
  Click(view);
  EXPECT_EQ(TakeEvents(), std::vector<std::string>{GadgetEventText(button, 1, SubtypeDefault)})
      << "a click posts one GadgetEvent for window 1";

  id static_view = reinterpret_cast<id>(CreateButtonGadget(3, 0, 0, 40, 25, u"Static"));
  EXPECT_EQ(static_view, GadgetView(3)) << "a given number answers the view";
  EXPECT_EQ(NumberOf(static_view), 3);
}

// A gadget kind that counts how often its functions object is told to free the gadget and
// how often it is deallocated.
int g_free_calls = 0;
int g_functions_deallocs = 0;
Class g_counting_class = nil;

void CountFree(id, SEL) {
  ++g_free_calls;
}
void CountDealloc(id self, SEL sel) {
  ++g_functions_deallocs;
  objc::SendSuper<void>(self, g_counting_class, sel);
}

// A button gadget whose functions object counts; answers its number.
int64_t CreateCountingGadget(int64_t number) {
  if (!g_counting_class) {
    g_counting_class = objc::DefineClass("CountingGadgetFunctions", GadgetFunctionsClass());
    objc::AddMethod(g_counting_class, "FreeGadget", &CountFree);
    objc::AddMethod(g_counting_class, "dealloc", &CountDealloc);
  }
  int64_t failure = 0;
  GadgetRecord* record = BeginSimpleGadget(CocoaClass("Vo_NSButton"), g_counting_class, number,
                                           GadgetKindButton, 10, 10, 40, 25, 0, &failure);
  if (!record) return failure;
  PlaceGadget(number, record);
  return number == -1 ? static_cast<int64_t>(reinterpret_cast<intptr_t>(record)) : number;
}

TEST_F(GadgetFrameworkTest, DestroyingRemovesTheGadgetAndItsViewOnce) {
  OpenPreferencesWindow();
  g_free_calls = g_functions_deallocs = 0;
  CreateCountingGadget(5);
  int64_t dynamic = CreateCountingGadget(-1);
  EXPECT_EQ(SubviewCount(ContentView()), 2u);
  DestroyGadget(5);
  EXPECT_EQ(GadgetView(5), nil) << "a destroyed gadget is gone";
  EXPECT_EQ(SubviewCount(ContentView()), 1u) << "its view left the window";
  EXPECT_EQ(g_free_calls, 1);
  EXPECT_EQ(g_functions_deallocs, 1) << "its functions object went with it";
  DestroyGadget(5);  // nothing left to destroy
  EXPECT_EQ(g_free_calls, 1) << "destroying again frees nothing";
  DestroyGadget(dynamic);
  EXPECT_EQ(SubviewCount(ContentView()), 0u);
  RecycleAutoreleasePool();  // the views' dealloc comes now and must free nothing more
  EXPECT_EQ(g_free_calls, 2) << "each gadget was freed exactly once";
  EXPECT_EQ(g_functions_deallocs, 2);

  // The other ways out count once too: the view's own dealloc, and closing the window.
  {
    objc::AutoreleasePool pool;
    CreateCountingGadget(6);
    objc::Send<void>(GadgetView(6), "removeFromSuperview");
  }
  EXPECT_EQ(GadgetView(6), nil);
  CreateCountingGadget(7);
  DisposeWindow(1);
  RecycleAutoreleasePool();
  EXPECT_EQ(g_free_calls, 4);
  EXPECT_EQ(g_functions_deallocs, 4);
}

TEST_F(GadgetFrameworkTest, ClosingTheWindowFreesItsGadgetsAndTheViewsFreeNothingMore) {
  OpenPreferencesWindow();
  CreateTextGadget(6, 20, 24, 300, 25, u"Set Task Key");
  CreateShortcutGadget(-1, 106, 20, 90, 25, 0xA002F);
  CreateSpinGadget(-1, 190, 110, 70, 25, 2, 60, 8);
  int64_t combo = CreateComboBoxGadget(-1, 120, 80, 150, 25);
  AddGadgetItem(combo, -1, u"None");
  NewWindow(2, 0, 0, 100, 100, u"Other", WindowCloseBox, nil);
  CreateCheckboxGadget(7, 0, 0, 100, 25, u"Other window");
  DisposeWindow(1);
  EXPECT_EQ(GadgetView(6), nil) << "the window's gadgets are freed with it";
  EXPECT_NE(GadgetView(7), nil) << "another window's gadgets stay";
  RecycleAutoreleasePool();
  EXPECT_EQ(TextOf(7), "Other window");
}

TEST_F(GadgetFrameworkTest, ReusingANumberDestroysTheOldGadgetFirst) {
  OpenPreferencesWindow();
  id first = reinterpret_cast<id>(CreateCheckboxGadget(8, 0, 0, 100, 25, u"First"));
  id second = reinterpret_cast<id>(CreateButtonGadget(8, 0, 30, 40, 25, u"Second"));
  EXPECT_NE(first, second);
  EXPECT_EQ(GadgetView(8), second);
  EXPECT_EQ(SubviewCount(ContentView()), 1u) << "the first gadget's view left the window";
  EXPECT_EQ(TextOf(8), "Second");
}

TEST_F(GadgetFrameworkTest, AViewDeallocatedFirstFreesItsGadget) {
  // No window: the view is held only by the autorelease pool.
  {
    objc::AutoreleasePool pool;
    CreateButtonGadget(9, 0, 0, 40, 25, u"Loose");
    CreateButtonGadget(-1, 0, 0, 40, 25, u"Loose too");
    EXPECT_NE(GadgetView(9), nil);
  }
  EXPECT_EQ(GadgetView(9), nil) << "the view's dealloc freed the record";

  OpenPreferencesWindow();
  {
    objc::AutoreleasePool pool;
    CreateTextGadget(10, 0, 0, 50, 25, u"Removed");
    CreateTextGadget(-1, 0, 0, 50, 25, u"Removed too");
  }
  {
    objc::AutoreleasePool pool;
    id views = objc::Send(objc::Send(ContentView(), "subviews"), "copy");
    for (NSUInteger i = 0; i < objc::Send<NSUInteger>(views, "count"); ++i) {
      objc::Send<void>(objc::Send(views, "objectAtIndex:", i), "removeFromSuperview");
    }
    objc::Release(views);
  }
  EXPECT_EQ(GadgetView(10), nil) << "removing the last reference to the view freed the gadget";
  DisposeWindow(1);
}

TEST_F(GadgetFrameworkTest, GadgetListStackSaysWhereNewGadgetsGo) {
  EXPECT_EQ(GadgetListCurrentView(), nil) << "no window, no current list";
  id window = OpenPreferencesWindow();
  EXPECT_EQ(GadgetListCurrentWindow(), window);
  EXPECT_EQ(GadgetListCurrentView(), ContentView());

  id list = objc::Send(CocoaClass("VoGadgetList"), "currentList");
  id box = objc::Autorelease(objc::Send(objc::Send(CocoaClass("NSView"), "alloc"),
                                        "initWithFrame:", NSMakeRect(0, 0, 100, 100)));
  objc::Send<void>(ContentView(), "addSubview:", box);
  for (int i = 0; i < 12; ++i) objc::Send<void>(list, "push:", box);  // grows past 10
  EXPECT_EQ(objc::Send<int32_t>(list, "stackIndex"), 12);
  CreateButtonGadget(11, 0, 0, 40, 25, u"Inside");
  EXPECT_EQ(objc::Send(GadgetView(11), "superview"), box) << "gadgets go into the pushed view";
  for (int i = 0; i < 12; ++i) objc::Send<void>(list, "pop");
  EXPECT_EQ(GadgetListCurrentView(), ContentView());
  objc::Send<void>(list, "pop");
  EXPECT_EQ(objc::Send<int32_t>(list, "stackIndex"), 0);
  EXPECT_EQ(GadgetListCurrentView(), ContentView()) << "pop with nothing saved: content view";

  NewWindow(2, 0, 0, 100, 100, u"Two", WindowCloseBox | WindowNoGadgets, nil);
  EXPECT_EQ(GadgetListCurrentWindow(), window) << "a window without gadgets changes nothing";
  NewWindow(3, 0, 0, 100, 100, u"Three", WindowCloseBox, nil);
  id other = WindowObject(3);
  EXPECT_EQ(GadgetListSetWindow(window), other) << "setWindow: answers the previous window";
  DisposeWindow(1);
  EXPECT_EQ(GadgetListCurrentWindow(), nil) << "closing the current window clears the list";
}

TEST_F(GadgetFrameworkTest, GeometryReadsAndResizesTheContainer) {
  id window = OpenPreferencesWindow();
  int64_t spin = CreateSpinGadget(-1, 190, 110, 70, 25, 2, 60, 8);
  id functions = FindGadgetRecord(spin)->functions;
  EXPECT_EQ(objc::Send<int32_t>(functions, "GadgetX:", 0), 190);
  EXPECT_EQ(objc::Send<int32_t>(functions, "GadgetY:", 0), 110);
  EXPECT_EQ(objc::Send<int32_t>(functions, "GadgetX:", 2), 190) << "relative to the content";
  EXPECT_EQ(objc::Send<int32_t>(functions, "GadgetY:", 2), 110);
  NSRect content =
      objc::Send<NSRect>(window, "contentRectForFrameRect:", objc::Send<NSRect>(window, "frame"));
  EXPECT_EQ(objc::Send<int32_t>(functions, "GadgetX:", 1),
            static_cast<int32_t>(content.origin.x) + 190);
  EXPECT_EQ(objc::Send<int32_t>(functions, "GadgetY:", 1),
            1080 - static_cast<int32_t>(content.origin.y + content.size.height) + 110)
      << "screen mode measures from the top of the main screen";

  objc::Send<void>(functions, "ResizeGadget:y:width:height:", kGadgetKeep, kGadgetKeep, 100,
                   kGadgetKeep);
  EXPECT_EQ(objc::Send<int32_t>(functions, "GadgetX:", 0), 190);
  EXPECT_EQ(objc::Send<int32_t>(functions, "GadgetY:", 0), 110);
  EXPECT_EQ(objc::Send<int32_t>(functions, "GadgetWidth"), 100) << "only the width changed";
  EXPECT_EQ(objc::Send<int32_t>(functions, "GadgetHeight"), 25);
  id stepper = objc::Send(objc::Send(FindGadgetRecord(spin)->container, "subviews"),
                          "objectAtIndex:", NSUInteger{1});
  EXPECT_EQ(objc::Send<NSRect>(stepper, "frame").origin.x, 80) << "the stepper follows";

  objc::Send<void>(functions, "HideGadget:", 1);
  EXPECT_TRUE(objc::Send<BOOL>(FindGadgetRecord(spin)->container, "isHidden"));
}

TEST_F(GadgetFrameworkTest, NumbersThatNameNoGadgetDoNothing) {
  EXPECT_EQ(TextOf(42), "") << "GetGadgetText of no gadget is empty";
  EXPECT_EQ(GetGadgetState(42), 0);
  EXPECT_EQ(AddGadgetItem(42, -1, u"x"), 0);
  EXPECT_EQ(GadgetView(42), nil);
  SetGadgetText(42, u"x");
  SetGadgetState(42, 1);
  DisableGadget(42, 1);
  GadgetToolTip(42, nullptr);
  DestroyGadget(42);
}

TEST_F(GadgetFrameworkTest, ToolTipAndDisablingReachTheView) {
  OpenPreferencesWindow();
  int64_t help = CreateButtonGadget(-1, 260, 110, 30, 22, u"?");
  GadgetToolTip(help, u"How often");
  EXPECT_EQ(Utf8(objc::Send(GadgetView(help), "toolTip")), "How often");
  GadgetToolTip(help, nullptr);
  EXPECT_EQ(Utf8(objc::Send(GadgetView(help), "toolTip")), "") << "null is an empty tool tip";
  DisableGadget(help, 1);
  EXPECT_FALSE(objc::Send<BOOL>(GadgetView(help), "isEnabled"));
  DisableGadget(help, 0);
  EXPECT_TRUE(objc::Send<BOOL>(GadgetView(help), "isEnabled"));
}

}  // namespace
