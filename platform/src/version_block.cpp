// The version information block: encoding, discovery and look-up.
#include "version_block.h"

#include <cctype>
#include <cstring>
#include <stdexcept>
#include <vector>

#include <velplat/world.h>

namespace velplat::version {

namespace {

constexpr std::string_view kSignature{"VS_VERSION_INFO\0", 16};
constexpr size_t kKeySize = 12;
// Signature, size, table count, translation count, reserved, fixed part.
constexpr size_t kMinimumSize = kSignature.size() + 4 * sizeof(DWORD) + sizeof(VS_FIXEDFILEINFO);

size_t Padded(size_t size) { return (size + 3) & ~size_t{3}; }

void PutDword(std::string& out, DWORD value) { out.append(reinterpret_cast<const char*>(&value), sizeof value); }

void PutPadded(std::string& out, std::string_view text) {
  out.append(text);
  out.push_back('\0');
  out.append(Padded(text.size() + 1) - (text.size() + 1), '\0');
}

// Bounds-checked reading of a block.
class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}
  size_t Offset() const { return offset_; }
  size_t Left() const { return bytes_.size() - offset_; }
  const char* Here() const { return bytes_.data() + offset_; }
  bool Dword(DWORD& value) {
    if (Left() < sizeof value) return false;
    std::memcpy(&value, Here(), sizeof value);
    offset_ += sizeof value;
    return true;
  }
  bool Skip(size_t size) {
    if (Left() < size) return false;
    offset_ += size;
    return true;
  }
  // A text of `size` bytes whose last byte is its only zero, then the
  // padding to the next multiple of 4.
  bool Text(size_t size, std::string_view& text) {
    if (size == 0 || Left() < Padded(size)) return false;
    if (Here()[size - 1] != '\0' || std::memchr(Here(), '\0', size - 1)) return false;
    text = {Here(), size - 1};
    offset_ += Padded(size);
    return true;
  }

 private:
  std::string_view bytes_;
  size_t offset_ = 0;
};

struct StringEntry {
  std::string_view name;
  std::string_view value;  // its data() is zero-terminated inside the block
};

struct StringTable {
  std::string_view key;
  std::vector<StringEntry> strings;
};

struct Parsed {
  const char* fixed = nullptr;
  const char* translations = nullptr;
  DWORD translationCount = 0;
  std::vector<StringTable> tables;
};

bool ParseTable(std::string_view record, StringTable& table) {
  Reader reader(record);
  DWORD size = 0;
  DWORD strings = 0;
  if (!reader.Dword(size) || reader.Left() < kKeySize) return false;
  const char* key = reader.Here();
  const void* end = std::memchr(key, '\0', kKeySize);
  if (!end) return false;
  table.key = {key, static_cast<size_t>(static_cast<const char*>(end) - key)};
  reader.Skip(kKeySize);
  if (!reader.Dword(strings)) return false;
  for (DWORD i = 0; i < strings; ++i) {
    DWORD nameSize = 0;
    DWORD valueSize = 0;
    StringEntry entry;
    if (!reader.Dword(nameSize) || !reader.Dword(valueSize) || !reader.Text(nameSize, entry.name) ||
        !reader.Text(valueSize, entry.value))
      return false;
    table.strings.push_back(entry);
  }
  return reader.Left() == 0;
}

// The parts of a block of exactly block.size() bytes; nullopt when malformed.
std::optional<Parsed> Parse(std::string_view block) {
  Reader reader(block);
  DWORD size = 0;
  DWORD tables = 0;
  DWORD reserved = 0;
  Parsed parsed;
  if (block.substr(0, kSignature.size()) != kSignature || !reader.Skip(kSignature.size()) || !reader.Dword(size) ||
      size != block.size() || !reader.Dword(tables) || !reader.Dword(parsed.translationCount) ||
      !reader.Dword(reserved))
    return std::nullopt;
  parsed.fixed = reader.Here();
  if (!reader.Skip(sizeof(VS_FIXEDFILEINFO))) return std::nullopt;
  parsed.translations = reader.Here();
  if (parsed.translationCount > reader.Left() / sizeof(DWORD) ||
      !reader.Skip(size_t{parsed.translationCount} * sizeof(DWORD)))
    return std::nullopt;
  for (DWORD i = 0; i < tables; ++i) {
    DWORD tableSize = 0;
    Reader peek = reader;
    if (!peek.Dword(tableSize) || tableSize > reader.Left()) return std::nullopt;
    StringTable table;
    if (!ParseTable({reader.Here(), tableSize}, table)) return std::nullopt;
    parsed.tables.push_back(std::move(table));
    reader.Skip(tableSize);
  }
  if (reader.Left() != 0) return std::nullopt;
  return parsed;
}

// The sub-block's names: separated by backslashes, a leading one optional.
std::vector<std::string_view> SplitNames(std::string_view subBlock) {
  std::vector<std::string_view> names;
  while (!subBlock.empty()) {
    size_t start = subBlock.find_first_not_of('\\');
    if (start == std::string_view::npos) break;
    subBlock.remove_prefix(start);
    size_t end = subBlock.find('\\');
    names.push_back(subBlock.substr(0, end));
    subBlock.remove_prefix(end == std::string_view::npos ? subBlock.size() : end);
  }
  return names;
}

