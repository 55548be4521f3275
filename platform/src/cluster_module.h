// The cluster library as a built-in module: its exports by name and where it
// is installed.
// Thread-safety: any thread.
#ifndef VELPLAT_SRC_CLUSTER_MODULE_H
#define VELPLAT_SRC_CLUSTER_MODULE_H

#include <windows.h>

#include <string_view>

namespace velplat::cluster::detail {

// True when the world installed the cluster software on the local machine.
bool ClusterLibraryInstalledHere();
// The entry point of that name, or null.
FARPROC ClusterLibraryExport(std::string_view name);

}  // namespace velplat::cluster::detail

#endif
