// Thread records and thread start: CreateThread, _beginthread, _endthread,
// GetExitCodeThread and the thread and process identifiers.
#include "exceptions_internal.h"
#include "kernel_faults.h"
#include "kernel_sync.h"
#include "kernel_thread.h"
#include "threads_start_hook.h"

#include <process.h>
#include <pthread.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <memory>

namespace velplat::kernel {
namespace {

std::atomic<DWORD> nextThreadId{0x100};

// Holds the calling thread's record; for a thread this layer did not start,
// the record is ended when the thread exits.
struct ThreadSlot {
  std::shared_ptr<ThreadRecord> record;
  ~ThreadSlot() {
    if (!record) return;
    std::lock_guard lock(KernelMutex());
    if (!record->ended) record->End(0);
  }
};
thread_local ThreadSlot currentSlot;

}  // namespace

ThreadRecord::ThreadRecord() : id_(nextThreadId.fetch_add(4)) {}

void ThreadRecord::End(DWORD code) {
  ended = true;
  exitCode = code;
  auto mutexes = std::move(owned);
  owned.clear();
  for (auto& mutex : mutexes) mutex->Abandon();
  apcs.clear();
  WakeWaiters();
}

ThreadRecord& CurrentThread() { return *CurrentThreadShared(); }

std::shared_ptr<ThreadRecord> CurrentThreadShared() {
  if (!currentSlot.record) currentSlot.record = std::make_shared<ThreadRecord>();
  return currentSlot.record;
}

namespace {

enum class StartKind { Win32, Runtime };

struct StartInfo {
  std::shared_ptr<ThreadRecord> record;
  StartKind kind = StartKind::Win32;
  LPTHREAD_START_ROUTINE win32 = nullptr;
  void(__cdecl* runtime)(void*) = nullptr;
  void* argument = nullptr;
  HANDLE closeWhenDone = nullptr;  // _beginthread's handle
};

// Ends the thread's record however the thread leaves: by returning, or by
// _endthread, whose unwinding runs this destructor.
class ThreadEnding {
 public:
  explicit ThreadEnding(StartInfo& start) : start_(start) {}
  ThreadEnding(const ThreadEnding&) = delete;
  ThreadEnding& operator=(const ThreadEnding&) = delete;
  ~ThreadEnding() {
    // Closed before the thread reads as ended: whoever sees it ended also sees
    // the handle gone.
    if (start_.closeWhenDone) RemoveHandle(start_.closeWhenDone);
    std::lock_guard lock(KernelMutex());
    start_.record->End(exitCode);
  }
  DWORD exitCode = 0;

 private:
  StartInfo& start_;
};

void* ThreadMain(void* raw) {
  std::unique_ptr<StartInfo> start(static_cast<StartInfo*>(raw));
  currentSlot.record = start->record;
  exceptions::detail::EnsureAltSignalStack();
  ThreadEnding ending(*start);
  if (start->kind == StartKind::Win32)
    ending.exitCode = start->win32(start->argument);
  else
    start->runtime(start->argument);
  return nullptr;
}

#if defined(__SANITIZE_THREAD__)
#define VELPLAT_THREAD_SANITIZER 1
#elif defined(__SANITIZE_ADDRESS__)
#define VELPLAT_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define VELPLAT_THREAD_SANITIZER 1
#elif __has_feature(address_sanitizer)
#define VELPLAT_ADDRESS_SANITIZER 1
#endif
#endif

// The least stack a thread is given when its starter names a size.
// Sanitizers make frames several times larger and run their own code on the
// stack; ThreadSanitizer also keeps about 770 KiB of per-thread state in
// static thread-local storage, which the C library carves out of the stack.
#if defined(VELPLAT_THREAD_SANITIZER)
constexpr size_t kStackFloor = 1024 * 1024;
#elif defined(VELPLAT_ADDRESS_SANITIZER)
constexpr size_t kStackFloor = 256 * 1024;
#else
constexpr size_t kStackFloor = 64 * 1024;
#endif

// The stack a thread asking for `requested` bytes gets: at least the floor
// and the system's minimum, in whole pages; 0 (the default) stays 0.
size_t StackSizeFor(size_t requested) {
  if (requested == 0) return 0;
  const auto page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  const long systemMinimum = sysconf(_SC_THREAD_STACK_MIN);
  size_t size = std::max(requested, kStackFloor);
  if (systemMinimum > 0) size = std::max(size, static_cast<size_t>(systemMinimum));
  return (size + page - 1) / page * page;
}

// Right before the thread is created: lets the test hook see the start and
// name the thread.
void RunStartHook(StartInfo& start) {
  velplat::threads::ThreadStart seen;
  seen.win32 = start.win32;
  seen.runtime = start.runtime;
  seen.parameter = start.argument;
  velplat::threads::RunThreadStartHook(seen);
  start.record->name = std::move(seen.name);
}

bool Spawn(std::unique_ptr<StartInfo> start, size_t stackSize) {
  RunStartHook(*start);
  pthread_attr_t attributes;
  if (pthread_attr_init(&attributes) != 0) return false;
  pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
  if (const size_t size = StackSizeFor(stackSize); size != 0) pthread_attr_setstacksize(&attributes, size);
  pthread_t thread;
  const int rc = pthread_create(&thread, &attributes, ThreadMain, start.get());
  pthread_attr_destroy(&attributes);
  if (rc != 0) return false;
  start.release();  // ThreadMain owns it now
  return true;
}

}  // namespace
}  // namespace velplat::kernel

