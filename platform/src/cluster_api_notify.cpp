// Notification ports: CreateClusterNotifyPort, GetClusterNotify,
// CloseClusterNotifyPort. Readers wait on the port's signal through the
// kernel's wait core, so their timeouts follow the platform clock.
#include <clusapi.h>
#include <velplat/clock.h>

#include "cluster_api_support.h"
#include "cluster_handles.h"
#include "cluster_text.h"

#include <optional>

using namespace velplat::cluster::detail;

namespace {

void ResetSignal(Port& port) {
  std::lock_guard kernelLock(velplat::kernel::KernelMutex());
  port.signal->Reset();
}

// Waits for the port's signal for up to `timeoutMs`; the cluster lock is
// released meanwhile.
void WaitForSignal(std::unique_lock<std::mutex>& lock, const std::shared_ptr<Port>& port, DWORD timeoutMs) {
  ++port->readers;
  PortsChanged().notify_all();
  lock.unlock();
  std::shared_ptr<velplat::kernel::Waitable> signal = port->signal;
  velplat::kernel::Wait({&signal, 1}, velplat::kernel::WaitFor::Any, timeoutMs, velplat::kernel::Alert::No);
  lock.lock();
  --port->readers;
  PortsChanged().notify_all();
}

}  // namespace

HCHANGE WINAPI CreateClusterNotifyPort(HCHANGE hChange, HCLUSTER hCluster, DWORD dwFilter, DWORD_PTR dwNotifyKey) {
  if (HandleCallFails("CreateClusterNotifyPort")) return nullptr;
  std::lock_guard lock(Mutex());
  const bool newPort = hChange == static_cast<HCHANGE>(INVALID_HANDLE_VALUE);
  HandleObject* cluster = hCluster == static_cast<HCLUSTER>(INVALID_HANDLE_VALUE)
                              ? nullptr
                              : FindHandle(hCluster, Kind::Cluster);
  if (!newPort) {
    HandleObject* existing = FindHandle(hChange, Kind::Port);
    if (!existing || !cluster) return FailWith<HCHANGE>(ERROR_INVALID_HANDLE);
    // A port follows one cluster.
    if (existing->cluster != cluster->cluster) return FailWith<HCHANGE>(ERROR_INVALID_PARAMETER);
    existing->port->filter |= dwFilter;
    return hChange;
  }
  if (!cluster && hCluster != static_cast<HCLUSTER>(INVALID_HANDLE_VALUE))
    return FailWith<HCHANGE>(ERROR_INVALID_HANDLE);
  HandleObject object;
  object.kind = Kind::Port;
  object.port = std::make_shared<Port>();
  object.port->filter = dwFilter;
  object.port->key = dwNotifyKey;
  if (cluster) {
    object.cluster = cluster->cluster;
    object.cluster->ports.push_back(object.port);
  }
  PortsChanged().notify_all();
  return static_cast<HCHANGE>(InsertHandle(std::move(object)));
}

DWORD WINAPI GetClusterNotify(HCHANGE hChange, DWORD_PTR* lpdwNotifyKey, LPDWORD lpdwFilterType, LPWSTR lpszName,
                              LPDWORD lpcchName, DWORD dwMilliseconds) {
  if (auto error = velplat::faults::ConsumeCall("GetClusterNotify")) return *error;
  std::optional<std::uint64_t> deadline;
  if (dwMilliseconds != INFINITE) deadline = velplat::clock::NowMs() + dwMilliseconds;
  std::unique_lock lock(Mutex());
  for (;;) {
    HandleObject* object = FindHandle(hChange, Kind::Port);
    if (!object || !object->port->valid) return ERROR_INVALID_HANDLE;
    std::shared_ptr<Port> port = object->port;
    if (!port->queue.empty()) {
      const Notification& next = port->queue.front();
      if (DWORD result = CopyName(next.name, lpszName, lpcchName); result != ERROR_SUCCESS) return result;
      if (lpdwNotifyKey) *lpdwNotifyKey = port->key;
      if (lpdwFilterType) *lpdwFilterType = next.type;
      port->queue.pop_front();
      if (port->queue.empty()) ResetSignal(*port);
      PortsChanged().notify_all();
      return ERROR_SUCCESS;
    }
    ResetSignal(*port);
    DWORD remaining = INFINITE;
    if (deadline) {
      const std::uint64_t now = velplat::clock::NowMs();
      if (now >= *deadline) return WAIT_TIMEOUT;
      remaining = static_cast<DWORD>(*deadline - now);
    }
    WaitForSignal(lock, port, remaining);
  }
}

BOOL WINAPI CloseClusterNotifyPort(HCHANGE hChange) {
  std::lock_guard lock(Mutex());
  HandleObject* object = FindHandle(hChange, Kind::Port);
  if (!object) return TRUE;
  std::shared_ptr<Port> port = object->port;
  if (object->cluster) std::erase(object->cluster->ports, port);
  Invalidate(*port);
  RemoveHandle(hChange, Kind::Port);
  return TRUE;
}
