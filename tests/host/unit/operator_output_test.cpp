// The operator's view of the agent's event-log entries.
#include "host/eventlog_mirror.h"

#include <gtest/gtest.h>
#include <velplat/eventlog.h>
#include <windows.h>

#include <chrono>

namespace velmond {
namespace {

TEST(OperatorOutput, EventEntryIsOneLineWithTimeTypeSourceHexIdAndText) {
  velplat::eventlog::Entry entry;
  entry.source = "VelmoraRACAgent";
  entry.type = EVENTLOG_ERROR_TYPE;
  entry.eventId = 0xC00017D7;
  entry.time = std::chrono::system_clock::time_point(std::chrono::seconds(1796644800));  // 2026-12-07 12:00:00 UTC
  std::string line = FormatEventLine(
      entry, "The Velmora RAC Agent failed to initialize.\r\nWas unable to create the trap thread.\r\n");
  EXPECT_EQ(line,
            "2026-12-07T12:00:00Z error VelmoraRACAgent 0xC00017D7 The Velmora RAC Agent failed to initialize. "
            "Was unable to create the trap thread.");

  entry.type = EVENTLOG_SUCCESS;
  entry.eventId = 6;
  EXPECT_EQ(FormatEventLine(entry, "Unable to Create Event"),
            "2026-12-07T12:00:00Z success VelmoraRACAgent 0x00000006 Unable to Create Event");
  entry.type = EVENTLOG_INFORMATION_TYPE;
  EXPECT_EQ(FormatEventLine(entry, "\r\n"), "2026-12-07T12:00:00Z information VelmoraRACAgent 0x00000006");
}

TEST(OperatorOutput, MirrorShowsEntriesWrittenBeforeAndWhileItRuns) {
  HANDLE source = RegisterEventSourceA(nullptr, "MirrorTest");
  const char* before[] = {"written before"};
  ReportEventA(source, EVENTLOG_WARNING_TYPE, 0, 0x80000010, nullptr, 1, 0, before, nullptr);
  testing::internal::CaptureStderr();
  EventLogMirror mirror;
  mirror.Start();
  const char* during[] = {"written during"};
  ReportEventA(source, EVENTLOG_INFORMATION_TYPE, 0, 0x40000011, nullptr, 1, 0, during, nullptr);
  mirror.Stop();
  std::string printed = testing::internal::GetCapturedStderr();
  DeregisterEventSource(source);
  auto first = printed.find(" warning MirrorTest 0x80000010 written before\n");
  auto second = printed.find(" information MirrorTest 0x40000011 written during\n");
  ASSERT_NE(first, std::string::npos) << printed;
  ASSERT_NE(second, std::string::npos) << printed;
  EXPECT_LT(first, second);
  // Each entry is shown once.
  EXPECT_EQ(printed.find("written before"), printed.rfind("written before"));
}

}  // namespace
}  // namespace velmond
