// Serialised lines on standard error.
#include "host/log.h"

#include <cstdio>
#include <mutex>
#include <string>

namespace velmond {
namespace {
std::mutex& Mutex() {
  static std::mutex mutex;
  return mutex;
}
}  // namespace

void LogRaw(std::string_view line) {
  std::string text(line);
  text += '\n';
  std::lock_guard lock(Mutex());
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

void Log(std::string_view text) { LogRaw(std::string("velmond: ") + std::string(text)); }

}  // namespace velmond
