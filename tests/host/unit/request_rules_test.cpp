// How the host judges the extension agent's answers before net-snmp sees
// them.
#include "host/request_rules.h"

#include <gtest/gtest.h>

namespace velmond {
namespace {

const Oid kView{1, 3, 6, 1, 4, 1, 32473, 2, 18, 22, 4, 1};
Oid Under(std::initializer_list<std::uint32_t> tail) {
  Oid name = kView;
  name.insert(name.end(), tail);
  return name;
}

TEST(RequestRules, GetNextTakesOnlyAnswersInsideTheViewAndAfterTheRequest) {
  const Oid request = Under({1, 1, 1, 0});
  EXPECT_EQ(JudgeGetNext(request, kView, status::kNoError, Under({1, 1, 2, 0})).outcome, Outcome::Answer);
  // The end-of-view name one past the view.
  Oid pastView = kView;
  pastView.back() = 2;
  EXPECT_EQ(JudgeGetNext(request, kView, status::kNoError, pastView).outcome, Outcome::LeaveUnanswered);
  // The view's own name is no instance of it.
  EXPECT_EQ(JudgeGetNext(kView, kView, status::kNoError, kView).outcome, Outcome::LeaveUnanswered);
  // An answer equal to or before the request would make a walk loop.
  EXPECT_EQ(JudgeGetNext(request, kView, status::kNoError, request).outcome, Outcome::LeaveUnanswered);
  EXPECT_EQ(JudgeGetNext(request, kView, status::kNoError, Under({1, 1})).outcome, Outcome::LeaveUnanswered);
  // A longer name under the request sorts after it.
  EXPECT_EQ(JudgeGetNext(Under({1, 2, 8}), kView, status::kNoError, Under({1, 2, 8, 1, 1, 1})).outcome,
            Outcome::Answer);
  EXPECT_EQ(JudgeGetNext(request, kView, status::kNoSuchName, Under({1, 1, 2, 0})).outcome, Outcome::LeaveUnanswered);
  EXPECT_EQ(JudgeGetNext(request, kView, status::kGenErr, Under({1, 1, 2, 0})),
            (Verdict{Outcome::Error, status::kGenErr}));
}

TEST(RequestRules, GetAnswersOrReportsNoSuchInstanceOrKeepsTheError) {
  EXPECT_EQ(JudgeGet(status::kNoError).outcome, Outcome::Answer);
  EXPECT_EQ(JudgeGet(status::kNoSuchName).outcome, Outcome::NoSuchInstance);
  EXPECT_EQ(JudgeGet(status::kGenErr), (Verdict{Outcome::Error, status::kGenErr}));
  EXPECT_EQ(JudgeGet(status::kBadValue), (Verdict{Outcome::Error, status::kBadValue}));
}

TEST(RequestRules, RefusedSetsBecomeV2cStatuses) {
  EXPECT_EQ(SetRefusal(status::kNoSuchName, true), status::kNotWritable);
  EXPECT_EQ(SetRefusal(status::kNoSuchName, false), status::kNoCreation);
  EXPECT_EQ(SetRefusal(status::kReadOnly, false), status::kNotWritable);
  EXPECT_EQ(SetRefusal(status::kBadValue, true), status::kWrongValue);
  EXPECT_EQ(SetRefusal(status::kGenErr, true), status::kGenErr);
}

}  // namespace
}  // namespace velmond
