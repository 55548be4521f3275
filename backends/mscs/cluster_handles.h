// RAII owners for what the MSCS back-end takes from the cluster API and the
// agent heap: each closes its handle through the bound cluster API (or
// frees its block) when it goes out of scope, on every path.
// Thread-safety: an owner belongs to the thread that made it.
#ifndef VELMON_BACKENDS_MSCS_CLUSTER_HANDLES_H
#define VELMON_BACKENDS_MSCS_CLUSTER_HANDLES_H

#include "agent/agent_heap.h"
#include "backends/mscs/cluster_api.h"

#include <memory>
#include <utility>

namespace velmon::mscs {

template <class Handle, ClusterFn Close>
class ClusterOwned {
 public:
  ClusterOwned() = default;
  explicit ClusterOwned(Handle handle) : handle_(handle) {}
  ~ClusterOwned() { reset(); }
  ClusterOwned(ClusterOwned&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
  ClusterOwned& operator=(ClusterOwned&& other) noexcept {
    if (this != &other) {
      reset();
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  ClusterOwned(const ClusterOwned&) = delete;
  ClusterOwned& operator=(const ClusterOwned&) = delete;

  Handle get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }
  void reset() {
    if (handle_) CallCluster<Close>(std::exchange(handle_, nullptr));
  }

 private:
  Handle handle_ = nullptr;
};

using ClusterHandle = ClusterOwned<HCLUSTER, ClusterFn::CloseCluster>;
using ClusterEnumHandle = ClusterOwned<HCLUSENUM, ClusterFn::ClusterCloseEnum>;
using NodeHandle = ClusterOwned<HNODE, ClusterFn::CloseClusterNode>;
using GroupHandle = ClusterOwned<HGROUP, ClusterFn::CloseClusterGroup>;
using ResourceHandle = ClusterOwned<HRESOURCE, ClusterFn::CloseClusterResource>;
using ClusterKey = ClusterOwned<HKEY, ClusterFn::ClusterRegCloseKey>;
using NotifyPort = ClusterOwned<HCHANGE, ClusterFn::CloseClusterNotifyPort>;

// The local cluster (OpenCluster with no name); empty when it cannot be
// opened.
inline ClusterHandle OpenLocalCluster() { return ClusterHandle(CallCluster<ClusterFn::OpenCluster>(nullptr)); }

struct AgentFreeDeleter {
  void operator()(void* block) const { AgentFree(block); }
};
// A block of the agent heap, zero-filled; empty when memory runs out.
template <class T>
using AgentBuffer = std::unique_ptr<T[], AgentFreeDeleter>;
template <class T>
AgentBuffer<T> AllocateBuffer(size_t count) {
  return AgentBuffer<T>(static_cast<T*>(AgentAlloc(count * sizeof(T))));
}
// A text made by WideToNarrow.
using NarrowText = std::unique_ptr<char[], AgentFreeDeleter>;

}  // namespace velmon::mscs

#endif
