// The SNMPv3 engine's identity kept in the state folder: the engine ID,
// made once, and snmpEngineBoots, one more at every start. The file is
// rewritten at start-up (temporary file, fsync, rename, fsync of the
// folder), so a process killed at any later moment has its boots on disk.
//
// Thread-safety: no shared state; one process per state folder.
#ifndef VELMOND_ENGINE_STATE_H
#define VELMOND_ENGINE_STATE_H

#include <cstdint>
#include <string>
#include <vector>

namespace velmond {

struct EngineState {
  std::vector<std::uint8_t> engineId;
  std::uint32_t boots = 0;
};

// The file in `dir` that holds the state.
std::string EngineStateFile(const std::string& dir);

// Reads the state from `dir` (a new engine ID at boots 0 when there is none
// yet; the folder is made if missing), adds one boot (RFC 3414 stops it at
// 2147483647) and writes it back durably. False with a message naming the
// file (and line) when the state cannot be read or written.
bool AdvanceEngineState(const std::string& dir, EngineState& state, std::string& error);

// "0x80007ed905..." as net-snmp's configuration takes it.
std::string HexEngineId(const std::vector<std::uint8_t>& id);

}  // namespace velmond

#endif
