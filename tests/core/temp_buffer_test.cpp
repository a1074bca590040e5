// Tests of the temporary string buffer (start stack, reserving, appending,
// growth and shrinking) and of string variables.
#include "core/temp_buffer.h"

#include <gtest/gtest.h>

#include <string>

#include "core/strings.h"

namespace {

class TempBuffer : public ::testing::Test {
 protected:
  void SetUp() override { InitTempBuffer(); }
  void TearDown() override { FreeTempBuffer(); }
};

std::u16string At(int64_t offset) {
  return std::u16string(reinterpret_cast<char16_t*>(g_temp.base + offset));
}

TEST_F(TempBuffer, ExpressionBuildsAndStoresIntoAVariable) {
  char16_t* variable = nullptr;
  PushTempStart();
  AppendTemp(u"Library/");
  AppendTemp(nullptr);
  EXPECT_EQ(g_temp.end, 16) << "a null string does not move end";
  AppendTemp(u"Preferences/Mindel.plist");
  StoreTemp(&variable, PopTempStart());
  EXPECT_EQ(std::u16string(variable), u"Library/Preferences/Mindel.plist");
  EXPECT_EQ(g_temp.end, 0) << "StoreTemp drops the stored text";
  EXPECT_EQ(g_temp.stack_depth, 0);

  PushTempStart();
  StoreTemp(&variable, PopTempStart());
  ASSERT_NE(variable, nullptr) << "an empty expression stores an allocated empty string";
  EXPECT_EQ(variable[0], 0);
  FreeStringVar(variable);
}

TEST_F(TempBuffer, AVariableStoredAgainHoldsEachTextWhateverItsLength) {
  // Storing keeps the variable's block when it already has the size, and reallocates it
  // otherwise: longer, equal, slightly shorter, much shorter and empty texts in turn.
  char16_t* variable = nullptr;
  const std::u16string long_text(300, u'x');
  for (const std::u16string& text :
       {std::u16string(u"twelve units"), std::u16string(u"twelve units"), long_text,
        std::u16string(u"eleven unit"), std::u16string(u"ab"), std::u16string(), long_text + u"y",
        long_text}) {
    PushTempStart();
    AppendTemp(text.c_str());
    StoreTemp(&variable, PopTempStart());
    ASSERT_NE(variable, nullptr);
    EXPECT_EQ(std::u16string(variable), text);
  }
  FreeStringVar(variable);
}

TEST_F(TempBuffer, PopsGivePointersAndDiscard) {
  PushTempStart();  // the statement
  AppendTemp(u"kept");
  PushTempStart();  // an argument
  AppendTemp(u"Task reminder for \"");
  AppendTemp(u"x\"");
  const char16_t* argument = PopTempPointer();
  EXPECT_EQ(std::u16string(argument), u"Task reminder for \"x\"");
  EXPECT_EQ(PeekTempStart(), 0);
  PopTempDiscard();
  EXPECT_EQ(g_temp.end, 0) << "PopTempDiscard drops everything since the push";

  AppendTemp(u"abc");
  PushTempStart();
  AppendTemp(u"abc");
  EXPECT_TRUE(StringsEqual(u"abc", PopTempDiscardPointer())) << "text stays until next append";
  EXPECT_EQ(g_temp.end, 6);
  TruncateTemp(2);
  EXPECT_EQ(At(0), u"a");
  AppendTemp(u"xyz");
  DropTempChars(2);
  EXPECT_EQ(g_temp.end, 4);
}

TEST_F(TempBuffer, AppendOfTemporaryTextSurvivesGrowth) {
  // An argument inside the buffer must be re-located when reserving moves it.
  std::u16string big(3000, u'q');
  PushTempStart();
  AppendTemp(big.c_str());
  const char16_t* inside = reinterpret_cast<char16_t*>(g_temp.base);
  const int64_t capacity = g_temp.capacity;
  AppendTemp(inside);
  AppendTemp(reinterpret_cast<char16_t*>(g_temp.base));
  EXPECT_GT(g_temp.capacity, capacity) << "the buffer had to grow";
  EXPECT_EQ(At(PopTempStart()), big + big + big + big);
  EXPECT_EQ(g_temp.end, 4 * 6000);
}

TEST_F(TempBuffer, GrowsBeyondNeedAndShrinksBackAfterLargeExpression) {
  char16_t* reserved = ReserveTemp(10, 0);
  EXPECT_EQ(g_temp.capacity, 20 + 16384) << "capacity is the need plus 16384";
  EXPECT_EQ(reserved, reinterpret_cast<char16_t*>(g_temp.base));
  EXPECT_EQ(g_temp.end, 20);

  ReserveTemp(1000000, 0);  // 2 MB
  EXPECT_GT(g_temp.capacity, 1048576);
  TruncateTemp(0);
  ReserveTemp(4, 0);
  EXPECT_EQ(g_temp.capacity, 1048576) << "shrinks back to 1 MiB after a large expression";

  EXPECT_EQ(TempOffsetOf(g_temp.base + 6), 7);
  EXPECT_EQ(TempOffsetOf(g_temp.base + g_temp.end), g_temp.end + 1) << "end itself is inside";
  EXPECT_EQ(TempOffsetOf(g_temp.base + g_temp.end + 2), 0);
  EXPECT_EQ(TempOffsetOf(u"elsewhere"), 0);
  EXPECT_EQ(TempPointerAt(7), reinterpret_cast<char16_t*>(g_temp.base + 6));
}

TEST_F(TempBuffer, StringVariablesCopyAndFree) {
  char16_t* variable = nullptr;
  InitStringVar(&variable, nullptr);
  EXPECT_EQ(variable, nullptr) << "a null string leaves the variable empty";
  InitStringVar(&variable, u"first");
  EXPECT_EQ(std::u16string(variable), u"first");
  EXPECT_EQ(AssignStringVar(&variable, u"second one"), 22);
  EXPECT_EQ(std::u16string(variable), u"second one");
  AssignStringVar(&variable, variable + 7);  // part of its own text
  EXPECT_EQ(std::u16string(variable), u"one");
  AssignStringVar(&variable, nullptr);
  EXPECT_EQ(variable, nullptr) << "a null string frees the variable";
  FreeStringVar(nullptr);
}

TEST(TempBufferDeathTest, StartStackOverflowAndUnderflowStopTheProgram) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(
      {
        InitTempBuffer();
        for (int i = 0; i < 101; i++) PushTempStart();
      },
      "nested too deeply");
  EXPECT_DEATH(
      {
        InitTempBuffer();
        PopTempStart();
      },
      "without a push");
}

}  // namespace
