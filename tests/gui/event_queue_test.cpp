// Tests of the event queue's own rules, without the platform loop: coalescing, program events,
// payload lifetime, suppression, dropping and the order of bound callbacks.
#include "gui/event_queue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class EventQueueTest : public testing::Test {
 protected:
  void SetUp() override { InitEventQueue(); }
  void TearDown() override {
    while (FetchEvent() != 0) {
    }
    EndEventQueue();
  }
};

TEST_F(EventQueueTest, CoalescesOnlyWithTheTail) {
  QueueUiEvent(SizeWindowEvent, 3, 3, 0);
  QueueUiEvent(SizeWindowEvent, 3, 3, 0);
  EXPECT_EQ(QueuedEventCount(), 1) << "two back-to-back size events leave one record";

  QueueUiEvent(MoveWindowEvent, 3, 3, 0);
  QueueUiEvent(SizeWindowEvent, 3, 3, 0);
  EXPECT_EQ(QueuedEventCount(), 3) << "a move event between two size events keeps both";

  QueueUiEvent(SizeWindowEvent, 4, 4, 0);
  EXPECT_EQ(QueuedEventCount(), 4) << "another window's size event is not coalesced";

  EXPECT_EQ(FetchEvent(), SizeWindowEvent);
  EXPECT_EQ(FetchEvent(), MoveWindowEvent);
  EXPECT_EQ(FetchEvent(), SizeWindowEvent);
  EXPECT_EQ(CurrentEventWindow(), 3);
  EXPECT_EQ(FetchEvent(), SizeWindowEvent);
  EXPECT_EQ(CurrentEventWindow(), 4);
  EXPECT_EQ(FetchEvent(), 0);
}

TEST_F(EventQueueTest, ProgramEventsAreNeverCoalesced) {
  EXPECT_EQ(QueueProgramEvent(65537, -1, 7, 0, nullptr), 1);
  QueueProgramEvent(65537, -1, 7, 0, nullptr);
  EXPECT_EQ(QueuedEventCount(), 2) << "both program events must be delivered";
  // A UI event of a program type is not coalesced either.
  QueueUiEvent(FirstProgramEvent, 1, 1, 0);
  QueueUiEvent(FirstProgramEvent, 1, 1, 0);
  EXPECT_EQ(QueuedEventCount(), 4);
  EXPECT_EQ(FetchEvent(), 65537);
  EXPECT_EQ(CurrentEventGadget(), 7) << "object comes after window in QueueProgramEvent";
  EXPECT_EQ(CurrentEventWindow(), -1);
}

TEST_F(EventQueueTest, AnEmptiedQueueKeepsItsRecordBatch) {
  ASSERT_EQ(EventPoolBatchCount(), 1) << "the queue holds a batch from the start";
  for (int round = 0; round < 3; ++round) {
    QueueProgramEvent(65537, -1, round, 0, nullptr);
    EXPECT_EQ(EventPoolBatchCount(), 1) << "one queued record needs no second batch";
    EXPECT_EQ(FetchEvent(), 65537);
    EXPECT_EQ(EventPoolBatchCount(), 1)
        << "fetching the last record keeps the batch, so the next post allocates nothing";
  }
  // A burst beyond one batch grows the pool; draining it keeps the batches the burst needed,
  // so the next burst of the same size allocates nothing.
  for (int i = 0; i < 40; ++i) QueueUiEvent(GadgetEvent, i, 1, 0);
  EXPECT_EQ(QueuedEventCount(), 40);
  const int32_t burst_batches = EventPoolBatchCount();
  EXPECT_GT(burst_batches, 1);
  for (int i = 0; i < 40; ++i) {
    ASSERT_EQ(FetchEvent(), GadgetEvent);
    ASSERT_EQ(CurrentEventGadget(), i) << "records come back in posting order";
  }
  EXPECT_EQ(FetchEvent(), 0);
  EXPECT_EQ(EventPoolBatchCount(), burst_batches) << "the burst's batches stay";
  for (int i = 0; i < 40; ++i) QueueUiEvent(GadgetEvent, i, 1, 0);
  EXPECT_EQ(EventPoolBatchCount(), burst_batches) << "the same burst again needs no new batch";
  while (FetchEvent() != 0) {
  }

  // A much larger burst gives back what it needed beyond the kept batches.
  for (int i = 0; i < 1000; ++i) QueueUiEvent(GadgetEvent, i, 1, 0);
  EXPECT_GT(EventPoolBatchCount(), 8);
  for (int i = 0; i < 1000; ++i) {
    ASSERT_EQ(FetchEvent(), GadgetEvent);
    ASSERT_EQ(CurrentEventGadget(), i);
  }
  EXPECT_EQ(FetchEvent(), 0);
  EXPECT_EQ(EventPoolBatchCount(), 8) << "at most 8 batches stay once the queue is empty";
}

