// The key tree of a machine: lookup, creation, deletion and values.
#include "registry_tree.h"

#include "registry_notify.h"

#include <velplat/world.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>

namespace velplat::reg {
namespace {

char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

struct MachineRegistry {
  std::shared_ptr<Tree> tree = std::make_shared<Tree>();
};

}  // namespace

bool NameLess::operator()(std::string_view a, std::string_view b) const {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return static_cast<unsigned char>(Upper(x)) < static_cast<unsigned char>(Upper(y));
  });
}

bool SameName(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Upper(x) == Upper(y); });
}

const char* HiveName(Hive hive) {
  switch (hive) {
    case Hive::ClassesRoot: return "HKEY_CLASSES_ROOT";
    case Hive::CurrentUser: return "HKEY_CURRENT_USER";
    case Hive::LocalMachine: return "HKEY_LOCAL_MACHINE";
    case Hive::Users: return "HKEY_USERS";
  }
  return "";
}

std::optional<HivePath> SplitHive(std::string_view path) {
  static constexpr struct {
    const char* shortName;
    Hive hive;
  } kHives[] = {{"HKCR", Hive::ClassesRoot}, {"HKCU", Hive::CurrentUser}, {"HKLM", Hive::LocalMachine},
                {"HKU", Hive::Users}};
  size_t end = path.find('\\');
  std::string_view first = path.substr(0, end);
  std::string_view rest = end == std::string_view::npos ? std::string_view() : path.substr(end + 1);
  for (const auto& h : kHives)
    if (SameName(first, h.shortName) || SameName(first, HiveName(h.hive))) return HivePath{h.hive, rest};
  return std::nullopt;
}

Value* Key::FindValue(std::string_view valueName) {
  auto it = std::find_if(values.begin(), values.end(), [&](const Value& v) { return SameName(v.name, valueName); });
  return it == values.end() ? nullptr : &*it;
}

void Subkeys::Insert(std::shared_ptr<Key> child) {
  std::string childName = child->name;
  map_.emplace(std::move(childName), std::move(child));
  cursorValid_ = false;
}

void Subkeys::Erase(const_iterator at) {
  map_.erase(at);
  cursorValid_ = false;
}

const Key* Subkeys::At(size_t index) const {
  if (index >= map_.size()) return nullptr;
  // Start from whichever known position is nearest: the first, the one past
  // the last, or the one asked for last time.
  const_iterator at = map_.begin();
  auto distance = static_cast<std::ptrdiff_t>(index);
  const auto fromEnd = static_cast<std::ptrdiff_t>(index) - static_cast<std::ptrdiff_t>(map_.size());
  if (-fromEnd < distance) {
    at = map_.end();
    distance = fromEnd;
  }
  if (cursorValid_) {
    const auto fromCursor = static_cast<std::ptrdiff_t>(index) - static_cast<std::ptrdiff_t>(cursorIndex_);
    if (std::abs(fromCursor) < std::abs(distance)) {
      at = cursor_;
      distance = fromCursor;
    }
  }
  std::advance(at, distance);
  cursor_ = at;
  cursorIndex_ = index;
  cursorValid_ = true;
  return at->second.get();
}

Tree::Tree() {
  for (int i = 0; i < kHiveCount; ++i) {
    roots_[i] = std::make_shared<Key>();
    roots_[i]->name = HiveName(static_cast<Hive>(i));
  }
}

std::shared_ptr<Tree> TreeOf(Machine& machine) { return machine.State<MachineRegistry>().tree; }

std::optional<std::vector<std::string_view>> SplitPath(std::string_view path) {
  std::vector<std::string_view> parts;
  if (!path.empty() && path.front() == '\\') return std::nullopt;
  size_t pos = 0;
  while (pos < path.size()) {
    size_t end = path.find('\\', pos);
    if (end == std::string_view::npos) end = path.size();
    if (end > pos) parts.push_back(path.substr(pos, end - pos));
    pos = end + 1;
  }
  return parts;
}

