// ReportAgentEvent: registers the source, writes one entry, deregisters.
#include "agent/event_report.h"

namespace velmon {
namespace {

WORD EventTypeOf(DWORD messageId) {
  switch (messageId & 0xC0000000u) {
    case 0x40000000u: return EVENTLOG_INFORMATION_TYPE;
    case 0x80000000u: return EVENTLOG_WARNING_TYPE;
    case 0xC0000000u: return EVENTLOG_ERROR_TYPE;
    default: return EVENTLOG_SUCCESS;
  }
}

}  // namespace

void ReportAgentEvent(DWORD messageId, const char* insertion) {
  HANDLE source = RegisterEventSourceA(nullptr, kEventSourceName);
  if (!source) return;
  LPCSTR strings[1] = {insertion};
  ReportEventA(source, EventTypeOf(messageId), 0, messageId, nullptr, insertion ? 1 : 0, 0, strings, nullptr);
  DeregisterEventSource(source);
}

}  // namespace velmon
