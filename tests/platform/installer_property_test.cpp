// Installer property queries: the size convention of MsiGetPropertyA (room
// counted with the terminator, lengths without), values that do not fit,
// unset and case-sensitive names, and handles that are not open.
#include <msiquery.h>
#include <windows.h>

#include <velplat/installer.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

namespace installer = velplat::installer;

TEST(InstallerProperty, ValueThatFitsIsCopiedAndItsLengthReturnedWithoutTerminator) {
  installer::Session session(installer::Properties{{"INST_MODE", "SILENT"}});
  char buffer[10];
  std::memset(buffer, 'x', sizeof buffer);
  DWORD count = sizeof buffer;
  ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS), MsiGetPropertyA(session.handle(), "INST_MODE", buffer, &count));
  EXPECT_STREQ("SILENT", buffer);
  EXPECT_EQ(6u, count);

  // Nine characters and the terminator fill ten exactly.
  installer::SetProperty(session.handle(), "INST_MODE", "123456789");
  count = sizeof buffer;
  ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS), MsiGetPropertyA(session.handle(), "INST_MODE", buffer, &count));
  EXPECT_STREQ("123456789", buffer);
  EXPECT_EQ(9u, count);
}

TEST(InstallerProperty, ValueThatDoesNotFitAnnouncesItsLengthAndLeavesATerminatedPrefix) {
  installer::Session session(installer::Properties{{"INST_MODE", "0123456789AB"}});
  char small[10];
  DWORD count = sizeof small;
  ASSERT_EQ(static_cast<UINT>(ERROR_MORE_DATA), MsiGetPropertyA(session.handle(), "INST_MODE", small, &count));
  EXPECT_EQ(12u, count);
  EXPECT_STREQ("012345678", small);

  std::string large(count + 1, 'x');
  DWORD room = count + 1;
  ASSERT_EQ(static_cast<UINT>(ERROR_SUCCESS), MsiGetPropertyA(session.handle(), "INST_MODE", large.data(), &room));
  EXPECT_STREQ("0123456789AB", large.c_str());
  EXPECT_EQ(12u, room);

  // An empty buffer gets nothing written, only the length.
  char untouched = 'u';
  DWORD none = 0;
  EXPECT_EQ(static_cast<UINT>(ERROR_MORE_DATA), MsiGetPropertyA(session.handle(), "INST_MODE", &untouched, &none));
  EXPECT_EQ('u', untouched);
  EXPECT_EQ(12u, none);
}

TEST(InstallerProperty, UnsetAndDifferentlyCasedNamesReadAsEmpty) {
  installer::Session session(installer::Properties{{"INST_MODE", "SILENT"}, {"EMPTY", ""}});
  char buffer[16] = "stale";
  DWORD count = sizeof buffer;
  EXPECT_EQ(static_cast<UINT>(ERROR_SUCCESS), MsiGetPropertyA(session.handle(), "inst_mode", buffer, &count));
  EXPECT_STREQ("", buffer);
  EXPECT_EQ(0u, count);
  EXPECT_EQ(std::nullopt, installer::GetProperty(session.handle(), "EMPTY"));

  // Setting a property to the empty string removes it.
  ASSERT_TRUE(installer::SetProperty(session.handle(), "INST_MODE", ""));
  EXPECT_EQ(std::nullopt, installer::GetProperty(session.handle(), "INST_MODE"));
  count = sizeof buffer;
  EXPECT_EQ(static_cast<UINT>(ERROR_SUCCESS), MsiGetPropertyA(session.handle(), "INST_MODE", buffer, &count));
  EXPECT_EQ(0u, count);
}

TEST(InstallerProperty, NullArgumentsAreRefusedExceptALengthOnlyQuery) {
  installer::Session session(installer::Properties{{"NAME", "value"}});
  char buffer[16];
  DWORD count = sizeof buffer;
  EXPECT_EQ(static_cast<UINT>(ERROR_INVALID_PARAMETER), MsiGetPropertyA(session.handle(), nullptr, buffer, &count));
  EXPECT_EQ(static_cast<UINT>(ERROR_INVALID_PARAMETER), MsiGetPropertyA(session.handle(), "NAME", buffer, nullptr));
  EXPECT_EQ(static_cast<UINT>(ERROR_SUCCESS), MsiGetPropertyA(session.handle(), "NAME", nullptr, &count));
  EXPECT_EQ(5u, count);
}

TEST(InstallerProperty, OnlyOpenHandlesAnswer) {
  char buffer[16];
  DWORD count = sizeof buffer;
  EXPECT_EQ(static_cast<UINT>(ERROR_INVALID_HANDLE), MsiGetPropertyA(0, "NAME", buffer, &count));

  MSIHANDLE handle = installer::OpenSession(installer::Properties{{"NAME", "value"}});
  EXPECT_NE(0u, handle);
  EXPECT_EQ(1u, installer::OpenSessionCount());
  EXPECT_EQ(static_cast<UINT>(ERROR_SUCCESS), MsiCloseHandle(handle));
  EXPECT_EQ(0u, installer::OpenSessionCount());
  EXPECT_EQ(static_cast<UINT>(ERROR_INVALID_HANDLE), MsiGetPropertyA(handle, "NAME", buffer, &count));
  EXPECT_EQ(static_cast<UINT>(ERROR_INVALID_HANDLE), MsiCloseHandle(handle));
  EXPECT_EQ(static_cast<UINT>(ERROR_SUCCESS), MsiCloseHandle(0));
  EXPECT_FALSE(installer::SetProperty(handle, "NAME", "again"));

  // Handles are never reused.
  installer::Session next;
  EXPECT_NE(handle, next.handle());
}

}  // namespace
