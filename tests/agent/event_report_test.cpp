// Event reporting: entry types from the severity bits, and the message
// catalogue's texts as an operator reads them.
#include "agent/event_report.h"
#include "agent/support/event_log.h"
#include "velmon_messages.h"

#include <gtest/gtest.h>
#include <velplat/faults.h>

namespace velmon {
namespace {

using velplat::eventlog::Entries;
using velplat::eventlog::FormatText;

TEST(ReportAgentEvent, TypeFollowsSeverityAndIdentifierIsKept) {
  ReportAgentEvent(0x400017D6, nullptr);
  ReportAgentEvent(0xC00017D7, "Was unable to create the trap thread.");
  ReportAgentEvent(0x800017D4, "w");
  ReportAgentEvent(6, "Unable to Create Event");
  auto entries = Entries();
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].source, "VelmoraRACAgent");
  EXPECT_EQ(entries[0].type, EVENTLOG_INFORMATION_TYPE);
  EXPECT_EQ(entries[0].eventId, 0x400017D6u);
  EXPECT_TRUE(entries[0].strings.empty());
  EXPECT_EQ(entries[0].category, 0);
  EXPECT_EQ(entries[1].type, EVENTLOG_ERROR_TYPE);
  EXPECT_EQ(entries[2].type, EVENTLOG_WARNING_TYPE);
  EXPECT_EQ(entries[3].type, EVENTLOG_SUCCESS);
  EXPECT_EQ(entries[3].eventId, 6u);
  ASSERT_EQ(entries[3].strings.size(), 1u);
  EXPECT_EQ(entries[3].strings[0], "Unable to Create Event");
}

TEST(ReportAgentEvent, CatalogueTextsFormatWithTheInsertion) {
  test::RegisterAgentEventSource();
  struct Case {
    DWORD id;
    const char* insertion;
    const char* text;
  };
  const Case cases[] = {
      {VELMON_INITIALIZED, nullptr, "The Velmora RAC Agent has successfully initialized.\r\n"},
      {VELMON_NO_TRAP_SENT, "X", "No trap sent.\r\nX\r\n"},
      {VELMON_TRAP_SENT_NO_ARGUMENTS, "X", "Trap was sent with no arguments.\r\nX\r\n"},
      {VELMON_INIT_FAILED, "Was unable to create the trap thread.",
       "The Velmora RAC Agent failed to initialize.\r\nWas unable to create the trap thread.\r\n"},
      {VELMON_NO_FMGROUP_KEY, nullptr,
       "No trap support due to not finding "
       "SYSTEM\\\\CurrentControlSet\\\\Services\\\\Kestd\\\\Database\\\\FMGroup.\r\n"},
      {VELMON_NO_DATABASE_KEY, nullptr,
       "No trap support due to not finding "
       "SYSTEM\\\\CurrentControlSet\\\\Services\\\\Kestd\\\\Database\\\\FMGroup.\r\n"},
      {VELMON_NO_SERVABILITY_KEY, nullptr,
       "Partial trap support due to some Groups not having Servability key defined.\r\n"},
      {VELMON_GROUP_THREAD_FAILED, "g", "Partial trap support due to not creating a trap thread for group = \r\ng\r\n"},
      {VELMON_ENTRY_NOT_CREATED, "Cluster IP Address",
       "Partial trap support due to not creating a trap thread for group = \r\nCluster IP Address\r\n"},
      {VELMON_EVENT_CREATION_FAILED, nullptr,
       "Partial trap support due to system resource problem (event creation). \r\n"},
      {VELMON_TRAP_NOT_SENT, nullptr, "An alarm condtion occurred but was unable to send out the trap.\r\n"},
      {VELMON_OUT_OF_MEMORY, nullptr,
       "Memory allocation failure in the Brennic Server Management Extension Agent.\r\n"},
      {VELMON_QUERY_MUTEX_FAILED, "q", "The query mutex could not be obtained.  The query was rejected.\r\nq\r\n"},
      {VELMON_THREAD_FAILED, "\tThread:\t\tT\r\n",
       "A Tarvik agent thread has failed.\r\n\r\nException information:\r\n\r\n\tThread:\t\tT\r\n\r\n"},
  };
  const DWORD expectedIds[] = {0x400017D6, 0x800017D4, 0x800017D5, 0xC00017D7, 0xC00017D8, 0xC00017D9, 0xC00017DA,
                               0xC00017DB, 0xC00017DC, 0xC00017DD, 0xC00017DE, 0xC00017DF, 0xC00017E0, 0xC00017E1};
  ASSERT_EQ(std::size(cases), std::size(expectedIds));
  for (size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(cases[i].id, expectedIds[i]);
    velplat::eventlog::Clear();
    ReportAgentEvent(cases[i].id, cases[i].insertion);
    auto entries = Entries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(FormatText(entries[0]), cases[i].text) << std::hex << cases[i].id;
  }
}

TEST(ReportAgentEvent, BareErrorCodesCarryOnlyTheirInsertion) {
  test::RegisterAgentEventSource();
  ReportAgentEvent(110, "error in Reg notify");
  auto entries = Entries();
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(FormatText(entries[0]), "error in Reg notify");
}

TEST(ReportAgentEvent, FailuresToLogAreSilent) {
  velplat::faults::FailCall("RegisterEventSourceA", ERROR_ACCESS_DENIED);
  ReportAgentEvent(0xC00017D7, "lost");
  velplat::faults::FailCall("ReportEventA", ERROR_NOT_ENOUGH_MEMORY);
  ReportAgentEvent(0xC00017D7, "lost too");
  EXPECT_TRUE(Entries().empty());
  EXPECT_EQ(0u, velplat::eventlog::OpenSourceCount());  // released after the failed write too
  ReportAgentEvent(0xC00017D7, "kept");
  EXPECT_EQ(Entries().size(), 1u);
}

}  // namespace
}  // namespace velmon
