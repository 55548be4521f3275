// Writing event log entries: sources, entries as stored, failures, threads.
#include <windows.h>

#include <velplat/eventlog.h>
#include <velplat/faults.h>
#include <velplat/world.h>

#include <gtest/gtest.h>

#include <set>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;
namespace eventlog = velplat::eventlog;

class EventLogReport : public ::testing::Test {
 protected:
  void SetUp() override {
    velplat::World::Get().Reset();
    velplat::faults::Clear();
  }
  void TearDown() override { velplat::faults::Clear(); }
};

TEST_F(EventLogReport, EntryKeepsTypeIdentifierStringsAndDataUnchanged) {
  HANDLE source = RegisterEventSourceA(nullptr, "VelmoraRACAgent");
  ASSERT_NE(source, nullptr);
  const char* strings[] = {"OpenService failed"};
  const BYTE data[] = {0x01, 0x00, 0xFF};
  const auto before = std::chrono::system_clock::now();
  // A bare system error number as identifier: severity bits 00.
  ASSERT_TRUE(ReportEventA(source, EVENTLOG_SUCCESS, 0, 6, nullptr, 1, 0, strings, nullptr));
  ASSERT_TRUE(ReportEventA(source, EVENTLOG_ERROR_TYPE, 7, 0xC00017E1, nullptr, 0, sizeof data, nullptr,
                           const_cast<BYTE*>(data)));
  const auto after = std::chrono::system_clock::now();
  EXPECT_TRUE(DeregisterEventSource(source));

  const std::vector<eventlog::Entry> entries = eventlog::Entries();
  ASSERT_EQ(entries.size(), 2u);
  EXPECT_EQ(entries[0].record, 1u);
  EXPECT_EQ(entries[0].source, "VelmoraRACAgent");
  EXPECT_EQ(entries[0].type, EVENTLOG_SUCCESS);
  EXPECT_EQ(entries[0].eventId, 6u);
  EXPECT_EQ(entries[0].strings, std::vector<std::string>{"OpenService failed"});
  EXPECT_TRUE(entries[0].data.empty());
  EXPECT_GE(entries[0].time, before);
  EXPECT_LE(entries[0].time, after);

  EXPECT_EQ(entries[1].record, 2u);
  EXPECT_EQ(entries[1].type, EVENTLOG_ERROR_TYPE);
  EXPECT_EQ(entries[1].category, 7);
  EXPECT_EQ(entries[1].eventId, 0xC00017E1u);
  EXPECT_TRUE(entries[1].strings.empty());
  EXPECT_EQ(entries[1].data, (std::vector<BYTE>{0x01, 0x00, 0xFF}));
}

TEST_F(EventLogReport, SourcesNeedNoRegistrationButAKnownServer) {
  // Nothing is registered under EventLog\System for this source.
  HANDLE local = RegisterEventSourceA("", "UnregisteredSource");
  ASSERT_NE(local, nullptr);
  EXPECT_TRUE(DeregisterEventSource(local));

  SetLastError(0);
  EXPECT_EQ(RegisterEventSourceA("\\\\NOSUCHHOST", "VelmoraRACAgent"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(RPC_S_SERVER_UNAVAILABLE));
  EXPECT_EQ(RegisterEventSourceA(nullptr, nullptr), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));

  // A source on another machine of the world writes to that machine's log.
  velplat::Machine& node2 = velplat::World::Get().Add("NODE2");
  HANDLE remote = RegisterEventSourceA("\\\\node2", "VelmoraRACAgent");
  ASSERT_NE(remote, nullptr);
  const char* strings[] = {"remote"};
  EXPECT_TRUE(ReportEventA(remote, EVENTLOG_WARNING_TYPE, 0, 1, nullptr, 1, 0, strings, nullptr));
  EXPECT_TRUE(DeregisterEventSource(remote));
  EXPECT_EQ(eventlog::Entries(node2).size(), 1u);
  EXPECT_TRUE(eventlog::Entries().empty());
}

TEST_F(EventLogReport, StaleAndForeignHandlesAreInvalid) {
  HANDLE source = RegisterEventSourceA(nullptr, "VelmoraRACAgent");
  ASSERT_NE(source, nullptr);
  ASSERT_TRUE(DeregisterEventSource(source));

  int notASource = 0;
  for (HANDLE bad : {source, static_cast<HANDLE>(nullptr), static_cast<HANDLE>(&notASource), INVALID_HANDLE_VALUE}) {
    SetLastError(0);
    EXPECT_FALSE(ReportEventA(bad, EVENTLOG_ERROR_TYPE, 0, 1, nullptr, 0, 0, nullptr, nullptr));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    SetLastError(0);
    EXPECT_FALSE(DeregisterEventSource(bad));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
  }
  EXPECT_TRUE(eventlog::Entries().empty());
}

