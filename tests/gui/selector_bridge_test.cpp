// Tests of the selector-string bridge seen from a caller: class receivers by name, markers, the
// direct and invocation paths, results in words and buffers, and the refusals.
#include "gui/selector_bridge.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/foundation/bundle.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/string.h"
#include "platform/objc/objc.h"
#include "tests/core/scratch_folder.h"

namespace {

// --- A probe class whose methods record what they received ---

struct Received {
  double length = 0;
  NSSize size = {0, 0};
  int64_t words[6] = {};
  std::string object;  // the UTF-8 of the object argument, "nil" for nil
  std::string key;
  int calls = 0;
};
Received g_received;
Class g_probe = nil;

void SetLength(id, SEL, double length) {
  g_received.length = length;
  ++g_received.calls;
}
void SetSize(id, SEL, NSSize size) {
  g_received.size = size;
  ++g_received.calls;
}
NSSize Size(id, SEL) {
  return NSMakeSize(12.5, 7.25);
}
double Ratio(id, SEL) {
  return 1.5;
}
NSSize SizeScaledBy(id, SEL, double factor) {
  ++g_received.calls;
  return NSMakeSize(12.5 * factor, 7.25 * factor);
}
int64_t Add(id, SEL, int64_t a, int64_t b) {
  g_received.words[0] = a;
  g_received.words[1] = b;
  ++g_received.calls;
  return a + b;
}
int64_t Six(id, SEL, int64_t a, int64_t b, int64_t c, int64_t d, int64_t e, int64_t f) {
  int64_t all[6] = {a, b, c, d, e, f};
  std::memcpy(g_received.words, all, sizeof(all));
  ++g_received.calls;
  return a + b + c + d + e + f;
}
BOOL IsPositive(id, SEL, int64_t value) {
  return value > 0 ? YES : NO;
}
std::string Describe(id object) {
  return object ? foundation::StringUtf8(object) : std::string("nil");
}
void SetObjectForKey(id, SEL, id object, id key) {
  g_received.object = Describe(object);
  g_received.key = Describe(key);
  ++g_received.calls;
}
id Shared(Class, SEL) {
  static id probe = objc::Send(g_probe, "new");
  return probe;
}
int64_t Marked(id, SEL) {
  ++g_received.calls;
  return 77;
}

void DefineProbe() {
  if (g_probe) return;
  g_probe = objc::DefineClass("BridgeProbe", "NSObject");
  objc::AddMethod(g_probe, "setLength:", &SetLength);
  objc::AddMethod(g_probe, "setSize:", &SetSize);
  objc::AddMethod(g_probe, "size", &Size);
  objc::AddMethod(g_probe, "ratio", &Ratio);
  objc::AddMethod(g_probe, "ratio$", &Ratio);
  objc::AddMethod(g_probe, "sizeScaledBy:", &SizeScaledBy);
  objc::AddMethod(g_probe, "add:to:", &Add);
  objc::AddMethod(g_probe, "a:b:c:d:e:f:", &Six);
  objc::AddMethod(g_probe, "isPositive:", &IsPositive);
  objc::AddMethod(g_probe, "setObject:forKey:", &SetObjectForKey);
  objc::AddMethod(g_probe, "marked$", &Marked);
  objc::AddClassMethod(g_probe, "shared", &Shared);
}

class SelectorBridgeTest : public testing::Test {
 protected:
  void SetUp() override {
    DefineProbe();
    g_received = Received{};
    probe_ = SelectorObject(SelectorSend0(nullptr, nil, u"BridgeProbe shared"));
  }
  objc::AutoreleasePool pool_;
  id probe_ = nil;
};

TEST_F(SelectorBridgeTest, ClassReceiverByNameInBothWidths) {
  ASSERT_NE(probe_, nil) << "a class method is reached by \"Class selector\" with target 0";
  EXPECT_EQ(SelectorObject(SelectorSend0(nullptr, nil, "BridgeProbe shared")), probe_)
      << "a narrow message reaches the same class method";
  EXPECT_EQ(SelectorSend0(nullptr, nil, u"NoSuchClass shared"), 0u);
  EXPECT_EQ(SelectorSend0(nullptr, nil, u"shared"), 0u) << "no class name and no target";
  EXPECT_EQ(SelectorSend0(nullptr, probe_, u"noSuchSelector"), 0u);
  EXPECT_EQ(SelectorSend0(nullptr, probe_, u"BridgeProbe shared"), 0u)
      << "with a target, a space is part of the selector";
}

TEST_F(SelectorBridgeTest, DirectPathPassesWordsAndAnswersTheIntegerResult) {
  EXPECT_EQ(SelectorSend2(nullptr, probe_, u"add:", 40, u"to:", SelectorWord(-2)), 38u);
  EXPECT_EQ(g_received.words[1], -2);
  EXPECT_EQ(SelectorSend1(nullptr, probe_, u"isPositive:", 5), 1u);
  EXPECT_EQ(SelectorSend1(nullptr, probe_, u"isPositive:", SelectorWord(-5)), 0u);
  // A double parameter does not receive the word on the direct path.
  SelectorSend1(nullptr, probe_, u"setLength:", 3);
  EXPECT_EQ(g_received.length, 0.0) << "the direct path passes words, not doubles";
  EXPECT_EQ(SelectorSend0(nullptr, probe_, u"ratio"), 0u)
      << "a floating-point result is not available on the direct path";
}

TEST_F(SelectorBridgeTest, InvocationPathPassesValuesByAddress) {
  double minus_one = -1.0;
  EXPECT_EQ(SelectorSend1(nullptr, probe_, u"setLength:@", SelectorWord(&minus_one)), 0u);
  EXPECT_EQ(g_received.length, -1.0) << "\"setLength:@\" passes the double it points to";

  double size[2] = {20.0, 20.0};
  SelectorSend1(nullptr, probe_, u"setSize:@", SelectorWord(size));
  EXPECT_EQ(g_received.size.width, 20.0);
  EXPECT_EQ(g_received.size.height, 20.0);

  // Six arguments exceed the direct path: the invocation passes every word.
  EXPECT_EQ(
      SelectorSend6(nullptr, probe_, u"a:", 1, u"b:", 2, u"c:", 3, u"d:", 4, u"e:", 5, u"f:", 6),
      21u);
  EXPECT_EQ(g_received.words[5], 6);

  // BOOL results are 0 or 1 with the rest of the word zero.
  EXPECT_EQ(SelectorSend1(nullptr, probe_, u"isPositive:@", SelectorWord(&minus_one)), 0u);
  int64_t three = 3;
  EXPECT_EQ(SelectorSend1(nullptr, probe_, u"isPositive:@", SelectorWord(&three)), 1u);
}

TEST_F(SelectorBridgeTest, StringMarkersAndNilArguments) {
  SelectorSend2(nullptr, probe_, u"setObject:$", SelectorWord(u"Buy milk"), u"forKey:$",
                SelectorWord(u"Val16"));
  EXPECT_EQ(g_received.object, "Buy milk");
  EXPECT_EQ(g_received.key, "Val16");

  SelectorSend2(nullptr, probe_, u"setObject:$", 0, u"forKey:$", SelectorWord(u"Val16"));
  EXPECT_EQ(g_received.object, "nil") << "a 0 string argument leaves the object nil";

  // Narrow messages convert their strings as ISO Latin-1.
  SelectorSend2(nullptr, probe_, "setObject:$", SelectorWord("caf\xe9"), "forKey:$",
                SelectorWord("k"));
  EXPECT_EQ(g_received.object, "caf\xc3\xa9");

  // A one-part selector without a colon keeps its trailing marker as part of its name.
  EXPECT_EQ(SelectorSend0(nullptr, probe_, u"marked$"), 77u);
}

TEST_F(SelectorBridgeTest, ResultsIntoBuffersAndWords) {
  NSSize size = {0, 0};
  EXPECT_EQ(SelectorSend0(&size, probe_, u"size"), 0u) << "a result buffer answers 0";
  EXPECT_EQ(size.width, 12.5);
  EXPECT_EQ(size.height, 7.25);

  double ratio = 0;
  SelectorSend0(&ratio, probe_, u"ratio");
  EXPECT_EQ(ratio, 1.5);

  // Without a buffer, a structure wider than 8 bytes is dropped and 0 answered; the message
  // is still sent.
  double two = 2.0;
  EXPECT_EQ(SelectorSend1(nullptr, probe_, u"sizeScaledBy:@", SelectorWord(&two)), 0u);
  EXPECT_EQ(g_received.calls, 1) << "the method ran";
  NSSize scaled = {0, 0};
  SelectorSend1(&scaled, probe_, u"sizeScaledBy:@", SelectorWord(&two));
  EXPECT_EQ(scaled.width, 25.0) << "with a buffer the same message hands the size over";
}

TEST_F(SelectorBridgeTest, PartsSplitByTheLowByteOfEachUnit) {
  // An empty first part adds nothing: the other parts make the selector, in either width.
  EXPECT_EQ(SelectorSend2(nullptr, probe_, u"", 40, u"add:to:", 2), 42u);
  EXPECT_EQ(SelectorSend2(nullptr, probe_, "", 40, "add:to:", 2), 42u);
  EXPECT_EQ(SelectorSend2(nullptr, nil, u"", 0, u"BridgeProbe shared", 0), 0u)
      << "with target 0 an empty first part names no class";
  // A wide unit whose low byte is 0 ends its part; one whose low byte is a space is a space.
  EXPECT_EQ(SelectorSend1(nullptr, probe_, u"isPositive:\u0100junk", 5), 1u);
  EXPECT_EQ(SelectorObject(SelectorSend0(nullptr, nil, u"BridgeProbe\u0120shared")), probe_);

  // A one-part name that keeps its trailing marker still counts as marked: it goes through the
  // invocation, where a floating-point result is available as its bit pattern.
  const double ratio = 1.5;
  uint64_t bits = 0;
  std::memcpy(&bits, &ratio, sizeof(bits));
  EXPECT_EQ(SelectorSend0(nullptr, probe_, u"ratio$"), bits);
}

TEST_F(SelectorBridgeTest, RefusesMessagesThatDoNotFitItsBuffers) {
  std::u16string long_selector(300, u'a');
  EXPECT_EQ(SelectorSend0(nullptr, probe_, long_selector.c_str()), 0u);
  std::u16string long_class = std::u16string(300, u'B') + u" shared";
  EXPECT_EQ(SelectorSend0(nullptr, nil, long_class.c_str()), 0u);

  // Nine parts: laid out by hand, since the front doors stop at eight.
  const char16_t* part = u"a:";
  SelectorMessage message[21] = {0, SelectorWord(probe_)};
  for (int k = 0; k < 9; ++k) message[2 + k] = SelectorWord(part);
  g_received.calls = 0;
  EXPECT_EQ(SelectorSend(message), 0u);
  EXPECT_EQ(g_received.calls, 0) << "nothing is sent";
}

// The program's settings round trip: the messages the application sends to store its task.
TEST_F(SelectorBridgeTest, UserDefaultsWrittenThroughTheBridgeReachTheFile) {
  ScratchFolder folder;
  ASSERT_FALSE(folder.path().empty());
  const std::string& home = folder.path();
  ScopedEnvironment home_variable("HOME", home.c_str());
  SelectorSend0(nullptr, nil, u"NSUserDefaults resetStandardUserDefaults");

  id defaults = SelectorObject(SelectorSend0(nullptr, nil, u"NSUserDefaults standardUserDefaults"));
  ASSERT_NE(defaults, nil);
  SelectorSend2(nullptr, defaults, u"setObject:$", SelectorWord(u"Water the plants \u2618"),
                u"forKey:$", SelectorWord(u"Val16"));
  SelectorSend2(nullptr, defaults, u"setInteger:", 5, u"forKey:$", SelectorWord(u"Val1"));
  EXPECT_EQ(SelectorSend0(nullptr, defaults, u"synchronize"), 1u);

  // The application's domain is named after the program: Mindel in the bundle, the test
  // program's own name here.
  std::string path = home + "/Library/Preferences/" + foundation::ProgramName() + ".plist";
  plist::Value root;
  ASSERT_EQ(plist::ReadFile(path.c_str(), &root), plist::ReadResult::Ok)
      << path << " must be a valid property list";
  const plist::Value* task = plist::Find(root, u"Val16");
  ASSERT_NE(task, nullptr);
  EXPECT_EQ(task->string, u"Water the plants \u2618");
  const plist::Value* interval = plist::Find(root, u"Val1");
  ASSERT_NE(interval, nullptr);
  EXPECT_EQ(interval->integer, 5) << "a plain word reaches an integer parameter";
  EXPECT_EQ(SelectorSend1(nullptr, defaults, u"integerForKey:$", SelectorWord(u"Val1")), 5u);

  SelectorSend0(nullptr, nil, u"NSUserDefaults resetStandardUserDefaults");
}

}  // namespace
