// The embedded net-snmp agent: set-up, the request loop and trap sending.
#include "host/snmp/snmp_server.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/agent/net-snmp-agent-includes.h>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "host/snmp/access_directives.h"
#include "host/snmp/engine_state.h"
#include "host/snmp/netsnmp_convert.h"
#include "host/snmp/system_group.h"

namespace velmond {
namespace {

constexpr const char* kApplication = "velmond";

void Remember(const std::string& line) {
  std::string copy = line;  // net-snmp takes a writable buffer and copies it
  netsnmp_config_remember(copy.data());
}

// net-snmp's only writable place. Its certificate index folder is made here
// in advance, so that net-snmp does not announce creating it.
std::string MakePrivateDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/velmond-XXXXXX";
  if (!mkdtemp(pattern.data())) return {};
  std::error_code ignored;
  std::filesystem::create_directory(pattern + "/cert_indexes", ignored);
  return pattern;
}

// "udp:127.0.0.1:40123" for the socket as actually bound.
std::string BoundEndpoint(int sock, const std::string& fallback) {
  sockaddr_storage address{};
  socklen_t length = sizeof(address);
  int type = 0;
  socklen_t typeLength = sizeof(type);
  if (getsockname(sock, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
      getsockopt(sock, SOL_SOCKET, SO_TYPE, &type, &typeLength) != 0) {
    return fallback;
  }
  const char* protocol = type == SOCK_STREAM ? "tcp" : "udp";
  char text[INET6_ADDRSTRLEN] = {};
  if (address.ss_family == AF_INET) {
    auto* in = reinterpret_cast<sockaddr_in*>(&address);
    inet_ntop(AF_INET, &in->sin_addr, text, sizeof(text));
    return std::string(protocol) + ":" + text + ":" + std::to_string(ntohs(in->sin_port));
  }
  if (address.ss_family == AF_INET6) {
    auto* in6 = reinterpret_cast<sockaddr_in6*>(&address);
    inet_ntop(AF_INET6, &in6->sin6_addr, text, sizeof(text));
    return std::string(protocol) + "6:[" + text + "]:" + std::to_string(ntohs(in6->sin6_port));
  }
  return fallback;
}

}  // namespace

SnmpServer::SnmpServer() = default;

bool SnmpServer::Start(const ServerConfig& config, const Oid& view, QueryFunction query, std::string& error) {
  view_ = view;
  int fds[2];
  if (pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
    error = "cannot create the wake-up pipe";
    return false;
  }
  wakeRead_ = fds[0];
  wakeWrite_ = fds[1];
  privateDir_ = MakePrivateDir();
  if (privateDir_.empty()) {
    error = "cannot create a private folder for net-snmp";
    return false;
  }

  // No MIB files, no configuration files, no persistent state.
  setenv("MIBS", "", 1);
  snmp_disable_log();
  snmp_enable_stderrlog();
  netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
  netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
  netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
  netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_PERSIST_STATE, 1);
  netsnmp_ds_set_string(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_PERSISTENT_DIR, privateDir_.c_str());
  // Consulted again during snmp_shutdown, after the setting above is gone.
  setenv("SNMP_PERSISTENT_DIR", privateDir_.c_str(), 1);
  netsnmp_ds_set_boolean(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_DONT_LOG_TCPWRAPPERS_CONNECTS, 1);
  netsnmp_ds_set_string(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_CONFIGURATION_DIR, privateDir_.c_str());

