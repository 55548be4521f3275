// The engine state file: "engine-id 0x...", "boots N".
#include "host/snmp/engine_state.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace velmond {
namespace {

constexpr std::uint32_t kMaxBoots = 2147483647;

// RFC 3411 engine ID: the enterprise number with the top bit set, format 5
// (administratively assigned octets), then eight random octets.
std::vector<std::uint8_t> NewEngineId() {
  std::vector<std::uint8_t> id = {0x80, 0x00, 0x7E, 0xD9, 0x05};
  std::random_device random;
  for (int i = 0; i < 8; ++i) id.push_back(static_cast<std::uint8_t>(random()));
  return id;
}

bool ParseHex(const std::string& text, std::vector<std::uint8_t>& out) {
  if (text.size() < 2 || text.compare(0, 2, "0x") != 0 || text.size() % 2 != 0) return false;
  out.clear();
  for (std::size_t i = 2; i < text.size(); i += 2) {
    unsigned value = 0;
    if (std::sscanf(text.c_str() + i, "%2x", &value) != 1 || !std::isxdigit(static_cast<unsigned char>(text[i])) ||
        !std::isxdigit(static_cast<unsigned char>(text[i + 1]))) {
      return false;
    }
    out.push_back(static_cast<std::uint8_t>(value));
  }
  // SnmpEngineID is 5 to 32 octets.
  return out.size() >= 5 && out.size() <= 32;
}

bool ReadState(const std::string& file, EngineState& state, std::string& error) {
  std::error_code missing;
  if (!std::filesystem::exists(file, missing)) return true;  // a new engine
  std::ifstream in(file);
  if (!in) {
    error = file + ": cannot be read";
    return false;
  }
  std::string line;
  int number = 0;
  bool haveId = false, haveBoots = false;
  while (std::getline(in, line)) {
    ++number;
    if (line.empty() || line[0] == '#') continue;
    std::istringstream words(line);
    std::string key, value, extra;
    words >> key >> value;
    bool ok = !value.empty() && !(words >> extra);
    if (ok && key == "engine-id") {
      ok = ParseHex(value, state.engineId);
      haveId = ok;
    } else if (ok && key == "boots") {
      ok = value.find_first_not_of("0123456789") == std::string::npos && value.size() <= 10 &&
           std::stoull(value) <= kMaxBoots;
      if (ok) state.boots = static_cast<std::uint32_t>(std::stoul(value));
      haveBoots = ok;
    } else {
      ok = false;
    }
    if (!ok) {
      error = file + ":" + std::to_string(number) + ": not an engine state line (\"engine-id 0x...\" or \"boots N\")";
      return false;
    }
  }
  if (!haveId || !haveBoots) {
    error = file + ": incomplete engine state (needs engine-id and boots); remove it to start a new engine";
    return false;
  }
  return true;
}

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool WriteDurably(const std::string& dir, const std::string& file, const std::string& text, std::string& error) {
  std::string temporary = file + ".tmp";
  int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  bool ok = fd >= 0 && WriteAll(fd, text) && fsync(fd) == 0;
  int saved = errno;
  if (fd >= 0) ok = close(fd) == 0 && ok;
  if (ok) ok = rename(temporary.c_str(), file.c_str()) == 0;
  if (!ok) {
    error = file + ": cannot be written: " + std::strerror(ok ? errno : saved);
    unlink(temporary.c_str());
    return false;
  }
  // The rename itself is on disk once the folder is.
  int dirFd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    fsync(dirFd);
    close(dirFd);
  }
  return true;
}

}  // namespace

std::string EngineStateFile(const std::string& dir) { return (std::filesystem::path(dir) / "engine").string(); }

std::string HexEngineId(const std::vector<std::uint8_t>& id) {
  std::string text = "0x";
  char digits[3];
  for (std::uint8_t octet : id) {
    std::snprintf(digits, sizeof(digits), "%02x", octet);
    text += digits;
  }
  return text;
}

bool AdvanceEngineState(const std::string& dir, EngineState& state, std::string& error) {
  std::error_code made;
  std::filesystem::create_directories(dir, made);
  if (made || !std::filesystem::is_directory(dir)) {
    error = dir + ": cannot make the state folder" + (made ? ": " + made.message() : std::string());
    return false;
  }
  std::string file = EngineStateFile(dir);
  state = EngineState{};
  if (!ReadState(file, state, error)) return false;
  if (state.engineId.empty()) state.engineId = NewEngineId();
  if (state.boots < kMaxBoots) ++state.boots;
  std::string text = "# velmond's SNMPv3 engine; rewritten at every start\nengine-id " + HexEngineId(state.engineId) +
                     "\nboots " + std::to_string(state.boots) + "\n";
  return WriteDurably(dir, file, text, error);
}

}  // namespace velmond
