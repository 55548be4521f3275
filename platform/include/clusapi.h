/* Windows cluster API subset, with the SDK's names, types, values and record
 * layouts: the 32 wide-character entry points of the cluster library that
 * the agent binds at run time (cluster, nodes, groups, resources, networks,
 * enumerations, notification ports and the cluster database keys).
 *
 * The functions answer from the simulated cluster that the world installs on
 * its member machines (velplat/cluster.h). A program reaches them the way it
 * reaches the real library: LoadLibraryA("CLUSAPI") on a machine where the
 * cluster software is installed, then GetProcAddress by name; the
 * declarations here give their types. Functions returning a handle give NULL
 * and set the thread's last error on failure; the others return a system
 * error code. Names are compared without regard to case. Every function may
 * be called from any thread; the handles are process-wide and are neither
 * kernel handles nor registry handles. */
#ifndef VELPLAT_CLUSAPI_H
#define VELPLAT_CLUSAPI_H

#include "winapi/types.h"
#include "winapi/registry.h"

typedef struct _HCLUSTER* HCLUSTER;
typedef struct _HNODE* HNODE;
typedef struct _HRESOURCE* HRESOURCE;
typedef struct _HGROUP* HGROUP;
typedef struct _HNETWORK* HNETWORK;
typedef struct _HCHANGE* HCHANGE;
typedef struct _HCLUSENUM* HCLUSENUM;
typedef struct _HGROUPENUM* HGROUPENUM;

/* Cluster error codes (winerror.h on Windows). */
#ifndef ERROR_RESOURCE_NOT_FOUND
#define ERROR_RESOURCE_NOT_FOUND 5007L
#endif
#ifndef ERROR_GROUP_NOT_FOUND
#define ERROR_GROUP_NOT_FOUND 5013L
#endif
#ifndef ERROR_CLUSTER_NODE_NOT_FOUND
#define ERROR_CLUSTER_NODE_NOT_FOUND 5042L
#endif
#ifndef ERROR_CLUSTER_NETWORK_NOT_FOUND
#define ERROR_CLUSTER_NETWORK_NOT_FOUND 5045L
#endif
#ifndef ERROR_CLUSTER_NODE_NOT_MEMBER
#define ERROR_CLUSTER_NODE_NOT_MEMBER 5052L
#endif

/* The version records. CLUSTERVERSIONINFO_NT4 is the first cluster
 * release's record (268 bytes); CLUSTERVERSIONINFO is the later one, the same
 * fields followed by the versions of the cluster's nodes and flags (284
 * bytes). Callers set dwVersionInfoSize to the size of the record they pass
 * to GetClusterInformation. */
typedef struct CLUSTERVERSIONINFO_NT4 {
  DWORD dwVersionInfoSize;
  WORD MajorVersion;
  WORD MinorVersion;
  WORD BuildNumber;
  WCHAR szVendorId[64];
  WCHAR szCSDVersion[64];
} CLUSTERVERSIONINFO_NT4, *PCLUSTERVERSIONINFO_NT4;

typedef struct CLUSTERVERSIONINFO {
  DWORD dwVersionInfoSize;
  WORD MajorVersion;
  WORD MinorVersion;
  WORD BuildNumber;
  WCHAR szVendorId[64];
  WCHAR szCSDVersion[64];
  DWORD dwClusterHighestVersion;
  DWORD dwClusterLowestVersion;
  DWORD dwFlags;
  DWORD dwReserved;
} CLUSTERVERSIONINFO, *LPCLUSTERVERSIONINFO, *PCLUSTERVERSIONINFO;

#ifdef __cplusplus
static_assert(sizeof(CLUSTERVERSIONINFO_NT4) == 268, "the first release's record is 268 bytes");
static_assert(sizeof(CLUSTERVERSIONINFO) == 284, "the later record is 284 bytes");
#endif

#define CLUSTER_MAKE_VERSION(_maj, _min) (((_maj) << 16) | (_min))

