// velmond's SNMP engine: net-snmp's agent library embedded in the process,
// serving the extension agent's view either on its own transport (with the
// system group, v1/v2c communities and SNMPv3 users) or as an AgentX
// subagent of a running snmpd, and sending the agent's traps to the
// configured sinks.
//
// net-snmp is set up to read no configuration file, load no MIB and keep no
// persistent state: everything comes from ServerConfig. Its only writable
// folder is a private temporary one, removed by Shutdown. The one lasting
// state, the SNMPv3 engine ID and boots, is velmond's own file in
// ServerConfig::stateDir (see engine_state.h).
//
// Thread-safety: net-snmp is single-threaded. Start, Run and Shutdown belong
// to one thread (the main thread); Stop and PostTrap may be called from any
// thread, and the loop picks their work up at once. They stay safe after
// Shutdown, until the object is destroyed.
#ifndef VELMOND_SNMP_SERVER_H
#define VELMOND_SNMP_SERVER_H

#include <atomic>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "host/neutral_types.h"
#include "host/snmp/usm_user.h"
#include "host/snmp/view_handler.h"

namespace velmond {

enum class TrapVersion { V1, V2c };

struct ServerConfig {
  std::string listen = "udp:127.0.0.1:1161";  // net-snmp transport string
  std::string community = "public";           // read-only, v1 and v2c
  std::vector<std::string> communitySources;  // addresses or networks the communities answer; empty: any
  bool noV1 = false;                          // refuse SNMPv1
  bool noV2c = false;                         // refuse SNMPv2c
  std::vector<UsmUser> users;                 // SNMPv3 users, read-only; need stateDir
  std::string stateDir;                       // empty: none (no v3 users); else engine ID and boots live here
  std::string sysDescr;                       // the system group (embedded mode only)
  std::string sysName;
  std::string sysContact;
  std::string sysLocation;
  std::string writeCommunity;                 // empty: none; Sets reach the agent only through it
  std::string agentxSocket;                   // not empty: AgentX subagent of this master instead of listening
  std::vector<std::string> trapSinks;         // transport strings
  TrapVersion trapVersion = TrapVersion::V2c;
};

class SnmpServer {
 public:
  SnmpServer();
  SnmpServer(const SnmpServer&) = delete;
  SnmpServer& operator=(const SnmpServer&) = delete;
  ~SnmpServer();

  // Sets net-snmp up, registers the view and opens the transport (or starts
  // the AgentX session). False with a message on failure.
  bool Start(const ServerConfig& config, const Oid& view, QueryFunction query, std::string& error);
  // Where requests are served, as a transport string with the port
  // actually bound ("udp:127.0.0.1:40123"), or "agentx:<socket>".
  const std::string& Endpoint() const { return endpoint_; }
  // The SNMPv3 engine ID ("0x80007ed905...") and boots of this run, kept
  // in the state folder; empty and 0 without one.
  const std::string& EngineId() const { return engineId_; }
  unsigned EngineBoots() const { return engineBoots_; }

  // Serves requests until Stop.
  void Run();
  void Stop();
  // Queues a trap for the sinks; sent by the loop.
  void PostTrap(Trap trap);
  // Releases net-snmp and the private folder.
  void Shutdown();

 private:
  void Wake();
  static void OnWake(int fd, void* self);
  void SendQueuedTraps();
  void SendTrap(const Trap& trap);

  std::string endpoint_;
  std::string engineId_;
  unsigned engineBoots_ = 0;
  std::string privateDir_;
  Oid view_;
  bool started_ = false;
  int wakeRead_ = -1;
  int wakeWrite_ = -1;
  std::atomic<bool> stop_{false};
  std::mutex trapsMutex_;
  std::deque<Trap> traps_;
};

}  // namespace velmond

#endif