using namespace velplat::kernel;

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T dwStackSize, LPTHREAD_START_ROUTINE lpStartAddress,
                           LPVOID lpParameter, DWORD dwCreationFlags, LPDWORD lpThreadId) {
  if (velplat::faults::Consume(velplat::faults::Point::ThreadStart)) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (CallFailsByInjection("CreateThread")) return nullptr;
  if (!lpStartAddress) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  if (dwCreationFlags & CREATE_SUSPENDED) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  auto start = std::make_unique<StartInfo>();
  start->record = std::make_shared<ThreadRecord>();
  start->win32 = lpStartAddress;
  start->argument = lpParameter;
  const DWORD id = start->record->Id();
  HANDLE handle = InsertHandle(start->record);
  if (!Spawn(std::move(start), dwStackSize)) {
    RemoveHandle(handle);
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  if (lpThreadId) *lpThreadId = id;
  return handle;
}

uintptr_t _beginthread(void(__cdecl* start_address)(void*), unsigned stack_size, void* arglist) {
  constexpr auto kFailed = static_cast<uintptr_t>(-1);
  if (!start_address) {
    errno = EINVAL;
    return kFailed;
  }
  if (velplat::faults::Consume(velplat::faults::Point::ThreadStart) || CallFailsByInjection("_beginthread")) {
    errno = EAGAIN;
    return kFailed;
  }
  auto start = std::make_unique<StartInfo>();
  start->record = std::make_shared<ThreadRecord>();
  start->kind = StartKind::Runtime;
  start->runtime = start_address;
  start->argument = arglist;
  HANDLE handle = InsertHandle(start->record);
  start->closeWhenDone = handle;
  if (!Spawn(std::move(start), stack_size)) {
    RemoveHandle(handle);
    errno = EAGAIN;
    return kFailed;
  }
  return reinterpret_cast<uintptr_t>(handle);
}

void _endthread(void) { pthread_exit(nullptr); }

BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
  if (CallFailsByInjection("GetExitCodeThread")) return FALSE;
  auto thread = LookupHandleAs<ThreadRecord>(hThread);
  if (!thread || !lpExitCode) {
    SetLastError(thread ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
    return FALSE;
  }
  std::lock_guard lock(KernelMutex());
  *lpExitCode = thread->exitCode;
  return TRUE;
}

HANDLE WINAPI GetCurrentThread(void) { return CurrentThreadPseudoHandle(); }

DWORD WINAPI GetCurrentThreadId(void) { return CurrentThread().Id(); }

DWORD WINAPI GetCurrentProcessId(void) { return static_cast<DWORD>(getpid()); }
