// _fsopen: the HOSTS reader's way of opening a file. Text mode as the Windows
// runtime reads it, fgets chunks of an 80-byte buffer, share flags held until
// fclose, and the errno of each failure.
#include <share.h>
#include <windows.h>
#include <winapi/files.h>

#include <velplat/faults.h>
#include <velplat/files.h>
#include <velplat/world.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

namespace {

namespace files = velplat::files;

constexpr const char* kHosts = "C:\\WINNT\\System32\\drivers\\etc\\hosts";

class FsOpen : public ::testing::Test {
 protected:
  void SetUp() override {
    velplat::World::Get().Reset();
    velplat::faults::Clear();
  }

  // Every fgets result with the HOSTS reader's 80-byte buffer.
  static std::vector<std::string> Chunks(FILE* file) {
    std::vector<std::string> chunks;
    char line[80];
    while (fgets(line, sizeof line, file)) chunks.emplace_back(line);
    return chunks;
  }

  static int OpenErrno(const char* path, const char* mode, int flag) {
    errno = 0;
    FILE* file = _fsopen(path, mode, flag);
    EXPECT_EQ(nullptr, file) << path << " " << mode;
    if (file) fclose(file);
    return errno;
  }
};

TEST_F(FsOpen, LongLinesComeInChunksOf79AndTheLastLineNeedsNoNewline) {
  std::string longLine(100, 'x');
  longLine[78] = 'A';  // the last character of the first chunk
  longLine[79] = 'B';  // the first of the second
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS),
            files::PutFile(kHosts, "# comment\r\n\r\n" + longLine + "\r\n10.1.1.1\tracpriv1"));
  FILE* file = _fsopen(kHosts, "r", _SH_DENYNO);
  ASSERT_NE(nullptr, file);
  std::vector<std::string> chunks = Chunks(file);
  ASSERT_EQ(5u, chunks.size());
  EXPECT_EQ("# comment\n", chunks[0]) << "CR LF reads as LF";
  EXPECT_EQ("\n", chunks[1]);
  EXPECT_EQ(79u, chunks[2].size());
  EXPECT_EQ('A', chunks[2].back());
  EXPECT_EQ(longLine.substr(79) + "\n", chunks[3]) << "the remaining 21 characters and the newline";
  EXPECT_EQ("10.1.1.1\tracpriv1", chunks[4]);
  EXPECT_TRUE(feof(file));
  EXPECT_EQ(0, fclose(file));
}

TEST_F(FsOpen, TextModeTranslatesLineEndsAndBinaryModeKeepsTheBytes) {
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), files::PutFile("C:\\t.txt", "a\r\nb\rc\r\n\x1Atail"));
  for (const char* mode : {"r", "rt"}) {
    FILE* file = _fsopen("C:\\t.txt", mode, _SH_DENYNO);
    ASSERT_NE(nullptr, file) << mode;
    EXPECT_EQ((std::vector<std::string>{"a\n", "b\rc\n"}), Chunks(file))
        << "a lone CR stays, Ctrl-Z ends the text (" << mode << ")";
    fclose(file);
  }
  FILE* binary = _fsopen("C:\\t.txt", "rb", _SH_DENYNO);
  ASSERT_NE(nullptr, binary);
  char bytes[32];
  size_t count = fread(bytes, 1, sizeof bytes, binary);
  EXPECT_EQ(std::string("a\r\nb\rc\r\n\x1Atail"), std::string(bytes, count));
  ASSERT_EQ(0, fseek(binary, 3, SEEK_SET));
  EXPECT_EQ('b', fgetc(binary)) << "the stream can be repositioned";
  fclose(binary);
}

TEST_F(FsOpen, MissingFilesAndDirectoriesGiveENOENT) {
  EXPECT_EQ(ENOENT, OpenErrno("C:\\WinNT\\System32\\drivers\\etc\\hosts", "r", _SH_DENYNO))
      << "no such directory";
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), files::MakeDirectories("C:\\WINNT\\System32\\drivers\\etc"));
  EXPECT_EQ(ENOENT, OpenErrno(kHosts, "r", _SH_DENYNO)) << "no such file";
  EXPECT_EQ(EACCES, OpenErrno("C:\\WINNT", "r", _SH_DENYNO)) << "a directory";

  velplat::Machine& other = velplat::World::Get().Add("RACNODE2");
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), files::PutFile(kHosts, "x", &other));
  EXPECT_EQ(ENOENT, OpenErrno(kHosts, "r", _SH_DENYNO)) << "only the local machine's files are opened";
}

TEST_F(FsOpen, ShareFlagsAreCheckedAgainstOtherOpensUntilFclose) {
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), files::PutFile(kHosts, "127.0.0.1 localhost\n"));
  HANDLE writer = CreateFileA(kHosts, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, writer);
  FILE* shared = _fsopen(kHosts, "r", _SH_DENYNO);
  EXPECT_NE(nullptr, shared) << "denying nothing coexists with a sharing writer";
  if (shared) fclose(shared);
  EXPECT_EQ(EACCES, OpenErrno(kHosts, "r", _SH_DENYWR)) << "cannot deny writing to an open writer";
  CloseHandle(writer);

  FILE* denying = _fsopen(kHosts, "r", _SH_DENYWR);
  ASSERT_NE(nullptr, denying);
  HANDLE refused = CreateFileA(kHosts, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                               nullptr);
  EXPECT_EQ(INVALID_HANDLE_VALUE, refused);
  EXPECT_EQ(static_cast<DWORD>(ERROR_SHARING_VIOLATION), GetLastError());
  fclose(denying);
  HANDLE accepted = CreateFileA(kHosts, GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(INVALID_HANDLE_VALUE, accepted) << "fclose releases the share reservation";
  CloseHandle(accepted);

  HANDLE exclusive = CreateFileA(kHosts, GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(INVALID_HANDLE_VALUE, exclusive);
  EXPECT_EQ(EACCES, OpenErrno(kHosts, "r", _SH_DENYNO)) << "an exclusive open denies every reader";
  CloseHandle(exclusive);
}

TEST_F(FsOpen, UnsupportedArgumentsAndInjectedFailuresSetErrno) {
  ASSERT_EQ(static_cast<DWORD>(ERROR_SUCCESS), files::PutFile(kHosts, "x"));
  EXPECT_EQ(EINVAL, OpenErrno(kHosts, "w", _SH_DENYNO));
  EXPECT_EQ(EINVAL, OpenErrno(kHosts, "r+", _SH_DENYNO));
  EXPECT_EQ(EINVAL, OpenErrno(kHosts, "r", 0x50));
  EXPECT_EQ(EINVAL, OpenErrno(nullptr, "r", _SH_DENYNO));

  velplat::faults::FailCall("_fsopen", ERROR_ACCESS_DENIED);
  EXPECT_EQ(EACCES, OpenErrno(kHosts, "r", _SH_DENYNO));
  FILE* file = _fsopen(kHosts, "r", _SH_DENYNO);
  EXPECT_NE(nullptr, file) << "one armed failure fails one call";
  if (file) fclose(file);
}

}  // namespace