  bool subagent = !config.agentxSocket.empty();
  // The boots are on disk before anything listens.
  EngineState engine;
  if (!subagent && !config.stateDir.empty()) {
    if (!AdvanceEngineState(config.stateDir, engine, error)) return false;
    engineBoots_ = engine.boots;
    engineId_ = HexEngineId(engine.engineId);
  }
  if (subagent) {
    netsnmp_ds_set_boolean(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_ROLE, 1);
    netsnmp_ds_set_string(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_X_SOCKET, config.agentxSocket.c_str());
  }
  // Without this net-snmp opens the SMUX port (TCP 199) on every interface.
  static char noSmux[] = "-smux";
  add_to_init_list(noSmux);
  if (init_agent(kApplication) != 0) {
    error = "net-snmp's agent library failed to start";
    return false;
  }
  started_ = true;
  if (subagent) {
    // Reconnect within a second when the master goes away and comes back.
    netsnmp_ds_set_int(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_AGENTX_PING_INTERVAL, 1);
  } else {
    // init_agent has registered the access directives (com2sec, group, ...);
    // registering them again would count each bad community twice.
    StartSystemGroup(view);
    if (!engineId_.empty()) {
      // net-snmp keeps the boots it is told (plus one) only for the same
      // engine ID it ran as before.
      Remember("exactEngineID " + engineId_);
      Remember("oldEngineID " + engineId_);
      Remember("engineBoots " + std::to_string(engineBoots_ - 1));
    }
    for (const std::string& line : SystemDirectives(config)) Remember(line);
    for (const std::string& line : AccessDirectives(config)) Remember(line);
  }
  for (const std::string& sink : config.trapSinks) {
    Remember(std::string(config.trapVersion == TrapVersion::V1 ? "trapsink " : "trap2sink ") + sink + " " +
             config.community);
  }
  if (!RegisterView(view, std::move(query), error)) return false;
  init_snmp(kApplication);

  if (subagent) {
    endpoint_ = "agentx:" + config.agentxSocket;
  } else {
    netsnmp_transport* transport = netsnmp_transport_open_server(kApplication, config.listen.c_str());
    if (!transport) {
      error = "cannot listen on " + config.listen;
      return false;
    }
    endpoint_ = BoundEndpoint(transport->sock, config.listen);
    if (netsnmp_register_agent_nsap(transport) < 0) {
      netsnmp_transport_free(transport);
      error = "net-snmp cannot serve " + config.listen;
      return false;
    }
  }
  register_readfd(wakeRead_, &SnmpServer::OnWake, this);
  return true;
}

void SnmpServer::Run() {
  while (!stop_.load()) agent_check_and_process(1);
}

void SnmpServer::Stop() {
  stop_.store(true);
  Wake();
}

void SnmpServer::PostTrap(Trap trap) {
  {
    std::lock_guard lock(trapsMutex_);
    traps_.push_back(std::move(trap));
  }
  Wake();
}

void SnmpServer::Wake() {
  if (wakeWrite_ < 0) return;
  char byte = 1;
  // A full pipe already holds a wake-up; nothing is lost.
  [[maybe_unused]] ssize_t written = write(wakeWrite_, &byte, 1);
}

void SnmpServer::OnWake(int fd, void* self) {
  char buffer[64];
  while (read(fd, buffer, sizeof(buffer)) > 0) {
  }
  static_cast<SnmpServer*>(self)->SendQueuedTraps();
}

void SnmpServer::SendQueuedTraps() {
  std::deque<Trap> pending;
  {
    std::lock_guard lock(trapsMutex_);
    pending.swap(traps_);
  }
  for (const Trap& trap : pending) SendTrap(trap);
}

void SnmpServer::SendTrap(const Trap& trap) {
  netsnmp_variable_list* variables = nullptr;
  for (const Binding& binding : trap.bindings) {
    std::vector<oid> name = netsnmp::ToNetsnmpOid(binding.name);
    netsnmp_variable_list* added =
        snmp_varlist_add_variable(&variables, name.data(), name.size(), ASN_NULL, nullptr, 0);
    if (added && binding.value.kind != ValueKind::Null) netsnmp::SetVariableValue(added, binding.value);
  }
  // A trap without an enterprise is reported under the agent's view.
  std::vector<oid> enterprise = netsnmp::ToNetsnmpOid(trap.enterprise.empty() ? view_ : trap.enterprise);
  send_enterprise_trap_vars(trap.genericTrap, trap.specificTrap, enterprise.data(),
                            static_cast<int>(enterprise.size()), variables);
  snmp_free_varbind(variables);
}

void SnmpServer::Shutdown() {
  // The wake-up pipe stays open until destruction: Stop and PostTrap may
  // still be writing to it from other threads.
  if (started_) {
    unregister_readfd(wakeRead_);
    snmp_shutdown(kApplication);
    started_ = false;
  }
  if (!privateDir_.empty()) {
    std::error_code ignored;
    std::filesystem::remove_all(privateDir_, ignored);
    privateDir_.clear();
  }
}

SnmpServer::~SnmpServer() {
  Shutdown();
  if (wakeRead_ >= 0) close(wakeRead_);
  if (wakeWrite_ >= 0) close(wakeWrite_);
}

}  // namespace velmond
