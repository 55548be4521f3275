// An event log entry's text, found the way the Event Viewer finds it: the
// source's registration names message files, a message file's module has a
// message table, the table's text gets the entry's insertion strings.
#include <velplat/eventlog.h>
#include <velplat/message_table.h>
#include <velplat/registry.h>

#include "message_format.h"
#include "message_utf16.h"

namespace velplat::eventlog {
namespace {

constexpr std::string_view kSourcesKey = "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\System\\";
constexpr WORD kEnglish = 0x0409;

// %NAME% replaced from the machine's environment; unknown names, and a '%'
// without a partner, stay as written.
std::string Expand(std::string_view text, const Machine& machine) {
  std::string out;
  while (!text.empty()) {
    const size_t open = text.find('%');
    const size_t close = open == std::string_view::npos ? open : text.find('%', open + 1);
    if (close == std::string_view::npos) break;
    out.append(text.substr(0, open));
    const std::optional<std::string> value = machine.GetEnv(text.substr(open + 1, close - open - 1));
    if (value) {
      out += *value;
      text.remove_prefix(close + 1);
    } else {
      out.append(text.substr(open, close - open));
      text.remove_prefix(close);  // the closing '%' may open the next name
    }
  }
  return out.append(text);
}

// The message files registered for `source`, in order; empty without a
// registration.
std::vector<std::string> MessageFiles(const std::string& source, Machine& machine) {
  const auto value = registry::GetValue(std::string(kSourcesKey) + source, "EventMessageFile", &machine);
  if (!value || (value->type != REG_EXPAND_SZ && value->type != REG_SZ)) return {};
  std::string text(value->data.begin(), value->data.end());
  text.resize(std::min(text.size(), text.find('\0')));
  text = Expand(text, machine);
  std::vector<std::string> files;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t end = std::min(text.find(';', start), text.size());
    if (end > start) files.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return files;
}

std::optional<std::u16string> MessageText(const Entry& entry, Machine& machine) {
  for (const std::string& file : MessageFiles(entry.source, machine)) {
    const size_t slash = file.find_last_of('\\');
    const std::string module = slash == std::string::npos ? file : file.substr(slash + 1);
    if (auto text = messages::Find(module, entry.eventId, kEnglish)) return text;
  }
  return std::nullopt;
}

class StringArguments : public messages::InsertArguments {
 public:
  explicit StringArguments(const std::vector<std::string>& strings) : strings_(strings) {}
  std::optional<DWORD_PTR> Get(unsigned number) override {
    if (number == 0 || number > strings_.size()) return std::nullopt;
    return reinterpret_cast<DWORD_PTR>(strings_[number - 1].c_str());
  }

 private:
  const std::vector<std::string>& strings_;
};

std::string JoinedStrings(const Entry& entry) {
  std::string text;
  for (size_t i = 0; i < entry.strings.size(); ++i) {
    if (i > 0) text += "\r\n";
    text += entry.strings[i];
  }
  return text;
}

}  // namespace

std::string FormatText(const Entry& entry, Machine& machine) {
  const std::optional<std::u16string> message = MessageText(entry, machine);
  if (!message) return JoinedStrings(entry);
  const std::string source = messages::Utf8FromUtf16(*message);
  messages::FormatOptions options;
  options.missing = messages::MissingInsert::KeepAsWritten;
  StringArguments arguments(entry.strings);
  messages::Formatted formatted = messages::FormatText(source, options, &arguments);
  // A text the formatter cannot expand is shown as it is stored.
  return formatted.error == 0 ? std::move(formatted.text) : source;
}

}  // namespace velplat::eventlog
