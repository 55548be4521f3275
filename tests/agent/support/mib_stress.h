// A bounded stress run against the agent: request threads walk the whole view
// with GetNext and read rows and random cells with Get while a churn thread
// changes the world and a driver thread moves the virtual clock on, so that
// the back-end's watchers and the entries' watcher threads run alongside the
// requests. Every answer is checked as it arrives:
//   - GetNext answers noError with a name greater than the one asked, so a
//     walk increases strictly until the end of the view;
//   - every answered cell has its column's ASN type and instance shape, and
//     texts fit their documented lengths;
//   - a row's cells never change their name or address once seen, and a row
//     that has gone never comes back (row numbers are not reused);
//   - a whole row read in one Get request is answered from one row: the
//     handlers look the row up one binding at a time under the tables' lock,
//     so the row may go between two bindings, and then every later binding
//     answers it gone (the empty default or noSuchName), never present again.
//
// Thread-safety: RunMibStress owns its threads; the churn step runs on one of
// them only.
#ifndef VELMON_TESTS_AGENT_MIB_STRESS_H
#define VELMON_TESTS_AGENT_MIB_STRESS_H

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace velmon::test {

struct StressRules {
  size_t maxNodeNameLength = 255;  // the node name column's longest answer
  bool rowsStay = false;           // no node or address row is ever removed
  int requestThreads = 3;
};

struct StressResult {
  uint64_t requests = 0;    // SnmpExtensionQuery calls
  uint64_t walks = 0;       // complete walks of the view
  uint64_t rowReads = 0;    // whole-row Get requests
  uint64_t goneRows = 0;    // answers that found a row removed since it was named
  uint64_t churnSteps = 0;  // changes made to the world
  std::vector<std::string> faults;  // the first inconsistent answers, described
};

// How long a stress case runs: VELMON_STRESS_SECONDS, default 3 s.
std::chrono::milliseconds StressDuration();

// Runs the request threads and `churnStep` (called again and again on its own
// thread with a seeded generator) for `duration`; advances the virtual clock
// meanwhile when it is in use.
StressResult RunMibStress(const StressRules& rules, std::chrono::milliseconds duration,
                          const std::function<void(std::mt19937&)>& churnStep);

// One line for the log: the counts above.
std::string Summary(const StressResult& result);

}  // namespace velmon::test

#endif
