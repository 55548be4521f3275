// Change notification: filters, key-only against subtree registrations,
// one firing per registration, the event reset at registration, closing and
// deleting, synchronous waiters and programmatic edits.
#include <windows.h>

#include <velplat/faults.h>
#include <velplat/registry.h>
#include <velplat/world.h>

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <thread>

namespace {

namespace reg = velplat::registry;
using namespace std::chrono_literals;

constexpr const char* kWatched = "HKLM\\SOFTWARE\\Watched";

class RegistryNotify : public ::testing::Test {
 protected:
  void SetUp() override {
    velplat::World::Get().Reset();
    velplat::faults::Clear();
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Watched\\Inner", &inner_));
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Watched", 0, KEY_READ, &watched_));
    event_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(nullptr, event_);
  }
  void TearDown() override {
    if (watched_) RegCloseKey(watched_);
    RegCloseKey(inner_);
    CloseHandle(event_);
    velplat::faults::Clear();
  }

  bool Signalled() { return WaitForSingleObject(event_, 0) == WAIT_OBJECT_0; }

  LONG Watch(BOOL subtree, DWORD filter) { return RegNotifyChangeKeyValue(watched_, subtree, filter, event_, TRUE); }

  static void SetInnerValue(HKEY key, DWORD value) {
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "v", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4));
  }

  HKEY watched_ = nullptr;
  HKEY inner_ = nullptr;
  HANDLE event_ = nullptr;
};

TEST_F(RegistryNotify, SubtreeWatchFiresOnSubkeyCreationDeepBelow) {
  ASSERT_EQ(ERROR_SUCCESS, Watch(TRUE, REG_NOTIFY_CHANGE_NAME));
  EXPECT_FALSE(Signalled());
  HKEY deep = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(inner_, "Deeper", &deep));
  EXPECT_TRUE(Signalled());
  RegCloseKey(deep);
}

TEST_F(RegistryNotify, KeyOnlyWatchSeesItsOwnChangesOnly) {
  // A value set below does not reach a key-only LAST_SET registration...
  ASSERT_EQ(ERROR_SUCCESS, Watch(FALSE, REG_NOTIFY_CHANGE_LAST_SET));
  SetInnerValue(inner_, 1);
  EXPECT_FALSE(Signalled());
  // ...nor does a subkey creation, which is a NAME change.
  HKEY child = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(watched_, "Child", &child));
  RegCloseKey(child);
  EXPECT_FALSE(Signalled());
  // A value set on the key itself does.
  HKEY writable = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Watched", 0, KEY_SET_VALUE, &writable));
  SetInnerValue(writable, 2);
  EXPECT_TRUE(Signalled());
  RegCloseKey(writable);

  // A key-only NAME registration fires for a direct subkey, not a deeper one.
  ASSERT_EQ(ERROR_SUCCESS, Watch(FALSE, REG_NOTIFY_CHANGE_NAME));
  ASSERT_EQ(ERROR_SUCCESS, reg::CreateKey("HKLM\\SOFTWARE\\Watched\\Inner\\Grandchild"));
  EXPECT_FALSE(Signalled());
  ASSERT_EQ(ERROR_SUCCESS, reg::DeleteKeyTree("HKLM\\SOFTWARE\\Watched\\Child"));
  EXPECT_TRUE(Signalled());
}

TEST_F(RegistryNotify, SubtreeLastSetWatchSeesValuesBelowAndDeletions) {
  ASSERT_EQ(ERROR_SUCCESS, Watch(TRUE, REG_NOTIFY_CHANGE_LAST_SET));
  ASSERT_EQ(ERROR_SUCCESS, reg::CreateKey("HKLM\\SOFTWARE\\Watched\\Inner\\NotAValue"));
  EXPECT_FALSE(Signalled());
  SetInnerValue(inner_, 1);
  EXPECT_TRUE(Signalled());

  ASSERT_EQ(ERROR_SUCCESS, Watch(TRUE, REG_NOTIFY_CHANGE_LAST_SET));
  ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueA(inner_, "v"));
  EXPECT_TRUE(Signalled());
}

