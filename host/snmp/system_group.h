// The system group (SNMPv2-MIB) and the agent-level tables velmond answers
// in embedded mode, all served by net-snmp's own modules: sysDescr and its
// neighbours, sysORTable naming the cluster MIB, the snmp group's counters
// (snmpInBadCommunityNames, ...), snmpEngine and the USM and MPD
// statistics. Under AgentX the master answers all of these and velmond
// starts none of them.
//
// Thread-safety: the net-snmp thread, between init_agent and init_snmp.
#ifndef VELMOND_SYSTEM_GROUP_H
#define VELMOND_SYSTEM_GROUP_H

#include <string>
#include <vector>

#include "host/neutral_types.h"
#include "host/snmp/snmp_server.h"

namespace velmond {

// velmond's sysObjectID: velmoraVelmond in VELMORA-RAC-MIB.
inline const char* const kSysObjectId = ".1.3.6.1.4.1.32473.2.18.22.4.3";

// Starts net-snmp's modules and lists the cluster MIB (`view`) in sysORTable.
void StartSystemGroup(const Oid& view);

// The configuration lines that fill the group from `config`.
std::vector<std::string> SystemDirectives(const ServerConfig& config);

}  // namespace velmond

#endif
