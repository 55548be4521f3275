// Reads a .mc catalogue into the data model of mc_catalogue.h.
#include "mc_catalogue.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <map>
#include <optional>

namespace mcgen {
namespace {

constexpr uint32_t kCustomerBit = 0x20000000u;
constexpr uint32_t kMaxSeverity = 0x3;
constexpr uint32_t kMaxFacility = 0xFFF;
constexpr uint32_t kMaxCode = 0xFFFF;
constexpr uint32_t kMaxLanguage = 0xFFFF;

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool SameNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

struct NoCaseLess {
  bool operator()(const std::string& a, const std::string& b) const {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return Lower(x) < Lower(y); });
  }
};

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
  return s;
}

bool IsIdentifier(std::string_view s) {
  if (s.empty() || std::isdigit(static_cast<unsigned char>(s.front()))) return false;
  return std::all_of(s.begin(), s.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; });
}

// A C integer constant: decimal, 0x hexadecimal or 0 octal; at most 32 bits.
std::optional<uint32_t> ParseNumber(std::string_view s) {
  int base = 10;
  if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    base = 16;
    s.remove_prefix(2);
  } else if (s.size() > 1 && s[0] == '0') {
    base = 8;
    s.remove_prefix(1);
  }
  uint32_t value = 0;
  auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value, base);
  if (s.empty() || ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
  return value;
}

