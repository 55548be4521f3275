// The setup error reporter: message text, line, box, log.
#include "setup/setup_error.h"

#include "setup/setup_log.h"
#include "setup/silent_mode.h"

#include <cstdio>

namespace velsetup {
namespace {

// The system's text for a code, in a block the system allocates.
class SystemText {
 public:
  explicit SystemText(DWORD code) {
    FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<LPSTR>(&text_), 0,
                   nullptr);
  }
  ~SystemText() { LocalFree(text_); }
  SystemText(const SystemText&) = delete;
  SystemText& operator=(const SystemText&) = delete;
  const char* c_str() const { return text_ ? text_ : "Unknown error"; }

 private:
  LPSTR text_ = nullptr;
};

constexpr std::size_t kLineBuffer = 1024;

}  // namespace

std::string SetupErrorLine(const char* operation, DWORD code) {
  SystemText text(code);
  char line[kLineBuffer];
  // snprintf cuts a longer line at 1,023 characters and terminates it.
  std::snprintf(line, sizeof line, "Failed: %s. Error code: %u    message:  %s.", operation ? operation : "",
                static_cast<unsigned>(code), text.c_str());
  return line;
}

void ReportSetupError(const char* operation, DWORD code) {
  std::string line = SetupErrorLine(operation, code);
  if (SilentMode != 1) MessageBoxA(nullptr, line.c_str(), "Error", MB_OK | MB_ICONERROR);
  AppendSetupLogLine(line);
}

}  // namespace velsetup
