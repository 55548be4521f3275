// The C++ control API: direct edits and reads of any machine's registry.
#include <velplat/registry.h>
#include <velplat/world.h>

#include "registry_handles.h"
#include "registry_tree.h"

namespace velplat::registry {
namespace {

using reg::Edit;
using reg::Key;

// A path resolved to its machine's tree, hive root and relative parts. The
// parts point into the caller's path.
struct Place {
  std::shared_ptr<reg::Tree> tree;
  std::shared_ptr<Key> root;
  std::vector<std::string_view> parts;
};

std::optional<Place> Locate(std::string_view path, Machine* machine) {
  Machine& target = machine ? *machine : World::Get().Local();
  reg::Hive hive = reg::Hive::LocalMachine;
  if (auto split = reg::SplitHive(path)) {
    hive = split->hive;
    path = split->rest;
  }
  auto parts = reg::SplitPath(path);
  if (!parts) return std::nullopt;
  Place place{reg::TreeOf(target), nullptr, std::move(*parts)};
  place.root = place.tree->Root(hive);
  return place;
}

std::vector<BYTE> Bytes(std::string_view text, bool terminate) {
  std::vector<BYTE> bytes(text.begin(), text.end());
  if (terminate) bytes.push_back(0);
  return bytes;
}

}  // namespace

LONG CreateKey(std::string_view path, Machine* machine) {
  auto place = Locate(path, machine);
  if (!place) return ERROR_BAD_PATHNAME;
  Edit edit(*place->tree);
  std::shared_ptr<Key> key;
  bool created = false;
  return reg::CreateKey(edit, place->root, place->parts, key, created);
}

LONG DeleteKeyTree(std::string_view path, Machine* machine) {
  auto place = Locate(path, machine);
  if (!place) return ERROR_BAD_PATHNAME;
  Edit edit(*place->tree);
  auto key = reg::FindKey(place->root, place->parts);
  if (!key) return ERROR_FILE_NOT_FOUND;
  return reg::DeleteKeyTree(edit, *key);
}

LONG SetValue(std::string_view keyPath, std::string_view name, DWORD type, std::vector<BYTE> data, Machine* machine) {
  auto place = Locate(keyPath, machine);
  if (!place) return ERROR_BAD_PATHNAME;
  Edit edit(*place->tree);
  std::shared_ptr<Key> key;
  bool created = false;
  LONG rc = reg::CreateKey(edit, place->root, place->parts, key, created);
  if (rc != ERROR_SUCCESS) return rc;
  return reg::SetValue(edit, *key, name, type, std::move(data));
}

LONG SetString(std::string_view keyPath, std::string_view name, std::string_view text, Machine* machine) {
  return SetValue(keyPath, name, REG_SZ, Bytes(text, true), machine);
}

LONG SetExpandString(std::string_view keyPath, std::string_view name, std::string_view text, Machine* machine) {
  return SetValue(keyPath, name, REG_EXPAND_SZ, Bytes(text, true), machine);
}

LONG SetMultiString(std::string_view keyPath, std::string_view name, const std::vector<std::string>& items,
                    Machine* machine) {
  std::vector<BYTE> bytes;
  for (const std::string& item : items) {
    bytes.insert(bytes.end(), item.begin(), item.end());
    bytes.push_back(0);
  }
  bytes.push_back(0);
  return SetValue(keyPath, name, REG_MULTI_SZ, std::move(bytes), machine);
}

LONG SetDword(std::string_view keyPath, std::string_view name, DWORD value, Machine* machine) {
  std::vector<BYTE> bytes(4);
  for (int i = 0; i < 4; ++i) bytes[i] = static_cast<BYTE>(value >> (8 * i));
  return SetValue(keyPath, name, REG_DWORD, std::move(bytes), machine);
}

LONG SetBinary(std::string_view keyPath, std::string_view name, std::vector<BYTE> bytes, Machine* machine) {
  return SetValue(keyPath, name, REG_BINARY, std::move(bytes), machine);
}

LONG DeleteValue(std::string_view keyPath, std::string_view name, Machine* machine) {
  auto place = Locate(keyPath, machine);
  if (!place) return ERROR_BAD_PATHNAME;
  Edit edit(*place->tree);
  auto key = reg::FindKey(place->root, place->parts);
  if (!key) return ERROR_FILE_NOT_FOUND;
  return reg::DeleteValue(edit, *key, name);
}

bool KeyExists(std::string_view path, Machine* machine) {
  auto place = Locate(path, machine);
  if (!place) return false;
  Edit edit(*place->tree);
  return reg::FindKey(place->root, place->parts) != nullptr;
}

std::optional<Value> GetValue(std::string_view keyPath, std::string_view name, Machine* machine) {
  auto place = Locate(keyPath, machine);
  if (!place) return std::nullopt;
  Edit edit(*place->tree);
  auto key = reg::FindKey(place->root, place->parts);
  if (!key) return std::nullopt;
  const reg::Value* value = key->FindValue(name);
  if (!value) return std::nullopt;
  return Value{value->type, value->data};
}

std::vector<std::string> SubkeyNames(std::string_view path, Machine* machine) {
  std::vector<std::string> names;
  auto place = Locate(path, machine);
  if (!place) return names;
  Edit edit(*place->tree);
  if (auto key = reg::FindKey(place->root, place->parts))
    for (const auto& [name, subkey] : key->subkeys) names.push_back(subkey->name);
  return names;
}

std::vector<std::string> ValueNames(std::string_view path, Machine* machine) {
  std::vector<std::string> names;
  auto place = Locate(path, machine);
  if (!place) return names;
  Edit edit(*place->tree);
  if (auto key = reg::FindKey(place->root, place->parts))
    for (const reg::Value& value : key->values) names.push_back(value.name);
  return names;
}

size_t PendingNotifications(std::string_view path, Machine* machine) {
  auto place = Locate(path, machine);
  if (!place) return 0;
  Edit edit(*place->tree);
  auto key = reg::FindKey(place->root, place->parts);
  return key ? key->watches.size() : 0;
}

bool WaitForPendingNotifications(std::string_view path, size_t count, std::chrono::milliseconds timeout,
                                 Machine* machine) {
  auto place = Locate(path, machine);
  if (!place) return false;
  Edit edit(*place->tree);
  return edit.WaitUntil(std::chrono::steady_clock::now() + timeout, [&] {
    auto key = reg::FindKey(place->root, place->parts);
    return key && key->watches.size() >= count;
  });
}

size_t StaleHandleUses() { return reg::StaleHandleUses(); }

}  // namespace velplat::registry
