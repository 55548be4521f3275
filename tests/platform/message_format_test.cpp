// FormatMessageA: inserts, escapes, line breaks, system texts and buffers.
#include <windows.h>
#include <winapi/message.h>

#include <velplat/faults.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

constexpr DWORD kSentinel = 0xDEADBEEF;

// FormatMessageA over variadic arguments, as product code calls it.
std::string FromString(const char* text, ...) {
  char out[512];
  va_list list;
  va_start(list, text);
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_STRING, text, 0, 0, out, sizeof out, &list);
  va_end(list);
  if (length == 0) return "<failed " + std::to_string(GetLastError()) + ">";
  EXPECT_EQ(length, std::strlen(out));
  return out;
}

std::string WithFlags(DWORD flags, const char* text, const DWORD_PTR* arguments = nullptr) {
  char out[512];
  const DWORD length = FormatMessageA(flags | FORMAT_MESSAGE_FROM_STRING | (arguments ? FORMAT_MESSAGE_ARGUMENT_ARRAY : 0),
                                      text, 0, 0, out, sizeof out,
                                      reinterpret_cast<va_list*>(const_cast<DWORD_PTR*>(arguments)));
  if (length == 0) return "<failed " + std::to_string(GetLastError()) + ">";
  EXPECT_EQ(length, std::strlen(out));
  return out;
}

DWORD FailureOf(DWORD flags, const char* text, DWORD messageId = 0, DWORD language = 0) {
  char out[64] = "untouched";
  SetLastError(kSentinel);
  const DWORD length = FormatMessageA(flags, text, messageId, language, out, sizeof out, nullptr);
  EXPECT_EQ(length, 0u);
  EXPECT_STREQ(out, "untouched");
  return GetLastError();
}

TEST(FormatMessage, InsertsTakeTheirArgumentsByNumber) {
  EXPECT_EQ(FromString("%1%3%2%1", "t", "s", "e"), "test");
  EXPECT_EQ(FromString("Thread %1!s! failed: %2", "MAIN", "boom"), "Thread MAIN failed: boom");
  EXPECT_EQ(FromString("%1!s!", nullptr), "(null)");
  EXPECT_EQ(FromString("%1!S!", u"wide \u00E9"), "wide \xC3\xA9");

  const DWORD_PTR array[] = {reinterpret_cast<DWORD_PTR>("ten"), 10, reinterpret_cast<DWORD_PTR>("x")};
  EXPECT_EQ(WithFlags(0, "%2!u! is %1, %3 is %3", array), "10 is ten, x is x");
  // Two digits at most: %100 is insert 10 followed by a 0.
  DWORD_PTR many[10] = {};
  many[9] = reinterpret_cast<DWORD_PTR>("tenth");
  EXPECT_EQ(WithFlags(0, "%100", many), "tenth0");
}

TEST(FormatMessage, PrintfFormatsUseWindowsWidths) {
  EXPECT_EQ(FromString("[%1!4d!] [%1!-4d!] [%2!d!]", 1, -5), "[   1] [1   ] [-5]");
  EXPECT_EQ(FromString("%1!4X! %1!x! %1!08lx!", 0x1ab), " 1AB 1ab 000001ab");
  EXPECT_EQ(FromString("%1!lu! %1!ld!", 0xFFFFFFFFu), "4294967295 -1");  // long is 32 bits
  EXPECT_EQ(FromString("%1!I64u!", 0x100000000ull), "4294967296");
  EXPECT_EQ(FromString("%1!4.2u!", 3u), "  03");
  EXPECT_EQ(FromString("%1!c!%2!c!", 'o', 'k'), "ok");
  EXPECT_EQ(FromString("%1!5s!|%1!-5s!|", "ab"), "   ab|ab   |");
  // An argument given as a 32-bit int is read as such, whatever is above it.
  const DWORD_PTR wide[] = {0xFFFFFFFF00000007ull};
  EXPECT_EQ(WithFlags(0, "%1!u!", wide), "7");
}

TEST(FormatMessage, EscapesAndLineBreaks) {
  EXPECT_EQ(FromString(" %%%% "), " %% ");
  EXPECT_EQ(FromString("a%nb%rc%td"), "a\r\nb\rc\td");
  EXPECT_EQ(FromString("%.%! % x"), ".!  x");
  EXPECT_EQ(FromString("stop%0ignored %1"), "stop");
  // Line breaks of the text itself become CR LF.
  EXPECT_EQ(FromString("one\ntwo\r\nthree\r"), "one\r\ntwo\r\nthree\r\n");
  EXPECT_EQ(FromString("\r\r\n"), "\r\n\r\n");
}

TEST(FormatMessage, LineWidthTurnsBreaksIntoSpacesAndWraps) {
  EXPECT_EQ(WithFlags(FORMAT_MESSAGE_MAX_WIDTH_MASK, "Access is denied.\r\n"), "Access is denied. ");
  EXPECT_EQ(WithFlags(FORMAT_MESSAGE_MAX_WIDTH_MASK, "a\r\r\nb%nc"), "a  b\r\nc");
  EXPECT_EQ(WithFlags(11, "short long line"), "short long\r\nline");
  EXPECT_EQ(WithFlags(7, "short long line"), "short\r\nlong\r\nline");
  EXPECT_EQ(WithFlags(8, "shortlongline"), "shortlon\r\ngline");
  EXPECT_EQ(WithFlags(16, "short long    line"), "short long\r\nline");
  EXPECT_EQ(WithFlags(8, "short%rlong line"), "short\rlong\r\nline");
}

