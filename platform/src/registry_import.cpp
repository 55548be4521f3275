// Import of .reg text: the whole file is parsed first and applied only when
// every line is well formed, under one lock of the machine's tree.
#include <velplat/registry.h>
#include <velplat/world.h>

#include "registry_regtext.h"
#include "registry_tree.h"

#include <cctype>

namespace velplat::registry {
namespace {

struct Operation {
  enum class Kind { CreateKey, DeleteKey, SetValue, DeleteValue };
  Kind kind;
  unsigned line;
  reg::Hive hive;
  std::string path;  // below the hive
  std::string name;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

struct ParseFailure {
  unsigned line;
  std::string message;
};

std::string_view Trim(std::string_view s) {
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) s.remove_prefix(1);
  while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) s.remove_suffix(1);
  return s;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && reg::SameName(s.substr(0, prefix.size()), prefix);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Parses 1 to `maxDigits` hex digits making up all of `text`.
std::optional<DWORD> ParseHexNumber(std::string_view text, size_t maxDigits) {
  if (text.empty() || text.size() > maxDigits) return std::nullopt;
  DWORD value = 0;
  for (char c : text) {
    int digit = HexDigit(c);
    if (digit < 0) return std::nullopt;
    value = (value << 4) | static_cast<DWORD>(digit);
  }
  return value;
}

class Parser {
 public:
  explicit Parser(std::string_view text) {
    if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
    size_t pos = 0;
    while (pos <= text.size()) {
      size_t end = text.find('\n', pos);
      if (end == std::string_view::npos) end = text.size();
      std::string_view line = text.substr(pos, end - pos);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      lines_.push_back(line);
      pos = end + 1;
    }
  }

  std::vector<Operation> Parse() {
    ReadHeader();
    while (next_ < lines_.size()) {
      std::string_view line = Trim(TakeLine());
      if (line.empty() || line.front() == ';') continue;
      if (line.front() == '[')
        ParseKeyLine(line);
      else if (line.front() == '"' || line.front() == '@')
        ParseValueLine(line);
      else
        Fail("unrecognised line: expected [key], \"name\"=data or @=data");
    }
    return std::move(operations_);
  }

 private:
  struct Section {
    reg::Hive hive;
    std::string path;
  };

  std::string_view TakeLine() {
    lineNo_ = static_cast<unsigned>(next_ + 1);
    return lines_[next_++];
  }

  [[noreturn]] void Fail(std::string message) const { throw ParseFailure{lineNo_, std::move(message)}; }

  void ReadHeader() {
    while (next_ < lines_.size()) {
      std::string_view line = Trim(TakeLine());
      if (line.empty()) continue;
      if (line == reg::regtext::kHeaderRegedit4) {
        unicode_ = false;
        return;
      }
      if (line == reg::regtext::kHeaderVersion5) {
        unicode_ = true;
        return;
      }
      Fail("not a registry file: the first line must be REGEDIT4 or Windows Registry Editor Version 5.00");
    }
    lineNo_ = 1;
    Fail("empty file: the REGEDIT4 or Windows Registry Editor Version 5.00 header is missing");
  }

  void ParseKeyLine(std::string_view line) {
    if (line.back() != ']') Fail("key line without closing ']'");
    std::string_view inner = line.substr(1, line.size() - 2);
    bool remove = !inner.empty() && inner.front() == '-';
    if (remove) inner.remove_prefix(1);
    auto hivePath = reg::SplitHive(inner);
    if (!hivePath) Fail("unknown root key in [" + std::string(inner) + "]");
    auto parts = reg::SplitPath(hivePath->rest);
    if (!parts) Fail("key path with an empty name in [" + std::string(inner) + "]");
    std::string path;
    for (std::string_view part : *parts) {
      if (part.size() > reg::kMaxKeyNameLength) Fail("key name longer than 255 characters");
      if (!path.empty()) path += '\\';
      path += part;
    }
    if (remove) {
      if (path.empty()) Fail("a root key cannot be deleted");
      operations_.push_back({Operation::Kind::DeleteKey, lineNo_, hivePath->hive, path, {}, REG_NONE, {}});
      section_.reset();
    } else {
      operations_.push_back({Operation::Kind::CreateKey, lineNo_, hivePath->hive, path, {}, REG_NONE, {}});
      section_ = Section{hivePath->hive, path};
    }
  }

  // Reads a quoted string at the front of `s` (which starts with '"'),
  // undoing the \\ and \" escapes, and leaves `s` after the closing quote.
  std::string ParseQuoted(std::string_view& s) {
    std::string out;
    for (size_t i = 1; i < s.size(); ++i) {
      char c = s[i];
      if (c == '"') {
        s.remove_prefix(i + 1);
        return out;
      }
      if (c == '\\') {
        if (i + 1 >= s.size() || (s[i + 1] != '\\' && s[i + 1] != '"'))
          Fail("invalid escape in string: only \\\\ and \\\" are allowed");
        c = s[++i];
      }
      out += c;
    }
    Fail("string without closing quote");
  }

