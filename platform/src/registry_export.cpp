// Export of a key tree as .reg text that ImportRegText reads back unchanged:
// strings that are exactly one terminated text are written as "text", four-byte
// REG_DWORD values as dword:, everything else as hex data wrapped at 80
// columns. Lines end in CR LF, as regedit writes them.
#include <velplat/registry.h>
#include <velplat/world.h>

#include "registry_regtext.h"
#include "registry_tree.h"

#include <algorithm>
#include <cstdio>

namespace velplat::registry {
namespace {

constexpr std::string_view kEol = "\r\n";
constexpr size_t kMaxColumns = 80;

std::string Quote(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

// True when the data is one zero-terminated text that a quoted string can
// carry (no inner zero, no line break).
bool IsPlainString(const std::vector<BYTE>& data) {
  if (data.empty() || data.back() != 0) return false;
  return std::none_of(data.begin(), data.end() - 1, [](BYTE b) { return b == 0 || b == '\r' || b == '\n'; });
}

void AppendHex(std::string& out, size_t column, const std::vector<BYTE>& bytes) {
  char piece[4];
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::snprintf(piece, sizeof piece, "%02x", bytes[i]);
    std::string item = piece;
    if (i + 1 < bytes.size()) item += ',';
    // Leave room for the continuation backslash.
    if (column + item.size() + 1 > kMaxColumns) {
      out += '\\';
      out += kEol;
      out += "  ";
      column = 2;
    }
    out += item;
    column += item.size();
  }
}

void AppendValue(std::string& out, const reg::Value& value, RegFormat format) {
  size_t lineStart = out.size();
  out += value.name.empty() ? std::string("@") : Quote(value.name);
  out += '=';
  if (value.type == REG_SZ && IsPlainString(value.data)) {
    out += Quote(std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size() - 1));
  } else if (value.type == REG_DWORD && value.data.size() == 4) {
    DWORD number = 0;
    for (int i = 3; i >= 0; --i) number = (number << 8) | value.data[i];
    char text[16];
    std::snprintf(text, sizeof text, "dword:%08x", number);
    out += text;
  } else {
    char prefix[24];
    if (value.type == REG_BINARY)
      std::snprintf(prefix, sizeof prefix, "hex:");
    else
      std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(value.type));
    out += prefix;
    bool wide = format == RegFormat::Version5 && reg::regtext::IsStringType(value.type);
    AppendHex(out, out.size() - lineStart, wide ? reg::regtext::ToUtf16(value.data) : value.data);
  }
  out += kEol;
}

void AppendKey(std::string& out, const reg::Key& key, RegFormat format) {
  out += kEol;
  out += '[';
  out += reg::FullPath(key);
  out += ']';
  out += kEol;
  for (const reg::Value& value : key.values) AppendValue(out, value, format);
  for (const auto& [name, subkey] : key.subkeys) AppendKey(out, *subkey, format);
}

}  // namespace

std::optional<std::string> ExportRegText(std::string_view path, RegFormat format, Machine* machine) {
  Machine& target = machine ? *machine : World::Get().Local();
  reg::Hive hive = reg::Hive::LocalMachine;
  if (auto split = reg::SplitHive(path)) {
    hive = split->hive;
    path = split->rest;
  }
  auto parts = reg::SplitPath(path);
  if (!parts) return std::nullopt;
  auto tree = reg::TreeOf(target);
  reg::Edit edit(*tree);
  auto key = reg::FindKey(tree->Root(hive), *parts);
  if (!key) return std::nullopt;
  std::string out(format == RegFormat::Regedit4 ? reg::regtext::kHeaderRegedit4 : reg::regtext::kHeaderVersion5);
  out += kEol;
  AppendKey(out, *key, format);
  out += kEol;
  return out;
}

}  // namespace velplat::registry
