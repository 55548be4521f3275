// The failure frame: one process-wide vectored exception handler that reports
// for the threads currently inside a frame and never handles the exception.
#include "discovery/failure_frame.h"

#include "agent/event_report.h"
#include "velmon_messages.h"

#include <cinttypes>
#include <cstdio>
#include <mutex>

namespace velmon {
namespace {

// The frame the calling thread is in, if any.
thread_local const char* t_frameThreadName = nullptr;

LONG WINAPI FrameFilter(EXCEPTION_POINTERS* pointers) {
  const char* name = t_frameThreadName;
  if (name && pointers && pointers->ExceptionRecord) {
    t_frameThreadName = nullptr;  // the filter runs once; the thread does not resume
    ReportThreadFailure(pointers->ExceptionRecord->ExceptionCode, pointers, name);
  }
  return EXCEPTION_CONTINUE_SEARCH;
}

void InstallFrameFilter() {
  static std::once_flag once;
  std::call_once(once, [] { AddVectoredExceptionHandler(1, &FrameFilter); });
}

}  // namespace

void RunInFailureFrame(const char* threadName, void (*body)(void*), void* argument) {
  InstallFrameFilter();
  const char* outer = t_frameThreadName;
  t_frameThreadName = threadName;
  body(argument);
  t_frameThreadName = outer;
}

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