  void ParseValueLine(std::string_view line) {
    if (!section_) Fail("value outside a key section");
    std::string name;
    if (line.front() == '@') {
      line.remove_prefix(1);
    } else {
      name = ParseQuoted(line);
      if (name.size() > reg::kMaxValueNameLength) Fail("value name longer than 16383 characters");
    }
    line = Trim(line);
    if (line.empty() || line.front() != '=') Fail("'=' expected after the value name");
    std::string_view data = Trim(line.substr(1));
    Operation op{Operation::Kind::SetValue, lineNo_, section_->hive, section_->path, std::move(name), REG_NONE, {}};
    if (data == "-") {
      op.kind = Operation::Kind::DeleteValue;
    } else if (!data.empty() && data.front() == '"') {
      std::string text = ParseQuoted(data);
      if (!Trim(data).empty()) Fail("unexpected text after the closing quote");
      op.type = REG_SZ;
      op.data.assign(text.begin(), text.end());
      op.data.push_back(0);
    } else if (StartsWithNoCase(data, "dword:")) {
      auto value = ParseHexNumber(data.substr(6), 8);
      if (!value) Fail("dword data must be 1 to 8 hex digits");
      op.type = REG_DWORD;
      for (int i = 0; i < 4; ++i) op.data.push_back(static_cast<BYTE>(*value >> (8 * i)));
    } else if (StartsWithNoCase(data, "hex:")) {
      op.type = REG_BINARY;
      op.data = ParseHexBytes(data.substr(4));
    } else if (StartsWithNoCase(data, "hex(")) {
      size_t close = data.find("):");
      auto type = close == std::string_view::npos ? std::nullopt : ParseHexNumber(data.substr(4, close - 4), 8);
      if (!type) Fail("hex(type): needs a hex type number, as in hex(7):");
      op.type = *type;
      op.data = ParseHexBytes(data.substr(close + 2));
      if (unicode_ && reg::regtext::IsStringType(op.type)) {
        std::string error;
        auto narrow = reg::regtext::FromUtf16(op.data, error);
        if (!narrow) Fail(error);
        op.data = std::move(*narrow);
      }
    } else {
      Fail("unrecognised value data: expected \"string\", dword:, hex:, hex(type): or -");
    }
    operations_.push_back(std::move(op));
  }

  // Comma-separated bytes, continued on the following lines while a line ends
  // in a backslash. Errors are reported on the value's first line.
  std::vector<BYTE> ParseHexBytes(std::string_view first) {
    unsigned valueLine = lineNo_;
    std::string text(Trim(first));
    while (!text.empty() && text.back() == '\\') {
      text.pop_back();
      if (next_ >= lines_.size()) Fail("line continuation at the end of the file");
      text += Trim(TakeLine());
    }
    lineNo_ = valueLine;
    std::vector<BYTE> bytes;
    std::string_view rest = text;
    if (Trim(rest).empty()) return bytes;
    while (true) {
      size_t comma = rest.find(',');
      std::string_view token = Trim(rest.substr(0, comma));
      auto value = ParseHexNumber(token, 2);
      if (!value) Fail("bad hex byte '" + std::string(token) + "'");
      bytes.push_back(static_cast<BYTE>(*value));
      if (comma == std::string_view::npos) break;
      rest.remove_prefix(comma + 1);
    }
    return bytes;
  }

  std::vector<std::string_view> lines_;
  size_t next_ = 0;
  unsigned lineNo_ = 0;
  bool unicode_ = false;
  std::optional<Section> section_;
  std::vector<Operation> operations_;
};

LONG Apply(reg::Edit& edit, reg::Tree& tree, const Operation& op) {
  auto root = tree.Root(op.hive);
  auto parts = reg::SplitPath(op.path).value_or(std::vector<std::string_view>{});
  switch (op.kind) {
    case Operation::Kind::CreateKey:
    case Operation::Kind::SetValue: {
      std::shared_ptr<reg::Key> key;
      bool created = false;
      LONG rc = reg::CreateKey(edit, root, parts, key, created);
      if (rc != ERROR_SUCCESS || op.kind == Operation::Kind::CreateKey) return rc;
      return reg::SetValue(edit, *key, op.name, op.type, op.data);
    }
    case Operation::Kind::DeleteKey: {
      // Deleting what is not there is no error, as for regedit.
      auto key = reg::FindKey(root, parts);
      return key ? reg::DeleteKeyTree(edit, *key) : ERROR_SUCCESS;
    }
    case Operation::Kind::DeleteValue: {
      auto key = reg::FindKey(root, parts);
      if (key) reg::DeleteValue(edit, *key, op.name);
      return ERROR_SUCCESS;
    }
  }
  return ERROR_INVALID_FUNCTION;
}

ImportResult Failure(unsigned line, const std::string& message) {
  return ImportResult{false, line, "line " + std::to_string(line) + ": " + message};
}

}  // namespace

ImportResult ImportRegText(std::string_view text, Machine* machine) {
  std::vector<Operation> operations;
  try {
    operations = Parser(text).Parse();
  } catch (const ParseFailure& failure) {
    return Failure(failure.line, failure.message);
  }
  Machine& target = machine ? *machine : World::Get().Local();
  auto tree = reg::TreeOf(target);
  reg::Edit edit(*tree);
  for (const Operation& op : operations) {
    LONG rc = Apply(edit, *tree, op);
    if (rc != ERROR_SUCCESS) return Failure(op.line, "the registry refused this line (error " + std::to_string(rc) + ")");
  }
  return ImportResult{};
}

}  // namespace velplat::registry
