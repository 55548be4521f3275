// Win32 files of the simulated machine: creation dispositions, share modes,
// positions and appends, directories, the Windows directory, and the
// failures the product's log writer and HOSTS reader must handle.
#include <windows.h>
#include <winapi/files.h>

#include <velplat/faults.h>
#include <velplat/files.h>
#include <velplat/world.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

namespace {

namespace files = velplat::files;

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

class Files : public ::testing::Test {
 protected:
  void SetUp() override {
    velplat::World::Get().Reset();
    velplat::faults::Clear();
  }

  static HANDLE Open(const char* path, DWORD access, DWORD share, DWORD disposition) {
    return CreateFileA(path, access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  }

  static void Write(HANDLE file, const std::string& text) {
    DWORD written = 0;
    ASSERT_TRUE(WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr));
    ASSERT_EQ(text.size(), written);
  }

  static std::string ReadAll(HANDLE file) {
    std::string text;
    char buffer[7];  // small, so that reads continue from the position
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
    return text;
  }

  // The error of a CreateFileA that must fail.
  static DWORD OpenError(const char* path, DWORD access, DWORD share, DWORD disposition) {
    SetLastError(0);
    HANDLE file = Open(path, access, share, disposition);
    EXPECT_EQ(INVALID_HANDLE_VALUE, file) << path;
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return GetLastError();
  }
};

TEST_F(Files, OpenExistingNeverCreatesAndTellsAMissingFileFromAMissingDirectory) {
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), files::MakeDirectories("C:\\WINNT\\vlmsystem\\log"));
  const char* log = "C:\\WINNT\\vlmsystem\\log\\vlmsetup.log";
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), OpenError(log, GENERIC_READ | GENERIC_WRITE, kShareAll, OPEN_EXISTING));
  EXPECT_FALSE(files::FileContents(log)) << "OPEN_EXISTING must not create the file";
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), OpenError(log, GENERIC_WRITE, 0, TRUNCATE_EXISTING));

  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND),
            OpenError("C:\\WinNT\\System32\\drivers\\etc\\hosts", GENERIC_READ, kShareAll, OPEN_EXISTING));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND),
            OpenError("C:\\NoSuchDir\\new.txt", GENERIC_WRITE, 0, CREATE_ALWAYS)) << "creation needs the directory";
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), OpenError("vlmsetup.log", GENERIC_READ, 0, OPEN_EXISTING));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_NAME), OpenError("C:\\WINNT\\a?b", GENERIC_READ, 0, OPEN_ALWAYS));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), OpenError(log, GENERIC_READ, 0, 0));
}

TEST_F(Files, DispositionsCreateTruncateAndReportAnExistingFile) {
  const char* path = "C:\\data.txt";
  HANDLE file = Open(path, GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  EXPECT_EQ(0u, GetLastError());
  Write(file, "first");
  ASSERT_TRUE(CloseHandle(file));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_EXISTS), OpenError(path, GENERIC_WRITE, 0, CREATE_NEW));

  file = Open(path, GENERIC_READ, 0, OPEN_ALWAYS);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
  EXPECT_EQ("first", ReadAll(file)) << "OPEN_ALWAYS keeps the bytes";
  CloseHandle(file);

  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), OpenError(path, GENERIC_READ, 0, TRUNCATE_EXISTING));
  file = Open(path, GENERIC_WRITE, 0, TRUNCATE_EXISTING);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  EXPECT_EQ(0u, GetFileSize(file, nullptr));
  Write(file, "second");
  CloseHandle(file);

  file = Open(path, GENERIC_WRITE, 0, CREATE_ALWAYS);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
  EXPECT_EQ(0u, GetFileSize(file, nullptr)) << "CREATE_ALWAYS truncates";
  CloseHandle(file);

  file = Open("C:\\fresh.txt", GENERIC_WRITE, 0, OPEN_ALWAYS);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  EXPECT_EQ(0u, GetLastError()) << "a file that OPEN_ALWAYS creates is not reported as existing";
  CloseHandle(file);
}

