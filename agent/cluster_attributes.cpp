// Attribute dispatch on the cluster software found by discovery.
#include "agent/cluster_attributes.h"

#include "agent/agent_heap.h"

#include <mgmtapi.h>

#include <cstring>

namespace velmon {

std::atomic<LONG> ClusterVendor{kVendorNone};

namespace {

LONG CurrentVendor() { return ClusterVendor.load(std::memory_order_acquire); }

// The operations of the current vendor, when it provides `member`.
template <class Handler>
Handler Dispatched(Handler ClusterOperations::*member) {
  const ClusterOperations* ops = OperationsForVendor(CurrentVendor());
  return ops ? ops->*member : nullptr;
}

void SetText(AttrString* value, const char* text, INT length) {
  std::memcpy(value->buffer, text, static_cast<size_t>(length));
  value->length = length;
}

// The agent's own default MIB identifier; ".0.0" if that cannot be converted.
Status DefaultMibOid(AsnObjectIdentifier* value) {
  constexpr size_t kTextBytes = 510;
  auto* text = static_cast<char*>(AgentAlloc(kTextBytes));
  if (!text) return kGenErr;  // nothing to convert the identifier from
  std::strcpy(text, ".1.3.6.1.4.1.32473.2.18.22.4.2");
  if (!SnmpMgrStrToOid(text, value)) {
    std::strcpy(text, ".0.0");
    if (!SnmpMgrStrToOid(text, value)) {
      AgentFree(text);
      return kGenErr;
    }
  }
  AgentFree(text);
  return kNoError;
}

}  // namespace

Status GetMibMajorRevision(INT* value, UINT*, const RowIndex*) {
  *value = 2;
  return kNoError;
}

Status GetMibMinorRevision(INT* value, UINT*, const RowIndex*) {
  *value = 0;
  return kNoError;
}

Status GetClusterVendorName(AttrString* value, UINT* scratch, const RowIndex* row) {
  if (auto op = Dispatched(&ClusterOperations::vendorName)) return op(value, scratch, row);
  value->length = 0;
  return kNoError;
}

Status GetClusterSoftwareVersion(AttrString* value, UINT* scratch, const RowIndex* row) {
  if (auto op = Dispatched(&ClusterOperations::softwareVersion)) return op(value, scratch, row);
  value->length = 0;
  return kNoError;
}

Status GetClusterServiceStatus(INT* value, UINT* scratch, const RowIndex* row) {
  if (auto op = Dispatched(&ClusterOperations::serviceStatus)) return op(value, scratch, row);
  *value = 3;
  return kNoError;
}

Status GetClusterSoftwareType(INT* value, UINT* scratch, const RowIndex* row) {
  if (auto op = Dispatched(&ClusterOperations::softwareType)) return op(value, scratch, row);
  *value = 1;
  return kNoError;
}

Status GetClusterMibOid(AsnObjectIdentifier* value, UINT* scratch, const RowIndex* row) {
  // Only Oracle RAC answers its own identifier; every other vendor, and no
  // vendor, answer the agent's default.
  if (CurrentVendor() == kVendorOracle) {
    if (auto op = Dispatched(&ClusterOperations::mibOid)) return op(value, scratch, row);
  }
  return DefaultMibOid(value);
}

Status GetLocalNodeIndex(INT* value, UINT* scratch, const RowIndex* row) {
  if (auto op = Dispatched(&ClusterOperations::localNodeIndex)) return op(value, scratch, row);
  *value = 0;
  return kNoError;
}

Status GetClusterName(AttrString* value, UINT* scratch, const RowIndex* row) {
  if (auto op = Dispatched(&ClusterOperations::clusterName)) return op(value, scratch, row);
  value->length = 0;
  return kNoError;
}

Status GetClusterTypeName(AttrString* value, UINT*, const RowIndex*) {
  switch (CurrentVendor()) {
    case kVendorMscs:
      SetText(value, "MSCS", 4);
      break;
    case kVendorOracle:
      SetText(value, "Oracle RAC Cluster ", 19);
      break;
    default:
      value->length = 0;
      break;
  }
  return kNoError;
}

}  // namespace velmon
