// Child processes for velmond's end-to-end tests: the daemon and snmpd or
// snmptrapd run in the background and are always ended (SIGKILL if need be)
// when their handle goes; command-line tools run to completion with a time
// limit. Tools get a private net-snmp state folder and no configuration from
// /etc, so that no test writes outside its own temporary folder.
//
// Thread-safety: use from one test thread.
#ifndef VELMOND_TESTS_PROCESS_H
#define VELMOND_TESTS_PROCESS_H

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace velmond::testing {

// A temporary folder, removed with everything in it.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Environment entries every child gets on top of the test's own.
std::vector<std::string> ToolEnvironment(const TempDir& state);

class Child {
 public:
  // Starts argv[0] with stdout and stderr appended to `logFile`.
  Child(const std::vector<std::string>& argv, const std::vector<std::string>& environment, const std::string& logFile);
  ~Child();
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;

  bool Running();
  // SIGTERM, then waits; the exit code, or -1 when it had to be killed or
  // died of a signal.
  int Terminate(std::chrono::milliseconds patience = std::chrono::seconds(10));
  // SIGKILL, then waits: a crash that leaves no chance to clean up.
  void Kill();

 private:
  int pid_ = -1;
  int status_ = 0;
  bool reaped_ = false;
};

struct ToolResult {
  int exitCode = -1;  // -1 on time-out
  std::string out;
  std::string err;
};
ToolResult RunTool(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                   std::chrono::milliseconds limit = std::chrono::seconds(20));

std::string ReadText(const std::string& path);
void WriteText(const std::string& path, const std::string& text);
// Polls until `ready` holds or `limit` passes.
bool WaitUntil(const std::function<bool()>& ready, std::chrono::milliseconds limit);
// A loopback UDP port that was free a moment ago.
int FreeUdpPort();

}  // namespace velmond::testing

#endif
