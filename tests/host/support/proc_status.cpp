// Reading /proc for the daemon's identity and size.
#include "host/support/proc_status.h"

#include <filesystem>
#include <sstream>

#include "host/support/process.h"

namespace velmond::testing {
namespace {

// NUL-separated fields of a /proc file.
bool HasField(const std::string& fields, const std::string& wanted) {
  std::size_t at = 0;
  while (at < fields.size()) {
    std::size_t end = fields.find('\0', at);
    if (end == std::string::npos) end = fields.size();
    if (fields.compare(at, end - at, wanted) == 0) return true;
    at = end + 1;
  }
  return false;
}

}  // namespace

int FindProcess(const std::string& binary, const std::string& tmpdir) {
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
    std::string name = entry.path().filename().string();
    if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) continue;
    std::string command = ReadText(entry.path().string() + "/cmdline");
    if (command.compare(0, command.find('\0'), binary) != 0) continue;
    if (HasField(ReadText(entry.path().string() + "/environ"), "TMPDIR=" + tmpdir)) return std::stoi(name);
  }
  return -1;
}

namespace {

long StatusField(int pid, const std::string& field) {
  std::istringstream status(ReadText("/proc/" + std::to_string(pid) + "/status"));
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field, 0) == 0) return std::stol(line.substr(field.size()));
  }
  return -1;
}

}  // namespace

long ResidentKiB(int pid) { return StatusField(pid, "VmRSS:"); }
long ThreadCount(int pid) { return StatusField(pid, "Threads:"); }

}  // namespace velmond::testing
