// The MIB under 1.3.6.1.4.1.32473.2.18.22.4.1 as constant tables. The
// compile-time checks below keep the tables consistent: groups in MIB order,
// every variable under its group with its number as the right arc, and each
// variable's marshalling routine matching its ASN type.
#include "agent/mib_registry.h"

#include "agent/cluster_attributes.h"
#include "agent/marshal.h"
#include "agent/scalar_rows.h"
#include "agent/table_columns.h"
#include "agent/table_rows.h"

namespace velmon {
namespace {

// Arcs of view + tail, as one static array per OID.
template <UINT... tail>
inline constexpr UINT kArcs[kViewArcCount + sizeof...(tail)] = {1, 3, 6, 1, 4, 1, 32473, 2, 18, 22, 4, 1, tail...};

template <UINT... tail>
constexpr AsnObjectIdentifier Oid() {
  // The SDK type carries a mutable pointer; these arcs are never written.
  return AsnObjectIdentifier{kViewArcCount + sizeof...(tail), const_cast<UINT*>(kArcs<tail...>)};
}

constexpr AttrHandler kNoHandler{.none = nullptr};

constexpr MibVariable Placeholder() {
  return MibVariable{AsnObjectIdentifier{0, nullptr}, ASN_NULL, kNotAccessible, kNoHandler, kNoHandler, nullptr, nullptr};
}
constexpr MibVariable Integer(AsnObjectIdentifier oid, IntegerHandler h) {
  return MibVariable{oid, ASN_INTEGER, kReadOnly, AttrHandler{.integer = h}, kNoHandler, &MarshalInteger, nullptr};
}
constexpr MibVariable OctetString(AsnObjectIdentifier oid, StringHandler h) {
  return MibVariable{oid, ASN_OCTETSTRING, kReadOnly, AttrHandler{.string = h}, kNoHandler, &MarshalOctetString, nullptr};
}
constexpr MibVariable ObjectId(AsnObjectIdentifier oid, ObjectIdHandler h) {
  return MibVariable{oid, ASN_OBJECTIDENTIFIER, kReadOnly, AttrHandler{.objectId = h}, kNoHandler, &MarshalObjectId, nullptr};
}
constexpr MibVariable IpAddress(AsnObjectIdentifier oid, AddressHandler h) {
  return MibVariable{oid, ASN_IPADDRESS, kReadOnly, AttrHandler{.address = h}, kNoHandler, &MarshalIpAddress, nullptr};
}

constexpr MibVariable kAgentVariables[] = {
    Placeholder(),
    Integer(Oid<1, 1, 1>(), &GetMibMajorRevision),
    Integer(Oid<1, 1, 2>(), &GetMibMinorRevision),
};

// Arc 8 under .1.2 is the cluster address table, so the variable with arc 9
// is stored as element 8.
constexpr MibVariable kClusterVariables[] = {
    Placeholder(),
    OctetString(Oid<1, 2, 1>(), &GetClusterVendorName),
    OctetString(Oid<1, 2, 2>(), &GetClusterSoftwareVersion),
    Integer(Oid<1, 2, 3>(), &GetClusterServiceStatus),
    Integer(Oid<1, 2, 4>(), &GetClusterSoftwareType),
    ObjectId(Oid<1, 2, 5>(), &GetClusterMibOid),
    Integer(Oid<1, 2, 6>(), &GetLocalNodeIndex),
    OctetString(Oid<1, 2, 7>(), &GetClusterName),
    OctetString(Oid<1, 2, 9>(), &GetClusterTypeName),
};

constexpr MibVariable kClusterAddressColumns[] = {
    Placeholder(),
    Integer(Oid<1, 2, 8, 1, 1>(), &GetClusterAddressNumber),
    IpAddress(Oid<1, 2, 8, 1, 2>(), &GetClusterAddress),
};

constexpr MibVariable kNodeColumns[] = {
    Placeholder(),
    Integer(Oid<1, 2, 11, 1, 1>(), &GetNodeNumber),
    OctetString(Oid<1, 2, 11, 1, 2>(), &GetNodeName),
    OctetString(Oid<1, 2, 11, 1, 3>(), &GetNodeDescription),
    Integer(Oid<1, 2, 11, 1, 4>(), &GetNodeState),
};

constexpr MibVariable kNodeAddressColumns[] = {
    Placeholder(),
    Integer(Oid<1, 2, 12, 1, 1>(), &GetNodeAddressState),
    IpAddress(Oid<1, 2, 12, 1, 2>(), &GetNodeAddress),
};

template <size_t N>
constexpr MibGroup Scalars(AsnObjectIdentifier oid, UINT first, UINT last, const MibVariable (&vars)[N]) {
  return MibGroup{0, oid, 15, first, last, &ParseScalarInstance, &NextScalarInstance, &LoadRow, &FreeRow, vars, N};
}
template <size_t N>
constexpr MibGroup Table(AsnObjectIdentifier oid, ParseInstanceFn parse, NextInstanceFn next,
                         const MibVariable (&vars)[N]) {
  return MibGroup{1, oid, 17, 1, N - 1, parse, next, &LoadRow, &FreeRow, vars, N};
}

constexpr MibGroup kGroups[kGroupCount] = {
    Scalars(Oid<1, 1>(), 1, 2, kAgentVariables),
    Scalars(Oid<1, 2>(), 1, 9, kClusterVariables),
    Table(Oid<1, 2, 8, 1>(), &ParseClusterAddressInstance, &NextClusterAddressInstance, kClusterAddressColumns),
    Table(Oid<1, 2, 11, 1>(), &ParseNodeInstance, &NextNodeInstance, kNodeColumns),
    Table(Oid<1, 2, 12, 1>(), &ParseNodeAddressInstance, &NextNodeAddressInstance, kNodeAddressColumns),
};

constexpr AsnObjectIdentifier kView{kViewArcCount, const_cast<UINT*>(kArcs<>)};

// ---- compile-time consistency checks ----

constexpr int Compare(const AsnObjectIdentifier& a, const AsnObjectIdentifier& b) {
  for (UINT i = 0; i < a.idLength && i < b.idLength; ++i) {
    if (a.ids[i] != b.ids[i]) return a.ids[i] < b.ids[i] ? -1 : 1;
  }
  return a.idLength == b.idLength ? 0 : (a.idLength < b.idLength ? -1 : 1);
}

constexpr bool IsPrefix(const AsnObjectIdentifier& prefix, const AsnObjectIdentifier& oid) {
  if (prefix.idLength > oid.idLength) return false;
  for (UINT i = 0; i < prefix.idLength; ++i)
    if (prefix.ids[i] != oid.ids[i]) return false;
  return true;
}

constexpr MarshalFn MarshalFor(BYTE type) {
  switch (type) {
    case ASN_INTEGER: return &MarshalInteger;
    case ASN_OCTETSTRING: return &MarshalOctetString;
    case ASN_OBJECTIDENTIFIER: return &MarshalObjectId;
    case ASN_IPADDRESS: return &MarshalIpAddress;
    default: return nullptr;
  }
}

constexpr bool GroupsInMibOrder() {
  for (UINT g = 1; g < kGroupCount; ++g)
    if (Compare(kGroups[g - 1].groupOid, kGroups[g].groupOid) >= 0) return false;
  return true;
}

constexpr bool VariablesConsistent() {
  for (const MibGroup& group : kGroups) {
    if (!IsPrefix(kView, group.groupOid)) return false;
    // The group OID without its entry arc (tables) is the variables' prefix.
    UINT prefixLength = group.variableOidLength - 1;
    const MibVariable& placeholder = group.variables[0];
    if (placeholder.oid.idLength != 0 || placeholder.getMarshal != nullptr) return false;
    for (UINT e = 1; e < group.variableCount; ++e) {
      const MibVariable& v = group.variables[e];
      if (v.oid.idLength != group.variableOidLength) return false;
      for (UINT i = 0; i < prefixLength; ++i)
        if (v.oid.ids[i] != group.groupOid.ids[i]) return false;
      UINT arc = v.oid.ids[group.variableOidLength - 1];
      if (arc < group.firstVariable || arc > group.lastVariable) return false;
      // Element e has arc e, except that group .1.2 stores arc 9 as element 8.
      bool arcNine = &group == &kGroups[kGroupCluster] && e == 8 && arc == 9;
      if (arc != e && !arcNine) return false;
      // Handlers are supplied by the typed constructors above, which take one
      // of the matching type.
      if (v.getMarshal != MarshalFor(v.asnType)) return false;
      if (v.access != kReadOnly || v.setHandler.none != nullptr) return false;
    }
  }
  return true;
}

static_assert(GroupsInMibOrder(), "MIB groups must be listed in lexicographic order");
static_assert(VariablesConsistent(), "a MIB variable record disagrees with its group");
static_assert(sizeof(kClusterVariables) / sizeof(MibVariable) == 9, "group .1.2 has no element for arc 9");

}  // namespace

const AsnObjectIdentifier& MibView() { return kView; }

std::span<const MibGroup, kGroupCount> MibGroups() { return std::span<const MibGroup, kGroupCount>(kGroups); }

const MibVariable* MibElement(UINT group, UINT element) {
  if (group >= kGroupCount || element >= kGroups[group].variableCount) return nullptr;
  return &kGroups[group].variables[element];
}

const MibVariable* MibVariableForRequest(UINT group, UINT variable) {
  if (group == kGroupCluster && variable == 9) return MibElement(group, 8);
  return MibElement(group, variable);
}

}  // namespace velmon