TEST_F(EventLogReport, MissingStringsOrDataAreInvalidParameters) {
  HANDLE source = RegisterEventSourceA(nullptr, "VelmoraRACAgent");
  ASSERT_NE(source, nullptr);
  EXPECT_FALSE(ReportEventA(source, EVENTLOG_ERROR_TYPE, 0, 1, nullptr, 2, 0, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_FALSE(ReportEventA(source, EVENTLOG_ERROR_TYPE, 0, 1, nullptr, 0, 4, nullptr, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_TRUE(eventlog::Entries().empty());
  DeregisterEventSource(source);
}

TEST_F(EventLogReport, InjectedFaultsFailTheCallWithoutWriting) {
  velplat::faults::FailCall("ReportEventA", ERROR_NOT_ENOUGH_MEMORY);
  HANDLE source = RegisterEventSourceA(nullptr, "VelmoraRACAgent");
  ASSERT_NE(source, nullptr);
  const char* strings[] = {"text"};
  SetLastError(0);
  EXPECT_FALSE(ReportEventA(source, EVENTLOG_ERROR_TYPE, 0, 0xC00017D7, nullptr, 1, 0, strings, nullptr));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
  EXPECT_TRUE(eventlog::Entries().empty());
  EXPECT_TRUE(ReportEventA(source, EVENTLOG_ERROR_TYPE, 0, 0xC00017D7, nullptr, 1, 0, strings, nullptr));
  EXPECT_EQ(eventlog::Entries().size(), 1u);

  velplat::faults::FailCall("DeregisterEventSource", ERROR_ACCESS_DENIED);
  EXPECT_FALSE(DeregisterEventSource(source));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_TRUE(DeregisterEventSource(source));

  velplat::faults::FailCall("RegisterEventSourceA", ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegisterEventSourceA(nullptr, "VelmoraRACAgent"), nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
}

TEST_F(EventLogReport, ConcurrentReportersAreAllRecordedAndWakeWaiters) {
  constexpr int kThreads = 8;
  constexpr int kReports = 50;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      HANDLE source = RegisterEventSourceA(nullptr, "VelmoraRACAgent");
      const std::string text = "thread " + std::to_string(t);
      const char* strings[] = {text.c_str()};
      for (int i = 0; i < kReports; ++i)
        ReportEventA(source, EVENTLOG_INFORMATION_TYPE, 0, static_cast<DWORD>(t * 1000 + i), nullptr, 1, 0, strings,
                     nullptr);
      DeregisterEventSource(source);
    });
  }
  const auto last = eventlog::WaitForEntry(
      [](const eventlog::Entry& entry) { return entry.eventId == (kThreads - 1) * 1000 + kReports - 1; }, 10s);
  for (auto& thread : threads) thread.join();
  ASSERT_TRUE(last.has_value());
  EXPECT_EQ(last->strings.at(0), "thread " + std::to_string(kThreads - 1));

  const auto entries = eventlog::Entries();
  ASSERT_EQ(entries.size(), static_cast<size_t>(kThreads * kReports));
  std::set<DWORD> records, ids;
  for (const auto& entry : entries) {
    records.insert(entry.record);
    ids.insert(entry.eventId);
  }
  EXPECT_EQ(records.size(), entries.size());
  EXPECT_EQ(*records.begin(), 1u);
  EXPECT_EQ(*records.rbegin(), static_cast<DWORD>(kThreads * kReports));
  EXPECT_EQ(ids.size(), entries.size());
}

TEST_F(EventLogReport, WaitingSeesEarlierEntriesTimesOutAndSurvivesAClear) {
  HANDLE source = RegisterEventSourceA(nullptr, "VelmoraRACAgent");
  ASSERT_TRUE(ReportEventA(source, EVENTLOG_ERROR_TYPE, 0, 42, nullptr, 0, 0, nullptr, nullptr));
  auto is42 = [](const eventlog::Entry& entry) { return entry.eventId == 42; };
  EXPECT_TRUE(eventlog::WaitForEntry(is42, 0ms).has_value());
  EXPECT_FALSE(eventlog::WaitForEntry([](const eventlog::Entry& e) { return e.eventId == 43; }, 20ms).has_value());

  eventlog::Clear();
  EXPECT_TRUE(eventlog::Entries().empty());
  EXPECT_FALSE(eventlog::WaitForEntry(is42, 0ms).has_value());
  std::thread writer([source] { ReportEventA(source, EVENTLOG_ERROR_TYPE, 0, 42, nullptr, 0, 0, nullptr, nullptr); });
  const auto found = eventlog::WaitForEntry(is42, 10s);
  writer.join();
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ(found->record, 1u);  // numbering starts again after a clear
  DeregisterEventSource(source);
}

}  // namespace