TEST_F(Files, ConflictingOpensFailWithSharingViolationUntilTheHolderCloses) {
  const char* path = "C:\\shared.txt";
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), files::PutFile(path, "x"));

  HANDLE reader = Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  ASSERT_NE(INVALID_HANDLE_VALUE, reader);
  EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), OpenError(path, GENERIC_WRITE, kShareAll, OPEN_EXISTING))
      << "the reader does not share writing";
  EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), OpenError(path, GENERIC_READ, 0, OPEN_EXISTING))
      << "a new open must share the reading the first one holds";
  EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), OpenError(path, GENERIC_WRITE, kShareAll, CREATE_ALWAYS));
  EXPECT_EQ("x", *files::FileContents(path)) << "a refused CREATE_ALWAYS truncates nothing";

  HANDLE secondReader = Open(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING);
  EXPECT_NE(INVALID_HANDLE_VALUE, secondReader);
  HANDLE attributesOnly = Open(path, 0, 0, OPEN_EXISTING);
  EXPECT_NE(INVALID_HANDLE_VALUE, attributesOnly) << "an open without data access conflicts with nothing";

  SetLastError(0);
  EXPECT_FALSE(DeleteFileA(path));
  EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());

  CloseHandle(reader);
  CloseHandle(secondReader);
  CloseHandle(attributesOnly);
  HANDLE writer = Open(path, GENERIC_WRITE, 0, OPEN_EXISTING);
  EXPECT_NE(INVALID_HANDLE_VALUE, writer) << "closing releases the share reservations";
  CloseHandle(writer);
}

TEST_F(Files, AppendStyleWritesThroughSetFilePointerKeepEarlierLines) {
  const char* log = "C:\\WINNT\\vlmsystem\\log\\vlmsetup.log";
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), files::PutFile(log, "other step\r\n"));
  for (const char* line : {"Failed: one\r\n", "Failed: two\r\n"}) {
    HANDLE file = Open(log, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    DWORD size = GetFileSize(file, nullptr);
    EXPECT_EQ(size, SetFilePointer(file, 0, nullptr, FILE_END));
    Write(file, line);
    ASSERT_TRUE(CloseHandle(file));
  }
  EXPECT_EQ("other step\r\nFailed: one\r\nFailed: two\r\n", *files::FileContents(log));
}

TEST_F(Files, PositionsFollowTheWindowsConventions) {
  HANDLE file = Open("C:\\pos.bin", GENERIC_READ | GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  Write(file, "abcdef");

  EXPECT_EQ(2u, SetFilePointer(file, -4, nullptr, FILE_CURRENT));
  char buffer[8] = {};
  DWORD got = 99;
  ASSERT_TRUE(ReadFile(file, buffer, 3, &got, nullptr));
  EXPECT_EQ(3u, got);
  EXPECT_STREQ("cde", buffer);

  SetLastError(0);
  EXPECT_EQ(INVALID_SET_FILE_POINTER, SetFilePointer(file, -10, nullptr, FILE_END));
  EXPECT_EQ(static_cast<DWORD>(ERROR_NEGATIVE_SEEK), GetLastError());
  EXPECT_EQ(5u, SetFilePointer(file, 0, nullptr, FILE_CURRENT)) << "a refused move keeps the position";

  EXPECT_EQ(8u, SetFilePointer(file, 8, nullptr, FILE_BEGIN));
  Write(file, "Z");
  EXPECT_EQ(std::string("abcdef\0\0Z", 9), *files::FileContents("C:\\pos.bin")) << "the gap is zero-filled";
  got = 99;
  EXPECT_TRUE(ReadFile(file, buffer, sizeof buffer, &got, nullptr));
  EXPECT_EQ(0u, got) << "reading at the end succeeds with nothing";

  LONG high = 1;
  EXPECT_EQ(0u, SetFilePointer(file, 0, &high, FILE_BEGIN));
  EXPECT_EQ(1, high) << "4 GiB through the high half";
  SetLastError(0);
  EXPECT_EQ(INVALID_SET_FILE_POINTER, SetFilePointer(file, 0, nullptr, FILE_CURRENT));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError())
      << "a position beyond 32 bits needs the high half";
  high = -1;
  SetLastError(ERROR_INVALID_PARAMETER);
  EXPECT_EQ(INVALID_SET_FILE_POINTER, SetFilePointer(file, -1, &high, FILE_CURRENT));
  EXPECT_EQ(static_cast<DWORD>(NO_ERROR), GetLastError()) << "0xFFFFFFFF is a valid low half here";
  EXPECT_EQ(0, high);

  DWORD sizeHigh = 7;
  EXPECT_EQ(9u, GetFileSize(file, &sizeHigh));
  EXPECT_EQ(0u, sizeHigh);
  CloseHandle(file);
}