TEST_F(RegistryNotify, EachRegistrationFiresOnceAndRegisteringResetsTheEvent) {
  ASSERT_TRUE(SetEvent(event_));
  ASSERT_EQ(ERROR_SUCCESS, Watch(TRUE, REG_NOTIFY_CHANGE_LAST_SET | REG_NOTIFY_CHANGE_NAME));
  EXPECT_FALSE(Signalled()) << "registration resets the event";

  SetInnerValue(inner_, 1);
  EXPECT_TRUE(Signalled());
  ASSERT_TRUE(ResetEvent(event_));
  SetInnerValue(inner_, 2);
  EXPECT_FALSE(Signalled()) << "a fired registration is gone";

  ASSERT_EQ(ERROR_SUCCESS, Watch(TRUE, REG_NOTIFY_CHANGE_LAST_SET));
  SetInnerValue(inner_, 3);
  EXPECT_TRUE(Signalled());
}

TEST_F(RegistryNotify, RegisteringAgainThroughTheSameHandleReplacesTheEvent) {
  HANDLE other = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ASSERT_EQ(ERROR_SUCCESS, RegNotifyChangeKeyValue(watched_, TRUE, REG_NOTIFY_CHANGE_LAST_SET, other, TRUE));
  ASSERT_EQ(ERROR_SUCCESS, Watch(TRUE, REG_NOTIFY_CHANGE_LAST_SET));
  EXPECT_EQ(1u, reg::PendingNotifications(kWatched));
  SetInnerValue(inner_, 1);
  EXPECT_TRUE(Signalled());
  EXPECT_EQ(static_cast<DWORD>(WAIT_TIMEOUT), WaitForSingleObject(other, 0));
  CloseHandle(other);
}

TEST_F(RegistryNotify, ClosingTheWatchedHandleSignalsThePendingEvent) {
  ASSERT_EQ(ERROR_SUCCESS, Watch(TRUE, REG_NOTIFY_CHANGE_NAME));
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(watched_));
  watched_ = nullptr;
  EXPECT_TRUE(Signalled());
  EXPECT_EQ(0u, reg::PendingNotifications(kWatched));
}

TEST_F(RegistryNotify, DeletingTheWatchedKeySignalsAndLeavesTheHandleDeleted) {
  // A key-only LAST_SET registration: deletion ends it whatever the filter.
  ASSERT_EQ(ERROR_SUCCESS, RegNotifyChangeKeyValue(inner_, FALSE, REG_NOTIFY_CHANGE_LAST_SET, event_, TRUE));
  ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyA(watched_, "Inner"));
  EXPECT_TRUE(Signalled());
  EXPECT_EQ(ERROR_KEY_DELETED, RegNotifyChangeKeyValue(inner_, FALSE, REG_NOTIFY_CHANGE_LAST_SET, event_, TRUE));

  // Deleting a whole tree ends the registrations of every key in it.
  ASSERT_TRUE(ResetEvent(event_));
  HKEY deep = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Watched\\A\\B", &deep));
  ASSERT_EQ(ERROR_SUCCESS, RegNotifyChangeKeyValue(deep, FALSE, REG_NOTIFY_CHANGE_LAST_SET, event_, TRUE));
  ASSERT_EQ(ERROR_SUCCESS, reg::DeleteKeyTree(kWatched));
  EXPECT_TRUE(Signalled());
  RegCloseKey(deep);
}

TEST_F(RegistryNotify, SynchronousWaitReturnsAfterAChangeAndCanBeObserved) {
  auto seen = std::async(std::launch::async, [] {
    auto start = std::chrono::steady_clock::now();
    bool found = reg::WaitForPendingNotifications(kWatched, 1, 20s);
    return std::make_pair(found, std::chrono::steady_clock::now() - start);
  });
  // Let the observer block first, so that the registration has to wake it.
  std::this_thread::sleep_for(50ms);
  auto waiter = std::async(std::launch::async, [this] {
    return RegNotifyChangeKeyValue(watched_, TRUE, REG_NOTIFY_CHANGE_LAST_SET, nullptr, FALSE);
  });
  auto [found, took] = seen.get();
  EXPECT_TRUE(found);
  EXPECT_LT(took, 10s) << "the observer only woke at its timeout";
  EXPECT_EQ(std::future_status::timeout, waiter.wait_for(20ms)) << "returned before any change";
  ASSERT_EQ(ERROR_SUCCESS, reg::SetDword(kWatched, "v", 1));
  ASSERT_EQ(std::future_status::ready, waiter.wait_for(5s));
  EXPECT_EQ(ERROR_SUCCESS, waiter.get());
  EXPECT_FALSE(reg::WaitForPendingNotifications(kWatched, 1, 1ms));
}

