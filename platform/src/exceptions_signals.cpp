// Fault signals as structured exceptions: the signal handler, the
// translation of a signal to an exception record, and the per-thread
// alternate signal stacks that let a stack overflow be reported.
#include "exceptions_internal.h"

#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <ucontext.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <memory>
#include <mutex>

namespace velplat::exceptions::detail {
namespace {

constexpr int kFaultSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};
// Room for the handlers, which format reports and write event-log entries.
constexpr size_t kAltStackSize = 256 * 1024;
// How far below the stack's lowest usable address a fault still counts as a
// stack overflow: the guard area, and a frame that jumped over it.
constexpr uintptr_t kOverflowReach = 64 * 1024;

// Read once at load, so that the signal handler need not ask.
const size_t kPageSize = static_cast<size_t>(sysconf(_SC_PAGESIZE));
size_t PageSize() { return kPageSize; }

// Lowest usable address of the calling thread's stack, 0 when unknown. Read
// by the signal handler.
thread_local uintptr_t stackLow = 0;

// An alternate signal stack with a guard page below it, replacing the
// thread's previous one (a sanitizer's, say) until the thread ends.
class AltStack {
 public:
  AltStack() {
    const size_t page = PageSize();
    void* memory = mmap(nullptr, kAltStackSize + page, PROT_READ | PROT_WRITE,
                        MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (memory == MAP_FAILED) return;
    mprotect(memory, page, PROT_NONE);
    stack_t stack{};
    stack.ss_sp = static_cast<char*>(memory) + page;
    stack.ss_size = kAltStackSize;
    if (sigaltstack(&stack, &previous_) != 0) {
      munmap(memory, kAltStackSize + page);
      return;
    }
    memory_ = memory;
  }
  AltStack(const AltStack&) = delete;
  AltStack& operator=(const AltStack&) = delete;
  ~AltStack() {
    if (!memory_) return;
    stack_t current{};
    sigaltstack(nullptr, &current);
    if (current.ss_sp == static_cast<char*>(memory_) + PageSize()) sigaltstack(&previous_, nullptr);
    munmap(memory_, kAltStackSize + PageSize());
  }

 private:
  void* memory_ = nullptr;
  stack_t previous_{};
};

thread_local std::unique_ptr<AltStack> altStack;

void NoteStackBounds() {
  pthread_attr_t attributes;
  if (pthread_getattr_np(pthread_self(), &attributes) != 0) return;
  void* address = nullptr;
  size_t size = 0;
  if (pthread_attr_getstack(&attributes, &address, &size) == 0) stackLow = reinterpret_cast<uintptr_t>(address);
  pthread_attr_destroy(&attributes);
}

bool IsStackOverflow(uintptr_t address) {
  return stackLow != 0 && address < stackLow + PageSize() && address + kOverflowReach >= stackLow;
}

DWORD FloatingPointCode(int code) {
  switch (code) {
    case FPE_INTOVF: return EXCEPTION_INT_OVERFLOW;
    case FPE_FLTDIV: return EXCEPTION_FLT_DIVIDE_BY_ZERO;
    case FPE_FLTOVF: return EXCEPTION_FLT_OVERFLOW;
    case FPE_FLTUND: return EXCEPTION_FLT_UNDERFLOW;
    case FPE_FLTRES: return EXCEPTION_FLT_INEXACT_RESULT;
    case FPE_FLTINV: return EXCEPTION_FLT_INVALID_OPERATION;
    default: return EXCEPTION_INT_DIVIDE_BY_ZERO;
  }
}

struct MachineState {
  uintptr_t pc = 0;
  uintptr_t sp = 0;
  ULONG_PTR access = 0;  // 0 read, 1 write, 8 execute
};

MachineState ReadMachineState(const ucontext_t* context) {
  MachineState state;
#if defined(__x86_64__)
  const auto& registers = context->uc_mcontext.gregs;
  state.pc = static_cast<uintptr_t>(registers[REG_RIP]);
  state.sp = static_cast<uintptr_t>(registers[REG_RSP]);
  const auto pageFaultCode = static_cast<uint64_t>(registers[REG_ERR]);
  if (pageFaultCode & 0x10)
    state.access = 8;  // instruction fetch
  else if (pageFaultCode & 0x2)
    state.access = 1;
#elif defined(__aarch64__)
  state.pc = context->uc_mcontext.pc;
  state.sp = context->uc_mcontext.sp;
#else
  (void)context;
#endif
  return state;
}

void Translate(int signal, const siginfo_t& info, const ucontext_t* ucontext, EXCEPTION_RECORD& record,
               CONTEXT& context) {
  const MachineState state = ReadMachineState(ucontext);
  const auto address = reinterpret_cast<ULONG_PTR>(info.si_addr);
  context.ContextFlags = CONTEXT_CONTROL;
  context.Rip = state.pc;
  context.Rsp = state.sp;
  record.ExceptionAddress = state.pc ? reinterpret_cast<PVOID>(state.pc) : info.si_addr;
  switch (signal) {
    case SIGSEGV:
      record.ExceptionCode = IsStackOverflow(address) ? EXCEPTION_STACK_OVERFLOW : EXCEPTION_ACCESS_VIOLATION;
      record.NumberParameters = 2;
      record.ExceptionInformation[0] = state.access;
      record.ExceptionInformation[1] = address;
      break;
    case SIGBUS:
      if (info.si_code == BUS_ADRALN) {
        record.ExceptionCode = EXCEPTION_DATATYPE_MISALIGNMENT;
      } else {
        record.ExceptionCode = EXCEPTION_IN_PAGE_ERROR;
        record.NumberParameters = 2;
        record.ExceptionInformation[0] = state.access;
        record.ExceptionInformation[1] = address;
      }
      break;
    case SIGFPE:
      record.ExceptionCode = FloatingPointCode(info.si_code);
      break;
    default:
      record.ExceptionCode = EXCEPTION_ILLEGAL_INSTRUCTION;
      break;
  }
}

void OnFaultSignal(int signal, siginfo_t* info, void* raw) {
  const int savedErrno = errno;
  auto* ucontext = static_cast<ucontext_t*>(raw);
  // si_code > 0: raised by the kernel for this thread's instruction; <= 0:
  // sent by kill() or raise(), which no handler is offered.
  const bool fault = info->si_code > 0;
  if (!fault && ResumeIfRequested(ucontext)) {
    errno = savedErrno;
    return;  // back to the faulting instruction
  }
  EXCEPTION_RECORD record{};
  CONTEXT context{};
  Translate(signal, *info, ucontext, record, context);
  if (fault) {
    if (DeferOffer(signal, record, context, ucontext)) {
      errno = savedErrno;
      return;  // into the deferred offer
    }
    if (OfferToHandlers(record, context) == EXCEPTION_CONTINUE_EXECUTION) {
      errno = savedErrno;
      return;  // resumes at the faulting instruction
    }
  }
  AnnounceUnhandled(record);
  // Back to the default disposition: the faulting instruction runs again on
  // return and the process dies of the original signal.
  RestoreDefaultDisposition(signal);
  if (!fault) raise(signal);  // pending until this handler returns
  errno = savedErrno;
}

}  // namespace

void RestoreDefaultDisposition(int signal) {
  struct sigaction fatal{};
  fatal.sa_handler = SIG_DFL;
  sigemptyset(&fatal.sa_mask);
  sigaction(signal, &fatal, nullptr);
}

uintptr_t StackLowOfThisThread() { return stackLow; }

void EnsureAltSignalStack() {
  if (altStack) return;
  altStack = std::make_unique<AltStack>();
  NoteStackBounds();
}

void InstallSignalHandlers() {
  static std::once_flag once;
  std::call_once(once, [] {
    struct sigaction action{};
    action.sa_sigaction = OnFaultSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    for (int signal : kFaultSignals) sigaction(signal, &action, nullptr);
  });
}

int SignalForCode(DWORD code) {
  switch (code) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_STACK_OVERFLOW:
      return SIGSEGV;
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
      return SIGBUS;
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_FLT_UNDERFLOW:
    case EXCEPTION_FLT_INEXACT_RESULT:
    case EXCEPTION_FLT_INVALID_OPERATION:
      return SIGFPE;
    case EXCEPTION_ILLEGAL_INSTRUCTION:
      return SIGILL;
    default:
      return 0;
  }
}

}  // namespace velplat::exceptions::detail
