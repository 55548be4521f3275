// Vectored exception handlers, RaiseException and the unhandled-exception
// filter.
//
// The handler list is published as an immutable snapshot behind an atomic
// pointer, so that a fault signal handler can walk it without a lock. Old
// snapshots are kept (they are a few words each), because a dispatch on
// another thread may still be reading one.
#include "exceptions_internal.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <vector>

namespace velplat::exceptions::detail {
namespace {

struct Registration {
  ULONG_PTR id;
  PVECTORED_EXCEPTION_HANDLER handler;
};

using HandlerList = std::vector<Registration>;

struct Handlers {
  std::mutex editMutex;
  std::vector<std::unique_ptr<const HandlerList>> published;  // guarded by editMutex
  ULONG_PTR nextId = 1;                                       // guarded by editMutex
  std::atomic<const HandlerList*> current{nullptr};
  std::atomic<LPTOP_LEVEL_EXCEPTION_FILTER> filter{nullptr};
};

Handlers& State() {
  static Handlers* handlers = new Handlers();  // used by threads that outlive main
  return *handlers;
}

// Under editMutex: makes `list` the one that dispatches see.
void Publish(std::unique_ptr<const HandlerList> list) {
  auto& s = State();
  s.current.store(list.get(), std::memory_order_release);
  s.published.push_back(std::move(list));
}

// Writes `value` as 0x-prefixed lower-case hexadecimal at `out`; returns the
// end. Async-signal-safe.
char* AppendHex(char* out, unsigned long long value) {
  *out++ = '0';
  *out++ = 'x';
  char digits[16];
  int n = 0;
  do {
    digits[n++] = "0123456789abcdef"[value & 0xF];
    value >>= 4;
  } while (value != 0);
  while (n > 0) *out++ = digits[--n];
  return out;
}

char* AppendText(char* out, const char* text) {
  while (*text) *out++ = *text++;
  return out;
}

// Ends the process the way the exception's code maps to, after announcing it.
[[noreturn]] void EndProcess(const EXCEPTION_RECORD& record) {
  AnnounceUnhandled(record);
  if (const int signal = SignalForCode(record.ExceptionCode)) {
    RestoreDefaultDisposition(signal);
    sigset_t only;
    sigemptyset(&only);
    sigaddset(&only, signal);
    pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
    raise(signal);
  }
  std::abort();
}

enum class Nesting { Outer, Inner };

// Offers `record` to the handlers and the filter; returns only when the
// exception is continued and may be.
void Raise(EXCEPTION_RECORD& record, CONTEXT& context, Nesting nesting) {
  if (OfferToHandlers(record, context) == EXCEPTION_CONTINUE_EXECUTION) {
    if (!(record.ExceptionFlags & EXCEPTION_NONCONTINUABLE)) return;
    if (nesting == Nesting::Outer) {
      // Continuing what may not be continued is itself an exception.
      EXCEPTION_RECORD refusal{};
      refusal.ExceptionCode = EXCEPTION_NONCONTINUABLE_EXCEPTION;
      refusal.ExceptionFlags = EXCEPTION_NONCONTINUABLE;
      refusal.ExceptionRecord = &record;
      refusal.ExceptionAddress = record.ExceptionAddress;
      Raise(refusal, context, Nesting::Inner);
    }
  }
  EndProcess(record);
}

}  // namespace

LONG OfferToHandlers(EXCEPTION_RECORD& record, CONTEXT& context) {
  EXCEPTION_POINTERS pointers{&record, &context};
  if (const HandlerList* list = State().current.load(std::memory_order_acquire))
    for (const Registration& registration : *list)
      if (registration.handler(&pointers) == EXCEPTION_CONTINUE_EXECUTION) return EXCEPTION_CONTINUE_EXECUTION;
  LPTOP_LEVEL_EXCEPTION_FILTER filter = State().filter.load();
  return filter ? filter(&pointers) : EXCEPTION_CONTINUE_SEARCH;
}

void AnnounceUnhandled(const EXCEPTION_RECORD& record) {
  char line[160];
  char* end = AppendText(line, "velplat: unhandled exception ");
  end = AppendHex(end, record.ExceptionCode);
  end = AppendText(end, " at ");
  end = AppendHex(end, reinterpret_cast<uintptr_t>(record.ExceptionAddress));
  end = AppendText(end, "; ending the process\n");
  ssize_t ignored = write(STDERR_FILENO, line, static_cast<size_t>(end - line));
  (void)ignored;
}

}  // namespace velplat::exceptions::detail

using namespace velplat::exceptions::detail;

PVOID WINAPI AddVectoredExceptionHandler(ULONG First, PVECTORED_EXCEPTION_HANDLER Handler) {
  if (!Handler) return nullptr;
  InstallSignalHandlers();
  EnsureAltSignalStack();
  auto& s = State();
  std::lock_guard lock(s.editMutex);
  const HandlerList* current = s.current.load();
  auto list = std::make_unique<HandlerList>(current ? *current : HandlerList{});
  const Registration registration{s.nextId++, Handler};
  list->insert(First ? list->begin() : list->end(), registration);
  Publish(std::move(list));
  return reinterpret_cast<PVOID>(registration.id);
}

ULONG WINAPI RemoveVectoredExceptionHandler(PVOID Handle) {
  auto& s = State();
  std::lock_guard lock(s.editMutex);
  const HandlerList* current = s.current.load();
  if (!current) return 0;
  const auto id = reinterpret_cast<ULONG_PTR>(Handle);
  auto list = std::make_unique<HandlerList>(*current);
  auto it = std::find_if(list->begin(), list->end(), [id](const Registration& r) { return r.id == id; });
  if (it == list->end()) return 0;
  list->erase(it);
  Publish(std::move(list));
  return 1;
}

VOID WINAPI RaiseException(DWORD dwExceptionCode, DWORD dwExceptionFlags, DWORD nNumberOfArguments,
                           const ULONG_PTR* lpArguments) {
  EXCEPTION_RECORD record{};
  record.ExceptionCode = dwExceptionCode;
  record.ExceptionFlags = dwExceptionFlags & EXCEPTION_NONCONTINUABLE;
  record.ExceptionAddress = __builtin_return_address(0);
  if (lpArguments) {
    record.NumberParameters = std::min<DWORD>(nNumberOfArguments, EXCEPTION_MAXIMUM_PARAMETERS);
    std::copy_n(lpArguments, record.NumberParameters, record.ExceptionInformation);
  }
  CONTEXT context{};
  context.ContextFlags = CONTEXT_CONTROL;
  context.Rsp = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
  context.Rip = reinterpret_cast<uintptr_t>(record.ExceptionAddress);
  Raise(record, context, Nesting::Outer);
}

LPTOP_LEVEL_EXCEPTION_FILTER WINAPI SetUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER lpTopLevelExceptionFilter) {
  return State().filter.exchange(lpTopLevelExceptionFilter);
}
