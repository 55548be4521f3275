// The trap queue's hand-over to the SNMP service.
#include "agent/trap_queue.h"

#include <gtest/gtest.h>

namespace velmon {
namespace {

class TrapQueueTest : public testing::Test {
 protected:
  void SetUp() override {
    TrapQueueMutex = CreateMutexA(nullptr, FALSE, nullptr);
    TrapEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
  }

  static TrapRecord* NewRecord(AsnInteger32 specific) {
    auto* record = static_cast<TrapRecord*>(SnmpUtilMemAlloc(sizeof(TrapRecord)));
    record->enterprise.idLength = 2;
    record->enterprise.ids = static_cast<UINT*>(SnmpUtilMemAlloc(2 * sizeof(UINT)));
    record->enterprise.ids[0] = 1;
    record->enterprise.ids[1] = static_cast<UINT>(specific);
    record->genericTrap = SNMP_GENERICTRAP_ENTERSPECIFIC;
    record->specificTrap = specific;
    record->timeStamp = 100u + static_cast<UINT>(specific);
    record->variableBindings = {nullptr, 0};
    return record;
  }

  struct Taken {
    BOOL result;
    AsnObjectIdentifier enterprise{99, nullptr};
    AsnInteger32 generic = -1;
    AsnInteger32 specific = -1;
    AsnTimeticks stamp = 7;
    RFC1157VarBindList bindings{nullptr, 99};
  };
  static Taken Take() {
    Taken t;
    t.result = SnmpExtensionTrap(&t.enterprise, &t.generic, &t.specific, &t.stamp, &t.bindings);
    return t;
  }
};

TEST_F(TrapQueueTest, EmptyQueueAnswersFalseAndWritesNothing) {
  Taken t = Take();
  EXPECT_FALSE(t.result);
  EXPECT_EQ(t.enterprise.idLength, 99u);
  EXPECT_EQ(t.generic, -1);
  EXPECT_EQ(t.specific, -1);
  EXPECT_EQ(t.stamp, 7u);
  EXPECT_EQ(t.bindings.len, 99u);
}

TEST_F(TrapQueueTest, SingleRecordIsHandedOverAndEmptiesTheQueue) {
  ASSERT_TRUE(EnqueueTrap(NewRecord(5)));
  EXPECT_EQ(WaitForSingleObject(TrapEvent.load(), 0), WAIT_OBJECT_0);  // the service is told
  Taken t = Take();
  ASSERT_TRUE(t.result);
  EXPECT_EQ(t.specific, 5);
  EXPECT_EQ(t.generic, SNMP_GENERICTRAP_ENTERSPECIFIC);
  EXPECT_EQ(t.stamp, 105u);
  ASSERT_EQ(t.enterprise.idLength, 2u);
  EXPECT_EQ(t.enterprise.ids[1], 5u);
  EXPECT_EQ(TrapQueue.head, nullptr);
  EXPECT_EQ(TrapQueue.tail, nullptr);
  SnmpUtilOidFree(&t.enterprise);  // the service owns it now
  EXPECT_FALSE(Take().result);
}

TEST_F(TrapQueueTest, OldestRecordComesFirst) {
  ASSERT_TRUE(EnqueueTrap(NewRecord(1)));
  ASSERT_TRUE(EnqueueTrap(NewRecord(2)));
  Taken first = Take();
  ASSERT_TRUE(first.result);
  EXPECT_EQ(first.specific, 1);
  ASSERT_NE(TrapQueue.head, nullptr);
  EXPECT_EQ(TrapQueue.head->prev, nullptr);
  EXPECT_EQ(TrapQueue.head, TrapQueue.tail);
  EXPECT_EQ(TrapQueue.head->specificTrap, 2);
  Taken second = Take();
  EXPECT_EQ(second.specific, 2);
  SnmpUtilOidFree(&first.enterprise);
  SnmpUtilOidFree(&second.enterprise);
}

TEST(TrapQueueWithoutStartUp, AnswersFalse) {
  AsnObjectIdentifier enterprise{0, nullptr};
  AsnInteger32 generic = 0, specific = 0;
  AsnTimeticks stamp = 0;
  RFC1157VarBindList bindings{nullptr, 0};
  EXPECT_FALSE(SnmpExtensionTrap(&enterprise, &generic, &specific, &stamp, &bindings));
}

}  // namespace
}  // namespace velmon
