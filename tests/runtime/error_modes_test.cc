// The error-mode helpers: what a failed statement leaves behind.
#include "runtime/error_modes.h"

#include <vector>

#include "runtime/convert.h"
#include "tests/support/test_support.h"

namespace corvane::rt {
namespace {

TEST(ErrorModes, SkipAbandonsTheFailingStatementAndGoesOn) {
  Integer x = 7;
  std::vector<int> ran;
  EXPECT_FALSE(Skip([&] { x = CheckedAdd<Integer>(32767, 1); }));
  EXPECT_EQ(x, 7);  // the assignment never happened
  EXPECT_TRUE(Skip([&] { ran.push_back(1); }));
  EXPECT_EQ(ran, std::vector<int>{1});
}

TEST(ErrorModes, SkipIfTakesTheThenBranchWhenTheConditionFails) {
  bool taken = false;
  SkipIf([]() -> bool { Raise(ErrorNumber::kTypeMismatch); }, [&] { taken = true; });
  EXPECT_TRUE(taken);
  taken = false;
  SkipIf([] { return false; }, [&] { taken = true; });
  EXPECT_FALSE(taken);
}

TEST(ErrorModes, SkipForEndsWhenTheStepOverflows) {
  Byte counter = 0;
  int passes = 0;
  SkipFor<Byte>(counter, 250, 255, [&] { ++passes; });
  EXPECT_EQ(passes, 6);  // 250..255, the last pass included
  EXPECT_EQ(counter, 255);

  passes = 0;
  SkipFor<Byte>(counter, 1, 0, [&] { ++passes; });
  EXPECT_EQ(passes, 0);
  EXPECT_EQ(counter, 1);
}

TEST(ErrorModes, TrapHandsTheErrorToTheHandler) {
  const Integer trapped =
      Trap([]() -> Integer { Raise(ErrorNumber::kSubscript); },
           [](const RuntimeError& e) { return static_cast<Integer>(e.number()); });
  EXPECT_EQ(trapped, 9);
  EXPECT_EQ(Trap([] { return Integer{0}; }, [](const RuntimeError&) { return Integer{1}; }), 0);
  // An error inside the handler is not trapped again.
  EXPECT_THROW(Trap([]() -> Integer { Raise(ErrorNumber::kSubscript); },
                    [](const RuntimeError&) -> Integer { Raise(ErrorNumber::kOverflow); }),
               RuntimeError);
}

TEST(ErrorModes, DescriptionsAreTheStandardTexts) {
  EXPECT_STREQ(RuntimeError(ErrorNumber::kInvalidCall).what(),
               "Invalid procedure call or argument");
  EXPECT_STREQ(RuntimeError(ErrorNumber::kOverflow).what(), "Overflow");
  EXPECT_STREQ(RuntimeError(ErrorNumber::kSubscript).what(), "Subscript out of range");
  EXPECT_STREQ(RuntimeError(ErrorNumber::kArrayFixed).what(),
               "This array is fixed or temporarily locked");
  EXPECT_STREQ(RuntimeError(ErrorNumber::kTypeMismatch).what(), "Type mismatch");
}

}  // namespace
}  // namespace corvane::rt
