#include "probe_session.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>

#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <vector>

namespace velbench {
namespace {

struct PduFree {
  void operator()(netsnmp_pdu* pdu) const { snmp_free_pdu(pdu); }
};
using PduPtr = std::unique_ptr<netsnmp_pdu, PduFree>;

bool InSubtree(const Oid& root, const oid* name, std::size_t length) {
  if (length <= root.size()) return false;
  for (std::size_t i = 0; i < root.size(); ++i)
    if (name[i] != root[i]) return false;
  return true;
}

bool IsException(const netsnmp_variable_list* vb) {
  return vb->type == SNMP_NOSUCHOBJECT || vb->type == SNMP_NOSUCHINSTANCE || vb->type == SNMP_ENDOFMIBVIEW;
}

}  // namespace

Oid ParseNumericOid(const std::string& text) {
  Oid arcs;
  std::size_t pos = text.starts_with('.') ? 1 : 0;
  while (pos < text.size()) {
    std::size_t end = text.find('.', pos);
    if (end == std::string::npos) end = text.size();
    const std::string arc = text.substr(pos, end - pos);
    if (arc.empty() || arc.find_first_not_of("0123456789") != std::string::npos)
      throw std::invalid_argument("not a numeric OID: " + text);
    arcs.push_back(std::stoul(arc));
    pos = end + 1;
  }
  if (arcs.size() < 2 || arcs.size() > MAX_OID_LEN) throw std::invalid_argument("not a numeric OID: " + text);
  return arcs;
}

void InitClientLibrary() {
  // No MIB modules (OIDs are numeric), no snmp.conf, no persistent files.
  setenv("MIBS", "", 1);
  netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
  netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_PERSIST_STATE, 1);
  netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
  netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
  init_snmp("velmon-snmp-probe");
}

ProbeSession::ProbeSession(const std::string& peer, const std::string& community, long timeout_us) {
  netsnmp_session settings;
  snmp_sess_init(&settings);
  std::vector<char> peer_text(peer.begin(), peer.end());
  peer_text.push_back('\0');
  std::vector<u_char> community_text(community.begin(), community.end());
  settings.peername = peer_text.data();
  settings.version = SNMP_VERSION_2c;
  settings.community = community_text.data();
  settings.community_len = community_text.size();
  settings.timeout = timeout_us;
  settings.retries = 0;
  handle_ = snmp_sess_open(&settings);  // copies what it keeps
  if (handle_ == nullptr) throw std::runtime_error("cannot open an SNMP session to " + peer);
}

ProbeSession::~ProbeSession() { snmp_sess_close(handle_); }

namespace {

PduPtr Exchange(void* handle, netsnmp_pdu* request) {
  netsnmp_pdu* raw = nullptr;
  const int status = snmp_sess_synch_response(handle, request, &raw);  // frees the request
  PduPtr response(raw);
  if (status == STAT_TIMEOUT) throw std::runtime_error("request timed out");
  if (status != STAT_SUCCESS || !response) throw std::runtime_error("request failed");
  if (response->errstat != SNMP_ERR_NOERROR)
    throw std::runtime_error(std::string("error status ") + snmp_errstring(static_cast<int>(response->errstat)));
  return response;
}

}  // namespace

void ProbeSession::Get(const Oid& name) {
  netsnmp_pdu* request = snmp_pdu_create(SNMP_MSG_GET);
  snmp_add_null_var(request, name.data(), name.size());
  const PduPtr response = Exchange(handle_, request);
  if (response->variables == nullptr || IsException(response->variables))
    throw std::runtime_error("the agent has no value for that object");
}

bool ProbeSession::Answers(const Oid& name) {
  netsnmp_pdu* request = snmp_pdu_create(SNMP_MSG_GET);
  snmp_add_null_var(request, name.data(), name.size());
  netsnmp_pdu* raw = nullptr;
  const int status = snmp_sess_synch_response(handle_, request, &raw);
  const PduPtr response(raw);
  return status == STAT_SUCCESS && response != nullptr;
}

std::size_t ProbeSession::Walk(const Oid& root, int repetitions) {
  std::vector<oid> cursor(root.begin(), root.end());
  std::size_t count = 0;
  for (;;) {
    netsnmp_pdu* request = snmp_pdu_create(repetitions > 0 ? SNMP_MSG_GETBULK : SNMP_MSG_GETNEXT);
    if (repetitions > 0) {
      request->non_repeaters = 0;
      request->max_repetitions = repetitions;
    }
    snmp_add_null_var(request, cursor.data(), cursor.size());
    const PduPtr response = Exchange(handle_, request);
    if (response->variables == nullptr) throw std::runtime_error("empty answer during a walk");
    for (const netsnmp_variable_list* vb = response->variables; vb != nullptr; vb = vb->next_variable) {
      if (vb->type == SNMP_ENDOFMIBVIEW || !InSubtree(root, vb->name, vb->name_length)) return count;
      if (snmp_oid_compare(vb->name, vb->name_length, cursor.data(), cursor.size()) <= 0)
        throw std::runtime_error("the agent answered an OID that does not increase");
      cursor.assign(vb->name, vb->name + vb->name_length);
      ++count;
    }
  }
}

}  // namespace velbench
