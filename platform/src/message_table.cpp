// Registered message tables of modules, by module file name.
#include <velplat/message_table.h>
#include <velplat/world.h>

#include <map>
#include <shared_mutex>
#include <utility>
#include <vector>

namespace velplat::messages {
namespace {

struct Text {
  WORD language;
  std::u16string text;
};
using Table = std::map<DWORD, std::vector<Text>>;

struct Tables {
  std::shared_mutex mutex;
  std::map<std::string, Table, NoCaseLess> modules;
};

Tables& Registered() {
  static Tables* tables = new Tables();  // used by threads that outlive main
  return *tables;
}

std::string_view FileName(std::string_view module) {
  const size_t separator = module.find_last_of("\\/");
  return separator == std::string_view::npos ? module : module.substr(separator + 1);
}

}  // namespace

std::optional<std::u16string> Find(std::string_view module, DWORD id, WORD language) {
  Tables& tables = Registered();
  std::shared_lock lock(tables.mutex);
  auto table = tables.modules.find(FileName(module));
  if (table == tables.modules.end()) return std::nullopt;
  auto message = table->second.find(id);
  if (message == table->second.end() || message->second.empty()) return std::nullopt;
  for (const Text& text : message->second) {
    if (text.language == language) return text.text;
  }
  return message->second.front().text;
}

bool HasTable(std::string_view module) {
  Tables& tables = Registered();
  std::shared_lock lock(tables.mutex);
  return tables.modules.count(FileName(module)) != 0;
}

}  // namespace velplat::messages

void VelRegisterMessageTable(const char* moduleFileName, const VelMessageEntry* entries, size_t count) {
  using namespace velplat::messages;
  if (!moduleFileName || (count > 0 && !entries)) return;
  Table table;
  for (size_t i = 0; i < count; ++i) {
    if (!entries[i].text) continue;
    table[entries[i].id].push_back(Text{entries[i].language, std::u16string(entries[i].text)});
  }
  Tables& tables = Registered();
  std::unique_lock lock(tables.mutex);
  tables.modules.insert_or_assign(std::string(FileName(moduleFileName)), std::move(table));
}