typedef enum CLUSTER_CHANGE {
  CLUSTER_CHANGE_NODE_STATE = 0x00000001,
  CLUSTER_CHANGE_NODE_DELETED = 0x00000002,
  CLUSTER_CHANGE_NODE_ADDED = 0x00000004,
  CLUSTER_CHANGE_NODE_PROPERTY = 0x00000008,
  CLUSTER_CHANGE_REGISTRY_NAME = 0x00000010,
  CLUSTER_CHANGE_REGISTRY_ATTRIBUTES = 0x00000020,
  CLUSTER_CHANGE_REGISTRY_VALUE = 0x00000040,
  CLUSTER_CHANGE_REGISTRY_SUBTREE = 0x00000080,
  CLUSTER_CHANGE_RESOURCE_STATE = 0x00000100,
  CLUSTER_CHANGE_RESOURCE_DELETED = 0x00000200,
  CLUSTER_CHANGE_RESOURCE_ADDED = 0x00000400,
  CLUSTER_CHANGE_RESOURCE_PROPERTY = 0x00000800,
  CLUSTER_CHANGE_GROUP_STATE = 0x00001000,
  CLUSTER_CHANGE_GROUP_DELETED = 0x00002000,
  CLUSTER_CHANGE_GROUP_ADDED = 0x00004000,
  CLUSTER_CHANGE_GROUP_PROPERTY = 0x00008000,
  CLUSTER_CHANGE_RESOURCE_TYPE_DELETED = 0x00010000,
  CLUSTER_CHANGE_RESOURCE_TYPE_ADDED = 0x00020000,
  CLUSTER_CHANGE_RESOURCE_TYPE_PROPERTY = 0x00040000,
  CLUSTER_CHANGE_CLUSTER_RECONNECT = 0x00080000,
  CLUSTER_CHANGE_NETWORK_STATE = 0x00100000,
  CLUSTER_CHANGE_NETWORK_DELETED = 0x00200000,
  CLUSTER_CHANGE_NETWORK_ADDED = 0x00400000,
  CLUSTER_CHANGE_NETWORK_PROPERTY = 0x00800000,
  CLUSTER_CHANGE_NETINTERFACE_STATE = 0x01000000,
  CLUSTER_CHANGE_NETINTERFACE_DELETED = 0x02000000,
  CLUSTER_CHANGE_NETINTERFACE_ADDED = 0x04000000,
  CLUSTER_CHANGE_NETINTERFACE_PROPERTY = 0x08000000,
  CLUSTER_CHANGE_QUORUM_STATE = 0x10000000,
  CLUSTER_CHANGE_CLUSTER_STATE = 0x20000000,
  CLUSTER_CHANGE_CLUSTER_PROPERTY = 0x40000000,
  CLUSTER_CHANGE_HANDLE_CLOSE = 0x80000000
} CLUSTER_CHANGE;

typedef enum CLUSTER_ENUM {
  CLUSTER_ENUM_NODE = 0x00000001,
  CLUSTER_ENUM_RESTYPE = 0x00000002,
  CLUSTER_ENUM_RESOURCE = 0x00000004,
  CLUSTER_ENUM_GROUP = 0x00000008,
  CLUSTER_ENUM_NETWORK = 0x00000010,
  CLUSTER_ENUM_NETINTERFACE = 0x00000020
} CLUSTER_ENUM;

typedef enum CLUSTER_NODE_STATE {
  ClusterNodeStateUnknown = -1,
  ClusterNodeUp,
  ClusterNodeDown,
  ClusterNodePaused,
  ClusterNodeJoining
} CLUSTER_NODE_STATE;

typedef enum CLUSTER_GROUP_ENUM {
  CLUSTER_GROUP_ENUM_CONTAINS = 0x00000001,
  CLUSTER_GROUP_ENUM_NODES = 0x00000002
} CLUSTER_GROUP_ENUM;

