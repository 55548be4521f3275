// Oracle RAC detection and configuration: waits for the cluster manager's
// registry key, then configures the back-end (ClusterVendor 3, member table,
// addresses, watch tables, registry watcher).
//
// Discovery thread only.
#ifndef VELMON_BACKENDS_ORACLE_DETECTION_H
#define VELMON_BACKENDS_ORACLE_DETECTION_H

#include <windows.h>

namespace velmon::oracle {

// 3 once the back-end is configured; 0 when an error ended the wait. Does not
// return while the key is absent and nothing fails.
LONG DetectOracleCluster();

// Configuration, in order: vendor, member lists, private and public
// addresses, cluster address, first fill of the watch tables.
void ConfigureOracleBackEnd();

// ClusterIpAddress := the public address of member 0.
void SetOracleClusterAddress();

}  // namespace velmon::oracle

#endif
