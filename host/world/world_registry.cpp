// Registry values and keys of a world file.
#include "host/world/world_registry.h"

#include <velplat/registry.h>
#include <velplat/world.h>
#include <windows.h>

#include <cctype>
#include <cstring>
#include <functional>

namespace velmond {
namespace {

struct HiveName {
  const char* full;
  const char* shorter;
};
constexpr HiveName kHives[] = {{"HKEY_LOCAL_MACHINE", "HKLM"},
                               {"HKEY_USERS", "HKU"},
                               {"HKEY_CURRENT_USER", "HKCU"},
                               {"HKEY_CLASSES_ROOT", "HKCR"}};

std::vector<std::uint8_t> Text(std::string_view text) {
  std::vector<std::uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return bytes;
}

std::vector<std::uint8_t> Multi(const std::vector<std::string>& items) {
  std::vector<std::uint8_t> bytes;
  for (const std::string& item : items) {
    bytes.insert(bytes.end(), item.begin(), item.end());
    bytes.push_back(0);
  }
  bytes.push_back(0);
  return bytes;
}

std::vector<std::uint8_t> LittleEndian(std::uint64_t value, int size) {
  std::vector<std::uint8_t> bytes;
  for (int i = 0; i < size; ++i) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
  return bytes;
}

std::optional<std::vector<std::string>> Strings(const toml::node& node) {
  const toml::array* array = node.as_array();
  if (!array) return std::nullopt;
  std::vector<std::string> items;
  for (const toml::node& item : *array) {
    auto text = item.value<std::string>();
    if (!text) return std::nullopt;
    items.push_back(*text);
  }
  return items;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// "01 ff,2A" or [1, 255, 42].
std::optional<std::vector<std::uint8_t>> Binary(const toml::node& node) {
  std::vector<std::uint8_t> bytes;
  if (auto text = node.value<std::string>()) {
    int high = -1;
    for (char c : *text) {
      if (c == ' ' || c == ',' || c == '\t' || c == '\n') {
        if (high >= 0) return std::nullopt;
        continue;
      }
      int digit = HexDigit(c);
      if (digit < 0) return std::nullopt;
      if (high < 0) {
        high = digit;
      } else {
        bytes.push_back(static_cast<std::uint8_t>(high * 16 + digit));
        high = -1;
      }
    }
    if (high >= 0) return std::nullopt;
    return bytes;
  }
  if (const toml::array* array = node.as_array()) {
    for (const toml::node& item : *array) {
      auto number = item.value<std::int64_t>();
      if (!number || *number < 0 || *number > 255) return std::nullopt;
      bytes.push_back(static_cast<std::uint8_t>(*number));
    }
    return bytes;
  }
  return std::nullopt;
}

std::optional<std::uint64_t> Unsigned(const toml::node& node, std::uint64_t max) {
  auto number = node.value<std::int64_t>();
  if (!number || *number < 0 || static_cast<std::uint64_t>(*number) > max) return std::nullopt;
  return static_cast<std::uint64_t>(*number);
}

// regedit writes version 5 files in UTF-16LE with a byte-order mark; the
// registry holds single-byte text, so characters above 255 become '?'.
std::string SingleByteText(const std::string& bytes) {
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    std::string text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      unsigned unit = static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8);
      if (unit >= 0xDC00 && unit <= 0xDFFF) continue;  // second half of a pair, already replaced
      text += unit < 256 ? static_cast<char>(unit) : '?';
    }
    return text;
  }
  if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) return bytes.substr(3);
  return bytes;
}

}  // namespace

std::optional<std::string> CanonicalKeyPath(std::string_view path) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : path) {
    if (c == '\\') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty()) parts.push_back(part);
  if (parts.empty()) return std::nullopt;
  std::string result = "HKEY_LOCAL_MACHINE";
  size_t first = 0;
  for (const HiveName& hive : kHives) {
    if (velplat::EqualsNoCase(parts[0], hive.full) || velplat::EqualsNoCase(parts[0], hive.shorter)) {
      result = hive.full;
      first = 1;
      break;
    }
  }
  for (size_t i = first; i < parts.size(); ++i) result += "\\" + parts[i];
  return result;
}

