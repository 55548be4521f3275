// The trap side of the SNMP service's contract: a thread waits on the trap
// event that SnmpExtensionInit handed back and, each time it is signalled,
// takes traps with SnmpExtensionTrap until the agent answers FALSE, handing
// each to `deliver`.
//
// Thread-safety: Start and Stop from one thread; `deliver` runs on the pump's
// own thread and must be safe there.
#ifndef VELMOND_TRAP_PUMP_H
#define VELMOND_TRAP_PUMP_H

#include <functional>
#include <thread>

#include "host/agent_library.h"

namespace velmond {

class TrapPump {
 public:
  TrapPump(AgentLibrary& agent, std::function<void(Trap)> deliver);
  TrapPump(const TrapPump&) = delete;
  TrapPump& operator=(const TrapPump&) = delete;
  ~TrapPump();

  // Does nothing for an agent without a trap event.
  void Start();
  // Ends the thread; traps the agent still holds stay with it.
  void Stop();

 private:
  void Pump();

  AgentLibrary& agent_;
  std::function<void(Trap)> deliver_;
  std::thread thread_;
};

}  // namespace velmond

#endif
