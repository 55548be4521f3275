// A velmond per test.
#include "host/support/daemon.h"

#include <gtest/gtest.h>

#include <regex>

namespace velmond::testing {

std::string VelmondBinary() { return VELMOND_BINARY; }
std::string SourceDir() { return VELMON_SOURCE_DIR; }
std::string ExampleWorld(const std::string& name) { return SourceDir() + "/examples/worlds/" + name; }

Daemon::Daemon(const TempDir& dir, const std::vector<std::string>& args)
    : dir_(dir), logFile_(dir.File("velmond.log")) {
  std::vector<std::string> argv{VelmondBinary()};
  bool agentx = false;
  for (const std::string& a : args) agentx = agentx || a == "--agentx";
  if (!agentx) {
    argv.push_back("--listen");
    argv.push_back("udp:127.0.0.1:0");
  }
  argv.insert(argv.end(), args.begin(), args.end());
  child_ = std::make_unique<Child>(argv, std::vector<std::string>{"TMPDIR=" + dir.path()}, logFile_);
  if (agentx) {
    started_ = WaitForLog("AgentX subagent of");
    return;
  }
  std::smatch match;
  std::regex listening("listening on udp:127\\.0\\.0\\.1:([0-9]+)");
  started_ = WaitUntil(
      [&] {
        std::string log = Log();
        if (!std::regex_search(log, match, listening)) return !child_->Running();
        target_ = "127.0.0.1:" + match[1].str();
        return true;
      },
      std::chrono::seconds(10)) &&
             !target_.empty();
}

Daemon::~Daemon() { Stop(); }

bool Daemon::WaitForLog(const std::string& text, std::chrono::milliseconds limit) const {
  return WaitUntil([&] { return Log().find(text) != std::string::npos; }, limit);
}

ToolResult Daemon::Snmp(const std::string& tool, const std::vector<std::string>& args,
                        const std::vector<std::string>& objects) const {
  std::vector<std::string> argv{tool};
  argv.insert(argv.end(), args.begin(), args.end());
  argv.push_back(target_);
  argv.insert(argv.end(), objects.begin(), objects.end());
  return RunTool(argv, ToolEnvironment(dir_));
}

int Daemon::Stop() {
  if (!child_) return -1;
  int code = child_->Terminate();
  child_.reset();
  return code;
}

void Daemon::Kill() {
  if (child_) child_->Kill();
  child_.reset();
}

bool HasSanitizerReport(const std::string& log) {
  return log.find("Sanitizer") != std::string::npos || log.find("runtime error:") != std::string::npos;
}

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  auto at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

}  // namespace velmond::testing
