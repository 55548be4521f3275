// The failure frame on Windows: a frame-based structured exception handler
// around the thread body. While the system searches for a handler it reaches
// this frame only when nothing inside the body took the exception; the frame
// then reports and declines, so the search goes on to the outer frames as if
// the frame were absent. Exceptions that the body (or a system library it
// calls) raises and handles itself never reach it, which is why this form is
// used here rather than the vectored handler of failure_frame.cpp: on Windows
// a vectored handler sees every first-chance exception of the process.
//
// x86: the frame is a registration record on the thread's handler chain
// (NT_TIB::ExceptionList). x64: frames are described by unwind data, so the
// frame is a small function in assembly whose unwind data names the handler
// for exceptions (UNW_FLAG_EHANDLER); it keeps the thread name in its stack
// frame, where the handler finds it through the establisher frame.
#include "discovery/failure_frame.h"

namespace velmon {
namespace {

// Called by the system for this frame while it dispatches an exception; also
// during unwinding, which it ignores.
EXCEPTION_DISPOSITION ReportAndDecline(EXCEPTION_RECORD* record, CONTEXT* context, const char* threadName) {
  if (record && !(record->ExceptionFlags & EXCEPTION_UNWIND)) {
    EXCEPTION_POINTERS pointers{record, context};
    ReportThreadFailure(record->ExceptionCode, &pointers, threadName);
  }
  return ExceptionContinueSearch;
}

}  // namespace
}  // namespace velmon

#if defined(__x86_64__)

// Offset of the thread name in the frame function's stack frame, above the
// 32 bytes of home space it provides to the body.
#define VELMON_FRAME_NAME_OFFSET 32

extern "C" EXCEPTION_DISPOSITION velmon_failure_frame_handler(EXCEPTION_RECORD* record, void* establisherFrame,
                                                               CONTEXT* context, void*) {
  const char* name = *reinterpret_cast<const char* const*>(static_cast<char*>(establisherFrame) +
                                                           VELMON_FRAME_NAME_OFFSET);
  return velmon::ReportAndDecline(record, context, name);
}

// void velmon_failure_frame(void (*body)(void*), void* argument, const char* threadName)
extern "C" void velmon_failure_frame(void (*body)(void*), void* argument, const char* threadName);
asm(R"(
        .text
        .globl  velmon_failure_frame
        .def    velmon_failure_frame; .scl 2; .type 32; .endef
        .seh_proc velmon_failure_frame
velmon_failure_frame:
        subq    $40, %rsp
        .seh_stackalloc 40
        .seh_endprologue
        movq    %r8, 32(%rsp)
        movq    %rcx, %rax
        movq    %rdx, %rcx
        callq   *%rax
        nop
        addq    $40, %rsp
        ret
        .seh_handler velmon_failure_frame_handler, @except
        .seh_endproc
)");

namespace velmon {

void RunInFailureFrame(const char* threadName, void (*body)(void*), void* argument) {
  velmon_failure_frame(body, argument, threadName);
}

}  // namespace velmon

#elif defined(__i386__)

namespace velmon {
namespace {

// The registration record the system walks, followed by the frame's data.
struct FrameRecord {
  EXCEPTION_REGISTRATION_RECORD registration;
  const char* threadName;
};

// The calling thread's information block, through its Self field (fs:0x18);
// not NtCurrentTeb, whose inline segment read GCC 12 misreads as an access
// through a null pointer (-Warray-bounds).
NT_TIB* ThreadInformationBlock() {
  NT_TIB* tib;
  asm volatile("movl %%fs:0x18, %0" : "=r"(tib));
  return tib;
}

EXCEPTION_DISPOSITION NTAPI FrameHandler(EXCEPTION_RECORD* record, void* establisherFrame, CONTEXT* context, void*) {
  const auto* frame = static_cast<const FrameRecord*>(establisherFrame);
  return ReportAndDecline(record, context, frame->threadName);
}

}  // namespace

void RunInFailureFrame(const char* threadName, void (*body)(void*), void* argument) {
  NT_TIB* tib = ThreadInformationBlock();
  FrameRecord frame{{tib->ExceptionList, &FrameHandler}, threadName};
  tib->ExceptionList = &frame.registration;
  body(argument);
  tib->ExceptionList = frame.registration.Next;
}

}  // namespace velmon

#else
#error "failure frame: unsupported Windows architecture"
#endif
