// A velmond started for one test: on a free loopback port (the daemon binds
// port 0 and says which port it got), with its stderr in a log file, stopped
// with SIGTERM when the test ends. SNMP tools run against it with the
// test's private net-snmp state.
//
// Thread-safety: use from one test thread.
#ifndef VELMOND_TESTS_DAEMON_H
#define VELMOND_TESTS_DAEMON_H

#include <memory>
#include <string>
#include <vector>

#include "host/support/process.h"

namespace velmond::testing {

// Paths baked in by the build.
std::string VelmondBinary();
std::string SourceDir();
std::string ExampleWorld(const std::string& name);

// The agent's view, as net-snmp's tools take it.
inline const std::string kView = ".1.3.6.1.4.1.32473.2.18.22.4.1";

// `text` with its first `from` replaced by `to`; a missing `from` fails the
// calling test.
std::string Replace(std::string text, const std::string& from, const std::string& to);

class Daemon {
 public:
  // Starts velmond with `args`; listens on udp:127.0.0.1:0 unless `args`
  // name --agentx. Started() tells whether it came up.
  Daemon(const TempDir& dir, const std::vector<std::string>& args);
  ~Daemon();

  bool Started() const { return started_; }
  // "127.0.0.1:40123"
  const std::string& Target() const { return target_; }
  std::string Log() const { return ReadText(logFile_); }
  // Waits for a log line containing `text`.
  bool WaitForLog(const std::string& text, std::chrono::milliseconds limit = std::chrono::seconds(5)) const;

  // `tool` (snmpwalk, snmpget, ...) with `args` and the target appended
  // before `objects`.
  ToolResult Snmp(const std::string& tool, const std::vector<std::string>& args,
                  const std::vector<std::string>& objects = {}) const;

  // SIGTERM; the exit code (-1 when it had to be killed).
  int Stop();
  // SIGKILL.
  void Kill();

 private:
  const TempDir& dir_;
  std::string logFile_;
  std::unique_ptr<Child> child_;
  std::string target_;
  bool started_ = false;
};

// Reports sanitizer findings a child wrote into its log.
bool HasSanitizerReport(const std::string& log);

}  // namespace velmond::testing

#endif
