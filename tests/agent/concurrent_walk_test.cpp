// Request threads walk the MIB while another thread adds and removes watch
// table entries: every walk stays ordered and ends, and no memory is read
// after it has been released (the ASan and TSan builds check the rest).
#include "agent/support/snmp_request.h"
#include "discovery/watch_tables.h"

#include <gtest/gtest.h>
#include <velplat/clock.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace velmon {
namespace {

int CompareNames(const std::vector<UINT>& a, const std::vector<UINT>& b) {
  AsnObjectIdentifier x{static_cast<UINT>(a.size()), const_cast<UINT*>(a.data())};
  AsnObjectIdentifier y{static_cast<UINT>(b.size()), const_cast<UINT*>(b.data())};
  return SnmpUtilOidCmp(&x, &y);
}

TEST(ConcurrentWalk, WalksStayOrderedWhileEntriesComeAndGo) {
  velplat::clock::VirtualTimeScope virtualTime;  // watchers sleep until the end
  std::atomic<bool> stop{false};
  std::atomic<int> walks{0};
  std::atomic<int> disorder{0};

  std::thread writer([&] {
    for (LONG round = 1; round <= 60; ++round) {
      std::string name = "node" + std::to_string(round);
      AddNodeEntryWithState(std::string(200, 'd').c_str(), name.c_str(), round, 4);
      AddAddressEntryWithAddress(name.c_str(), round, 0x0100000Au);
      if (round % 10 == 1) AddClusterAddressEntryWithAddress("Cluster IP Address", round, 0x0200000Au);
      if (round % 3 == 0) {
        auto lock = LockWatchTables();
        if (NodeTable) RemoveNodeEntry(NodeTable);
        if (AddressTable && AddressTable->next) RemoveAddressEntry(AddressTable->next);
      }
    }
    stop = true;
  });

  auto reader = [&] {
    while (!stop || walks < 4) {
      std::vector<UINT> name = test::Under("");
      for (int step = 0; step < 2000; ++step) {
        test::Request request({name});
        request.Run(SNMP_PDU_GETNEXT);
        if (request.status != 0) {
          ++disorder;
          break;
        }
        std::vector<UINT> next(request[0].name.ids, request[0].name.ids + request[0].name.idLength);
        if (CompareNames(next, name) <= 0) ++disorder;
        if (test::Relative(request[0].name) == test::kEndOfView) break;
        name = next;
      }
      ++walks;
    }
  };
  std::thread reader1(reader), reader2(reader);
  writer.join();
  reader1.join();
  reader2.join();
  EXPECT_GE(walks.load(), 4);
  EXPECT_EQ(disorder.load(), 0);
}

}  // namespace
}  // namespace velmon
