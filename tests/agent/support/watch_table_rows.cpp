#include "agent/support/watch_table_rows.h"

#include "agent/support/event_log.h"
#include "discovery/watch_tables.h"
#include "velmon_messages.h"

namespace velmon::test {

std::vector<std::string> FullNodeRows() {
  auto lock = LockWatchTables();
  std::vector<std::string> rows;
  for (NodeEntry* e = NodeTable; e; e = e->next)
    rows.push_back(std::to_string(e->index) + ":" + e->name + ":" + e->description + ":" + std::to_string(e->state));
  return rows;
}

std::vector<std::string> FullAddressRows(const std::function<DWORD(DWORD)>& shown) {
  auto lock = LockWatchTables();
  std::vector<std::string> rows;
  for (AddressEntry* e = AddressTable; e; e = e->next)
    rows.push_back(std::to_string(e->index) + ":" + e->name + ":" +
                   std::to_string(shown ? shown(e->address) : e->address));
  return rows;
}

std::vector<std::string> NodeNameRows() {
  auto lock = LockWatchTables();
  std::vector<std::string> rows;
  for (NodeEntry* e = NodeTable; e; e = e->next) rows.push_back(std::to_string(e->index) + ":" + e->name);
  return rows;
}

std::vector<std::string> AddressNameRows() {
  auto lock = LockWatchTables();
  std::vector<std::string> rows;
  for (AddressEntry* e = AddressTable; e; e = e->next) rows.push_back(std::to_string(e->index) + ":" + e->name);
  return rows;
}

size_t NodeCount() {
  auto lock = LockWatchTables();
  size_t count = 0;
  for (NodeEntry* e = NodeTable; e; e = e->next) ++count;
  return count;
}

size_t AddressCount() {
  auto lock = LockWatchTables();
  size_t count = 0;
  for (AddressEntry* e = AddressTable; e; e = e->next) ++count;
  return count;
}

std::vector<std::string> FullClusterAddressRows() {
  auto lock = LockWatchTables();
  std::vector<std::string> rows;
  for (ClusterAddressEntry* e = ClusterAddressTable; e; e = e->next)
    rows.push_back(std::to_string(e->index) + ":" + e->name + ":" + std::to_string(e->address));
  return rows;
}

std::vector<std::string> NotCreatedReports() {
  std::vector<std::string> names;
  for (auto& e : EventsWithId(VELMON_ENTRY_NOT_CREATED)) names.push_back(e.strings.empty() ? "" : e.strings[0]);
  return names;
}

}  // namespace velmon::test
