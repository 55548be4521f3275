// The cluster API bound at run time: ClusterApiTable holds the 32 entry
// points of the cluster library "CLUSAPI" in their fixed storage order;
// BindClusterApi loads the library by name and fills every row, a missing
// export with the fallback of its signature (does nothing, returns 0).
// Every cluster call of the MSCS back-end goes through CallCluster, which
// calls a row with the function type that clusapi.h publishes for it; the
// back-end never links against the library.
//
// Thread-safety: BindClusterApi runs once, on the discovery thread, before
// ClusterVendor becomes 2; readers that reach the table through that value
// see it complete. A row that was never bound answers like the fallback.
#ifndef VELMON_BACKENDS_MSCS_CLUSTER_API_H
#define VELMON_BACKENDS_MSCS_CLUSTER_API_H

#include <windows.h>
// clusapi.h builds on the types of windows.h.
#include <clusapi.h>

#include <cstddef>

namespace velmon::mscs {

// The rows, in storage order.
#define VELMON_CLUSTER_API_ROWS(ROW)                                                                        \
  ROW(ClusterRegCloseKey) ROW(ClusterRegOpenKey) ROW(ClusterRegEnumKey) ROW(GetClusterResourceKey)         \
  ROW(GetClusterGroupKey) ROW(GetClusterKey) ROW(GetClusterNetworkKey) ROW(OpenCluster)                    \
  ROW(CreateClusterNotifyPort) ROW(OpenClusterNetwork) ROW(ClusterOpenEnum) ROW(ClusterGroupOpenEnum)      \
  ROW(GetClusterGroupState) ROW(GetClusterNodeState) ROW(GetClusterResourceState) ROW(OpenClusterNode)     \
  ROW(OpenClusterGroup) ROW(OpenClusterResource) ROW(CloseCluster) ROW(CloseClusterGroup)                  \
  ROW(CloseClusterNode) ROW(CloseClusterResource) ROW(CloseClusterNetwork) ROW(CloseClusterNotifyPort)     \
  ROW(GetClusterInformation) ROW(ClusterEnum) ROW(ClusterCloseEnum) ROW(GetClusterNodeId)                  \
  ROW(ClusterGroupCloseEnum) ROW(ClusterGroupEnum) ROW(ClusterRegEnumValue) ROW(GetClusterNotify)

enum class ClusterFn : int {
#define VELMON_CLUSTER_ROW_ENUM(name) name,
  VELMON_CLUSTER_API_ROWS(VELMON_CLUSTER_ROW_ENUM)
#undef VELMON_CLUSTER_ROW_ENUM
};

inline constexpr std::size_t kClusterApiRows = 32;

struct ClusterApiRow {
  const char* name;
  FARPROC address;  // null until bound
};

extern ClusterApiRow ClusterApiTable[kClusterApiRows];

// 0 when the library cannot be loaded (the table stays as it was); 1 when
// every row holds an entry point or its fallback.
LONG BindClusterApi();

// Whether row F holds the library's own entry point (not null, not its
// fallback).
bool ClusterApiExported(ClusterFn row);

// The published function type of each row.
template <ClusterFn F>
struct ClusterSignature;
#define VELMON_CLUSTER_ROW_SIGNATURE(name)       \
  template <>                                    \
  struct ClusterSignature<ClusterFn::name> {     \
    using type = decltype(&::name);              \
  };
VELMON_CLUSTER_API_ROWS(VELMON_CLUSTER_ROW_SIGNATURE)
#undef VELMON_CLUSTER_ROW_SIGNATURE

// Does nothing and returns 0 (null, FALSE, ERROR_SUCCESS), whatever it is
// given: one instance per signature.
template <class Signature>
struct ClusterApiFallback;
template <class Result, class... Args>
struct ClusterApiFallback<Result (*)(Args...)> {
  static Result WINAPI Call(Args...) { return Result(); }
};
#if defined(_WIN32) && defined(__i386__)
// 32-bit Windows keeps the calling convention in the function type.
template <class Result, class... Args>
struct ClusterApiFallback<Result(WINAPI*)(Args...)> {
  static Result WINAPI Call(Args...) { return Result(); }
};
#endif

// The fallback of row F as a table address.
template <ClusterFn F>
FARPROC ClusterFallbackAddress() {
  using Signature = typename ClusterSignature<F>::type;
  return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&ClusterApiFallback<Signature>::Call));
}

// Calls row F with its published signature.
template <ClusterFn F, class... Args>
auto CallCluster(Args... args) {
  using Signature = typename ClusterSignature<F>::type;
  FARPROC address = ClusterApiTable[static_cast<std::size_t>(F)].address;
  if (!address) return ClusterApiFallback<Signature>::Call(args...);
  return reinterpret_cast<Signature>(reinterpret_cast<void (*)()>(address))(args...);
}

}  // namespace velmon::mscs

#endif
