// Test helpers that read the watch tables as short text rows, so that a test
// can compare a whole table with one matcher. Each takes the watch-table lock.
#ifndef VELMON_TESTS_AGENT_WATCH_TABLE_ROWS_H
#define VELMON_TESTS_AGENT_WATCH_TABLE_ROWS_H

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace velmon::test {

// "index:name:description:state" per node entry, in table order.
std::vector<std::string> FullNodeRows();
// "index:name:address" per address entry; `shown` picks what of the address
// (network byte order) to print, the whole value by default.
std::vector<std::string> FullAddressRows(const std::function<DWORD(DWORD)>& shown = {});
// "index:name" per node entry, or per address entry, in table order.
std::vector<std::string> NodeNameRows();
std::vector<std::string> AddressNameRows();
// How many entries the node table, or the address table, holds.
size_t NodeCount();
size_t AddressCount();
// "index:name:address" per cluster-address entry.
std::vector<std::string> FullClusterAddressRows();
// The names reported by "entry not created" events, in order.
std::vector<std::string> NotCreatedReports();

}  // namespace velmon::test

#endif