std::vector<std::string> g_freed;  // payloads released, in order

void FreeText(void* data) {
  g_freed.push_back(static_cast<const char*>(data));
}

TEST_F(EventQueueTest, PayloadLivesUntilTheNextFetch) {
  g_freed.clear();
  static char first[] = "first";
  static char second[] = "second";
  QueueDataEvent(WindowDropEvent, 1, 1, 0, first, &FreeText);
  QueueDataEvent(GadgetDropEvent, 2, 1, 0, second, &FreeText);

  EXPECT_EQ(FetchEvent(), WindowDropEvent);
  EXPECT_EQ(CurrentEventData(), first);
  EXPECT_TRUE(g_freed.empty()) << "the data stays valid while its event is current";

  EXPECT_EQ(FetchEvent(), GadgetDropEvent);
  ASSERT_EQ(g_freed.size(), 1u);
  EXPECT_EQ(g_freed[0], "first");

  EXPECT_EQ(FetchEvent(), 0) << "the queue is empty";
  ASSERT_EQ(g_freed.size(), 2u) << "a fetch from an empty queue still releases the payload";
  EXPECT_EQ(CurrentEventData(), nullptr);
  EXPECT_EQ(CurrentEventType(), 0);
  EXPECT_EQ(CurrentEventSubtype(), -1);
  EXPECT_EQ(CurrentEventGadget(), 2) << "object and window keep their earlier values";
  EXPECT_EQ(CurrentEventWindow(), 1);

  // A coalesced event's data is not kept (nor released: it was never the queue's).
  static char third[] = "third";
  QueueDataEvent(WindowDropEvent, 1, 1, 0, second, nullptr);
  QueueDataEvent(WindowDropEvent, 1, 1, 0, third, &FreeText);
  EXPECT_EQ(FetchEvent(), WindowDropEvent);
  EXPECT_EQ(CurrentEventData(), second);
}

TEST_F(EventQueueTest, SuppressionDiscardsUiEventsButNotProgramEvents) {
  SuppressEvents();
  SuppressEvents();
  QueueUiEvent(MoveWindowEvent, 1, 1, 0);
  QueueProgramEvent(65538, 0, 0, 0, nullptr);
  ResumeEvents();
  QueueUiEvent(SizeWindowEvent, 1, 1, 0);
  EXPECT_EQ(QueuedEventCount(), 1) << "still suppressed while the counter is above 0";
  ResumeEvents();
  QueueUiEvent(SizeWindowEvent, 1, 1, 0);
  EXPECT_EQ(FetchEvent(), 65538);
  EXPECT_EQ(FetchEvent(), SizeWindowEvent);
  EXPECT_EQ(FetchEvent(), 0);
}

