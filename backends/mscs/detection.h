// MSCS detection: the cluster service ClusSvc must exist and run, the
// cluster library must bind and the local cluster must answer.
// Thread-safety: the discovery thread, once.
#ifndef VELMON_BACKENDS_MSCS_DETECTION_H
#define VELMON_BACKENDS_MSCS_DETECTION_H

#include <windows.h>

namespace velmon::mscs {

// 2 when MSCS is present and answers (ClusterVendor is then 2); 5 when the
// service runs but the library cannot be loaded, the cluster cannot be
// opened or the name buffer cannot be had; 0 otherwise. Does not return
// while the service exists but does not run (polled 1 s apart ten times,
// then every 10 s).
LONG DetectMscsCluster();

}  // namespace velmon::mscs

#endif
