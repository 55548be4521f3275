// A catalogue compiled by velmon_message_table() (mcgen_test_catalogue.mc,
// module velmontest.dll): its identifiers, its registered texts, and event
// log entries formatted through it the way the Event Viewer does.
#include <windows.h>

#include <velplat/eventlog.h>
#include <velplat/message_table.h>
#include <velplat/registry.h>
#include <velplat/world.h>

#include <gtest/gtest.h>

#include <type_traits>

#include "velmontest_messages.h"

namespace {

namespace eventlog = velplat::eventlog;
namespace messages = velplat::messages;

constexpr const char* kSourceKey = "HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\System\\VelTestSource";

TEST(MessageCatalogue, HeaderIdentifiersMatchTheirLayout) {
  // severity << 30 | facility << 16 | code
  EXPECT_EQ(MSG_TEST_INIT_FAILED, (3u << 30) | (0x000u << 16) | 0x17D7u);
  EXPECT_EQ(MSG_TEST_STARTED, (1u << 30) | (0x000u << 16) | 0x17D8u);
  EXPECT_EQ(MSG_TEST_TWO_LANGUAGES, (2u << 30) | (0x000u << 16) | 0x17DAu);
  EXPECT_EQ(MSG_TEST_OWN_FACILITY, (3u << 30) | (0x123u << 16) | 0x0001u);
  EXPECT_EQ(MSG_TEST_CARRIED_OVER, (3u << 30) | (0x123u << 16) | 0x0002u);
  EXPECT_EQ(FACILITY_VELMON, 0x123);
  EXPECT_EQ(STATUS_SEVERITY_WARNING, 0x2);
  // The typedef of the catalogue gives the identifiers their type.
  static_assert(std::is_same_v<decltype(MSG_TEST_INIT_FAILED), DWORD>);
}

TEST(MessageCatalogue, TextsAreRegisteredAsWrittenWithCrLfLines) {
  EXPECT_EQ(messages::Find("velmontest.dll", MSG_TEST_INIT_FAILED),
            u"The test agent failed to initialize.\r\n%1!s!\r\n");
  EXPECT_EQ(messages::Find("velmontest.dll", MSG_TEST_STARTED),
            u"A test thread has started.%n\r\n"
            u"Key: SYSTEM\\\\CurrentControlSet\\\\Services\\\\VelTest\r\n"
            u"\r\n"
            u"Details:%n\r\n"
            u"%1 and %2\r\n");
  // Module names ignore case and any path.
  EXPECT_TRUE(messages::HasTable("C:\\WINNT\\System32\\VELMONTEST.DLL"));
  EXPECT_FALSE(messages::Find("velmon.dll", MSG_TEST_INIT_FAILED).has_value());
  EXPECT_FALSE(messages::Find("velmontest.dll", 0x17D7).has_value());  // severity bits belong to the identifier
}

TEST(MessageCatalogue, LanguageLookupFallsBackToAnyLanguage) {
  EXPECT_EQ(messages::Find("velmontest.dll", MSG_TEST_TWO_LANGUAGES, 0x0407), u"Festplatte fast voll.\r\n");
  EXPECT_EQ(messages::Find("velmontest.dll", MSG_TEST_TWO_LANGUAGES, 0x0409), u"Disk almost full.\r\n");
  EXPECT_EQ(messages::Find("velmontest.dll", MSG_TEST_TWO_LANGUAGES, 0x040C), u"Disk almost full.\r\n");
  EXPECT_EQ(messages::Find("velmontest.dll", MSG_TEST_INIT_FAILED, 0x0407),
            u"The test agent failed to initialize.\r\n%1!s!\r\n");
}

class CatalogueEventText : public ::testing::Test {
 protected:
  void SetUp() override {
    velplat::World::Get().Reset();
    ASSERT_EQ(velplat::registry::SetExpandString(kSourceKey, "EventMessageFile",
                                                 "%SystemRoot%\\System32\\velmontest.dll"),
              ERROR_SUCCESS);
  }

