// C++ control of the simulated file systems.
#include <velplat/files.h>

#include "files_store.h"

namespace velplat::files {

DWORD PutFile(std::string_view path, std::string_view bytes, Machine* machine) {
  WinPath parsed;
  if (DWORD error = ParsePath(path, parsed)) return error;
  return FileSystemOf(machine).Put(parsed, bytes);
}

std::optional<std::string> FileContents(std::string_view path, Machine* machine) {
  WinPath parsed;
  if (ParsePath(path, parsed) != ERROR_SUCCESS) return std::nullopt;
  return FileSystemOf(machine).Contents(parsed);
}

DWORD RemoveFile(std::string_view path, Machine* machine) {
  WinPath parsed;
  if (DWORD error = ParsePath(path, parsed)) return error;
  return FileSystemOf(machine).Remove(parsed);
}

DWORD RemoveEmptyDirectory(std::string_view path, Machine* machine) {
  WinPath parsed;
  if (DWORD error = ParsePath(path, parsed)) return error;
  return FileSystemOf(machine).RemoveEmptyDirectory(parsed);
}

std::vector<std::string> Listing(Machine* machine) { return FileSystemOf(machine).Listing(); }

DWORD MakeDirectories(std::string_view path, Machine* machine) {
  WinPath parsed;
  if (DWORD error = ParsePath(path, parsed)) return error;
  return FileSystemOf(machine).MakeDirectories(parsed);
}

}  // namespace velplat::files
