// _fsopen: a glibc stream over a snapshot of a simulated file, holding a
// read open of the file (and its share mode) until fclose.
#include <share.h>
#include <windows.h>

#include <velplat/faults.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>

#include "files_store.h"

namespace {

using velplat::files::OpenFile;

struct Stream {
  std::string text;
  size_t position = 0;
  std::unique_ptr<OpenFile> open;  // the share reservation
};

// The Windows runtime's reading of a text-mode file: CR LF becomes LF, a lone
// CR stays, and Ctrl-Z ends the text.
std::string TextModeBytes(const std::string& bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    char c = bytes[i];
    if (c == '\x1A') break;
    if (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') continue;
    text.push_back(c);
  }
  return text;
}

ssize_t StreamRead(void* cookie, char* buffer, size_t size) {
  auto* stream = static_cast<Stream*>(cookie);
  size_t count = std::min(size, stream->text.size() - stream->position);
  std::memcpy(buffer, stream->text.data() + stream->position, count);
  stream->position += count;
  return static_cast<ssize_t>(count);
}

int StreamSeek(void* cookie, off64_t* offset, int whence) {
  auto* stream = static_cast<Stream*>(cookie);
  off64_t base = 0;
  switch (whence) {
    case SEEK_SET: base = 0; break;
    case SEEK_CUR: base = static_cast<off64_t>(stream->position); break;
    case SEEK_END: base = static_cast<off64_t>(stream->text.size()); break;
    default: errno = EINVAL; return -1;
  }
  off64_t target = base + *offset;
  if (target < 0) {
    errno = EINVAL;
    return -1;
  }
  stream->position = std::min(static_cast<size_t>(target), stream->text.size());
  *offset = static_cast<off64_t>(stream->position);
  return 0;
}

int StreamClose(void* cookie) {
  delete static_cast<Stream*>(cookie);
  return 0;
}

// The runtime's errno for a system error.
int ErrnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      return EACCES;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    default:
      return EINVAL;
  }
}

// The FILE_SHARE_ mask of a share flag, or -1 for an unknown flag.
int ShareModeOf(int shflag) {
  switch (shflag) {
    case _SH_DENYRW: return 0;
    case _SH_DENYWR: return FILE_SHARE_READ;
    case _SH_DENYRD: return FILE_SHARE_WRITE;
    case _SH_DENYNO: return FILE_SHARE_READ | FILE_SHARE_WRITE;
    case _SH_SECURE: return FILE_SHARE_READ;
    default: return -1;
  }
}

enum class Translation { Text, Binary };

// "r", "rt" or "rb".
bool ParseMode(const char* mode, Translation& translation) {
  if (mode[0] != 'r') return false;
  if (mode[1] == '\0') {
    translation = Translation::Text;
    return true;
  }
  if (mode[2] != '\0' || (mode[1] != 't' && mode[1] != 'b')) return false;
  translation = mode[1] == 'b' ? Translation::Binary : Translation::Text;
  return true;
}

FILE* Fail(int error) {
  errno = error;
  return nullptr;
}

}  // namespace

FILE* __cdecl _fsopen(const char* filename, const char* mode, int shflag) {
  if (auto error = velplat::faults::ConsumeCall("_fsopen")) return Fail(ErrnoOf(*error));
  Translation translation = Translation::Text;
  int share = ShareModeOf(shflag);
  if (!filename || !mode || share < 0 || !ParseMode(mode, translation)) return Fail(EINVAL);

  velplat::files::WinPath path;
  if (DWORD error = velplat::files::ParsePath(filename, path)) return Fail(ErrnoOf(error));
  auto opened = velplat::files::FileSystemOf().Open(path, velplat::files::kRead, static_cast<unsigned>(share),
                                                    velplat::files::Disposition::OpenExisting);
  if (opened.error != ERROR_SUCCESS) return Fail(ErrnoOf(opened.error));

  auto stream = std::make_unique<Stream>();
  std::string bytes = opened.file->Snapshot();
  stream->text = translation == Translation::Text ? TextModeBytes(bytes) : std::move(bytes);
  stream->open = std::move(opened.file);
  cookie_io_functions_t functions{StreamRead, nullptr, StreamSeek, StreamClose};
  FILE* file = fopencookie(stream.get(), "r", functions);
  if (!file) return Fail(ENOMEM);
  stream.release();  // owned by the FILE now; StreamClose frees it
  return file;
}
