// The HOSTS file parser and the public-name resolver pass.
#include "backends/oracle/host_resolution.h"
#include "backends/oracle/support/oracle_world.h"
#include "discovery/member_table.h"

#include <gtest/gtest.h>
#include <velplat/faults.h>

#include <cstring>
#include <string>

namespace velmon {
namespace {

DWORD Dotted(BYTE a, BYTE b, BYTE c, BYTE d) {
  DWORD value = 0;
  BYTE bytes[4] = {a, b, c, d};
  std::memcpy(&value, bytes, 4);
  return value;
}

void Member(int position, const char* privateName, const char* publicName) {
  auto lock = LockMemberTable();
  MemberTable[position].memberNumber = position + 1;
  StoreMemberName(MemberTable[position].name, privateName);
  StoreMemberName(MemberTable[position].publicName, publicName);
}

DWORD PrivateAddress(int position) {
  auto lock = LockMemberTable();
  return MemberTable[position].address;
}

DWORD PublicAddress(int position) {
  auto lock = LockMemberTable();
  return MemberTable[position].publicAddress;
}

TEST(HostsFile, LinesNameMembersByTheirExactPrivateName) {
  Member(0, "racpriv1", "rac1");
  Member(1, "racpriv2", "rac2");
  Member(2, "racpriv3", "rac3");
  Member(3, "racpriv4", "rac4");
  test::WriteHostsFile(
      "# comment line\r\n"
      "\r\n"
      "10.1.1.1 racpriv1 racpriv1-alias # comment\r\n"
      "   #10.9.9.9 racpriv2\r\n"          // indented: split, and its address does not convert
      "10.2.2.2 RACPRIV2\r\n"              // names compare with case
      "255.255.255.255 racpriv3\r\n"       // the error value cannot be stored
      "10.3 racpriv3\r\n"                  // short dotted form
      "10.4.4.4\tracpriv4");              // tab separator, last line without newline
  oracle::LoadHostsFileAddresses();
  EXPECT_EQ(PrivateAddress(0), Dotted(10, 1, 1, 1));
  EXPECT_EQ(PrivateAddress(1), 0u);
  EXPECT_EQ(PrivateAddress(2), Dotted(10, 0, 0, 3));
  EXPECT_EQ(PrivateAddress(3), Dotted(10, 4, 4, 4));
}

TEST(HostsFile, LastValidLineWinsAndBadLinesChangeNothing) {
  Member(0, "racpriv1", "rac1");
  {
    auto lock = LockMemberTable();
    MemberTable[0].address = Dotted(1, 1, 1, 1);
  }
  test::WriteHostsFile("10.1.1.1 racpriv1\n10.1.1.9 racpriv1\nbogus racpriv1\nracpriv1\n10.7.7.7 unknown\n");
  oracle::LoadHostsFileAddresses();
  EXPECT_EQ(PrivateAddress(0), Dotted(10, 1, 1, 9));
}

TEST(HostsFile, OnlyTheFirst79CharactersOfALineAreParsed) {
  Member(0, "racpriv1", "rac1");
  Member(1, "racpriv2", "rac2");
  // Past column 79 of the first line stands what would look like an entry.
  std::string first = "10.1.1.1 racpriv1" + std::string(70, ' ') + "10.2.2.2 racpriv2\n";
  test::WriteHostsFile(first + "10.5.5.5 racpriv1 " + std::string(90, 'x') + "\n");
  oracle::LoadHostsFileAddresses();
  EXPECT_EQ(PrivateAddress(0), Dotted(10, 5, 5, 5));  // a long line's first chunk still counts
  EXPECT_EQ(PrivateAddress(1), 0u);
}

TEST(HostsFile, MissingFileIsReportedOnStandardOutputOnly) {
  Member(0, "racpriv1", "rac1");
  testing::internal::CaptureStdout();
  oracle::LoadHostsFileAddresses();
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "The HOSTS file was not opened\n");
  EXPECT_EQ(PrivateAddress(0), 0u);
}

TEST(HostsFile, PathFollowsSystemRootOrDefaultsToWinNT) {
  Member(0, "racpriv1", "rac1");
  velplat::World::Get().Local().UnsetEnv("SystemRoot");
  test::WriteHostsFile("10.1.1.1 racpriv1\n");  // under C:\WINNT: the same folder, names ignore case
  oracle::LoadHostsFileAddresses();
  EXPECT_EQ(PrivateAddress(0), Dotted(10, 1, 1, 1));
  std::string longRoot = "C:\\" + std::string(300, 'r');
  velplat::World::Get().Local().SetEnv("SystemRoot", longRoot);
  test::PutLocalFile(longRoot + "\\System32\\drivers\\etc\\hosts", "10.6.6.6 racpriv1\n");
  oracle::LoadHostsFileAddresses();
  EXPECT_EQ(PrivateAddress(0), Dotted(10, 6, 6, 6));
}

TEST(PublicAddresses, ResolveFromTheStartPositionUntilAnEmptyName) {
  test::MakeOracleMembers({{"rac1", "p1", "192.0.2.1"}, {"rac2", "p2", "192.0.2.2"}, {"rac3", "p3", "192.0.2.3"}});
  Member(0, "p1", "rac1");
  Member(1, "p2", "rac2");
  Member(2, "p3", "nosuchhost.invalid");
  {
    auto lock = LockMemberTable();
    MemberTable[2].publicAddress = Dotted(9, 9, 9, 9);
    MemberTable[3].memberNumber = 0;  // the walk ignores memberNumber: it stops at the empty name
  }
  oracle::ResolvePublicAddresses(1);
  EXPECT_EQ(PublicAddress(0), 0u);  // before the start position
  EXPECT_EQ(PublicAddress(1), Dotted(192, 0, 2, 2));
  EXPECT_EQ(PublicAddress(2), 0u);  // does not resolve
  oracle::ResolvePublicAddresses(0);
  EXPECT_EQ(PublicAddress(0), Dotted(192, 0, 2, 1));
}

TEST(PublicAddresses, SocketStartUpFailureChangesNothing) {
  test::MakeOracleMembers({{"rac1", "p1", "192.0.2.1"}});
  Member(0, "p1", "rac1");
  {
    auto lock = LockMemberTable();
    MemberTable[0].publicAddress = 0x04030201;  // an earlier answer, kept
  }
  velplat::faults::FailCall("WSAStartup", 10091);
  oracle::ResolvePublicAddresses(0);
  EXPECT_EQ(PublicAddress(0), 0x04030201u);
}

}  // namespace
}  // namespace velmon
