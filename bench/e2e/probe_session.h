// One SNMP v2c client session over net-snmp's single-session API, for the
// end-to-end measurements: timed Gets of one object and complete walks of a
// subtree with GetNext or GetBulk.
//
// Contract: the constructor opens the session (throws std::runtime_error when
// net-snmp cannot); every request waits for its answer (no retries, so a lost
// packet shows as an error rather than as a hidden extra round trip). Get()
// and Walk() throw std::runtime_error on a timeout, an SNMP error status or
// an exception value (noSuchObject, noSuchInstance) for a Get: a benchmark
// that silently timed error answers would measure the wrong thing.
// InitClientLibrary() must run once before the first session; it keeps
// net-snmp from reading the user's or the system's configuration, MIB files
// and persistent state, so runs are reproducible.
// Thread-safety: one session per thread; not shareable.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace velbench {

using Oid = std::vector<unsigned long>;

// ".1.3.6.1..." or "1.3.6.1..." to arcs; throws std::invalid_argument.
Oid ParseNumericOid(const std::string& text);

void InitClientLibrary();

class ProbeSession {
 public:
  ProbeSession(const std::string& peer, const std::string& community, long timeout_us);
  ~ProbeSession();
  ProbeSession(const ProbeSession&) = delete;
  ProbeSession& operator=(const ProbeSession&) = delete;

  // One Get of `oid`; returns when the answer is in.
  void Get(const Oid& oid);

  // True when the agent answers a Get of `oid` at all (any value, any error
  // status); false on a timeout. For waiting until an agent listens.
  bool Answers(const Oid& oid);

  // Walks every object below `root` (GetNext when repetitions is 0,
  // GetBulk otherwise) and returns how many varbinds the walk produced.
  std::size_t Walk(const Oid& root, int repetitions);

 private:
  void* handle_ = nullptr;
};

}  // namespace velbench
