// Event-log entries as operator lines.
#include "host/eventlog_mirror.h"

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <ctime>

#include "host/log.h"

namespace velmond {
namespace {

const char* TypeName(WORD type) {
  switch (type) {
    case EVENTLOG_SUCCESS:
      return "success";
    case EVENTLOG_ERROR_TYPE:
      return "error";
    case EVENTLOG_WARNING_TYPE:
      return "warning";
    case EVENTLOG_INFORMATION_TYPE:
      return "information";
    case EVENTLOG_AUDIT_SUCCESS:
      return "audit-success";
    case EVENTLOG_AUDIT_FAILURE:
      return "audit-failure";
    default:
      return "unknown";
  }
}

// Line breaks and runs of blanks become one blank; no blank at either end.
std::string OneLine(const std::string& text) {
  std::string line;
  bool blank = false;
  for (char c : text) {
    if (c == '\r' || c == '\n' || c == ' ' || c == '\t') {
      blank = !line.empty();
      continue;
    }
    if (blank) line += ' ';
    blank = false;
    line += c;
  }
  return line;
}

std::string UtcTime(std::chrono::system_clock::time_point when) {
  std::time_t seconds = std::chrono::system_clock::to_time_t(when);
  std::tm parts{};
  gmtime_r(&seconds, &parts);
  char text[32];
  std::strftime(text, sizeof(text), "%Y-%m-%dT%H:%M:%SZ", &parts);
  return text;
}

}  // namespace

std::string FormatEventLine(const velplat::eventlog::Entry& entry, const std::string& text) {
  char id[16];
  std::snprintf(id, sizeof(id), "0x%08X", static_cast<unsigned>(entry.eventId));
  std::string line = UtcTime(entry.time) + " " + TypeName(entry.type) + " " + entry.source + " " + id;
  std::string message = OneLine(text);
  if (!message.empty()) line += " " + message;
  return line;
}

EventLogMirror::~EventLogMirror() { Stop(); }

void EventLogMirror::Start() {
  if (thread_.joinable()) return;
  stop_.store(false);
  thread_ = std::thread([this] { Follow(); });
}

void EventLogMirror::Stop() {
  stop_.store(true);
  if (thread_.joinable()) thread_.join();
}

void EventLogMirror::Follow() {
  using namespace std::chrono_literals;
  DWORD last = 0;
  auto print = [&last](const velplat::eventlog::Entry& entry) {
    last = entry.record;
    LogRaw(FormatEventLine(entry, velplat::eventlog::FormatText(entry)));
  };
  while (!stop_.load()) {
    auto entry = velplat::eventlog::WaitForEntry([&](const velplat::eventlog::Entry& e) { return e.record > last; },
                                                 100ms);
    if (entry) print(*entry);
  }
  // Whatever was written before Stop is still shown.
  for (const auto& entry : velplat::eventlog::Entries()) {
    if (entry.record > last) print(entry);
  }
}

}  // namespace velmond
