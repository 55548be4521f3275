// HOSTS files with bytes a text editor would not write, replayed from the
// fuzzer's findings (fuzz/corpus/hosts_file/ holds the same inputs).
#include "backends/oracle/host_resolution.h"
#include "backends/oracle/support/oracle_world.h"
#include "discovery/member_table.h"

#include <gtest/gtest.h>

#include <string>

namespace velmon {
namespace {

void Member(int position, const char* privateName) {
  auto lock = LockMemberTable();
  MemberTable[position].memberNumber = position + 1;
  StoreMemberName(MemberTable[position].name, privateName);
  StoreMemberName(MemberTable[position].publicName, ("rac" + std::to_string(position + 1)).c_str());
}

DWORD PrivateAddress(int position) {
  auto lock = LockMemberTable();
  return MemberTable[position].address;
}

TEST(HostileHostsFile, ZeroBytesDoNotTurnTheRestOfALongLineIntoEntries) {
  Member(0, "racpriv1");
  Member(1, "racpriv2");
  // One line of 173 bytes: zero bytes from column 24 on, and past column 158
  // text that reads like an entry when taken as a line of its own.
  std::string line = "10.1.1.1 racprxxxxxxxxx";
  line += std::string(155 - line.size(), '\0');
  line[117] = '\x01';
  line[118] = 'c';
  line += "02.1.1.2 racpriv2\n";
  ASSERT_EQ(line.size(), 173u);
  test::WriteHostsFile(line + "10.0.0.1 racpriv1\n");
  oracle::LoadHostsFileAddresses();
  EXPECT_EQ(PrivateAddress(1), 0u);           // nothing in the line names racpriv2
  EXPECT_EQ(PrivateAddress(0), 0x0100000Au);  // the next line is read as usual
}

}  // namespace
}  // namespace velmon
