// The agent's event reporting on Windows: the source registered the way
// start-up does it, every catalogue message formatted from the built
// library's message table with its insertion string, byte for byte, and
// ReportAgentEvent / ReportEventA going through. Wine keeps no event-log
// entries (ReportEventA succeeds and stores nothing readable), so what
// reaches the log is checked only on Linux.
#include "agent/event_report.h"
#include "support/agent_dll.h"
#include "velmon_messages.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace velmon {
namespace {

constexpr char kEventLogKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\System\\";
// A source of this test's own, so that parallel cases starting the agent
// (which registers the agent's source) never race with it.
constexpr char kTestSource[] = "VelmoraRACAgentWineTest";

std::string ReadString(HKEY key, const char* value, DWORD* type) {
  char data[MAX_PATH] = {};
  DWORD size = sizeof data;
  if (RegQueryValueExA(key, value, nullptr, type, reinterpret_cast<BYTE*>(data), &size) != ERROR_SUCCESS) return "<missing>";
  return std::string(data);
}

// FormatMessageA from a module, with one insertion string, as the event
// viewer renders an entry.
std::string Format(HMODULE module, DWORD id, const char* insertion) {
  char* text = nullptr;
  DWORD_PTR arguments[] = {reinterpret_cast<DWORD_PTR>(insertion)};
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                                    FORMAT_MESSAGE_ARGUMENT_ARRAY,
                                module, id, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                reinterpret_cast<LPSTR>(&text), 0, reinterpret_cast<va_list*>(arguments));
  if (length == 0) return "<FormatMessage failed: " + std::to_string(GetLastError()) + ">";
  std::string result(text, length);
  LocalFree(text);
  return result;
}

struct Catalogued {
  DWORD id;
  std::string text;  // with "<i>" as the insertion
};

std::string WithInsertion(std::string text, const std::string& insertion) {
  for (size_t at = text.find("<i>"); at != std::string::npos; at = text.find("<i>", at + insertion.size()))
    text.replace(at, 3, insertion);
  return text;
}

class EventReport : public testing::Test {
 protected:
  void TearDown() override { RegDeleteKeyA(HKEY_LOCAL_MACHINE, (std::string(kEventLogKey) + kTestSource).c_str()); }
};

TEST_F(EventReport, StartUpRegistersTheAgentAsSourceWithItsOwnMessageFile) {
  ASSERT_NE(wintest::StartedAgent().module, nullptr);
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, (std::string(kEventLogKey) + kEventSourceName).c_str(), 0, KEY_READ,
                          &key),
            ERROR_SUCCESS);
  DWORD type = 0;
  EXPECT_EQ(ReadString(key, "EventMessageFile", &type), "%SystemRoot%\\System32\\velmon.dll");
  EXPECT_EQ(type, static_cast<DWORD>(REG_EXPAND_SZ));
  DWORD types = 0, size = sizeof types;
  EXPECT_EQ(RegQueryValueExA(key, "TypesSupported", nullptr, &type, reinterpret_cast<BYTE*>(&types), &size),
            ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(types, 7u);
  RegCloseKey(key);
}

