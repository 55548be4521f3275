// How velmond turns the extension agent's answer to one binding into the
// answer of the SNMP engine. Pure decisions, independent of both the SDK and
// net-snmp headers, so that they can be tested on their own.
//
//  - Get: noError answers the value; noSuchName becomes "no such instance"
//    (net-snmp turns it into noSuchName for v1); any other status stays.
//  - GetNext: only a noError answer inside the view and strictly after the
//    request is taken. The end-of-view name, an answer not after the request
//    and noSuchName leave the binding unanswered, so that the engine moves on
//    to the next registered region or answers endOfMibView. genErr and any
//    other status stay errors.
//  - Set: every refusal is reported with a v2c error status (net-snmp folds
//    them into noSuchName or badValue for v1).
//
// Thread-safety: pure functions.
#ifndef VELMOND_REQUEST_RULES_H
#define VELMOND_REQUEST_RULES_H

#include "host/neutral_types.h"

namespace velmond {

enum class Outcome { Answer, NoSuchInstance, LeaveUnanswered, Error };

struct Verdict {
  Outcome outcome = Outcome::Answer;
  int errorStatus = status::kNoError;  // for Outcome::Error
  bool operator==(const Verdict&) const = default;
};

Verdict JudgeGet(int agentStatus);
Verdict JudgeGetNext(const Oid& request, const Oid& view, int agentStatus, const Oid& answer);

// The v2c error status for a Set binding that the agent refused with
// `agentStatus`. `instanceExists` tells whether a Get of the same name is
// answered: refusing to change an existing instance is notWritable, refusing
// to create a missing one is noCreation.
int SetRefusal(int agentStatus, bool instanceExists);

}  // namespace velmond

#endif
