// The HOSTS parser on Windows, reading files through the C runtime's text
// mode: the prefix's own %SystemRoot%\System32\drivers\etc\hosts (replaced
// for the case and restored after), and private roots under %TEMP% chosen
// through SystemRoot for the cases that need odd content, so that parallel
// cases never share a file.
#include "backends/oracle/host_resolution.h"
#include "discovery/member_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>

namespace velmon {
namespace {

DWORD Dotted(BYTE a, BYTE b, BYTE c, BYTE d) {
  DWORD value = 0;
  BYTE bytes[4] = {a, b, c, d};
  std::memcpy(&value, bytes, 4);
  return value;
}

void Member(int position, const char* privateName) {
  auto lock = LockMemberTable();
  MemberTable[position].memberNumber = position + 1;
  StoreMemberName(MemberTable[position].name, privateName);
  StoreMemberName(MemberTable[position].publicName, "pub");
}

DWORD PrivateAddress(int position) {
  auto lock = LockMemberTable();
  return MemberTable[position].address;
}

std::optional<std::string> ReadBytes(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string bytes(GetFileSize(file, nullptr), '\0');
  DWORD read = 0;
  if (!bytes.empty()) ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &read, nullptr);
  CloseHandle(file);
  bytes.resize(read);
  return bytes;
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

// Replaces the prefix's HOSTS file for one case and puts the original back.
class PrefixHostsFile {
 public:
  PrefixHostsFile() {
    char root[MAX_PATH];
    GetEnvironmentVariableA("SystemRoot", root, sizeof root);
    path_ = std::string(root) + "\\System32\\drivers\\etc\\hosts";
    original_ = ReadBytes(path_);
  }
  ~PrefixHostsFile() {
    if (original_) WriteBytes(path_, *original_);
    else DeleteFileA(path_.c_str());
  }
  bool Write(const std::string& bytes) const { return WriteBytes(path_, bytes); }

 private:
  std::string path_;
  std::optional<std::string> original_;
};

// A SystemRoot of the case's own under %TEMP%, with its HOSTS folder;
// removed, and SystemRoot restored, at the end.
class PrivateRoot {
 public:
  explicit PrivateRoot(const char* name) {
    char temp[MAX_PATH];
    GetTempPathA(sizeof temp, temp);
    GetEnvironmentVariableA("SystemRoot", saved_, sizeof saved_);
    root_ = std::string(temp) + "velmon-hosts-" + name + "-" + std::to_string(GetCurrentProcessId());
    for (const char* part : {"", "\\System32", "\\System32\\drivers", "\\System32\\drivers\\etc"})
      CreateDirectoryA((root_ + part).c_str(), nullptr);
    SetEnvironmentVariableA("SystemRoot", root_.c_str());
  }
  ~PrivateRoot() {
    DeleteFileA(Hosts().c_str());
    for (const char* part : {"\\System32\\drivers\\etc", "\\System32\\drivers", "\\System32", ""})
      RemoveDirectoryA((root_ + part).c_str());
    SetEnvironmentVariableA("SystemRoot", saved_);
  }
  std::string Hosts() const { return root_ + "\\System32\\drivers\\etc\\hosts"; }

 private:
  char saved_[MAX_PATH] = {};
  std::string root_;
};

TEST(HostsFile, PrefixFileLinesNameMembersByExactPrivateNameAndLastValidLineWins) {
  Member(0, "wtpriv1");
  Member(1, "wtpriv2");
  Member(2, "wtpriv3");
  Member(3, "wtpriv4");
  Member(4, "wtpriv5");
  {
    auto lock = LockMemberTable();
    MemberTable[4].address = Dotted(1, 1, 1, 1);
  }
  PrefixHostsFile hosts;
  ASSERT_TRUE(hosts.Write(
      "# comment line\r\n"
      "\r\n"
      "127.0.0.1 localhost\r\n"
      "10.1.1.1 wtpriv1 wtpriv1-alias # comment\r\n"
      "   #10.9.9.9 wtpriv2\r\n"        // indented comment: its address does not convert
      "10.2.2.2 WTPRIV2\r\n"            // names compare with case
      "255.255.255.255 wtpriv3\r\n"     // the error value cannot be stored
      "10.3.3.3 wtpriv3\r\n"
      "10.4.4.4\twtpriv4\r\n"           // tab separator
      "10.5.5.1 wtpriv5\r\n"
      "bogus wtpriv5\r\n"               // bad lines change nothing
      "wtpriv5\r\n"
      "10.5.5.9 wtpriv5"));             // last line without newline wins
  oracle::LoadHostsFileAddresses();
  EXPECT_EQ(PrivateAddress(0), Dotted(10, 1, 1, 1));
  EXPECT_EQ(PrivateAddress(1), 0u);
  EXPECT_EQ(PrivateAddress(2), Dotted(10, 3, 3, 3));
  EXPECT_EQ(PrivateAddress(3), Dotted(10, 4, 4, 4));
  EXPECT_EQ(PrivateAddress(4), Dotted(10, 5, 5, 9));
}

TEST(HostsFile, OnlyTheFirst79CharactersOfALineAreParsed) {
  Member(0, "racpriv1");
  Member(1, "racpriv2");
  PrivateRoot root("long");
  // Past column 79 of the first line stands what would look like an entry.
  std::string first = "10.1.1.1 racpriv1" + std::string(70, ' ') + "10.2.2.2 racpriv2\r\n";
  ASSERT_TRUE(WriteBytes(root.Hosts(), first + "10.5.5.5 racpriv1 " + std::string(90, 'x') + "\r\n"));
  oracle::LoadHostsFileAddresses();
  EXPECT_EQ(PrivateAddress(0), Dotted(10, 5, 5, 5));  // a long line's first chunk still counts
  EXPECT_EQ(PrivateAddress(1), 0u);
}

TEST(HostsFile, MissingFileChangesNothingAndIsReportedOnStandardOutput) {
  Member(0, "racpriv1");
  PrivateRoot root("missing");
  testing::internal::CaptureStdout();
  oracle::LoadHostsFileAddresses();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "The HOSTS file was not opened\n");
  EXPECT_EQ(PrivateAddress(0), 0u);
  // The file appears: the next load reads it.
  ASSERT_TRUE(WriteBytes(root.Hosts(), "10.6.6.6 racpriv1\r\n"));
  oracle::LoadHostsFileAddresses();
  EXPECT_EQ(PrivateAddress(0), Dotted(10, 6, 6, 6));
}

}  // namespace
}  // namespace velmon
