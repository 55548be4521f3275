// Offering a fault outside signal context.
//
// Handlers may allocate, lock and write event-log entries, none of which is
// safe in signal context. On x86-64 the fault signal handler saves the
// faulting thread's complete machine state below its stack pointer and
// returns into DispatchDeferred on that same stack; DispatchDeferred offers
// the exception and then sends the thread a signal whose handler puts the
// saved state back, so that the faulting instruction runs again exactly as it
// was (and, when nobody continued, faults again under the default
// disposition). Elsewhere, and for a stack overflow, the handlers run inside
// the signal handler.
#include "exceptions_internal.h"

#include <pthread.h>
#include <signal.h>

#include <cstdint>
#include <cstdlib>

namespace velplat::exceptions::detail {

#if defined(__x86_64__)
namespace {

// A fault whose handlers run after the signal handler has returned. Lives on
// the faulting thread's stack, followed by the saved floating-point state.
struct alignas(64) DeferredFault {
  EXCEPTION_RECORD record;
  CONTEXT context;
  int signal;
  LONG verdict;
  gregset_t registers;
  sigset_t mask;
  size_t fpSize;
  unsigned char* FpState() { return reinterpret_cast<unsigned char*>(this + 1); }
};

// Set by the dispatcher right before it signals itself to resume.
thread_local DeferredFault* resumeRequest = nullptr;

// Size of the kernel's floating-point frame (extended state included).
size_t FpStateSize(const ucontext_t* context) {
  const auto* fp = reinterpret_cast<const unsigned char*>(context->uc_mcontext.fpregs);
  if (!fp) return 0;
  uint32_t magic = 0, extended = 0;
  __builtin_memcpy(&magic, fp + 464, sizeof magic);  // the fxsave area's software bytes
  __builtin_memcpy(&extended, fp + 468, sizeof extended);
  constexpr uint32_t kXStateMagic = 0x46505853;
  return magic == kXStateMagic ? extended : 512;
}

// A plain byte copy: the destination is stack memory the sanitizers have no
// business checking from here.
__attribute__((no_sanitize("address", "thread"))) void CopyBytes(void* to, const void* from, size_t size) {
  auto* out = static_cast<volatile unsigned char*>(to);
  const auto* in = static_cast<const unsigned char*>(from);
  for (size_t i = 0; i < size; ++i) out[i] = in[i];
}

// In the signal handler: puts the state saved by DeferOffer back, so that the
// faulting instruction runs again.
void Resume(DeferredFault& fault, ucontext_t* ucontext) {
  CopyBytes(ucontext->uc_mcontext.gregs, fault.registers, sizeof fault.registers);
  if (fault.fpSize && ucontext->uc_mcontext.fpregs)
    CopyBytes(ucontext->uc_mcontext.fpregs, fault.FpState(), fault.fpSize);
  ucontext->uc_sigmask = fault.mask;
  if (fault.verdict != EXCEPTION_CONTINUE_EXECUTION) RestoreDefaultDisposition(fault.signal);
}

// Runs on the faulting thread's own stack once the signal handler returned.
// Never returns: it resumes the saved state through the signal handler.
[[noreturn]] __attribute__((no_sanitize("address", "thread"))) void DispatchDeferred(DeferredFault* fault) {
  fault->verdict = OfferToHandlers(fault->record, fault->context);
  if (fault->verdict != EXCEPTION_CONTINUE_EXECUTION) AnnounceUnhandled(fault->record);
  resumeRequest = fault;
  sigset_t resume;
  sigemptyset(&resume);
  sigaddset(&resume, SIGSEGV);
  pthread_sigmask(SIG_UNBLOCK, &resume, nullptr);
  raise(SIGSEGV);
  std::abort();  // not reached
}

}  // namespace

bool DeferOffer(int signal, const EXCEPTION_RECORD& record, const CONTEXT& context, ucontext_t* ucontext) {
  if (record.ExceptionCode == EXCEPTION_STACK_OVERFLOW) return false;
  const size_t fpSize = FpStateSize(ucontext);
  if (fpSize > 64 * 1024) return false;
  auto top = static_cast<uintptr_t>(ucontext->uc_mcontext.gregs[REG_RSP]) - 128;  // below the red zone
  stack_t current{};
  const bool onAltStack = sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_ONSTACK);
  if (!onAltStack) {  // this handler's own frames are on that stack: stay well below them
    const auto here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0)) - 32 * 1024;
    if (here < top) top = here;
  }
  const uintptr_t base = (top - sizeof(DeferredFault) - fpSize) & ~uintptr_t{63};
  const uintptr_t stackLow = StackLowOfThisThread();
  if (stackLow != 0 && base < stackLow + 64 * 1024) return false;  // the dispatcher needs room

  DeferredFault saved{};
  saved.record = record;
  saved.context = context;
  saved.signal = signal;
  CopyBytes(saved.registers, ucontext->uc_mcontext.gregs, sizeof saved.registers);
  saved.mask = ucontext->uc_sigmask;
  saved.fpSize = fpSize;
  auto* fault = reinterpret_cast<DeferredFault*>(base);
  CopyBytes(fault, &saved, sizeof saved);
  if (fpSize) CopyBytes(fault->FpState(), ucontext->uc_mcontext.fpregs, fpSize);

  const uintptr_t sp = (base & ~uintptr_t{15}) - 8;  // as if DispatchDeferred had been called
  const uintptr_t noReturn = 0;
  CopyBytes(reinterpret_cast<void*>(sp), &noReturn, sizeof noReturn);
  ucontext->uc_mcontext.gregs[REG_RSP] = static_cast<greg_t>(sp);
  ucontext->uc_mcontext.gregs[REG_RIP] = reinterpret_cast<greg_t>(&DispatchDeferred);
  ucontext->uc_mcontext.gregs[REG_RDI] = reinterpret_cast<greg_t>(fault);
  return true;
}

bool ResumeIfRequested(ucontext_t* ucontext) {
  if (!resumeRequest) return false;
  Resume(*resumeRequest, ucontext);
  resumeRequest = nullptr;
  return true;
}

#else

bool DeferOffer(int, const EXCEPTION_RECORD&, const CONTEXT&, ucontext_t*) { return false; }
bool ResumeIfRequested(ucontext_t*) { return false; }

#endif

}  // namespace velplat::exceptions::detail
