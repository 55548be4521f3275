// SharedFile: a file opened for reading and writing that shares both with
// every other opener and is never truncated, closed on scope exit (the small
// part of the framework's file class that the setup log needs).
// Thread-safety: one owner.
#ifndef VELSETUP_SHARED_FILE_H
#define VELSETUP_SHARED_FILE_H

#include <windows.h>

#include <string>
#include <string_view>

namespace velsetup {

class SharedFile {
 public:
  enum class Disposition { OpenExisting, OpenOrCreate };

  SharedFile() = default;
  ~SharedFile();
  SharedFile(const SharedFile&) = delete;
  SharedFile& operator=(const SharedFile&) = delete;

  // 0, or the system error code of the failed open.
  DWORD Open(const std::string& path, Disposition disposition);
  // Writes `bytes` at the file's current end; 0 or the system error code.
  DWORD Append(std::string_view bytes);

 private:
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

}  // namespace velsetup

#endif