  eventlog::Entry Report(DWORD id, std::vector<const char*> strings, const char* sourceName = "VelTestSource") {
    HANDLE source = RegisterEventSourceA(nullptr, sourceName);
    EXPECT_NE(source, nullptr);
    EXPECT_TRUE(ReportEventA(source, EVENTLOG_ERROR_TYPE, 0, id, nullptr, static_cast<WORD>(strings.size()), 0,
                             strings.empty() ? nullptr : strings.data(), nullptr));
    DeregisterEventSource(source);
    return eventlog::Entries().back();
  }
};

TEST_F(CatalogueEventText, InsertionStringTakesThePlaceOfItsInsert) {
  const auto entry = Report(MSG_TEST_INIT_FAILED, {"Was unable to create the trap thread."});
  EXPECT_EQ(eventlog::FormatText(entry),
            "The test agent failed to initialize.\r\nWas unable to create the trap thread.\r\n");
}

TEST_F(CatalogueEventText, EscapesAndSeveralInsertsAreExpanded) {
  EXPECT_EQ(eventlog::FormatText(Report(MSG_TEST_STARTED, {"one", "two"})),
            "A test thread has started.\r\n\r\n"
            "Key: SYSTEM\\\\CurrentControlSet\\\\Services\\\\VelTest\r\n"
            "\r\n"
            "Details:\r\n\r\n"
            "one and two\r\n");
  EXPECT_EQ(eventlog::FormatText(Report(MSG_TEST_CARRIED_OVER, {})), "Stopped.");
  // Strings beyond the message's inserts are not shown.
  EXPECT_EQ(eventlog::FormatText(Report(MSG_TEST_INIT_FAILED, {"a", "ignored"})),
            "The test agent failed to initialize.\r\na\r\n");
}

TEST_F(CatalogueEventText, InsertWithoutStringStaysAsWritten) {
  EXPECT_EQ(eventlog::FormatText(Report(MSG_TEST_INIT_FAILED, {})), "The test agent failed to initialize.\r\n%1!s!\r\n");
}

TEST_F(CatalogueEventText, WithoutMessageTheTextIsTheStringsAlone) {
  // An identifier the table does not hold (a bare system error number).
  EXPECT_EQ(eventlog::FormatText(Report(6, {"OpenService failed"})), "OpenService failed");
  // A source without a registration.
  EXPECT_EQ(eventlog::FormatText(Report(MSG_TEST_INIT_FAILED, {"x", "y"}, "OtherSource")), "x\r\ny");
  // A registration naming a module without a table, then one with.
  ASSERT_EQ(velplat::registry::SetExpandString(kSourceKey, "EventMessageFile",
                                               "C:\\nowhere\\missing.dll;%SystemRoot%\\System32\\velmontest.dll"),
            ERROR_SUCCESS);
  EXPECT_EQ(eventlog::FormatText(Report(MSG_TEST_INIT_FAILED, {"x"})), "The test agent failed to initialize.\r\nx\r\n");
  ASSERT_EQ(velplat::registry::SetExpandString(kSourceKey, "EventMessageFile", "C:\\nowhere\\missing.dll"),
            ERROR_SUCCESS);
  EXPECT_EQ(eventlog::FormatText(Report(MSG_TEST_INIT_FAILED, {"x"})), "x");
}

TEST_F(CatalogueEventText, MessageFileIsFoundWithTheMachinesOwnEnvironment) {
  velplat::Machine& node = velplat::World::Get().Add("NODE2");
  node.SetEnv("AgentDll", "velmontest.dll");
  const char* file = "D:\\agent\\%AgentDll%";
  ASSERT_EQ(velplat::registry::SetExpandString(kSourceKey, "EventMessageFile", file, &node), ERROR_SUCCESS);
  HANDLE source = RegisterEventSourceA("NODE2", "VelTestSource");
  const char* strings[] = {"remote"};
  ASSERT_TRUE(ReportEventA(source, EVENTLOG_ERROR_TYPE, 0, MSG_TEST_INIT_FAILED, nullptr, 1, 0, strings, nullptr));
  DeregisterEventSource(source);
  const auto entries = eventlog::Entries(node);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_TRUE(eventlog::Entries().empty());
  EXPECT_EQ(eventlog::FormatText(entries[0], node), "The test agent failed to initialize.\r\nremote\r\n");

  // The local machine has no such variable: the name stays as written and
  // names no module.
  ASSERT_EQ(velplat::registry::SetExpandString(kSourceKey, "EventMessageFile", file), ERROR_SUCCESS);
  EXPECT_EQ(eventlog::FormatText(entries[0]), "remote");
}

}  // namespace