TEST_F(RegistryNotify, SynchronousWaiterReturnsWhenItsHandleIsClosedOrItsKeyDeleted) {
  auto closed = std::async(std::launch::async, [this] {
    return RegNotifyChangeKeyValue(watched_, TRUE, REG_NOTIFY_CHANGE_NAME, nullptr, FALSE);
  });
  ASSERT_TRUE(reg::WaitForPendingNotifications(kWatched, 1, 5s));
  ASSERT_EQ(ERROR_SUCCESS, RegCloseKey(watched_));
  watched_ = nullptr;
  ASSERT_EQ(std::future_status::ready, closed.wait_for(5s));
  EXPECT_EQ(ERROR_NOTIFY_CLEANUP, closed.get());

  auto deleted = std::async(std::launch::async, [this] {
    return RegNotifyChangeKeyValue(inner_, FALSE, REG_NOTIFY_CHANGE_LAST_SET, nullptr, FALSE);
  });
  ASSERT_TRUE(reg::WaitForPendingNotifications("HKLM\\SOFTWARE\\Watched\\Inner", 1, 5s));
  ASSERT_EQ(ERROR_SUCCESS, reg::DeleteKeyTree("HKLM\\SOFTWARE\\Watched\\Inner"));
  ASSERT_EQ(std::future_status::ready, deleted.wait_for(5s));
  EXPECT_EQ(ERROR_KEY_DELETED, deleted.get());
}

TEST_F(RegistryNotify, ProgrammaticEditsNotifyLikeWin32Writes) {
  ASSERT_EQ(ERROR_SUCCESS, Watch(TRUE, REG_NOTIFY_CHANGE_LAST_SET));
  ASSERT_EQ(ERROR_SUCCESS, reg::SetMultiString("HKLM\\SOFTWARE\\Watched\\Inner", "PublicNodeNames", {"n1", "n2"}));
  EXPECT_TRUE(Signalled());

  ASSERT_EQ(ERROR_SUCCESS, Watch(TRUE, REG_NOTIFY_CHANGE_NAME));
  auto imported = reg::ImportRegText("REGEDIT4\n\n[HKLM\\SOFTWARE\\Watched\\Inner\\FromFile]\n");
  ASSERT_TRUE(imported) << imported.message;
  EXPECT_TRUE(Signalled());

  // Another machine's changes do not reach this machine's registrations.
  ASSERT_EQ(ERROR_SUCCESS, Watch(TRUE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET));
  velplat::Machine& other = velplat::World::Get().Add("OTHER");
  ASSERT_EQ(ERROR_SUCCESS, reg::SetDword("HKLM\\SOFTWARE\\Watched\\Inner", "v", 1, &other));
  EXPECT_FALSE(Signalled());
}

TEST_F(RegistryNotify, InvalidRegistrationsAreRefused) {
  EXPECT_EQ(ERROR_INVALID_PARAMETER, RegNotifyChangeKeyValue(watched_, TRUE, REG_NOTIFY_CHANGE_NAME, nullptr, TRUE));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, RegNotifyChangeKeyValue(watched_, TRUE, 0x40, event_, TRUE));
  EXPECT_EQ(ERROR_INVALID_HANDLE,
            RegNotifyChangeKeyValue(reinterpret_cast<HKEY>(0x7770), TRUE, REG_NOTIFY_CHANGE_NAME, event_, TRUE));
  HKEY queryOnly = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Watched", 0, KEY_QUERY_VALUE, &queryOnly));
  EXPECT_EQ(ERROR_ACCESS_DENIED, RegNotifyChangeKeyValue(queryOnly, TRUE, REG_NOTIFY_CHANGE_NAME, event_, TRUE));
  RegCloseKey(queryOnly);

  velplat::faults::FailCall("RegNotifyChangeKeyValue", ERROR_NOT_ENOUGH_MEMORY);
  EXPECT_EQ(ERROR_NOT_ENOUGH_MEMORY, Watch(TRUE, REG_NOTIFY_CHANGE_NAME));
  EXPECT_EQ(0u, reg::PendingNotifications(kWatched));
}

TEST_F(RegistryNotify, PredefinedHandlesCanBeWatched) {
  ASSERT_EQ(ERROR_SUCCESS, RegNotifyChangeKeyValue(HKEY_LOCAL_MACHINE, TRUE, REG_NOTIFY_CHANGE_NAME, event_, TRUE));
  ASSERT_EQ(ERROR_SUCCESS, reg::CreateKey("HKLM\\SOFTWARE\\Oracle"));
  EXPECT_TRUE(Signalled());
}

}  // namespace
