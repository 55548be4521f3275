#include "table_wait.h"

#include "agent/support/watch_table_rows.h"

#include <thread>

namespace velmon::bench {

bool WaitForTableRows(std::size_t rows, std::chrono::steady_clock::time_point deadline) {
  while (test::NodeCount() < rows || test::AddressCount() < rows) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::microseconds(100));
  }
  return true;
}

}  // namespace velmon::bench
