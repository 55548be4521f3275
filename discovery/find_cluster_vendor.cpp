// The discovery thread. No back-end detects its cluster software yet: the
// thread runs its (empty) body inside its failure frame and ends, leaving
// ClusterVendor at 0.
#include "discovery/find_cluster_vendor.h"

#include "discovery/failure_frame.h"

namespace velmon {
namespace {

void Discover(void*) {}

}  // namespace

void __cdecl FindClusterVendor(void*) { RunInFailureFrame(kDiscoveryThreadName, &Discover, nullptr); }

}  // namespace velmon