std::shared_ptr<Key> FindKey(const std::shared_ptr<Key>& base, const std::vector<std::string_view>& parts) {
  std::shared_ptr<Key> key = base;
  for (std::string_view part : parts) {
    auto it = key->subkeys.find(part);
    if (it == key->subkeys.end()) return nullptr;
    key = it->second;
  }
  return key;
}

LONG CreateKey(Edit& edit, const std::shared_ptr<Key>& base, const std::vector<std::string_view>& parts,
               std::shared_ptr<Key>& result, bool& created) {
  if (base->deleted) return ERROR_KEY_DELETED;
  for (std::string_view part : parts)
    if (part.size() > kMaxKeyNameLength) return ERROR_INVALID_PARAMETER;
  created = false;
  std::shared_ptr<Key> key = base;
  for (std::string_view part : parts) {
    auto it = key->subkeys.find(part);
    if (it != key->subkeys.end()) {
      key = it->second;
      continue;
    }
    auto child = std::make_shared<Key>();
    child->name = std::string(part);
    child->parent = key.get();
    key->subkeys.Insert(child);
    ReportChange(edit, *key, REG_NOTIFY_CHANGE_NAME);
    key = child;
    created = true;
  }
  result = key;
  return ERROR_SUCCESS;
}

LONG DeleteKey(Edit& edit, Key& key) {
  if (key.deleted) return ERROR_KEY_DELETED;
  if (key.IsRoot() || !key.subkeys.empty()) return ERROR_ACCESS_DENIED;
  Key& parent = *key.parent;
  auto it = parent.subkeys.find(key.name);
  std::shared_ptr<Key> keepAlive = it->second;  // the tree's reference goes now
  parent.subkeys.Erase(it);
  key.parent = nullptr;
  key.deleted = true;
  ReportKeyDeleted(edit, key);
  ReportChange(edit, parent, REG_NOTIFY_CHANGE_NAME);
  return ERROR_SUCCESS;
}

LONG DeleteKeyTree(Edit& edit, Key& key) {
  if (key.deleted) return ERROR_KEY_DELETED;
  if (key.IsRoot()) return ERROR_ACCESS_DENIED;
  while (!key.subkeys.empty()) {
    std::shared_ptr<Key> child = key.subkeys.begin()->second;
    LONG rc = DeleteKeyTree(edit, *child);
    if (rc != ERROR_SUCCESS) return rc;
  }
  return DeleteKey(edit, key);
}

LONG SetValue(Edit& edit, Key& key, std::string_view name, DWORD type, std::vector<BYTE> data) {
  if (key.deleted) return ERROR_KEY_DELETED;
  if (name.size() > kMaxValueNameLength) return ERROR_INVALID_PARAMETER;
  if (Value* existing = key.FindValue(name)) {
    existing->type = type;
    existing->data = std::move(data);
  } else {
    key.values.push_back(Value{std::string(name), type, std::move(data)});
  }
  ReportChange(edit, key, REG_NOTIFY_CHANGE_LAST_SET);
  return ERROR_SUCCESS;
}

LONG DeleteValue(Edit& edit, Key& key, std::string_view name) {
  if (key.deleted) return ERROR_KEY_DELETED;
  auto it = std::find_if(key.values.begin(), key.values.end(), [&](const Value& v) { return SameName(v.name, name); });
  if (it == key.values.end()) return ERROR_FILE_NOT_FOUND;
  key.values.erase(it);
  ReportChange(edit, key, REG_NOTIFY_CHANGE_LAST_SET);
  return ERROR_SUCCESS;
}

std::string FullPath(const Key& key) {
  std::vector<const std::string*> names;
  for (const Key* k = &key; k; k = k->parent) names.push_back(&k->name);
  std::string path;
  for (auto it = names.rbegin(); it != names.rend(); ++it) {
    if (!path.empty()) path += '\\';
    path += **it;
  }
  return path;
}

}  // namespace velplat::reg