typedef enum CLUSTER_GROUP_STATE {
  ClusterGroupStateUnknown = -1,
  ClusterGroupOnline,
  ClusterGroupOffline,
  ClusterGroupFailed,
  ClusterGroupPartialOnline,
  ClusterGroupPending
} CLUSTER_GROUP_STATE;

typedef enum CLUSTER_RESOURCE_STATE {
  ClusterResourceStateUnknown = -1,
  ClusterResourceInherited,
  ClusterResourceInitializing,
  ClusterResourceOnline,
  ClusterResourceOffline,
  ClusterResourceFailed,
  ClusterResourcePending = 128,
  ClusterResourceOnlinePending,
  ClusterResourceOfflinePending
} CLUSTER_RESOURCE_STATE;

/* The cluster. A null name opens the cluster of the local machine; another
 * name opens the cluster of that name or of the member machine of that name.
 * NULL with RPC_S_SERVER_UNAVAILABLE when no answering cluster is found. */
VELPLAT_API HCLUSTER WINAPI OpenCluster(LPCWSTR lpszClusterName);
VELPLAT_API BOOL WINAPI CloseCluster(HCLUSTER hCluster);
/* The cluster's name into lpszClusterName (*lpcchClusterName characters with
 * the terminator; on return the name's length without it; ERROR_MORE_DATA
 * when it does not fit) and, when lpClusterInfo is not null, its version.
 * lpClusterInfo may point to either record: dwVersionInfoSize must be at
 * least sizeof(CLUSTERVERSIONINFO_NT4), else ERROR_INVALID_PARAMETER, and
 * only that many bytes are written (at most the later record's). Each size
 * given is recorded for velplat::cluster::VersionRecordSizes. */
VELPLAT_API DWORD WINAPI GetClusterInformation(HCLUSTER hCluster, LPWSTR lpszClusterName, LPDWORD lpcchClusterName,
                                               LPCLUSTERVERSIONINFO lpClusterInfo);

/* Notification ports. A new port (hChange INVALID_HANDLE_VALUE) receives
 * the cluster's events whose type is in dwFilter from its creation on; an
 * existing port adds dwFilter to its filter. GetClusterNotify takes the
 * oldest queued event, waiting up to dwMilliseconds: WAIT_TIMEOUT when none
 * came, ERROR_MORE_DATA (event kept, *lpcchName its name's length) when the
 * name does not fit, ERROR_INVALID_HANDLE for a closed or invalidated port. */
VELPLAT_API HCHANGE WINAPI CreateClusterNotifyPort(HCHANGE hChange, HCLUSTER hCluster, DWORD dwFilter,
                                                   DWORD_PTR dwNotifyKey);
VELPLAT_API DWORD WINAPI GetClusterNotify(HCHANGE hChange, DWORD_PTR* lpdwNotifyKey, LPDWORD lpdwFilterType,
                                          LPWSTR lpszName, LPDWORD lpcchName, DWORD dwMilliseconds);
VELPLAT_API BOOL WINAPI CloseClusterNotifyPort(HCHANGE hChange);

/* Enumerations list the objects of the kinds in dwType as they are when the
 * enumeration is opened, kind by kind in the order of the CLUSTER_ENUM bits.
 * ClusterEnum: ERROR_NO_MORE_ITEMS past the end; ERROR_MORE_DATA with
 * *lpcchName set to the name's length when the name and its terminator do
 * not fit. */
VELPLAT_API HCLUSENUM WINAPI ClusterOpenEnum(HCLUSTER hCluster, DWORD dwType);
VELPLAT_API DWORD WINAPI ClusterEnum(HCLUSENUM hEnum, DWORD dwIndex, LPDWORD lpdwType, LPWSTR lpszName,
                                     LPDWORD lpcchName);
