// The per-machine simulated file system: a name space of directories and
// files, the bytes of each file, and the share accounting of its opens.
//
// An OpenFile is one open of a file with its rights, share mode and position;
// it holds its share reservation until it is destroyed. A file removed from
// the name space lives on while opens of it exist.
//
// Rights and share modes are masks of the same three bits as FILE_SHARE_READ,
// FILE_SHARE_WRITE and FILE_SHARE_DELETE (kRead, kWrite, kDelete).
//
// Thread-safety: every member may be called from any thread. The name space
// lock is taken before a file's lock, never the other way round.
#ifndef VELPLAT_SRC_FILES_STORE_H
#define VELPLAT_SRC_FILES_STORE_H

#include <windows.h>
#include <winapi/files.h>

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <velplat/world.h>

#include "files_path.h"

namespace velplat::files {

enum Right : unsigned { kRead = FILE_SHARE_READ, kWrite = FILE_SHARE_WRITE, kDelete = FILE_SHARE_DELETE };
constexpr unsigned kAllRights = kRead | kWrite | kDelete;

enum class Disposition { CreateNew, CreateAlways, OpenExisting, OpenAlways, TruncateExisting };

// A file's bytes and the opens that share it.
struct FileNode {
  std::mutex mutex;
  std::string bytes;
  // Per right: how many opens hold it, and how many do not share it.
  unsigned holders[3] = {};
  unsigned refusers[3] = {};

  bool Admits(unsigned rights, unsigned share) const;
  void Reserve(unsigned rights, unsigned share);
  void Release(unsigned rights, unsigned share);
};

class OpenFile {
 public:
  OpenFile(std::shared_ptr<FileNode> node, unsigned rights, unsigned share);
  ~OpenFile();
  OpenFile(const OpenFile&) = delete;
  OpenFile& operator=(const OpenFile&) = delete;

  unsigned Rights() const { return rights_; }
  // The Win32 error of each operation, ERROR_SUCCESS when it succeeded.
  DWORD Read(void* buffer, DWORD count, DWORD& done);
  DWORD Write(const void* buffer, DWORD count, DWORD& done);
  // Moves by `distance` from the start, the position or the end (FILE_BEGIN,
  // FILE_CURRENT, FILE_END); a target beyond `limit` is refused and the
  // position stays.
  DWORD Seek(int64_t distance, DWORD method, uint64_t limit, uint64_t& position);
  uint64_t Size();
  // A copy of the file's bytes as they are now.
  std::string Snapshot();

 private:
  std::shared_ptr<FileNode> node_;
  unsigned rights_;
  unsigned share_;
  uint64_t position_ = 0;  // guarded by node_->mutex
};

struct OpenResult {
  DWORD error = ERROR_SUCCESS;
  std::unique_ptr<OpenFile> file;
  bool existed = false;  // the name was a file before the call
};

// The state of one machine (Machine::State<FileSystem>()).
class FileSystem {
 public:
  OpenResult Open(const WinPath& path, unsigned rights, unsigned share, Disposition disposition);
  // The Win32 error of each operation, ERROR_SUCCESS when it succeeded.
  DWORD Delete(const WinPath& path);
  DWORD CreateDirectory(const WinPath& path);
  DWORD Attributes(const WinPath& path, DWORD& attributes);

  // Control: puts a file with these bytes (replacing the bytes of an existing
  // one in place, whoever has it open), creating missing directories.
  DWORD Put(const WinPath& path, std::string_view bytes);
  // Control: creates the directory and any missing one above it.
  DWORD MakeDirectories(const WinPath& path);
  // Control: the bytes of a file, or nullopt.
  std::optional<std::string> Contents(const WinPath& path);
  // Control: removes a file whatever its opens; ERROR_FILE_NOT_FOUND or
  // ERROR_ACCESS_DENIED (a directory) when it cannot.
  DWORD Remove(const WinPath& path);
  // Control: removes an empty directory other than a drive root;
  // ERROR_DIR_NOT_EMPTY, ERROR_ACCESS_DENIED (a file or a root) or
  // ERROR_FILE_NOT_FOUND when it cannot.
  DWORD RemoveEmptyDirectory(const WinPath& path);
  // Control: every name, directories ending in '\\', in name order.
  std::vector<std::string> Listing();

 private:
  struct Entry {
    std::shared_ptr<FileNode> file;  // null for a directory
  };
  // Requires mutex_. ERROR_SUCCESS when the parent of `path` is a directory.
  DWORD CheckParentLocked(const WinPath& path) const;
  Entry* FindLocked(const WinPath& path);
  DWORD MakeDirectoriesLocked(const WinPath& path);

  std::mutex mutex_;
  std::map<std::string, Entry, NoCaseLess> entries_;
};

// The file system of `machine`, or of the local machine when null.
FileSystem& FileSystemOf(Machine* machine = nullptr);

// Parses `text` and runs `action(fs, path)` on the local machine's file
// system; a parse failure is returned without running it.
template <class Action>
DWORD WithLocalPath(const char* text, Action&& action) {
  if (!text) return ERROR_INVALID_PARAMETER;
  WinPath path;
  if (DWORD error = ParsePath(text, path)) return error;
  return action(FileSystemOf(), path);
}

}  // namespace velplat::files

#endif