TEST(FormatMessage, IgnoreInsertsCopiesInsertsButStillBreaksLines) {
  EXPECT_EQ(WithFlags(FORMAT_MESSAGE_IGNORE_INSERTS, "test%1%2!*.*s!%99"), "test%1%2!*.*s!%99");
  EXPECT_EQ(WithFlags(FORMAT_MESSAGE_IGNORE_INSERTS, "%%% %.%!"), "%%% %.%!");
  EXPECT_EQ(WithFlags(FORMAT_MESSAGE_IGNORE_INSERTS, "%n%r%t|%0tail"), "\r\n\r\t|");
}

TEST(FormatMessage, SystemTextsAreTheEnglishOnes) {
  char out[256];
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_ACCESS_DENIED,
                                MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), out, sizeof out, nullptr);
  EXPECT_STREQ(out, "Access is denied.\r\n");
  EXPECT_EQ(length, 19u);
  length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_FILE_NOT_FOUND,
                          MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), out, sizeof out, nullptr);
  EXPECT_STREQ(out, "The system cannot find the file specified.\r\n");
  EXPECT_EQ(length, std::strlen(out));
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, RPC_S_SERVER_UNAVAILABLE, 0, out, sizeof out, nullptr);
  EXPECT_STREQ(out, "The RPC server is unavailable.\r\n");

  EXPECT_EQ(FailureOf(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, 0xDEAD), static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND));
  EXPECT_EQ(FailureOf(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_ACCESS_DENIED, MAKELANGID(0x07, 0x01)),
            static_cast<DWORD>(ERROR_RESOURCE_LANG_NOT_FOUND));
  // A system text with inserts needs arguments unless they are ignored.
  EXPECT_EQ(FailureOf(FORMAT_MESSAGE_FROM_SYSTEM, nullptr, ERROR_MR_MID_NOT_FOUND),
            static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(FormatMessage, AllocatedBufferIsALocalBlockOfAtLeastTheRequestedSize) {
  char* text = reinterpret_cast<char*>(0x1);
  DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr,
                                ERROR_ACCESS_DENIED, 0x0400, reinterpret_cast<LPSTR>(&text), 0, nullptr);
  ASSERT_EQ(length, 19u);
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "Access is denied.\r\n");
  EXPECT_EQ(LocalFree(text), nullptr);

  length = FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER, "ab", 0, 0,
                          reinterpret_cast<LPSTR>(&text), 100, nullptr);
  ASSERT_EQ(length, 2u);
  std::memset(text, 'x', 100);  // the block holds nSize bytes (ASan checks)
  EXPECT_EQ(LocalFree(text), nullptr);

  // A failed call leaves a null pointer behind.
  text = reinterpret_cast<char*>(0x1);
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ALLOCATE_BUFFER, nullptr, 0xDEAD, 0,
                           reinterpret_cast<LPSTR>(&text), 0, nullptr),
            0u);
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_MR_MID_NOT_FOUND));

  velplat::faults::FailNext(velplat::faults::Point::HeapAlloc);
  text = reinterpret_cast<char*>(0x1);
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ALLOCATE_BUFFER, "ab", 0, 0,
                           reinterpret_cast<LPSTR>(&text), 0, nullptr),
            0u);
  EXPECT_EQ(text, nullptr);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY));
}

TEST(FormatMessage, TooSmallBufferFailsAndIsLeftUntouched) {
  char out[8];
  std::memcpy(out, "xxxxxxx", 8);
  SetLastError(kSentinel);
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_STRING, "test", 0, 0, out, 4, nullptr), 0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
  EXPECT_STREQ(out, "xxxxxxx");
  // Room for the text and its terminator is enough.
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_STRING, "test", 0, 0, out, 5, nullptr), 4u);
  EXPECT_STREQ(out, "test");
}

TEST(FormatMessage, InvalidRequestsFailWithTheirErrors) {
  EXPECT_EQ(FailureOf(0, "test"), static_cast<DWORD>(ERROR_INVALID_PARAMETER));  // no source
  EXPECT_EQ(FailureOf(FORMAT_MESSAGE_FROM_HMODULE, "test"), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
  EXPECT_EQ(FailureOf(FORMAT_MESSAGE_FROM_STRING, "test%"), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(FailureOf(FORMAT_MESSAGE_FROM_STRING, "%1"), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(FailureOf(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY, "%1"),
            static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(FailureOf(FORMAT_MESSAGE_FROM_STRING, "%0tail"), static_cast<DWORD>(ERROR_NO_WORK_DONE));
  const DWORD_PTR one[] = {1, 2, 3};
  char out[16];
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY, "%1!*d!", 0, 0, out,
                           sizeof out, reinterpret_cast<va_list*>(const_cast<DWORD_PTR*>(one))),
            0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
  EXPECT_EQ(FormatMessageA(FORMAT_MESSAGE_FROM_STRING | FORMAT_MESSAGE_ARGUMENT_ARRAY, "%1!f!", 0, 0, out,
                           sizeof out, reinterpret_cast<va_list*>(const_cast<DWORD_PTR*>(one))),
            0u);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
}

TEST(FormatMessage, InjectedFaultFailsTheNextCallOnly) {
  velplat::faults::FailCall("FormatMessageA", ERROR_OUTOFMEMORY);
  EXPECT_EQ(FailureOf(FORMAT_MESSAGE_FROM_STRING, "test"), static_cast<DWORD>(ERROR_OUTOFMEMORY));
  EXPECT_EQ(FromString("test"), "test");
}

}  // namespace