std::optional<RegValue> ParseRegValue(const std::string& name, const toml::node& node, std::string& error) {
  RegValue value;
  value.name = name == "@" ? "" : name;
  if (auto text = node.value_exact<std::string>()) {
    value.type = REG_SZ;
    value.data = Text(*text);
    return value;
  }
  if (node.is_integer()) {
    auto number = Unsigned(node, 0xFFFFFFFFu);
    if (!number) {
      error = "value \"" + name + "\" does not fit a REG_DWORD (0 to 4294967295)";
      return std::nullopt;
    }
    value.type = REG_DWORD;
    value.data = LittleEndian(*number, 4);
    return value;
  }
  if (node.is_array()) {
    auto items = Strings(node);
    if (!items) {
      error = "value \"" + name + "\": a list must hold strings only (REG_MULTI_SZ)";
      return std::nullopt;
    }
    value.type = REG_MULTI_SZ;
    value.data = Multi(*items);
    return value;
  }
  const toml::table* table = node.as_table();
  if (!table || table->size() != 1) {
    error = "value \"" + name +
            "\": write a string, a number, a list of strings or a table with one of "
            "sz, expand, multi, dword, qword, binary";
    return std::nullopt;
  }
  // The iterator owns what it points at: keep it alive while both are used.
  auto only = table->begin();
  std::string kind(only->first.str());
  const toml::node& inner = only->second;
  bool ok = false;
  if (kind == "sz" || kind == "expand") {
    if (auto text = inner.value_exact<std::string>()) {
      value.type = kind == "sz" ? REG_SZ : REG_EXPAND_SZ;
      value.data = Text(*text);
      ok = true;
    }
  } else if (kind == "multi") {
    if (auto items = Strings(inner)) {
      value.type = REG_MULTI_SZ;
      value.data = Multi(*items);
      ok = true;
    }
  } else if (kind == "dword" || kind == "qword") {
    if (auto number = Unsigned(inner, kind == "dword" ? 0xFFFFFFFFu : INT64_MAX)) {
      value.type = kind == "dword" ? REG_DWORD : REG_QWORD;
      value.data = LittleEndian(*number, kind == "dword" ? 4 : 8);
      ok = true;
    }
  } else if (kind == "binary") {
    if (auto bytes = Binary(inner)) {
      value.type = REG_BINARY;
      value.data = std::move(*bytes);
      ok = true;
    }
  } else {
    error = "value \"" + name + "\": unknown form \"" + kind + "\" (sz, expand, multi, dword, qword, binary)";
    return std::nullopt;
  }
  if (!ok) {
    error = "value \"" + name + "\": malformed " + kind + " data";
    return std::nullopt;
  }
  return value;
}

void PutRegValue(NoCaseMap<RegKey>& registry, const std::string& keyPath, RegValue value) {
  RegKey& key = registry[keyPath];
  if (key.path.empty()) key.path = keyPath;
  for (RegValue& existing : key.values) {
    if (velplat::EqualsNoCase(existing.name, value.name)) {
      existing = std::move(value);
      return;
    }
  }
  key.values.push_back(std::move(value));
}

bool MergeRegFile(const std::string& bytes, NoCaseMap<RegKey>& registry, std::string& error) {
  // The platform's importer reads the file into a machine of its own, which
  // is then read back key by key.
  velplat::Machine scratch("world-file-import");
  auto result = velplat::registry::ImportRegText(SingleByteText(bytes), &scratch);
  if (!result) {
    error = result.message.empty() ? "line " + std::to_string(result.line) + ": malformed" : result.message;
    return false;
  }
  std::function<void(const std::string&)> walk = [&](const std::string& path) {
    if (path.find('\\') != std::string::npos) {
      RegKey& key = registry[path];
      if (key.path.empty()) key.path = path;
      for (const std::string& name : velplat::registry::ValueNames(path, &scratch)) {
        if (auto value = velplat::registry::GetValue(path, name, &scratch)) {
          PutRegValue(registry, path, RegValue{name, value->type, {value->data.begin(), value->data.end()}});
        }
      }
    }
    for (const std::string& sub : velplat::registry::SubkeyNames(path, &scratch)) walk(path + "\\" + sub);
  };
  for (const HiveName& hive : kHives) walk(hive.full);
  return true;
}

}  // namespace velmond
