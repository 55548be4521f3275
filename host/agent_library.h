// An SNMP extension agent loaded from a shared library: any library that
// exports SnmpExtensionInit, SnmpExtensionQuery and SnmpExtensionTrap. velmond
// plays the SNMP service with it: one Init, then queries and trap collection.
//
// The interface is neutral (host/neutral_types.h); the SDK types stay inside
// the implementation. The library is never unloaded: an extension agent has
// no shutdown entry point and its threads run until the process ends.
//
// Thread-safety: Init once, before anything else. Query from one thread at a
// time; TakeTrap and WaitForTrap may run on another thread concurrently.
#ifndef VELMOND_AGENT_LIBRARY_H
#define VELMOND_AGENT_LIBRARY_H

#include <memory>
#include <optional>
#include <string>

#include "host/neutral_types.h"

namespace velmond {

class AgentLibrary {
 public:
  // Loads the library and finds the three entry points; null with a message
  // naming the library and what is missing.
  static std::unique_ptr<AgentLibrary> Load(const std::string& path, std::string& error);

  AgentLibrary(const AgentLibrary&) = delete;
  AgentLibrary& operator=(const AgentLibrary&) = delete;
  ~AgentLibrary();

  // Calls SnmpExtensionInit. On TRUE, `view` is the region the agent serves.
  bool Init(Oid& view);
  // Whether Init handed back a trap event.
  bool HasTrapEvent() const { return trapEvent_ != nullptr; }

  // One SnmpExtensionQuery call with the whole list; names and values are
  // updated in place from the agent's answer. A binding whose value cannot be
  // given to the agent (no allocator memory) ends the call with genErr.
  QueryResult Query(Pdu pdu, std::vector<Binding>& bindings);

  // One SnmpExtensionTrap call: the trap it handed over, or nullopt on FALSE.
  std::optional<Trap> TakeTrap();

  // Waits until the trap event is signalled (true) or Interrupt is called
  // (false). Without a trap event it returns false at once.
  bool WaitForTrap();
  // Wakes WaitForTrap for good; any thread.
  void Interrupt();

 private:
  struct EntryPoints;
  AgentLibrary(void* module, std::unique_ptr<EntryPoints> entries);

  // Never unloaded (the agent's threads still run in it); kept so that the
  // handle is at hand in a debugger.
  [[maybe_unused]] void* module_;
  std::unique_ptr<EntryPoints> entries_;
  void* trapEvent_ = nullptr;  // HANDLE owned by the agent
  void* stopEvent_ = nullptr;  // HANDLE owned by this object
};

}  // namespace velmond

#endif
