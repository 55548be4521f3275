#include "view_walk.h"

#include "agent/support/snmp_request.h"

#include <algorithm>
#include <vector>

namespace velmon::bench {
namespace {

bool InsideView(const AsnObjectIdentifier& name, const std::vector<UINT>& view) {
  return name.idLength > view.size() && std::equal(view.begin(), view.end(), name.ids);
}

}  // namespace

WalkResult WalkView(std::size_t limit) {
  const std::vector<UINT> view = test::Under("");
  std::vector<UINT> name = view;
  WalkResult result;
  while (result.varbinds < limit) {
    test::Request request({name});
    request.Run(SNMP_PDU_GETNEXT);
    const AsnObjectIdentifier& answer = request[0].name;
    if (request.status != SNMP_ERRORSTATUS_NOERROR || !InsideView(answer, view)) {
      result.ended = true;
      break;
    }
    ++result.varbinds;
    name.assign(answer.ids, answer.ids + answer.idLength);
  }
  return result;
}

}  // namespace velmon::bench
