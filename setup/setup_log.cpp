// Appending to the setup log, creating it when the product's installer has
// not.
#include "setup/setup_log.h"

#include "setup/shared_file.h"
#include "setup/silent_mode.h"

#include <windows.h>

namespace velsetup {
namespace {

constexpr char kLogFile[] = "\\vlmsystem\\log\\vlmsetup.log";

std::string WindowsDirectory() {
  char directory[MAX_PATH + 1] = "";
  UINT length = GetWindowsDirectoryA(directory, sizeof directory);
  if (length == 0 || length >= sizeof directory) return {};
  return directory;
}

// The log or a folder above it did not exist: make every missing folder of
// the path, then the file.
DWORD CreateLog(SharedFile& file, const std::string& path) {
  for (auto slash = path.find('\\', 3); slash != std::string::npos; slash = path.find('\\', slash + 1)) {
    std::string folder = path.substr(0, slash);
    if (!CreateDirectoryA(folder.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return GetLastError();
  }
  return file.Open(path, SharedFile::Disposition::OpenOrCreate);
}

void ShowLogFileError(const std::string& path, DWORD error) {
  if (SilentMode == 1) return;
  char text[1024] = "";
  FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                 MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), text, sizeof text, nullptr);
  std::string message = path + "\r\n" + (text[0] ? text : "Unknown error");
  MessageBoxA(nullptr, message.c_str(), "LogFile Error", MB_OK | MB_ICONERROR);
}

}  // namespace

std::string SetupLogPath() { return WindowsDirectory() + kLogFile; }

void AppendSetupLogLine(std::string_view line) {
  std::string path = SetupLogPath();
  SharedFile file;
  DWORD error = file.Open(path, SharedFile::Disposition::OpenExisting);
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) error = CreateLog(file, path);
  if (error != NO_ERROR) {
    ShowLogFileError(path, error);
    return;
  }
  std::string record(line);
  record += "\r\n";
  file.Append(record);
}

}  // namespace velsetup
