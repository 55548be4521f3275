// Oracle RAC cluster attributes.
#include "backends/oracle/attributes.h"

#include "agent/agent_heap.h"
#include "backends/oracle/member_state.h"
#include "backends/oracle/oracle_interface.h"
#include "discovery/member_table.h"

#include <mgmtapi.h>
#include <winver.h>

#include <algorithm>
#include <cstring>

namespace velmon::oracle {
namespace {

constexpr DWORD kPathBytes = 256;
constexpr UINT kVersionBlockCap = 20;  // terminator included: at most 19 characters

// Opens the cluster-manager or service key for reading; closed on scope exit.
class ReadKey {
 public:
  explicit ReadKey(const char* path) {
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key_) != ERROR_SUCCESS) key_ = nullptr;
  }
  ~ReadKey() {
    if (key_) RegCloseKey(key_);
  }
  ReadKey(const ReadKey&) = delete;
  ReadKey& operator=(const ReadKey&) = delete;
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

// The executable's path from ImagePath into `path`; kNoError with an empty
// path when there is nothing to read, genErr when it cannot be used.
Status ReadImagePath(char (&path)[kPathBytes]) {
  path[0] = '\0';
  ReadKey key(kServiceKey);
  if (!key.get()) return kNoError;
  char raw[kPathBytes] = {};
  DWORD type = REG_NONE;
  DWORD size = kPathBytes - 1;
  if (RegQueryValueExA(key.get(), kImagePath, nullptr, &type, reinterpret_cast<BYTE*>(raw), &size) != ERROR_SUCCESS)
    return kNoError;
  if (type == REG_SZ) {
    std::memcpy(path, raw, kPathBytes);
    return kNoError;
  }
  if (type != REG_EXPAND_SZ) return kGenErr;
  DWORD needed = ExpandEnvironmentStringsA(raw, path, kPathBytes - 1);
  if (needed == 0 || needed > kPathBytes - 1) {
    path[0] = '\0';
    return kGenErr;
  }
  return kNoError;
}

}  // namespace

Status GetClusterVendorName(AttrString* value, UINT*, const RowIndex*) {
  constexpr INT kLength = sizeof kVendorText - 1;
  std::memcpy(value->buffer, kVendorText, kLength);
  value->length = kLength;
  return kNoError;
}

Status GetClusterSoftwareVersion(AttrString* value, UINT*, const RowIndex*) {
  value->length = 0;
  char path[kPathBytes];
  if (Status status = ReadImagePath(path); status != kNoError || path[0] == '\0') return status;
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  if (size == 0) return kNoError;
  void* block = AgentAlloc(size);
  if (!block) return kGenErr;
  if (!GetFileVersionInfoA(path, 0, size, block)) {
    AgentFree(block);
    return kGenErr;
  }
  LPVOID text = nullptr;
  UINT length = 0;
  if (VerQueryValueA(block, kVersionQuery, &text, &length) && text && length > 0) {
    UINT copied = std::min(length, kVersionBlockCap);
    std::memcpy(value->buffer, text, copied);
    value->length = static_cast<INT>(strnlen(value->buffer, copied - 1));
  }
  AgentFree(block);
  return kNoError;
}

Status GetClusterServiceStatus(INT* value, UINT*, const RowIndex*) {
  ReadKey key(kClusterManagerKey);
  *value = key.get() ? 6 : 3;
  return kNoError;
}

Status GetClusterSoftwareType(INT* value, UINT*, const RowIndex*) {
  *value = kSoftwareType;
  return kNoError;
}

Status GetClusterMibOid(AsnObjectIdentifier* value, UINT*, const RowIndex*) {
  char text[] = ".0.0";
  SnmpMgrStrToOid(text, value);  // a failed conversion leaves the empty identifier
  return kNoError;
}

Status GetLocalNodeIndex(INT* value, UINT*, const RowIndex*) {
  *value = 0;
  ReadKey key(kClusterManagerKey);
  if (!key.get()) return kGenErr;
  char hostName[kTextBufferSize] = {};
  DWORD size = kTextBufferSize - 1;
  if (RegQueryValueExA(key.get(), kHostName, nullptr, nullptr, reinterpret_cast<BYTE*>(hostName), &size) ==
      ERROR_SUCCESS) {
    auto lock = LockMemberTable();
    int position = FindMemberByPublicName(hostName);
    if (position >= 0) *value = position + 1;
  }
  return kNoError;
}

Status GetClusterName(AttrString* value, UINT*, const RowIndex*) {
  auto lock = LockMemberTable();
  std::memcpy(value->buffer, MemberTable[0].publicName, kMemberNameSize);
  value->length = static_cast<INT>(strnlen(MemberTable[0].publicName, kMemberNameSize - 1));
  return kNoError;
}

const ClusterOperations kOperations = {
    &GetClusterVendorName, &GetClusterSoftwareVersion, &GetClusterServiceStatus, &GetClusterSoftwareType,
    &GetClusterMibOid,     &GetLocalNodeIndex,         &GetClusterName,          &GetOracleNodeState,
};

}  // namespace velmon::oracle