TEST_F(Files, HandlesEnforceTheirAccessAndOnlyFileHandlesAreAccepted) {
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), files::PutFile("C:\\r.txt", "data"));
  HANDLE reader = Open("C:\\r.txt", GENERIC_READ, kShareAll, OPEN_EXISTING);
  HANDLE writer = Open("C:\\r.txt", GENERIC_WRITE, kShareAll, OPEN_EXISTING);
  ASSERT_NE(INVALID_HANDLE_VALUE, reader);
  ASSERT_NE(INVALID_HANDLE_VALUE, writer);
  DWORD count = 0;
  char buffer[4];
  EXPECT_FALSE(WriteFile(reader, "x", 1, &count, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
  EXPECT_FALSE(ReadFile(writer, buffer, 1, &count, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());

  HANDLE event = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  EXPECT_FALSE(ReadFile(event, buffer, 1, &count, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
  EXPECT_EQ(INVALID_FILE_SIZE, GetFileSize(INVALID_HANDLE_VALUE, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
  CloseHandle(event);

  CloseHandle(writer);
  EXPECT_FALSE(ReadFile(writer, buffer, 1, &count, nullptr)) << "a closed handle stays invalid";
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
  CloseHandle(reader);
}

TEST_F(Files, NamesIgnoreCaseAndSeparatorStyleAndDirectoriesAreNotFiles) {
  ASSERT_TRUE(CreateDirectoryA("C:\\Oracle", nullptr));
  SetLastError(0);
  EXPECT_FALSE(CreateDirectoryA("c:/ORACLE", nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ALREADY_EXISTS), GetLastError());
  EXPECT_FALSE(CreateDirectoryA("C:\\Oracle\\a\\b", nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());

  HANDLE file = Open("c:/oracle//./bin/../CMSrvr.exe", GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  Write(file, "image");
  CloseHandle(file);
  EXPECT_EQ("image", *files::FileContents("C:\\ORACLE\\cmsrvr.EXE"));

  EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY), GetFileAttributesA("C:\\oracle"));
  EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY), GetFileAttributesA("D:\\"));
  EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE), GetFileAttributesA("C:\\Oracle\\CMSrvr.exe"));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\Oracle\\none"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\None\\none"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());

  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), OpenError("C:\\Oracle", GENERIC_READ, kShareAll, OPEN_EXISTING));
  EXPECT_FALSE(DeleteFileA("C:\\Oracle"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
  EXPECT_TRUE(DeleteFileA("C:\\ORACLE\\CMSRVR.EXE"));
  EXPECT_FALSE(DeleteFileA("C:\\Oracle\\CMSrvr.exe"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
  EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY), GetFileAttributesA("C:\\Oracle"))
      << "deleting a file keeps its directory";
}

TEST_F(Files, DeletingASharedOpenFileKeepsItsHandlesWorking) {
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), files::PutFile("C:\\tmp\\t.txt", "old"));
  HANDLE file = Open("C:\\tmp\\t.txt", GENERIC_READ | GENERIC_WRITE, kShareAll, OPEN_EXISTING);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  ASSERT_TRUE(DeleteFileA("C:\\tmp\\t.txt"));
  EXPECT_FALSE(files::FileContents("C:\\tmp\\t.txt"));
  EXPECT_EQ(3u, SetFilePointer(file, 0, nullptr, FILE_END));
  Write(file, "+new");
  SetFilePointer(file, 0, nullptr, FILE_BEGIN);
  EXPECT_EQ("old+new", ReadAll(file));
  CloseHandle(file);
}

