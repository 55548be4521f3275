#include "discovery/support/failure_events.h"

#include "agent/support/event_log.h"

#include <windows.h>

#include <cstdio>
#include <string>

namespace velmon::test {
namespace {

LONG WINAPI PrintFailureEvents(EXCEPTION_POINTERS*) {
  for (const auto& entry : EventsWithId(0xC00017E1)) {
    std::string shown;
    for (char c : velplat::eventlog::FormatText(entry))
      shown += c == '\t' ? std::string("<T>") : c == '\r' ? std::string() : c == '\n' ? std::string("|") : std::string(1, c);
    std::fprintf(stderr, "EVENT[%s]\n", shown.c_str());
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

}  // namespace

void PrintFailureEventsOnException() {
  RegisterAgentEventSource();
  AddVectoredExceptionHandler(0, &PrintFailureEvents);
}

}  // namespace velmon::test
