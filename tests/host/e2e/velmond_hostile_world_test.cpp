// Breaking the world file under a running velmond, one way after another:
// bad TOML, a wrong type, an unknown machine, a key given twice, a file cut
// off mid-write, the file removed, a .reg file that is not there. Each edit
// is reported once with file and line and ignored; the agent answers as
// before; a good edit afterwards, or the missing .reg file appearing, is
// applied.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "host/support/daemon.h"

namespace velmond::testing {
namespace {

int LineOf(const std::string& text, const std::string& marker) {
  auto at = text.find(marker);
  EXPECT_NE(at, std::string::npos) << marker;
  return 1 + static_cast<int>(std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(std::min(at, text.size())), '\n'));
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t count = 0;
  for (auto at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++count;
  return count;
}

// The two-member cluster with member racnode2 renamed racnode3 (a machine of
// that name answering for it): once applied, the node table shows it.
std::string Renamed(const std::string& text) {
  std::string renamed = Replace(text, "PublicNodeNames = [\"racnode1\", \"racnode2\"]",
                                "PublicNodeNames = [\"racnode1\", \"racnode3\"]");
  renamed = Replace(renamed, "[machine.racnode2]\naddresses = [\"192.0.2.12\"]", "[machine.racnode3]\naddresses = [\"192.0.2.13\"]");
  for (const char* part : {"registry.'HKLM", "files]", "services.", "accounts."}) {
    renamed = Replace(renamed, std::string("[machine.racnode2.") + part, std::string("[machine.racnode3.") + part);
  }
  return renamed;
}

// Written in place, as a program that is interrupted leaves it.
void WriteInPlace(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
}

TEST(HostileWorld, BrokenEditsAreReportedWithTheirLineAndIgnoredUntilAGoodOne) {
  if (!VELMOND_ORACLE_TESTS) GTEST_SKIP() << "needs the Oracle RAC back-end";
  TempDir dir;
  std::string world = dir.File("world.toml");
  std::string text = ReadText(ExampleWorld("oracle-rac-2.toml"));
  WriteText(world, text);
  Daemon daemon(dir, {"--world", world});
  ASSERT_TRUE(daemon.Started()) << daemon.Log();
  auto nodeNames = [&] {
    return daemon.Snmp("snmpwalk", {"-v2c", "-c", "public", "-On", "-Oqv"}, {kView + ".1.2.11.1.2"}).out;
  };
  const std::string before = "\"racnode1\"\n\"racnode2\"\n";
  ASSERT_TRUE(WaitUntil([&] { return nodeNames() == before; }, std::chrono::seconds(15))) << nodeNames();
  std::string walk = daemon.Snmp("snmpwalk", {"-v2c", "-c", "public", "-On"}, {kView}).out;
  auto start = std::chrono::steady_clock::now();

  std::string renamed = Renamed(text);
  std::string firstMachine = "[machine.racnode1]\n";
  struct Edit {
    std::string what;
    std::string text;    // empty: the file is removed
    int line;            // 0: no line to name
    std::string reason;  // part of the message
  };
  std::vector<Edit> edits;
  {
    std::string broken = renamed + "\n[machine.racnode1.environment]\nTEMP = \"C:\\TEMP\n";
    edits.push_back({"bad TOML", broken, LineOf(broken, "TEMP = "), ""});
  }
  {
    std::string typed = Replace(renamed, firstMachine, firstMachine + "connect_ms = \"soon\"\n");
    edits.push_back({"wrong type", typed, LineOf(typed, "connect_ms = "), "connect_ms must be a whole number"});
  }
  {
    std::string ghost = "local = \"ghost\"\n" + renamed;
    edits.push_back({"unknown machine", ghost, 1, "no machine of the world"});
  }
  {
    std::string twice = Replace(renamed, "HostName = \"racnode1\"\n", "HostName = \"racnode1\"\nHostName = \"racnode3\"\n");
    edits.push_back({"duplicate key", twice, LineOf(twice, "HostName = \"racnode3\""), ""});
  }
  {
    // Cut off inside an address string, as a crashed editor leaves it; the
    // string runs into the end of the file, which is where it is reported.
    std::string cut = renamed.substr(0, renamed.find("192.0.2.13") + 6);
    edits.push_back({"truncated mid-write", cut, 1 + static_cast<int>(std::count(cut.begin(), cut.end(), '\n')),
                     "end-of-file"});
  }
  edits.push_back({"removed", "", 0, "cannot be read"});
  {
    std::string regs = Replace(renamed, firstMachine, firstMachine + "reg_files = [\"extra.reg\"]\n");
    edits.push_back({"missing .reg file", regs, LineOf(regs, "reg_files = "), "cannot read the .reg file " + dir.File("extra.reg")});
  }

  std::size_t ignored = 0;
  for (const Edit& edit : edits) {
    SCOPED_TRACE(edit.what);
    if (edit.text.empty()) {
      std::filesystem::remove(world);
    } else if (edit.what == "truncated mid-write") {
      WriteInPlace(world, edit.text);
    } else {
      WriteText(world, edit.text);
    }
    ++ignored;
    ASSERT_TRUE(WaitUntil([&] { return Count(daemon.Log(), "world edit ignored") >= ignored; }, std::chrono::seconds(10)))
        << daemon.Log();
    std::string log = daemon.Log();
    std::string message = log.substr(log.rfind("world edit ignored"));
    message = message.substr(0, message.find('\n'));
    EXPECT_EQ(Count(log, "world edit ignored"), ignored) << "reported more than once:\n" << log;
    std::string where = world + (edit.line > 0 ? ":" + std::to_string(edit.line) + ":" : ":");
    EXPECT_NE(message.find(where), std::string::npos) << message << "\nexpected " << where;
    EXPECT_NE(message.find(edit.reason), std::string::npos) << message;
    EXPECT_EQ(nodeNames(), before);
    if (edit.text.empty()) {
      // Back as it was: loaded again, which changes nothing.
      WriteText(world, text);
      EXPECT_TRUE(daemon.WaitForLog("changed: 0 change(s) applied", std::chrono::seconds(10))) << daemon.Log();
    }
  }
  EXPECT_EQ(Count(daemon.Log(), "changed: 0 change(s) applied"), 1u) << daemon.Log();
  EXPECT_EQ(daemon.Snmp("snmpwalk", {"-v2c", "-c", "public", "-On"}, {kView}).out, walk);

  // The missing .reg file appears: the world that names it now loads, and
  // the rename in it reaches the agent.
  WriteText(dir.File("extra.reg"), "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Velmora\\Extra]\r\n\"Note\"=\"added\"\r\n");
  EXPECT_TRUE(daemon.WaitForLog("world file " + world + " changed:", std::chrono::seconds(10))) << daemon.Log();
  EXPECT_TRUE(WaitUntil([&] { return nodeNames().find("\"racnode3\"") != std::string::npos; }, std::chrono::seconds(10)))
      << nodeNames() << daemon.Log();
  EXPECT_EQ(Count(daemon.Log(), "world edit ignored"), ignored);
  auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  std::printf("[ hostile  ] %zu broken edits and the repair in %lld ms\n", edits.size(),
              static_cast<long long>(took.count()));
  EXPECT_EQ(daemon.Stop(), 0);
  EXPECT_FALSE(HasSanitizerReport(daemon.Log())) << daemon.Log();
}

}  // namespace
}  // namespace velmond::testing
