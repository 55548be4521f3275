// net-snmp's system, snmp, snmpEngine and statistics modules, started by hand.
#include "host/snmp/system_group.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/agent/net-snmp-agent-includes.h>
#include <net-snmp/agent/agent_sysORTable.h>

#include "host/snmp/netsnmp_convert.h"

// Module entry points of net-snmp's MIB library; it installs no header
// declaring them.
extern "C" {
void init_system_mib(void);
void init_sysORTable(void);
void init_snmp_mib(void);
void init_snmpEngine(void);
void init_snmpMPDStats(void);
void init_usmStats(void);
}

namespace velmond {
namespace {

// Layers 4 (end-to-end) and 7 (applications), as for any host agent.
constexpr int kSysServices = 72;

}  // namespace

void StartSystemGroup(const Oid& view) {
  init_system_mib();
  init_sysORTable();
  init_snmp_mib();
  init_snmpEngine();
  init_snmpMPDStats();
  init_usmStats();
  static std::vector<oid> name = netsnmp::ToNetsnmpOid(view);
  register_sysORTable(name.data(), name.size(), "The cluster agent's objects (VELMORA-RAC-MIB)");
}

std::vector<std::string> SystemDirectives(const ServerConfig& config) {
  std::vector<std::string> lines = {
      "sysobjectid " + std::string(kSysObjectId),
      "sysservices " + std::to_string(kSysServices),
  };
  // Each value is the rest of its line; an empty one keeps net-snmp's default.
  if (!config.sysDescr.empty()) lines.push_back("sysdescr " + config.sysDescr);
  if (!config.sysName.empty()) lines.push_back("sysname " + config.sysName);
  if (!config.sysContact.empty()) lines.push_back("syscontact " + config.sysContact);
  if (!config.sysLocation.empty()) lines.push_back("syslocation " + config.sysLocation);
  return lines;
}

}  // namespace velmond
