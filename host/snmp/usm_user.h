// An SNMPv3 user as velmond configures it: name, security level and the
// protocols and pass phrases that level needs. Plain data; the checks that
// make a user acceptable (names of protocols, pass phrase lengths) live with
// the configuration file reader, which knows where the user was written.
//
// Thread-safety: plain data.
#ifndef VELMOND_USM_USER_H
#define VELMOND_USM_USER_H

#include <string>

namespace velmond {

enum class SecurityLevel { NoAuthNoPriv, AuthNoPriv, AuthPriv };

struct UsmUser {
  std::string name;
  SecurityLevel level = SecurityLevel::AuthPriv;
  std::string authProtocol;  // net-snmp's name: "SHA", "SHA-256", ...; empty at noAuthNoPriv
  std::string authPassword;
  std::string privProtocol;  // "AES" or "DES"; empty below authPriv
  std::string privPassword;
  std::string origin;        // "FILE:LINE" of its definition, for messages
};

}  // namespace velmond

#endif
