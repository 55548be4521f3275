// Environment strings of the local machine: %NAME% expansion with the
// Windows size conventions, and single variables.
#include <windows.h>

#include <velplat/world.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

class Environment : public ::testing::Test {
 protected:
  void SetUp() override { velplat::World::Get().Reset(); }

  static std::string Expand(const char* source) {
    char buffer[512];
    DWORD size = ExpandEnvironmentStringsA(source, buffer, sizeof buffer);
    EXPECT_GT(size, 0u);
    EXPECT_EQ(std::strlen(buffer) + 1, size) << source;
    return buffer;
  }
};

TEST_F(Environment, ExpansionReplacesSetNamesAndKeepsEverythingElse) {
  EXPECT_EQ("C:\\WINNT\\System32\\velmon.dll", Expand("%SystemRoot%\\System32\\velmon.dll"));
  EXPECT_EQ("C:\\WINNT", Expand("%SYSTEMROOT%"));
  EXPECT_EQ("%Unset%\\x", Expand("%Unset%\\x"));
  EXPECT_EQ("100%", Expand("100%"));
  EXPECT_EQ("%%", Expand("%%"));
  // Scanning goes on after the closing '%' of an unset name, so the '%' that
  // closed "%b %" cannot open the next reference.
  EXPECT_EQ("a%b %SystemDrive%", Expand("a%b %SystemDrive%"));
  EXPECT_EQ("%Unset%C:%", Expand("%Unset%%SystemDrive%%"));
  EXPECT_EQ("", Expand(""));

  velplat::World::Get().Local().SetEnv("Nested", "%SystemRoot%");
  EXPECT_EQ("%SystemRoot%", Expand("%Nested%")) << "values are not expanded again";
}

TEST_F(Environment, ExpansionSizesCountTheTerminator) {
  const char* source = "%SystemRoot%\\x";  // C:\WINNT\x is 10 characters
  EXPECT_EQ(11u, ExpandEnvironmentStringsA(source, nullptr, 0));

  char buffer[16];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(11u, ExpandEnvironmentStringsA(source, buffer, 10));
  EXPECT_EQ('#', buffer[0]) << "a buffer one short gets no result";

  EXPECT_EQ(11u, ExpandEnvironmentStringsA(source, buffer, 11));
  EXPECT_STREQ("C:\\WINNT\\x", buffer);
}

TEST_F(Environment, GetEnvironmentVariableFollowsWindowsReturnConventions) {
  char buffer[16];
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(9u, GetEnvironmentVariableA("windir", buffer, 8)) << "needed size, terminator included";
  EXPECT_EQ('#', buffer[0]);
  EXPECT_EQ(8u, GetEnvironmentVariableA("WINDIR", buffer, 9)) << "length, terminator excluded";
  EXPECT_STREQ("C:\\WINNT", buffer);
  EXPECT_EQ(9u, GetEnvironmentVariableA("windir", nullptr, 0));

  SetLastError(0);
  EXPECT_EQ(0u, GetEnvironmentVariableA("NoSuchVariable", buffer, sizeof buffer));
  EXPECT_EQ(static_cast<DWORD>(ERROR_ENVVAR_NOT_FOUND), GetLastError());
}

TEST_F(Environment, SetEnvironmentVariableSetsReplacesAndRemoves) {
  ASSERT_TRUE(SetEnvironmentVariableA("ORACLE_HOME", "D:\\ora"));
  EXPECT_EQ("D:\\ora\\bin", Expand("%oracle_home%\\bin"));
  ASSERT_TRUE(SetEnvironmentVariableA("oracle_home", "E:\\ora"));
  EXPECT_EQ("E:\\ora", Expand("%ORACLE_HOME%"));
  ASSERT_TRUE(SetEnvironmentVariableA("ORACLE_HOME", nullptr));
  EXPECT_EQ("%ORACLE_HOME%", Expand("%ORACLE_HOME%"));

  SetLastError(0);
  EXPECT_FALSE(SetEnvironmentVariableA("A=B", "x"));
  EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
  EXPECT_FALSE(SetEnvironmentVariableA("", "x"));

  // Variables belong to the local machine.
  ASSERT_TRUE(SetEnvironmentVariableA("ONLY_HERE", "1"));
  velplat::World::Get().SetLocal("OTHERHOST");
  EXPECT_EQ("%ONLY_HERE% OTHERHOST", Expand("%ONLY_HERE% %COMPUTERNAME%"));
}

}  // namespace
