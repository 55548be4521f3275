// Decisions on the agent's answers; see request_rules.h.
#include "host/request_rules.h"

#include <algorithm>

namespace velmond {

bool StartsWith(const Oid& oid, const Oid& prefix) {
  return oid.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), oid.begin());
}

std::string ToString(const Oid& oid) {
  std::string text;
  for (std::uint32_t arc : oid) {
    if (!text.empty()) text += '.';
    text += std::to_string(arc);
  }
  return text;
}

Verdict JudgeGet(int agentStatus) {
  if (agentStatus == status::kNoError) return {Outcome::Answer, status::kNoError};
  if (agentStatus == status::kNoSuchName) return {Outcome::NoSuchInstance, status::kNoError};
  return {Outcome::Error, agentStatus};
}

Verdict JudgeGetNext(const Oid& request, const Oid& view, int agentStatus, const Oid& answer) {
  if (agentStatus == status::kNoSuchName) return {Outcome::LeaveUnanswered, status::kNoError};
  if (agentStatus != status::kNoError) return {Outcome::Error, agentStatus};
  // A strict prefix test: the view's own name is no instance of it.
  bool inside = answer.size() > view.size() && StartsWith(answer, view);
  if (!inside || !(request < answer)) return {Outcome::LeaveUnanswered, status::kNoError};
  return {Outcome::Answer, status::kNoError};
}

int SetRefusal(int agentStatus, bool instanceExists) {
  switch (agentStatus) {
    case status::kNoSuchName:
      return instanceExists ? status::kNotWritable : status::kNoCreation;
    case status::kReadOnly:
      return status::kNotWritable;
    case status::kBadValue:
      return status::kWrongValue;
    case status::kNoError:
      // The agent accepted a binding of a request that it refused as a whole.
      return status::kNoError;
    default:
      return agentStatus;
  }
}

}  // namespace velmond