TEST_F(EventQueueTest, DroppingKeepsTheTailRight) {
  QueueUiEvent(TimerEvent, 1, 0, 0);
  QueueUiEvent(TimerEvent, 2, 0, 0);
  QueueUiEvent(TimerEvent, 1, 0, 5);
  QueueUiEvent(TimerEvent, 1, 1, 0);
  QueueUiEvent(TimerEvent, 1, 0, 0);
  DropEvents(TimerEvent, 1, 0, -1);
  EXPECT_EQ(QueuedEventCount(), 2) << "every timer-1 event of window 0 goes, whatever subtype";
  // The tail must be the last kept record: a new event is appended after it, not lost, and an
  // equal one coalesces with it.
  QueueUiEvent(TimerEvent, 1, 1, 0);
  EXPECT_EQ(QueuedEventCount(), 2) << "coalesced with the new tail (timer 1 of window 1)";
  QueueUiEvent(MenuEvent, 4, 0, 0);
  EXPECT_EQ(FetchEvent(), TimerEvent);
  EXPECT_EQ(CurrentEventGadget(), 2);
  EXPECT_EQ(FetchEvent(), TimerEvent);
  EXPECT_EQ(CurrentEventWindow(), 1);
  EXPECT_EQ(FetchEvent(), MenuEvent);
  EXPECT_EQ(CurrentEventMenuItem(), 4);
  EXPECT_EQ(CurrentEventGadget(), 4) << "menu item and gadget read the same field";

  QueueUiEvent(CloseWindowEvent, 2, 2, 0);
  QueueUiEvent(MoveWindowEvent, 2, 2, 0);
  DropWindowEvents(2);
  EXPECT_EQ(QueuedEventCount(), 0);
  QueueUiEvent(MoveWindowEvent, 2, 2, 0);
  EXPECT_EQ(FetchEvent(), MoveWindowEvent) << "the queue works after being emptied by a drop";
}

std::vector<std::string> g_calls;  // "label type/object" of each callback run

void Record(const char* label) {
  g_calls.push_back(std::string(label) + " " + std::to_string(CurrentEventType()) + "/" +
                    std::to_string(CurrentEventGadget()));
}
void Exact() {
  Record("exact");
}
void AnySubtype() {
  Record("anySubtype");
}
void AnyObject() {
  Record("anyObject");
}
void AnyWindow() {
  Record("anyWindow");
}
void AnyWindowSameObject() {
  Record("anyWindowSameObject");
}
void Second() {
  Record("second");
}

TEST_F(EventQueueTest, BoundCallbacksRunInKeyOrder) {
  g_calls.clear();
  ASSERT_EQ(BindEvent(GadgetEvent, -1, 7, 768, &AnyWindowSameObject), 1);
  BindEvent(GadgetEvent, -1, -1, -1, &AnyWindow);
  BindEvent(GadgetEvent, 1, -1, -1, &AnyObject);
  BindEvent(GadgetEvent, 1, 7, -1, &AnySubtype);
  BindEvent(GadgetEvent, 1, 7, 768, &Exact);
  BindEvent(GadgetEvent, 1, 7, 768, &Second);

  QueueUiEvent(GadgetEvent, 7, 1, 768);
  std::vector<std::string> expected = {"exact 3/7",     "second 3/7",    "anySubtype 3/7",
                                       "anyObject 3/7", "anyWindow 3/7", "anyWindowSameObject 3/7"};
  EXPECT_EQ(g_calls, expected) << "callbacks run when posted, most specific key first";
  EXPECT_EQ(CurrentEventType(), 0) << "the current event is restored after the callbacks";

  g_calls.clear();
  EXPECT_EQ(FetchEvent(), GadgetEvent);
  EXPECT_TRUE(g_calls.empty()) << "a UI event's callbacks do not run again when fetched";

  // Program events (flag bit 1) run their callbacks when fetched instead.
  BindEvent(65537, -1, -1, -1, &AnyWindow);
  QueueProgramEvent(65537, 0, 9, 0, nullptr);
  EXPECT_TRUE(g_calls.empty());
  FetchEvent();
  EXPECT_EQ(g_calls, std::vector<std::string>{"anyWindow 65537/9"});

  // Unbinding window 1 keeps the bindings of other windows and of any window.
  g_calls.clear();
  UnbindWindowEvents(1);
  QueueUiEvent(GadgetEvent, 7, 1, 768);
  expected = {"anyWindow 3/7", "anyWindowSameObject 3/7"};
  EXPECT_EQ(g_calls, expected);
}

}  // namespace
