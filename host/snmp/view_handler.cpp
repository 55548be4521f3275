// The net-snmp handler of the agent's view.
#include "host/snmp/view_handler.h"

#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/agent/net-snmp-agent-includes.h>

#include "host/snmp/netsnmp_convert.h"
#include "host/request_rules.h"

namespace velmond {
namespace {

struct ViewContext {
  Oid view;
  std::vector<oid> viewArcs;  // the view in net-snmp's form, for its access check
  QueryFunction query;
  std::vector<Binding> one;  // AskOne's list, kept so that its memory is too
};

// One binding through the agent: the status of its answer, and the answer,
// which only a noError status makes meaningful. The binding is moved in and
// out rather than copied: this runs once per varbind.
int AskOne(ViewContext& context, Pdu pdu, Binding& binding) {
  std::vector<Binding>& list = context.one;
  list.clear();
  list.push_back(std::move(binding));
  QueryResult result = context.query(pdu, list);
  binding = std::move(list.front());
  list.clear();
  return result.returned ? result.errorStatus : status::kGenErr;
}

void Fail(netsnmp_agent_request_info* reqinfo, netsnmp_request_info* request, int error) {
  netsnmp_set_request_error(reqinfo, request, error);
}

void Answer(netsnmp_agent_request_info* reqinfo, netsnmp_request_info* request, const Binding& answer,
            bool rename) {
  netsnmp_variable_list* variable = request->requestvb;
  if (rename) {
    std::vector<oid> name = netsnmp::ToNetsnmpOid(answer.name);
    if (snmp_set_var_objid(variable, name.data(), name.size()) != 0) {
      Fail(reqinfo, request, SNMP_ERR_GENERR);
      return;
    }
  }
  if (!netsnmp::SetVariableValue(variable, answer.value)) Fail(reqinfo, request, SNMP_ERR_GENERR);
}

void HandleGet(ViewContext& context, netsnmp_agent_request_info* reqinfo, netsnmp_request_info* request) {
  auto name = netsnmp::FromNetsnmpOid(request->requestvb->name, request->requestvb->name_length);
  if (!name) {
    Fail(reqinfo, request, SNMP_NOSUCHINSTANCE);
    return;
  }
  Binding binding{*name, {}};
  Verdict verdict = JudgeGet(AskOne(context, Pdu::Get, binding));
  switch (verdict.outcome) {
    case Outcome::Answer:
      Answer(reqinfo, request, binding, false);
      break;
    case Outcome::NoSuchInstance:
      Fail(reqinfo, request, SNMP_NOSUCHINSTANCE);
      break;
    case Outcome::Error:
      Fail(reqinfo, request, verdict.errorStatus);
      break;
    case Outcome::LeaveUnanswered:
      break;
  }
}

void HandleGetNext(ViewContext& context, netsnmp_agent_request_info* reqinfo, netsnmp_request_info* request) {
  auto name = netsnmp::FromNetsnmpOid(request->requestvb->name, request->requestvb->name_length);
  if (!name) return;  // past any name the agent can answer; the engine moves on
  // The engine hands over a name that sorts before the view unchanged; the
  // agent answers only names inside its view, so the search starts at the
  // view itself, as the SNMP service moves a request to the region's start.
  bool inclusive = request->inclusive != 0;
  if (*name < context.view) {
    *name = context.view;
    inclusive = true;
  }
  if (inclusive) {
    // The engine moved the name to the start of a region; that name itself
    // is an acceptable answer when it is an instance.
    Binding exact{*name, {}};
    if (JudgeGet(AskOne(context, Pdu::Get, exact)).outcome == Outcome::Answer) {
      Answer(reqinfo, request, exact, false);
      return;
    }
  }
  Binding binding{*name, {}};
  int agentStatus = AskOne(context, Pdu::GetNext, binding);
  Verdict verdict = JudgeGetNext(*name, context.view, agentStatus, binding.name);
  if (verdict.outcome == Outcome::Answer) {
    Answer(reqinfo, request, binding, true);
  } else if (verdict.outcome == Outcome::Error) {
    Fail(reqinfo, request, verdict.errorStatus);
  }
}

// Whether the request's access rights cover every name in the view, so that
// no answer inside it can be one that net-snmp's access check would take
// back. (An AgentX master has checked access itself; net-snmp passes such
// requests.)
bool WholeViewReadable(ViewContext& context, netsnmp_agent_request_info* reqinfo) {
  if (!reqinfo->asp || !reqinfo->asp->pdu) return false;
  return netsnmp_acm_check_subtree(reqinfo->asp->pdu, context.viewArcs.data(), context.viewArcs.size()) ==
         VACM_SUCCESS;
}

// GetBulk. A round answers one repetition of every request in it, as a
// GetNext, and then net-snmp's own bulk-to-next step moves each answered
// request on to its next repetition: exactly one pass of net-snmp's GetNext
// loop through this view, which is how a handler without GetBulk support
// is driven. Between two passes net-snmp checks access to the answers, lets
// the answers that ran past this registration start again after it, and
// re-enters the view for the requests that go on; with access to the whole
// view, no failed request and every answer inside the registration, that
// changes nothing, so the rounds go on here without the pass in between.
// Otherwise, and for the requests that left the view, net-snmp carries on
// as it would after a single pass; the answers and their order stay the
// same, and so does what net-snmp cuts from the response to fit the message.
void HandleGetBulk(ViewContext& context, netsnmp_agent_request_info* reqinfo, netsnmp_request_info* requests) {
  const bool rounds = WholeViewReadable(context, reqinfo);
  std::vector<netsnmp_request_info*> round;
  for (netsnmp_request_info* r = requests; r; r = r->next) {
    if (!r->processed) round.push_back(r);
  }
  std::vector<netsnmp_request_info*> next;
  while (!round.empty()) {
    for (netsnmp_request_info* r : round) HandleGetNext(context, reqinfo, r);
    netsnmp_bulk_to_next_fix_requests(requests);
    if (!rounds) return;
    next.clear();
    for (netsnmp_request_info* r : round) {
      if (r->status != SNMP_ERR_NOERROR) return;  // the engine ends the request with the error
      netsnmp_variable_list* variable = r->requestvb;
      if (variable->type != ASN_PRIV_RETRY) continue;  // no repetition left, or left the view
      if (snmp_oid_compare(variable->name, variable->name_length, r->range_end, r->range_end_len) >= 0) return;
      next.push_back(r);
    }
    // As net-snmp readies a request it hands to the same region again.
    for (netsnmp_request_info* r : next) r->requestvb->type = ASN_NULL;
    round.swap(next);
  }
}

// The whole Set goes to the agent in one call during the first phase; a
// refusal marks the binding the agent named. Later phases have nothing to do.
void HandleSet(ViewContext& context, netsnmp_agent_request_info* reqinfo, netsnmp_request_info* requests) {
  std::vector<netsnmp_request_info*> order;
  std::vector<Binding> bindings;
  for (netsnmp_request_info* r = requests; r; r = r->next) {
    if (r->processed) continue;
    auto name = netsnmp::FromNetsnmpOid(r->requestvb->name, r->requestvb->name_length);
    if (!name) {
      Fail(reqinfo, r, SNMP_ERR_NOCREATION);
      return;
    }
    order.push_back(r);
    bindings.push_back({*name, netsnmp::FromVariable(*r->requestvb)});
  }
  if (order.empty()) return;
  std::vector<Binding> asked = bindings;
  QueryResult result = context.query(Pdu::Set, asked);
  if (!result.returned) {
    Fail(reqinfo, order.front(), SNMP_ERR_GENERR);
    return;
  }
  if (result.errorStatus == status::kNoError) return;
  size_t at = (result.errorIndex >= 1 && static_cast<size_t>(result.errorIndex) <= order.size())
                  ? static_cast<size_t>(result.errorIndex - 1)
                  : 0;
  Binding probe{bindings[at].name, {}};
  bool exists = JudgeGet(AskOne(context, Pdu::Get, probe)).outcome == Outcome::Answer;
  int refusal = SetRefusal(result.errorStatus, exists);
  Fail(reqinfo, order[at], refusal == status::kNoError ? SNMP_ERR_GENERR : refusal);
}

int HandleView(netsnmp_mib_handler* handler, netsnmp_handler_registration*, netsnmp_agent_request_info* reqinfo,
               netsnmp_request_info* requests) {
  auto& context = *static_cast<ViewContext*>(handler->myvoid);
  switch (reqinfo->mode) {
    case MODE_GET:
      for (netsnmp_request_info* r = requests; r; r = r->next) {
        if (!r->processed) HandleGet(context, reqinfo, r);
      }
      break;
    case MODE_GETNEXT:
      for (netsnmp_request_info* r = requests; r; r = r->next) {
        if (!r->processed) HandleGetNext(context, reqinfo, r);
      }
      break;
    case MODE_GETBULK:
      HandleGetBulk(context, reqinfo, requests);
      break;
    case MODE_SET_RESERVE1:
      HandleSet(context, reqinfo, requests);
      break;
    default:
      // The remaining Set phases: nothing was reserved, nothing to undo.
      break;
  }
  return SNMP_ERR_NOERROR;
}

}  // namespace

bool RegisterView(const Oid& view, QueryFunction query, std::string& error) {
  // Lives as long as the registration, that is until the process ends.
  auto* context = new ViewContext{view, netsnmp::ToNetsnmpOid(view), std::move(query), {}};
  const std::vector<oid>& arcs = context->viewArcs;
  // Claiming GetBulk keeps net-snmp from putting its bulk-to-next helper in
  // front of the handler.
  netsnmp_handler_registration* registration = netsnmp_create_handler_registration(
      "velmon", HandleView, arcs.data(), arcs.size(), HANDLER_CAN_RWRITE | HANDLER_CAN_GETBULK);
  if (!registration) {
    error = "net-snmp cannot create a registration for " + ToString(view);
    delete context;
    return false;
  }
  registration->handler->myvoid = context;
  registration->handler->data_free = [](void* data) { delete static_cast<ViewContext*>(data); };
  int rc = netsnmp_register_handler(registration);
  if (rc != MIB_REGISTERED_OK) {
    error = "net-snmp refused to register " + ToString(view) + " (code " + std::to_string(rc) + ")";
    return false;
  }
  return true;
}

}  // namespace velmond
