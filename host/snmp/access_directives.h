// Who may read what, as lines of net-snmp's own access configuration
// (com2sec, group, access, view, createUser, rouser): the read community
// for v1 and/or v2c from the allowed sources, the write community likewise,
// and each SNMPv3 user read-only at its security level, over the whole tree
// velmond serves (communities without the SNMPv3 engine's snmpModules). net-snmp then does the checking, the counting of
// failures (snmpInBadCommunityNames, usmStats*) and the RFCs' answers.
//
// The lines carry pass phrases: they go to net-snmp in memory and nowhere
// else.
//
// Thread-safety: pure function; call from any thread.
#ifndef VELMOND_ACCESS_DIRECTIVES_H
#define VELMOND_ACCESS_DIRECTIVES_H

#include <string>
#include <vector>

#include "host/snmp/snmp_server.h"

namespace velmond {

std::vector<std::string> AccessDirectives(const ServerConfig& config);

// `text` as one quoted word of a net-snmp configuration line.
std::string QuotedWord(const std::string& text);

// True when a transport string ("udp:127.0.0.1:1161", "udp6:[::1]:161")
// names a loopback address only.
bool IsLoopbackEndpoint(const std::string& endpoint);

}  // namespace velmond

#endif
