// Agent start-up through SnmpExtensionInit: the view, the event source's
// registration, the trap objects, the threads, and every failure row.
#include "agent/support/event_log.h"

#include <snmp.h>
#include <velplat/faults.h>
#include <velplat/registry.h>

#include <gtest/gtest.h>

#include <string>

namespace velmon {
namespace {

using velplat::faults::FailCall;
using velplat::faults::FailNext;
using velplat::faults::Point;

constexpr char kSourceKey[] = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\System\\VelmoraRACAgent";
constexpr DWORD kInitialized = 0x400017D6;
constexpr DWORD kInitFailed = 0xC00017D7;

struct StartUp {
  HANDLE event = reinterpret_cast<HANDLE>(0x5a5a);  // sentinel: untouched
  AsnObjectIdentifier view{0, nullptr};
  BOOL result = SnmpExtensionInit(12345, &event, &view);
};

std::string ViewText(const AsnObjectIdentifier& view) {
  std::string text;
  for (UINT i = 0; i < view.idLength; ++i) text += (i ? "." : "") + std::to_string(view.ids[i]);
  return text;
}

TEST(StartUp, SucceedsAndRegistersTheEventSource) {
  StartUp s;
  ASSERT_TRUE(s.result);
  EXPECT_EQ(ViewText(s.view), "1.3.6.1.4.1.32473.2.18.22.4.1");
  EXPECT_EQ(s.view.idLength, 12u);
  auto file = velplat::registry::GetValue(kSourceKey, "EventMessageFile");
  ASSERT_TRUE(file.has_value());
  EXPECT_EQ(file->type, static_cast<DWORD>(REG_EXPAND_SZ));
  const char expected[] = "%SystemRoot%\\System32\\velmon.dll";
  EXPECT_EQ(std::string(file->data.begin(), file->data.end()), std::string(expected, sizeof expected));
  auto types = velplat::registry::GetValue(kSourceKey, "TypesSupported");
  ASSERT_TRUE(types.has_value());
  EXPECT_EQ(types->type, static_cast<DWORD>(REG_DWORD));
  ASSERT_EQ(types->data.size(), 4u);
  EXPECT_EQ(types->data[0], 7);
  // The trap event exists and is not signalled.
  ASSERT_NE(s.event, nullptr);
  ASSERT_NE(s.event, reinterpret_cast<HANDLE>(0x5a5a));
  EXPECT_EQ(WaitForSingleObject(s.event, 0), static_cast<DWORD>(WAIT_TIMEOUT));
  // Exactly one informational entry, which reads as the catalogue says.
  auto started = test::EventsWithId(kInitialized);
  ASSERT_EQ(started.size(), 1u);
  EXPECT_TRUE(started[0].strings.empty());
  EXPECT_EQ(started[0].type, EVENTLOG_INFORMATION_TYPE);
  EXPECT_EQ(velplat::eventlog::FormatText(started[0]), "The Velmora RAC Agent has successfully initialized.\r\n");
}

TEST(StartUp, SecondStartUpWritesTheSameValuesAgain) {
  StartUp first;
  ASSERT_TRUE(first.result);
  velplat::registry::SetDword(kSourceKey, "TypesSupported", 1);
  velplat::registry::SetString(kSourceKey, "EventMessageFile", "other.dll");
  StartUp second;
  ASSERT_TRUE(second.result);
  auto file = velplat::registry::GetValue(kSourceKey, "EventMessageFile");
  EXPECT_EQ(file->type, static_cast<DWORD>(REG_EXPAND_SZ));
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(file->data.data())), "%SystemRoot%\\System32\\velmon.dll");
  EXPECT_EQ(velplat::registry::GetValue(kSourceKey, "TypesSupported")->data[0], 7);
  EXPECT_EQ(test::EventsWithId(kInitialized).size(), 2u);
}

TEST(StartUp, RegistrationFailuresFailSilentlyBeforeAnyTrapObject) {
  struct Row {
    const char* function;
    unsigned skip;
  };
  for (Row row : {Row{"RegCreateKeyA", 0}, Row{"RegSetValueExA", 0}, Row{"RegSetValueExA", 1}}) {
    FailCall(row.function, ERROR_ACCESS_DENIED, 1, row.skip);
    StartUp s;
    EXPECT_FALSE(s.result) << row.function << " " << row.skip;
    EXPECT_EQ(ViewText(s.view), "1.3.6.1.4.1.32473.2.18.22.4.1");  // handed back even so
    EXPECT_EQ(s.event, reinterpret_cast<HANDLE>(0x5a5a));            // no trap objects
    velplat::faults::Clear();
  }
  EXPECT_TRUE(velplat::eventlog::Entries().empty());
}

TEST(StartUp, MainTrapThreadThatCannotStartIsReported) {
  test::RegisterAgentEventSource();
  FailNext(Point::ThreadStart);
  StartUp s;
  EXPECT_FALSE(s.result);
  EXPECT_NE(s.event, reinterpret_cast<HANDLE>(0x5a5a));  // the trap objects came first
  auto failed = test::EventsWithId(kInitFailed);
  ASSERT_EQ(failed.size(), 1u);
  EXPECT_EQ(failed[0].type, EVENTLOG_ERROR_TYPE);
  EXPECT_EQ(velplat::eventlog::FormatText(failed[0]),
            "The Velmora RAC Agent failed to initialize.\r\nWas unable to create the trap thread.\r\n");
  EXPECT_TRUE(test::EventsWithId(kInitialized).empty());
}

TEST(StartUp, DiscoveryThreadThatCannotStartIsReportedTheSameWay) {
  FailNext(Point::ThreadStart, 1, 1);
  StartUp s;
  EXPECT_FALSE(s.result);
  auto failed = test::EventsWithId(kInitFailed);
  ASSERT_EQ(failed.size(), 1u);
  ASSERT_EQ(failed[0].strings.size(), 1u);
  EXPECT_EQ(failed[0].strings[0], "Was unable to create the trap thread.");
  EXPECT_TRUE(test::EventsWithId(kInitialized).empty());
}

}  // namespace
}  // namespace velmon
