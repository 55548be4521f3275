// The failure frame over the platform layer, which delivers structured
// exceptions to vectored handlers: one process-wide vectored handler reports
// for the threads currently inside a frame and never handles the exception.
// (failure_frame_windows.cpp is the frame-based form for Windows.)
#include "discovery/failure_frame.h"

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

}  // namespace velmon
