// What the MSCS back-end expects of Microsoft Cluster Server: its service,
// the names it looks for in the cluster, the cluster database entries it
// reads with the ordinary registry calls, and the fixed sizes it asks the
// cluster API for.
#ifndef VELMON_BACKENDS_MSCS_MSCS_INTERFACE_H
#define VELMON_BACKENDS_MSCS_MSCS_INTERFACE_H

#include "backends/mscs/wide_text.h"

#include <windows.h>

namespace velmon::mscs {

inline constexpr char kServiceName[] = "ClusSvc";
inline constexpr char kServiceKey[] = "SYSTEM\\CurrentControlSet\\Services\\ClusSvc";

// Detection polls the service 1 s apart ten times, then 10 s apart.
inline constexpr DWORD kFirstPollMs = 1000;
inline constexpr int kFirstPolls = 10;
inline constexpr DWORD kLaterPollMs = 10000;

inline constexpr char kClusterLibrary[] = "CLUSAPI";
inline constexpr int kSoftwareType = 23201;

// Cluster API buffers, in characters.
inline constexpr DWORD kNameChars = 255;
inline constexpr DWORD kNodeIdChars = 4;
inline constexpr DWORD kParameterDataBytes = 255;

// The cluster's own address resource, and the text its position is found by.
inline constexpr char kClusterAddressResource[] = "Cluster IP Address";
inline constexpr WCHAR kParametersKey[] = VELMON_WIDE("Parameters");
inline constexpr char kAddressValue[] = "Address";
inline constexpr char kDefaultResourceAddress[] = "0.0";

inline constexpr char kNodeDescription[] = "Cluster Members";

// The cluster database as the cluster service keeps it under
// HKEY_LOCAL_MACHINE.
inline constexpr char kResourcesKey[] = "cluster\\Resources";
inline constexpr char kNetworksKey[] = "cluster\\Networks";
inline constexpr char kNetworkInterfacesKey[] = "cluster\\NetworkInterfaces";
inline constexpr char kResourceName[] = "Name";
inline constexpr char kResourceParameters[] = "Parameters";
inline constexpr char kSubnetMask[] = "SubnetMask";
// Compared with resource names as they are spelt in the database.
inline constexpr char kClusterIpAddressName[] = "ClusterIpAddress";
inline constexpr char kAddressMask[] = "AddressMask";
inline constexpr char kInterfaceNetwork[] = "Network";
inline constexpr char kInterfaceAddress[] = "Address";
inline constexpr char kInterfaceNode[] = "Node";

// The change watch: node notifications, key 1, polled every second.
inline constexpr DWORD kNodeChanges = 0xF;
inline constexpr DWORD_PTR kNotifyKey = 1;
inline constexpr DWORD kNotifyWaitMs = 1000;
inline constexpr DWORD kNotifyBufferChars = 1020;

}  // namespace velmon::mscs

#endif