// Appends one UTF-8 line to a UTF-16 text; throws on a malformed sequence.
void AppendUtf16(std::u16string& out, std::string_view utf8, int line) {
  for (size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    size_t length = lead < 0x80 ? 1 : (lead >> 5) == 0x6 ? 2 : (lead >> 4) == 0xE ? 3 : (lead >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + length > utf8.size()) throw McError(line, "text is not valid UTF-8");
    uint32_t cp = length == 1 ? lead : lead & (0xFF >> (length + 1));
    for (size_t k = 1; k < length; ++k) {
      const auto cont = static_cast<unsigned char>(utf8[i + k]);
      if ((cont & 0xC0) != 0x80) throw McError(line, "text is not valid UTF-8");
      cp = (cp << 6) | (cont & 0x3F);
    }
    static constexpr uint32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMinimum[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
      throw McError(line, "text is not valid UTF-8");
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += length;
  }
}

struct NamedValue {
  uint32_t value;
  std::string symbol;
};
using NameTable = std::map<std::string, NamedValue, NoCaseLess>;

enum class IdForm { Next, Relative, Absolute };

// A message definition between its MessageId and its first Language block.
struct OpenDefinition {
  int line = 0;
  IdForm form = IdForm::Next;
  uint32_t number = 0;
  std::string symbol;
};

class Parser {
 public:
  Parser(std::string_view source, CustomerBit customer) : customer_(customer) {
    if (source.substr(0, 3) == "\xEF\xBB\xBF") source.remove_prefix(3);
    while (!source.empty()) {
      const size_t end = source.find('\n');
      std::string_view line = source.substr(0, end);
      if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
      lines_.push_back(line);
      if (end == std::string_view::npos) break;
      source.remove_prefix(end + 1);
    }
    severities_ = {{"Success", {0x0, ""}}, {"Informational", {0x1, ""}}, {"Warning", {0x2, ""}}, {"Error", {0x3, ""}}};
    facilities_ = {{"System", {0x0FF, ""}}, {"Application", {0xFFF, ""}}};
    languages_ = {{"English", {0x409, "MSG00409"}}};
  }

  Catalogue Run() {
    while (next_ < lines_.size()) {
      const std::string_view raw = lines_[next_];
      line_ = static_cast<int>(++next_);
      const std::string_view text = Trim(raw);
      if (text.empty()) continue;
      if (text.front() == ';') {
        catalogue_.header.push_back({HeaderItem::Kind::Comment, std::string(text.substr(1)), 0, 0});
        continue;
      }
      Statement(text);
    }
    FinishDefinition();
    return std::move(catalogue_);
  }

 private:
  [[noreturn]] void Fail(const std::string& what) const { throw McError(line_, what); }

  void Statement(std::string_view text) {
    const size_t comment = text.find(';');
    if (comment != std::string_view::npos) text = Trim(text.substr(0, comment));
    const size_t equals = text.find('=');
    if (equals == std::string_view::npos) Fail("expected keyword=value, found '" + std::string(text) + "'");
    const std::string_view keyword = Trim(text.substr(0, equals));
    const std::string_view value = Trim(text.substr(equals + 1));

    if (SameNoCase(keyword, "MessageIdTypedef")) return Typedef(value);
    if (SameNoCase(keyword, "OutputBase")) return OutputBase(value);
    if (SameNoCase(keyword, "SeverityNames")) return NameList(value, "severity", kMaxSeverity, severities_, true);
    if (SameNoCase(keyword, "FacilityNames")) return NameList(value, "facility", kMaxFacility, facilities_, true);
    if (SameNoCase(keyword, "LanguageNames")) return NameList(value, "language", kMaxLanguage, languages_, false);
    if (SameNoCase(keyword, "MessageId")) return MessageId(value);
    if (SameNoCase(keyword, "Severity")) return Severity(value);
    if (SameNoCase(keyword, "Facility")) return Facility(value);
    if (SameNoCase(keyword, "SymbolicName")) return SymbolicName(value);
    if (SameNoCase(keyword, "Language")) return Language(value);
    Fail("unknown keyword '" + std::string(keyword) + "'");
  }

  void Typedef(std::string_view value) {
    if (!value.empty() && !IsIdentifier(value)) Fail("MessageIdTypedef needs a type name");
    catalogue_.idTypedef = std::string(value);
  }

  void OutputBase(std::string_view value) {
    const auto base = ParseNumber(value);
    if (!base || (*base != 10 && *base != 16)) Fail("OutputBase must be 10 or 16");
    outputBase_ = static_cast<int>(*base);
  }

  // "(Name=number[:symbol] ...)", possibly continued on the following lines.
  // Errors name the line of the offending entry.
  void NameList(std::string_view value, const char* what, uint32_t max, NameTable& table, bool defines) {
    const int startLine = line_;
    std::string list(value);
    std::vector<std::pair<size_t, int>> lineStarts{{0, startLine}};
    while (list.find(')') == std::string::npos) {
      if (next_ >= lines_.size()) {
        line_ = startLine;
        Fail(std::string("list of ") + what + " names has no closing ')'");
      }
      line_ = static_cast<int>(++next_);
      list += ' ';
      lineStarts.emplace_back(list.size(), line_);
      list += lines_[next_ - 1];
    }
    const int endLine = line_;
    auto at = [&](std::string_view part) {
      const size_t offset = static_cast<size_t>(part.data() - list.data());
      int line = startLine;
      for (const auto& [start, number] : lineStarts) {
        if (start <= offset) line = number;
      }
      line_ = line;
    };

    std::string_view rest = Trim(list);
    at(rest);
    if (rest.empty() || rest.front() != '(') Fail(std::string("list of ") + what + " names must start with '('");
    const size_t close = rest.find(')');
    if (!Trim(rest.substr(close + 1)).empty()) {
      line_ = endLine;
      Fail("unexpected text after ')'");
    }
    rest = rest.substr(1, close - 1);

    while (!(rest = Trim(rest)).empty()) {
      at(rest);
      const size_t equals = rest.find('=');
      if (equals == std::string_view::npos) Fail(std::string("expected Name=number in the list of ") + what + " names");
      const std::string name(Trim(rest.substr(0, equals)));
      if (!IsIdentifier(name)) Fail("'" + name + "' is not a valid " + what + " name");
      rest = Trim(rest.substr(equals + 1));
      const size_t numberEnd = std::min(rest.find(':'), std::min(rest.find(' '), rest.find('\t')));
      const auto number = ParseNumber(rest.substr(0, numberEnd));
      if (!number) Fail("bad number for " + std::string(what) + " name '" + name + "'");
      if (*number > max) Fail(std::string(what) + " value of '" + name + "' is out of range");
      rest = rest.substr(std::min(numberEnd, rest.size()));
      std::string symbol;
      if (!rest.empty() && rest.front() == ':') {
        rest.remove_prefix(1);
        const size_t symbolEnd = std::min(rest.find(' '), rest.find('\t'));
        symbol = std::string(rest.substr(0, symbolEnd));
        rest = rest.substr(std::min(symbolEnd, rest.size()));
        if (!IsIdentifier(symbol)) Fail("'" + symbol + "' is not a valid symbol for " + what + " name '" + name + "'");
      } else if (!defines) {
        Fail("language name '" + name + "' needs ':filename'");
      }
      table[name] = NamedValue{*number, symbol};
      if (defines && !symbol.empty()) catalogue_.header.push_back({HeaderItem::Kind::Define, symbol, *number, 0});
    }
    line_ = endLine;
  }

  void MessageId(std::string_view value) {
    FinishDefinition();
    OpenDefinition def;
    def.line = line_;
    if (!value.empty()) {
      def.form = value.front() == '+' ? IdForm::Relative : IdForm::Absolute;
      if (def.form == IdForm::Relative) value.remove_prefix(1);
      const auto number = ParseNumber(Trim(value));
      if (!number) Fail("bad MessageId '" + std::string(value) + "'");
      def.number = *number;
    }
    open_ = def;
    current_.reset();
  }

  OpenDefinition& RequireOpen(const char* keyword) {
    if (!open_) {
      Fail(std::string(keyword) + (current_ ? " must come before the message's first Language="
                                            : " outside a message definition (MessageId= starts one)"));
    }
    return *open_;
  }

  uint32_t Lookup(const NameTable& table, std::string_view name, const char* what) const {
    auto it = table.find(std::string(name));
    if (it == table.end()) Fail(std::string("unknown ") + what + " '" + std::string(name) + "'");
    return it->second.value;
  }

  void Severity(std::string_view value) {
    RequireOpen("Severity=");
    severity_ = Lookup(severities_, value, "severity");
  }

  void Facility(std::string_view value) {
    RequireOpen("Facility=");
    facility_ = Lookup(facilities_, value, "facility");
  }

  void SymbolicName(std::string_view value) {
    OpenDefinition& def = RequireOpen("SymbolicName=");
    if (!IsIdentifier(value)) Fail("'" + std::string(value) + "' is not a valid symbolic name");
    auto [it, fresh] = symbols_.emplace(std::string(value), line_);
    if (!fresh) Fail("symbolic name '" + std::string(value) + "' already used on line " + std::to_string(it->second));
    def.symbol = std::string(value);
  }

  void Language(std::string_view value) {
    if (open_) AssignIdentifier();
    if (!current_) Fail("Language= outside a message definition (MessageId= starts one)");
    const uint16_t language = static_cast<uint16_t>(Lookup(languages_, value, "language"));
    Message& message = catalogue_.messages[*current_];
    for (const MessageText& text : message.texts) {
      if (text.language == language) Fail("message already has a text in language '" + std::string(value) + "'");
    }
    const int languageLine = line_;
    MessageText text;
    text.language = language;
    while (true) {
      if (next_ >= lines_.size()) {
        line_ = languageLine;
        Fail("message text has no terminating line holding a single '.'");
      }
      const std::string_view body = lines_[next_];
      line_ = static_cast<int>(++next_);
      if (body == ".") break;
      AppendUtf16(text.utf16, body, line_);
      text.utf16 += u"\r\n";
      text.utf8.append(body).append("\r\n");
    }
    message.texts.push_back(std::move(text));
  }

  // Turns the open definition into a message with its full identifier.
  void AssignIdentifier() {
    OpenDefinition def = *open_;
    open_.reset();
    uint32_t& last = lastCode_[facility_];
    uint64_t code = def.form == IdForm::Absolute ? def.number
                    : def.form == IdForm::Relative ? uint64_t{last} + def.number
                                                   : uint64_t{last} + 1;
    if (code > kMaxCode) {
      line_ = def.line;
      Fail("message code " + std::to_string(code) + " does not fit in 16 bits");
    }
    last = static_cast<uint32_t>(code);
    Message message;
    message.id = (severity_ << 30) | (customer_ == CustomerBit::Set ? kCustomerBit : 0) | (facility_ << 16) |
                 static_cast<uint32_t>(code);
    message.symbol = def.symbol;
    message.outputBase = outputBase_;
    auto [it, fresh] = ids_.emplace(message.id, def.line);
    if (!fresh) {
      line_ = def.line;
      Fail("message identifier already used on line " + std::to_string(it->second));
    }
    current_ = catalogue_.messages.size();
    if (!message.symbol.empty()) catalogue_.header.push_back({HeaderItem::Kind::Message, "", 0, catalogue_.messages.size()});
    catalogue_.messages.push_back(std::move(message));
  }

  // Checks that the definition that is about to end has a text.
  void FinishDefinition() {
    if (open_) {
      line_ = open_->line;
      Fail("message definition has no Language= text");
    }
  }

  CustomerBit customer_;
  std::vector<std::string_view> lines_;
  size_t next_ = 0;
  int line_ = 0;
  Catalogue catalogue_;
  NameTable severities_, facilities_, languages_;
  uint32_t severity_ = 0x0;     // Success until a message names another
  uint32_t facility_ = 0xFFF;   // Application until a message names another
  int outputBase_ = 16;
  std::map<uint32_t, uint32_t> lastCode_;  // per facility
  std::map<std::string, int> symbols_;
  std::map<uint32_t, int> ids_;
  std::optional<OpenDefinition> open_;
  std::optional<size_t> current_;
};

}  // namespace

Catalogue Parse(std::string_view source, CustomerBit customer) { return Parser(source, customer).Run(); }

}  // namespace mcgen
