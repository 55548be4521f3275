// Thread stack sizes: a size named at thread start is what the thread gets,
// raised to the layer's floor (larger in sanitizer builds) and to whole
// pages; no size means the system's default stack.
#include <process.h>
#include <windows.h>

#include <pthread.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstddef>
#include <cstring>
#include <future>

namespace {

// The floor, and how much of a floor-sized stack a thread can fill itself
// (ThreadSanitizer's thread-local state takes most of its larger floor).
#if defined(__SANITIZE_THREAD__)
#define STACKS_TEST_TSAN 1
#elif defined(__SANITIZE_ADDRESS__)
#define STACKS_TEST_ASAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define STACKS_TEST_TSAN 1
#elif __has_feature(address_sanitizer)
#define STACKS_TEST_ASAN 1
#endif
#endif
#if defined(STACKS_TEST_TSAN)
constexpr size_t kFloor = 1024 * 1024;
constexpr size_t kFillable = 160 * 1024;
#elif defined(STACKS_TEST_ASAN)
constexpr size_t kFloor = 256 * 1024;
constexpr size_t kFillable = kFloor * 3 / 4;
#else
constexpr size_t kFloor = 64 * 1024;
constexpr size_t kFillable = kFloor * 3 / 4;
#endif

// What the thread saw of its own stack.
struct Seen {
  size_t size = 0;
  bool localInside = false;
  bool filled = false;
};

struct Probe {
  size_t fillBytes = 0;  // stack bytes the thread writes and reads back
  std::promise<Seen> result;
};

// Writes and checks `bytes` of its own stack; a stack smaller than that
// faults here.
__attribute__((noinline)) bool FillStack(size_t bytes) {
  if (bytes == 0) return true;
  auto* block = static_cast<volatile unsigned char*>(__builtin_alloca(bytes));
  for (size_t i = 0; i < bytes; i += 512) block[i] = static_cast<unsigned char>(i >> 9);
  for (size_t i = 0; i < bytes; i += 512)
    if (block[i] != static_cast<unsigned char>(i >> 9)) return false;
  return true;
}

Seen LookAtOwnStack(size_t fillBytes) {
  Seen seen;
  pthread_attr_t attributes;
  if (pthread_getattr_np(pthread_self(), &attributes) != 0) return seen;
  void* low = nullptr;
  pthread_attr_getstack(&attributes, &low, &seen.size);
  pthread_attr_destroy(&attributes);
  int local = 0;
  auto here = reinterpret_cast<uintptr_t>(&local);
  auto base = reinterpret_cast<uintptr_t>(low);
  seen.localInside = here > base && here < base + seen.size;
  seen.filled = FillStack(fillBytes);
  return seen;
}

void __cdecl RuntimeProbe(void* raw) {
  auto* probe = static_cast<Probe*>(raw);
  probe->result.set_value(LookAtOwnStack(probe->fillBytes));
}

DWORD WINAPI Win32Probe(LPVOID raw) {
  RuntimeProbe(raw);
  return 0;
}

Seen StackOfBeginthread(unsigned stackSize, size_t fillBytes = 0) {
  Probe probe;
  probe.fillBytes = fillBytes;
  auto future = probe.result.get_future();
  EXPECT_NE(_beginthread(&RuntimeProbe, stackSize, &probe), static_cast<uintptr_t>(-1));
  return future.get();
}

size_t Pages(size_t bytes) {
  const auto page = static_cast<size_t>(sysconf(_SC_PAGESIZE));
  return (bytes + page - 1) / page * page;
}

// The reported size may include the guard page and static thread-local
// storage on top of what was asked for; it is never less. The C library
// hands a new thread the cached stack of an ended one up to four times the
// size asked for, so the cases run from the smallest stacks up.
void ExpectAbout(size_t expected, const Seen& seen) {
  EXPECT_TRUE(seen.localInside);
  EXPECT_GE(seen.size, expected);
  EXPECT_LE(seen.size, expected + 64 * 1024);
}

TEST(ThreadStacks, SmallSizesAreRaisedToAUsableFloor) {
  ExpectAbout(kFloor, StackOfBeginthread(4096));
  ExpectAbout(kFloor, StackOfBeginthread(1));
  // The floor is stack the thread can use, not only reserve: most of it can
  // be written and read back.
  EXPECT_TRUE(StackOfBeginthread(4096, kFillable).filled);
}

TEST(ThreadStacks, NamedSizeAboveTheFloorIsWhatTheThreadGets) {
  const size_t asked = kFloor + 100 * 1024 + 123;  // not a whole number of pages
  ExpectAbout(Pages(asked), StackOfBeginthread(static_cast<unsigned>(asked)));
  // CreateThread sizes its stacks the same way.
  Probe probe;
  auto future = probe.result.get_future();
  HANDLE thread = CreateThread(nullptr, asked, &Win32Probe, &probe, 0, nullptr);
  ASSERT_NE(thread, nullptr);
  ExpectAbout(Pages(asked), future.get());
  WaitForSingleObject(thread, INFINITE);
  CloseHandle(thread);
}

TEST(ThreadStacks, NoNamedSizeGivesTheSystemDefault) {
  pthread_attr_t defaults;
  ASSERT_EQ(pthread_getattr_default_np(&defaults), 0);
  size_t expected = 0;
  pthread_attr_getstacksize(&defaults, &expected);
  pthread_attr_destroy(&defaults);
  Seen seen = StackOfBeginthread(0);
  EXPECT_TRUE(seen.localInside);
  EXPECT_GE(seen.size, expected);
  EXPECT_GT(seen.size, kFloor);
}

}  // namespace