TEST_F(Files, EachMachineHasItsOwnFiles) {
  velplat::Machine& remote = velplat::World::Get().Add("RACNODE2");
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), files::PutFile("C:\\only-remote.txt", "r", &remote));
  EXPECT_EQ("r", *files::FileContents("C:\\only-remote.txt", &remote));
  EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA("C:\\only-remote.txt"))
      << "the Win32 calls see the local machine";
  EXPECT_EQ(static_cast<DWORD>(ERROR_SUCCESS), files::RemoveFile("C:\\only-remote.txt", &remote));
  EXPECT_FALSE(files::FileContents("C:\\only-remote.txt", &remote));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), files::PutFile("C:\\", "x"));
}

TEST_F(Files, WindowsDirectoryFollowsSystemRootWithTheSizeConventions) {
  char buffer[MAX_PATH];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(9u, GetWindowsDirectoryA(buffer, 8)) << "too small: the size with the terminator";
  EXPECT_EQ('#', buffer[0]);
  EXPECT_EQ(9u, GetWindowsDirectoryA(nullptr, 0));
  EXPECT_EQ(8u, GetWindowsDirectoryA(buffer, 9));
  EXPECT_STREQ("C:\\WINNT", buffer);
  EXPECT_EQ(17u, GetSystemDirectoryA(buffer, sizeof buffer));
  EXPECT_STREQ("C:\\WINNT\\system32", buffer);

  velplat::Machine& local = velplat::World::Get().Local();
  local.SetEnv("SystemRoot", "D:\\Windows");
  EXPECT_EQ(10u, GetWindowsDirectoryA(buffer, sizeof buffer));
  EXPECT_STREQ("D:\\Windows", buffer);
  local.UnsetEnv("SystemRoot");
  local.SetEnv("windir", "E:\\NT");
  GetWindowsDirectoryA(buffer, sizeof buffer);
  EXPECT_STREQ("E:\\NT", buffer);
}

TEST_F(Files, InjectedFailuresReportTheArmedError) {
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), files::PutFile("C:\\f.txt", "abc"));
  velplat::faults::FailCall("CreateFileA", ERROR_ACCESS_DENIED);
  EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), OpenError("C:\\f.txt", GENERIC_READ, kShareAll, OPEN_EXISTING));

  HANDLE file = Open("C:\\f.txt", GENERIC_READ | GENERIC_WRITE, kShareAll, OPEN_EXISTING);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  velplat::faults::FailCall("WriteFile", ERROR_DISK_FULL);
  DWORD written = 5;
  EXPECT_FALSE(WriteFile(file, "x", 1, &written, nullptr));
  EXPECT_EQ(static_cast<DWORD>(ERROR_DISK_FULL), GetLastError());
  EXPECT_EQ(0u, written);
  EXPECT_EQ("abc", *files::FileContents("C:\\f.txt"));
  velplat::faults::FailCall("SetFilePointer", ERROR_INVALID_HANDLE);
  EXPECT_EQ(INVALID_SET_FILE_POINTER, SetFilePointer(file, 0, nullptr, FILE_END));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
  CloseHandle(file);

  velplat::faults::FailCall("GetWindowsDirectoryA", ERROR_NOT_ENOUGH_MEMORY);
  char buffer[MAX_PATH];
  EXPECT_EQ(0u, GetWindowsDirectoryA(buffer, sizeof buffer));
  EXPECT_EQ(static_cast<DWORD>(ERROR_NOT_ENOUGH_MEMORY), GetLastError());
}

TEST_F(Files, WritesThroughOneHandleFromSeveralThreadsLoseNothing) {
  HANDLE file = Open("C:\\threads.log", GENERIC_WRITE, 0, CREATE_NEW);
  ASSERT_NE(INVALID_HANDLE_VALUE, file);
  constexpr int kLines = 200;
  auto writer = [file](char tag) {
    std::string line = std::string(9, tag) + "\n";
    for (int i = 0; i < kLines; ++i) {
      DWORD written = 0;
      WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    }
  };
  std::thread a(writer, 'a');
  std::thread b(writer, 'b');
  a.join();
  b.join();
  CloseHandle(file);

  std::string text = *files::FileContents("C:\\threads.log");
  ASSERT_EQ(size_t{2 * kLines * 10}, text.size());
  for (size_t at = 0; at < text.size(); at += 10)
    ASSERT_EQ(std::string(9, text[at]) + "\n", text.substr(at, 10)) << "a write was torn at " << at;
}

}  // namespace
