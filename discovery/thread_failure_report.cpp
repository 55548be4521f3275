// The report a failure frame writes: six lines describing the exception,
// under the name of the thread, as event 0xC00017E1.
#include "discovery/failure_frame.h"

#include "agent/event_report.h"
#include "velmon_messages.h"

#include <cinttypes>
#include <cstdio>

namespace velmon {

LONG ReportThreadFailure(DWORD code, const EXCEPTION_POINTERS* pointers, const char* threadName) {
  const EXCEPTION_RECORD* record = pointers->ExceptionRecord;
  char text[2048];
  // Addresses and information words are pointer-sized: printed in full, in
  // lower-case hexadecimal without leading zeros.
  std::snprintf(text, sizeof text,
                "\tThread:\t\t%s\r\n"
                "\tException code:\t0x%x\r\n"
                "\tException flags:\t0x%x\r\n"
                "\tException address:\t0x%" PRIxPTR "\r\n"
                "\tException info[0]:\t0x%" PRIxPTR "\r\n"
                "\tException info[1]:\t0x%" PRIxPTR "\r\n",
                threadName, static_cast<unsigned>(code), static_cast<unsigned>(record->ExceptionFlags),
                reinterpret_cast<uintptr_t>(record->ExceptionAddress),
                static_cast<uintptr_t>(record->ExceptionInformation[0]),
                static_cast<uintptr_t>(record->ExceptionInformation[1]));
  ReportAgentEvent(VELMON_THREAD_FAILED, text);
  return 0;
}

}  // namespace velmon