VELPLAT_API DWORD WINAPI ClusterCloseEnum(HCLUSENUM hEnum);
VELPLAT_API HGROUPENUM WINAPI ClusterGroupOpenEnum(HGROUP hGroup, DWORD dwType);
VELPLAT_API DWORD WINAPI ClusterGroupEnum(HGROUPENUM hGroupEnum, DWORD dwIndex, LPDWORD lpdwType,
                                          LPWSTR lpszResourceName, LPDWORD lpcchName);
VELPLAT_API DWORD WINAPI ClusterGroupCloseEnum(HGROUPENUM hGroupEnum);

/* Cluster objects by name. */
VELPLAT_API HNODE WINAPI OpenClusterNode(HCLUSTER hCluster, LPCWSTR lpszNodeName);
VELPLAT_API BOOL WINAPI CloseClusterNode(HNODE hNode);
VELPLAT_API CLUSTER_NODE_STATE WINAPI GetClusterNodeState(HNODE hNode);
/* The node's identifier text; a null node is the local machine's node. */
VELPLAT_API DWORD WINAPI GetClusterNodeId(HNODE hNode, LPWSTR lpszNodeId, LPDWORD lpcchName);
VELPLAT_API HGROUP WINAPI OpenClusterGroup(HCLUSTER hCluster, LPCWSTR lpszGroupName);
VELPLAT_API BOOL WINAPI CloseClusterGroup(HGROUP hGroup);
VELPLAT_API CLUSTER_GROUP_STATE WINAPI GetClusterGroupState(HGROUP hGroup, LPWSTR lpszNodeName,
                                                            LPDWORD lpcchNodeName);
VELPLAT_API HRESOURCE WINAPI OpenClusterResource(HCLUSTER hCluster, LPCWSTR lpszResourceName);
VELPLAT_API BOOL WINAPI CloseClusterResource(HRESOURCE hResource);
VELPLAT_API CLUSTER_RESOURCE_STATE WINAPI GetClusterResourceState(HRESOURCE hResource, LPWSTR lpszNodeName,
                                                                  LPDWORD lpcchNodeName, LPWSTR lpszGroupName,
                                                                  LPDWORD lpcchGroupName);
VELPLAT_API HNETWORK WINAPI OpenClusterNetwork(HCLUSTER hCluster, LPCWSTR lpszNetworkName);
VELPLAT_API BOOL WINAPI CloseClusterNetwork(HNETWORK hNetwork);

/* The cluster database: the keys under HKEY_LOCAL_MACHINE\Cluster of the
 * machine that opened the cluster, read with wide names and wide string
 * data. */
VELPLAT_API HKEY WINAPI GetClusterKey(HCLUSTER hCluster, REGSAM samDesired);
VELPLAT_API HKEY WINAPI GetClusterGroupKey(HGROUP hGroup, REGSAM samDesired);
VELPLAT_API HKEY WINAPI GetClusterResourceKey(HRESOURCE hResource, REGSAM samDesired);
VELPLAT_API HKEY WINAPI GetClusterNetworkKey(HNETWORK hNetwork, REGSAM samDesired);
VELPLAT_API LONG WINAPI ClusterRegOpenKey(HKEY hKey, LPCWSTR lpszSubKey, REGSAM samDesired, PHKEY phkResult);
VELPLAT_API LONG WINAPI ClusterRegCloseKey(HKEY hKey);
VELPLAT_API LONG WINAPI ClusterRegEnumKey(HKEY hKey, DWORD dwIndex, LPWSTR lpszName, LPDWORD lpcchName,
                                          PFILETIME lpftLastWriteTime);
/* Value dwIndex of the key in creation order: its name (as ClusterEnum) and,
 * when lpData is not null, its data, string data as wide text with its
 * terminator; ERROR_MORE_DATA with *lpcbData set when the data does not fit. */
VELPLAT_API DWORD WINAPI ClusterRegEnumValue(HKEY hKey, DWORD dwIndex, LPWSTR lpszValueName, LPDWORD lpcchValueName,
                                             LPDWORD lpdwType, LPBYTE lpData, LPDWORD lpcbData);

#endif
