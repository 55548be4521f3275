// What the Oracle RAC back-end expects of the Oracle cluster manager: its
// registry entries and its service. The agent only reads them.
#ifndef VELMON_BACKENDS_ORACLE_ORACLE_INTERFACE_H
#define VELMON_BACKENDS_ORACLE_ORACLE_INTERFACE_H

namespace velmon::oracle {

// Under HKEY_LOCAL_MACHINE; its appearance ends detection.
inline constexpr char kClusterManagerKey[] = "SOFTWARE\\Oracle\\osd9i\\CM";
inline constexpr char kOracleKey[] = "SOFTWARE\\Oracle";
inline constexpr char kSoftwareKey[] = "SOFTWARE";

// REG_MULTI_SZ lists of the members' names, in member order.
inline constexpr char kPublicNodeNames[] = "PublicNodeNames";
inline constexpr char kPrivateNodeNames[] = "PrivateNodeNames";
// The local member's public name.
inline constexpr char kHostName[] = "HostName";

// The service key; "ImagePath" names the executable whose version resource
// gives the software version.
inline constexpr char kServiceKey[] = "SYSTEM\\CurrentControlSet\\Services\\OracleCMService9i";
inline constexpr char kImagePath[] = "ImagePath";
inline constexpr char kVersionQuery[] = "\\StringFileInfo\\040904B0\\FileVersion";

// The service queried on every member (service names compare without case).
inline constexpr char kServiceName[] = "OracleCMService9I";
inline constexpr char kServicesDatabase[] = "ServicesActive";

inline constexpr char kVendorText[] = "Oracle RAC Cluster";
inline constexpr int kSoftwareType = 23299;

// Size of the buffers the node lists are read into.
inline constexpr unsigned kNodeListBytes = 512;

}  // namespace velmon::oracle

#endif