TEST_F(EventReport, EveryCatalogueMessageFormatsFromTheRegisteredMessageFile) {
  // Register a source the way start-up does, pointing at the built library.
  char built[MAX_PATH];
  ASSERT_GT(GetFullPathNameA("velmon.dll", sizeof built, built, nullptr), 0u);
  HKEY key = nullptr;
  ASSERT_EQ(RegCreateKeyA(HKEY_LOCAL_MACHINE, (std::string(kEventLogKey) + kTestSource).c_str(), &key),
            ERROR_SUCCESS);
  ASSERT_EQ(RegSetValueExA(key, "EventMessageFile", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(built),
                           static_cast<DWORD>(strlen(built) + 1)),
            ERROR_SUCCESS);
  DWORD type = 0;
  std::string file = ReadString(key, "EventMessageFile", &type);
  RegCloseKey(key);
  char expanded[MAX_PATH];
  ASSERT_GT(ExpandEnvironmentStringsA(file.c_str(), expanded, sizeof expanded), 0u);
  HMODULE messages = LoadLibraryExA(expanded, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  ASSERT_NE(messages, nullptr) << expanded << ": error " << GetLastError();

  const std::string trapThread = "Partial trap support due to not creating a trap thread for group = \r\n<i>\r\n";
  const std::string noKey =
      "No trap support due to not finding SYSTEM\\\\CurrentControlSet\\\\Services\\\\Kestd\\\\Database\\\\FMGroup.\r\n";
  const std::vector<Catalogued> catalogue = {
      {VELMON_NO_TRAP_SENT, "No trap sent.\r\n<i>\r\n"},
      {VELMON_TRAP_SENT_NO_ARGUMENTS, "Trap was sent with no arguments.\r\n<i>\r\n"},
      {VELMON_INITIALIZED, "The Velmora RAC Agent has successfully initialized.\r\n"},
      {VELMON_INIT_FAILED, "The Velmora RAC Agent failed to initialize.\r\n<i>\r\n"},
      {VELMON_NO_FMGROUP_KEY, noKey},
      {VELMON_NO_DATABASE_KEY, noKey},
      {VELMON_NO_SERVABILITY_KEY,
       "Partial trap support due to some Groups not having Servability key defined.\r\n"},
      {VELMON_GROUP_THREAD_FAILED, trapThread},
      {VELMON_ENTRY_NOT_CREATED, trapThread},
      {VELMON_EVENT_CREATION_FAILED, "Partial trap support due to system resource problem (event creation). \r\n"},
      {VELMON_TRAP_NOT_SENT, "An alarm condtion occurred but was unable to send out the trap.\r\n"},
      {VELMON_OUT_OF_MEMORY, "Memory allocation failure in the Brennic Server Management Extension Agent.\r\n"},
      {VELMON_QUERY_MUTEX_FAILED, "The query mutex could not be obtained.  The query was rejected.\r\n<i>\r\n"},
      {VELMON_THREAD_FAILED, "A Tarvik agent thread has failed.\r\n\r\nException information:\r\n\r\n<i>\r\n"},
  };
  ASSERT_EQ(catalogue.size(), 14u);
  const std::string insertion = "\tThread:\t\tNodeWatch 7\r\n";
  for (const Catalogued& message : catalogue) {
    EXPECT_EQ(Format(messages, message.id, insertion.c_str()), WithInsertion(message.text, insertion))
        << std::hex << message.id;
  }
  // The identifiers carry their severities.
  EXPECT_EQ(VELMON_INITIALIZED >> 30, 1u);
  EXPECT_EQ(VELMON_NO_TRAP_SENT >> 30, 2u);
  EXPECT_EQ(VELMON_THREAD_FAILED >> 30, 3u);
  // Neighbours of the catalogue have no text.
  EXPECT_EQ(Format(messages, 0xC00017D3, nullptr).rfind("<FormatMessage failed", 0), 0u);
  EXPECT_EQ(Format(messages, 0xC00017E2, nullptr).rfind("<FormatMessage failed", 0), 0u);
  FreeLibrary(messages);
}

TEST_F(EventReport, ReportingSucceedsForEverySeverity) {
  // What ReportAgentEvent does, with the results visible: Wine accepts the
  // entry but stores nothing a reader could check.
  HANDLE source = RegisterEventSourceA(nullptr, kTestSource);
  ASSERT_NE(source, nullptr) << GetLastError();
  LPCSTR strings[1] = {"insertion"};
  EXPECT_TRUE(ReportEventA(source, EVENTLOG_INFORMATION_TYPE, 0, VELMON_INITIALIZED, nullptr, 0, 0, nullptr, nullptr));
  EXPECT_TRUE(ReportEventA(source, EVENTLOG_WARNING_TYPE, 0, VELMON_NO_TRAP_SENT, nullptr, 1, 0, strings, nullptr));
  EXPECT_TRUE(ReportEventA(source, EVENTLOG_ERROR_TYPE, 0, VELMON_INIT_FAILED, nullptr, 1, 0, strings, nullptr));
  EXPECT_TRUE(DeregisterEventSource(source));
  // The agent's own path (it returns nothing) runs through with and without
  // insertions, and its source name registers.
  ReportAgentEvent(VELMON_INITIALIZED, nullptr);
  ReportAgentEvent(VELMON_ENTRY_NOT_CREATED, "node-with-a-name-longer-than-thirty-one-characters");
  ReportAgentEvent(VELMON_THREAD_FAILED, "\tThread:\t\tFindClusterVendor\r\n");
  source = RegisterEventSourceA(nullptr, kEventSourceName);
  EXPECT_NE(source, nullptr);
  if (source) DeregisterEventSource(source);
}

}  // namespace
}  // namespace velmon