DWORD SizeField(const char* block) {
  DWORD size = 0;
  std::memcpy(&size, block + kSignature.size(), sizeof size);
  return size;
}

}  // namespace

std::string Encode(const files::VersionResource& resource) {
  std::string out(kSignature);
  PutDword(out, 0);  // size, patched at the end
  PutDword(out, static_cast<DWORD>(resource.tables.size()));
  PutDword(out, static_cast<DWORD>(resource.tables.size()));
  PutDword(out, 0);

  VS_FIXEDFILEINFO fixed{};
  fixed.dwSignature = VS_FFI_SIGNATURE;
  fixed.dwStrucVersion = VS_FFI_STRUCVERSION;
  fixed.dwFileVersionMS = MAKELONG(resource.fileVersion[1], resource.fileVersion[0]);
  fixed.dwFileVersionLS = MAKELONG(resource.fileVersion[3], resource.fileVersion[2]);
  fixed.dwProductVersionMS = MAKELONG(resource.productVersion[1], resource.productVersion[0]);
  fixed.dwProductVersionLS = MAKELONG(resource.productVersion[3], resource.productVersion[2]);
  fixed.dwFileFlagsMask = VS_FFI_FILEFLAGSMASK;
  fixed.dwFileOS = VOS_NT_WINDOWS32;
  fixed.dwFileType = resource.fileType;
  out.append(reinterpret_cast<const char*>(&fixed), sizeof fixed);

  for (const auto& table : resource.tables) {
    const std::string& key = table.langCodepage;
    bool hex = key.size() == 8;
    for (char c : key) hex = hex && std::isxdigit(static_cast<unsigned char>(c));
    if (!hex) throw std::invalid_argument("version table key is not eight hex digits: " + key);
    DWORD value = static_cast<DWORD>(std::stoul(key, nullptr, 16));
    PutDword(out, MAKELONG(HIWORD(value), LOWORD(value)));  // WORD language, then WORD code page
  }

  for (const auto& table : resource.tables) {
    std::string record;
    PutDword(record, 0);  // size, patched below
    record.append(table.langCodepage);
    record.append(kKeySize - table.langCodepage.size(), '\0');
    PutDword(record, static_cast<DWORD>(table.strings.size()));
    for (const auto& [name, value] : table.strings) {
      if (name.find('\0') != std::string::npos || value.find('\0') != std::string::npos)
        throw std::invalid_argument("version string holds a zero byte: " + name);
      PutDword(record, static_cast<DWORD>(name.size() + 1));
      PutDword(record, static_cast<DWORD>(value.size() + 1));
      PutPadded(record, name);
      PutPadded(record, value);
    }
    auto size = static_cast<DWORD>(record.size());
    std::memcpy(record.data(), &size, sizeof size);
    out.append(record);
  }
  auto size = static_cast<DWORD>(out.size());
  std::memcpy(out.data() + kSignature.size(), &size, sizeof size);
  return out;
}

std::optional<std::string_view> FindBlock(std::string_view bytes) {
  for (size_t at = bytes.find(kSignature); at != std::string_view::npos; at = bytes.find(kSignature, at + 1)) {
    std::string_view rest = bytes.substr(at);
    if (rest.size() < kMinimumSize) break;
    DWORD size = SizeField(rest.data());
    if (size > rest.size()) continue;
    if (Parse(rest.substr(0, size))) return rest.substr(0, size);
  }
  return std::nullopt;
}

bool IsBlock(const char* block) {
  if (std::memcmp(block, kSignature.data(), kSignature.size()) != 0) return false;
  DWORD size = SizeField(block);
  return size >= kMinimumSize && Parse({block, size}).has_value();
}

std::optional<Value> Query(const char* block, std::string_view subBlock) {
  auto parsed = Parse({block, SizeField(block)});
  if (!parsed) return std::nullopt;
  std::vector<std::string_view> names = SplitNames(subBlock);
  if (names.empty()) return Value{parsed->fixed, static_cast<UINT>(sizeof(VS_FIXEDFILEINFO))};
  if (names.size() == 2 && EqualsNoCase(names[0], "VarFileInfo") && EqualsNoCase(names[1], "Translation") &&
      parsed->translationCount > 0)
    return Value{parsed->translations, static_cast<UINT>(parsed->translationCount * sizeof(DWORD))};
  if (names.size() == 3 && EqualsNoCase(names[0], "StringFileInfo")) {
    for (const auto& table : parsed->tables) {
      if (!EqualsNoCase(table.key, names[1])) continue;
      for (const auto& entry : table.strings)
        if (EqualsNoCase(entry.name, names[2]))
          return Value{entry.value.data(), static_cast<UINT>(entry.value.size() + 1)};
    }
  }
  return std::nullopt;
}

}  // namespace velplat::version
