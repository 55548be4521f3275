// Draining the agent's traps when its trap event fires.
#include "host/trap_pump.h"

namespace velmond {

TrapPump::TrapPump(AgentLibrary& agent, std::function<void(Trap)> deliver)
    : agent_(agent), deliver_(std::move(deliver)) {}

TrapPump::~TrapPump() { Stop(); }

void TrapPump::Start() {
  if (agent_.HasTrapEvent() && !thread_.joinable()) thread_ = std::thread([this] { Pump(); });
}

void TrapPump::Stop() {
  if (!thread_.joinable()) return;
  agent_.Interrupt();
  thread_.join();
}

void TrapPump::Pump() {
  while (agent_.WaitForTrap()) {
    while (auto trap = agent_.TakeTrap()) deliver_(std::move(*trap));
  }
}

}  // namespace velmond
