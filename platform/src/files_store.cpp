// The per-machine simulated file system and the share accounting of opens.
#include "files_store.h"

#include <algorithm>
#include <cstring>

namespace velplat::files {

namespace {

// No simulated file grows beyond this; a write past it fails as a full disk.
constexpr uint64_t kMaxFileSize = uint64_t{1} << 30;

constexpr unsigned kRightBits[3] = {kRead, kWrite, kDelete};

}  // namespace

bool FileNode::Admits(unsigned rights, unsigned share) const {
  if ((rights & kAllRights) == 0) return true;
  for (int i = 0; i < 3; ++i) {
    unsigned bit = kRightBits[i];
    if ((rights & bit) && refusers[i] > 0) return false;
    if (!(share & bit) && holders[i] > 0) return false;
  }
  return true;
}

void FileNode::Reserve(unsigned rights, unsigned share) {
  if ((rights & kAllRights) == 0) return;
  for (int i = 0; i < 3; ++i) {
    if (rights & kRightBits[i]) ++holders[i];
    if (!(share & kRightBits[i])) ++refusers[i];
  }
}

void FileNode::Release(unsigned rights, unsigned share) {
  if ((rights & kAllRights) == 0) return;
  for (int i = 0; i < 3; ++i) {
    if (rights & kRightBits[i]) --holders[i];
    if (!(share & kRightBits[i])) --refusers[i];
  }
}

OpenFile::OpenFile(std::shared_ptr<FileNode> node, unsigned rights, unsigned share)
    : node_(std::move(node)), rights_(rights), share_(share) {}

OpenFile::~OpenFile() {
  std::lock_guard lock(node_->mutex);
  node_->Release(rights_, share_);
}

DWORD OpenFile::Read(void* buffer, DWORD count, DWORD& done) {
  done = 0;
  if (!(rights_ & kRead)) return ERROR_ACCESS_DENIED;
  std::lock_guard lock(node_->mutex);
  const std::string& bytes = node_->bytes;
  if (position_ >= bytes.size()) return ERROR_SUCCESS;
  done = static_cast<DWORD>(std::min<uint64_t>(count, bytes.size() - position_));
  std::memcpy(buffer, bytes.data() + position_, done);
  position_ += done;
  return ERROR_SUCCESS;
}

DWORD OpenFile::Write(const void* buffer, DWORD count, DWORD& done) {
  done = 0;
  if (!(rights_ & kWrite)) return ERROR_ACCESS_DENIED;
  std::lock_guard lock(node_->mutex);
  std::string& bytes = node_->bytes;
  uint64_t end = position_ + count;
  if (end > kMaxFileSize) return ERROR_DISK_FULL;
  if (end > bytes.size()) bytes.resize(end, '\0');
  std::memcpy(bytes.data() + position_, buffer, count);
  position_ = end;
  done = count;
  return ERROR_SUCCESS;
}

DWORD OpenFile::Seek(int64_t distance, DWORD method, uint64_t limit, uint64_t& position) {
  std::lock_guard lock(node_->mutex);
  int64_t base = 0;
  switch (method) {
    case FILE_BEGIN: base = 0; break;
    case FILE_CURRENT: base = static_cast<int64_t>(position_); break;
    case FILE_END: base = static_cast<int64_t>(node_->bytes.size()); break;
    default: return ERROR_INVALID_PARAMETER;
  }
  if (distance < -base) return ERROR_NEGATIVE_SEEK;
  if (distance > INT64_MAX - base) return ERROR_INVALID_PARAMETER;
  int64_t target = base + distance;
  if (static_cast<uint64_t>(target) > limit) return ERROR_INVALID_PARAMETER;
  position_ = static_cast<uint64_t>(target);
  position = position_;
  return ERROR_SUCCESS;
}

uint64_t OpenFile::Size() {
  std::lock_guard lock(node_->mutex);
  return node_->bytes.size();
}

std::string OpenFile::Snapshot() {
  std::lock_guard lock(node_->mutex);
  return node_->bytes;
}

FileSystem::Entry* FileSystem::FindLocked(const WinPath& path) {
  auto it = entries_.find(path.Text());
  return it == entries_.end() ? nullptr : &it->second;
}

DWORD FileSystem::CheckParentLocked(const WinPath& path) const {
  WinPath parent = path.Parent();
  if (parent.IsRoot()) return ERROR_SUCCESS;
  auto it = entries_.find(parent.Text());
  if (it == entries_.end() || it->second.file) return ERROR_PATH_NOT_FOUND;
  return ERROR_SUCCESS;
}

OpenResult FileSystem::Open(const WinPath& path, unsigned rights, unsigned share, Disposition disposition) {
  OpenResult result;
  if (path.IsRoot()) {
    result.error = ERROR_ACCESS_DENIED;
    return result;
  }
  std::lock_guard lock(mutex_);
  if (DWORD error = CheckParentLocked(path)) {
    result.error = error;
    return result;
  }
  std::shared_ptr<FileNode> node;
  if (Entry* entry = FindLocked(path)) {
    if (!entry->file) {
      result.error = ERROR_ACCESS_DENIED;
      return result;
    }
    if (disposition == Disposition::CreateNew) {
      result.error = ERROR_FILE_EXISTS;
      return result;
    }
    node = entry->file;
    std::lock_guard fileLock(node->mutex);
    if (!node->Admits(rights, share)) {
      result.error = ERROR_SHARING_VIOLATION;
      return result;
    }
    if (disposition == Disposition::CreateAlways || disposition == Disposition::TruncateExisting) node->bytes.clear();
    node->Reserve(rights, share);
    result.existed = true;
  } else {
    if (disposition == Disposition::OpenExisting || disposition == Disposition::TruncateExisting) {
      result.error = ERROR_FILE_NOT_FOUND;
      return result;
    }
    node = std::make_shared<FileNode>();
    node->Reserve(rights, share);
    entries_.emplace(path.Text(), Entry{node});
  }
  result.file = std::make_unique<OpenFile>(std::move(node), rights, share);
  return result;
}

DWORD FileSystem::Delete(const WinPath& path) {
  if (path.IsRoot()) return ERROR_ACCESS_DENIED;
  std::lock_guard lock(mutex_);
  if (DWORD error = CheckParentLocked(path)) return error;
  auto it = entries_.find(path.Text());
  if (it == entries_.end()) return ERROR_FILE_NOT_FOUND;
  if (!it->second.file) return ERROR_ACCESS_DENIED;
  {
    std::lock_guard fileLock(it->second.file->mutex);
    if (!it->second.file->Admits(kDelete, kAllRights)) return ERROR_SHARING_VIOLATION;
  }
  entries_.erase(it);
  return ERROR_SUCCESS;
}

DWORD FileSystem::CreateDirectory(const WinPath& path) {
  if (path.IsRoot()) return ERROR_ALREADY_EXISTS;
  std::lock_guard lock(mutex_);
  if (DWORD error = CheckParentLocked(path)) return error;
  if (!entries_.emplace(path.Text(), Entry{}).second) return ERROR_ALREADY_EXISTS;
  return ERROR_SUCCESS;
}

DWORD FileSystem::Attributes(const WinPath& path, DWORD& attributes) {
  if (path.IsRoot()) {
    attributes = FILE_ATTRIBUTE_DIRECTORY;
    return ERROR_SUCCESS;
  }
  std::lock_guard lock(mutex_);
  if (DWORD error = CheckParentLocked(path)) return error;
  Entry* entry = FindLocked(path);
  if (!entry) return ERROR_FILE_NOT_FOUND;
  attributes = entry->file ? FILE_ATTRIBUTE_ARCHIVE : FILE_ATTRIBUTE_DIRECTORY;
  return ERROR_SUCCESS;
}

DWORD FileSystem::MakeDirectoriesLocked(const WinPath& path) {
  WinPath prefix{path.drive, {}};
  for (const auto& name : path.names) {
    prefix.names.push_back(name);
    auto [it, added] = entries_.emplace(prefix.Text(), Entry{});
    if (!added && it->second.file) return ERROR_ALREADY_EXISTS;
  }
  return ERROR_SUCCESS;
}

DWORD FileSystem::Put(const WinPath& path, std::string_view bytes) {
  if (path.IsRoot()) return ERROR_ACCESS_DENIED;
  if (bytes.size() > kMaxFileSize) return ERROR_DISK_FULL;
  std::lock_guard lock(mutex_);
  if (Entry* entry = FindLocked(path)) {
    if (!entry->file) return ERROR_ACCESS_DENIED;
    std::lock_guard fileLock(entry->file->mutex);
    entry->file->bytes.assign(bytes);
    return ERROR_SUCCESS;
  }
  if (MakeDirectoriesLocked(path.Parent()) != ERROR_SUCCESS) return ERROR_PATH_NOT_FOUND;
  auto node = std::make_shared<FileNode>();
  node->bytes.assign(bytes);
  entries_.emplace(path.Text(), Entry{std::move(node)});
  return ERROR_SUCCESS;
}

DWORD FileSystem::MakeDirectories(const WinPath& path) {
  std::lock_guard lock(mutex_);
  return MakeDirectoriesLocked(path);
}

std::optional<std::string> FileSystem::Contents(const WinPath& path) {
  std::lock_guard lock(mutex_);
  Entry* entry = FindLocked(path);
  if (!entry || !entry->file) return std::nullopt;
  std::lock_guard fileLock(entry->file->mutex);
  return entry->file->bytes;
}

DWORD FileSystem::Remove(const WinPath& path) {
  std::lock_guard lock(mutex_);
  auto it = entries_.find(path.Text());
  if (it == entries_.end()) return ERROR_FILE_NOT_FOUND;
  if (!it->second.file) return ERROR_ACCESS_DENIED;
  entries_.erase(it);
  return ERROR_SUCCESS;
}

DWORD FileSystem::RemoveEmptyDirectory(const WinPath& path) {
  std::lock_guard lock(mutex_);
  auto it = entries_.find(path.Text());
  if (it == entries_.end()) return ERROR_FILE_NOT_FOUND;
  if (it->second.file || path.names.empty()) return ERROR_ACCESS_DENIED;
  std::string prefix = path.Text() + "\\";
  auto next = entries_.lower_bound(prefix);
  if (next != entries_.end() && next->first.size() > prefix.size() &&
      EqualsNoCase(std::string_view(next->first).substr(0, prefix.size()), prefix)) {
    return ERROR_DIR_NOT_EMPTY;
  }
  entries_.erase(it);
  return ERROR_SUCCESS;
}

std::vector<std::string> FileSystem::Listing() {
  std::lock_guard lock(mutex_);
  std::vector<std::string> names;
  for (const auto& [name, entry] : entries_) {
    names.push_back(entry.file || name.back() == '\\' ? name : name + "\\");
  }
  return names;
}

FileSystem& FileSystemOf(Machine* machine) {
  Machine& target = machine ? *machine : World::Get().Local();
  return target.State<FileSystem>();
}

}  // namespace velplat::files
