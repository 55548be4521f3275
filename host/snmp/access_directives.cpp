// net-snmp access configuration lines from ServerConfig.
#include "host/snmp/access_directives.h"

namespace velmond {
namespace {

const char* LevelWord(SecurityLevel level) {
  switch (level) {
    case SecurityLevel::NoAuthNoPriv: return "noauth";
    case SecurityLevel::AuthNoPriv: return "auth";
    case SecurityLevel::AuthPriv: return "priv";
  }
  return "priv";
}

// A community seen from the sources, in a security name of its own, member
// of `group` for each enabled version.
void AddCommunity(const ServerConfig& config, const std::string& community, const std::string& secName,
                  const std::string& group, std::vector<std::string>& lines) {
  std::vector<std::string> sources = config.communitySources;
  if (sources.empty()) sources = {"default"};
  for (const std::string& source : sources) {
    bool v6 = source.find(':') != std::string::npos;
    if (source == "default" || !v6) lines.push_back("com2sec " + secName + " " + source + " " + QuotedWord(community));
    if (source == "default" || v6) lines.push_back("com2sec6 " + secName + " " + source + " " + QuotedWord(community));
  }
  if (!config.noV1) lines.push_back("group " + group + " v1 " + secName);
  if (!config.noV2c) lines.push_back("group " + group + " v2c " + secName);
}

}  // namespace

std::string QuotedWord(const std::string& text) {
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') quoted += '\\';
    quoted += c;
  }
  return quoted + "\"";
}

std::vector<std::string> AccessDirectives(const ServerConfig& config) {
  // Communities see all but the SNMPv3 engine's own objects (snmpModules),
  // which mean nothing to v1 and v2c: so a community walk past the cluster
  // MIB still ends at the end of the MIB view, as before SNMPv3 came.
  // The write community's Sets reach the agent (which refuses them) but not
  // the system and snmp groups or the engine's objects.
  std::vector<std::string> lines = {"view velmondAll included .1",
                                    "view velmondCommunity included .1",
                                    "view velmondCommunity excluded .1.3.6.1.6.3",
                                    "view velmondWritable included .1",
                                    "view velmondWritable excluded .1.3.6.1.2.1.1",
                                    "view velmondWritable excluded .1.3.6.1.2.1.11",
                                    "view velmondWritable excluded .1.3.6.1.6.3"};
  if (!config.noV1 || !config.noV2c) {
    AddCommunity(config, config.community, "velmondRead", "velmondReaders", lines);
    lines.push_back("access velmondReaders \"\" any noauth exact velmondCommunity none none");
    if (!config.writeCommunity.empty()) {
      AddCommunity(config, config.writeCommunity, "velmondWrite", "velmondWriters", lines);
      lines.push_back("access velmondWriters \"\" any noauth exact velmondCommunity velmondWritable none");
    }
  }
  for (const UsmUser& user : config.users) {
    std::string create = "createUser " + QuotedWord(user.name);
    if (user.level != SecurityLevel::NoAuthNoPriv) {
      create += " " + user.authProtocol + " " + QuotedWord(user.authPassword);
      if (user.level == SecurityLevel::AuthPriv) create += " " + user.privProtocol + " " + QuotedWord(user.privPassword);
    }
    lines.push_back(create);
    lines.push_back("rouser " + QuotedWord(user.name) + " " + LevelWord(user.level) + " -V velmondAll");
  }
  return lines;
}

bool IsLoopbackEndpoint(const std::string& endpoint) {
  std::string rest = endpoint;
  for (const char* prefix : {"udp6:", "tcp6:", "udp:", "tcp:"}) {
    if (rest.rfind(prefix, 0) == 0) {
      rest = rest.substr(std::string(prefix).size());
      break;
    }
  }
  if (rest.rfind("127.", 0) == 0 || rest.rfind("localhost", 0) == 0) return true;
  return rest.rfind("[::1]", 0) == 0 || rest == "::1";
}

}  // namespace velmond
