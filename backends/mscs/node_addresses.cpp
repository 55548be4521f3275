// Three passes over the database: the subnet mask from cluster\Resources,
// the network whose mask it is from cluster\Networks, then the interfaces on
// that network from cluster\NetworkInterfaces. Every comparison is a
// leading-part match of the text read from the database.
#include "backends/mscs/node_addresses.h"

#include "agent/mib_types.h"
#include "backends/mscs/cluster_objects.h"
#include "backends/mscs/mscs_interface.h"
#include "discovery/member_table.h"

#include <winsock.h>

#include <cstdio>
#include <cstring>
#include <utility>

namespace velmon::mscs {
namespace {

using Text = char[kTextBufferSize];

// An open registry key, closed on every path.
class Key {
 public:
  Key() = default;
  ~Key() {
    if (key_) RegCloseKey(key_);
  }
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;

  // Opens `path` under HKEY_LOCAL_MACHINE for reading.
  LONG Open(const char* path) {
    HKEY opened = nullptr;
    LONG result = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &opened);
    if (result == ERROR_SUCCESS) key_ = opened;
    return result;
  }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

// "<base>\<name>[\<tail>]" in a text buffer; false when it does not fit, and
// the key is then passed over.
bool ComposePath(Text& path, const char* base, const char* name, const char* tail = nullptr) {
  const int written = tail ? std::snprintf(path, sizeof path, "%s\\%s\\%s", base, name, tail)
                           : std::snprintf(path, sizeof path, "%s\\%s", base, name);
  return written >= 0 && static_cast<size_t>(written) < sizeof path;
}

// Reads a text value into the cleared buffer, with a length of 255.
LONG ReadText(HKEY key, const char* name, Text& text, LONG* last) {
  std::memset(text, 0, sizeof text);
  DWORD length = kTextBufferSize - 1;
  DWORD type = 0;
  *last = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(text), &length);
  return *last;
}

// The subkey at `index` into the cleared name buffer, with a length of 255.
LONG EnumSubkey(HKEY key, DWORD index, Text& name) {
  std::memset(name, 0, sizeof name);
  DWORD length = kTextBufferSize - 1;
  return RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
}

// Pass 1: the text last read into the buffer is the subnet mask.
void ReadSubnetMask(Text& mask, LONG* last) {
  Key resources;
  if ((*last = resources.Open(kResourcesKey)) != ERROR_SUCCESS) return;
  Text subkey;
  Text path;
  for (DWORD index = 0; EnumSubkey(resources.get(), index, subkey) == ERROR_SUCCESS; ++index) {
    Key resource;
    if (!ComposePath(path, kResourcesKey, subkey) || resource.Open(path) != ERROR_SUCCESS) continue;
    if (ReadText(resource.get(), kResourceName, mask, last) != ERROR_SUCCESS) continue;
    const bool clusterAddress = Leads(mask, kClusterIpAddressName);
    Key parameters;
    if (ComposePath(path, kResourcesKey, subkey, kResourceParameters) && parameters.Open(path) == ERROR_SUCCESS &&
        ReadText(parameters.get(), kSubnetMask, mask, last) == ERROR_SUCCESS)
      return;
    if (clusterAddress) return;
  }
}

// Pass 2: the key name of the first network whose mask leads `mask`.
void FindNetwork(const Text& mask, Text& network, LONG* last) {
  std::memset(network, 0, sizeof network);
  Key networks;
  if ((*last = networks.Open(kNetworksKey)) != ERROR_SUCCESS) return;
  Text subkey;
  Text path;
  Text addressMask;
  for (DWORD index = 0; EnumSubkey(networks.get(), index, subkey) == ERROR_SUCCESS; ++index) {
    Key key;
    if (!ComposePath(path, kNetworksKey, subkey) || key.Open(path) != ERROR_SUCCESS) continue;
    if (ReadText(key.get(), kAddressMask, addressMask, last) != ERROR_SUCCESS) continue;
    if (Leads(addressMask, mask)) {
      std::memcpy(network, subkey, sizeof network);
      return;
    }
  }
}

// Stores `address` in every member record from record 0 whose identifier
// `node` leads; the walk ends after a record without identifier or before a
// record with memberNumber 0.
void StoreAddress(const char* node, const char* address) {
  const DWORD value = inet_addr(address);
  auto lock = LockMemberTable();
  for (int position = 0; position < kMemberCapacity; ++position) {
    MemberRecord& record = MemberTable[position];
    if (Leads(node, record.nodeId) && value != INADDR_NONE) record.address = value;
    if (record.nodeId[0] == '\0') return;
    if (position + 1 >= kMemberCapacity || MemberTable[position + 1].memberNumber == 0) return;
  }
}

// Pass 3: the interfaces on `network`.
void ReadInterfaces(const Text& network, LONG* last) {
  Key interfaces;
  if ((*last = interfaces.Open(kNetworkInterfacesKey)) != ERROR_SUCCESS) return;
  Text subkey;
  Text path;
  Text text;
  Text address;
  Text node;
  for (DWORD index = 0; EnumSubkey(interfaces.get(), index, subkey) == ERROR_SUCCESS; ++index) {
    Key key;
    if (!ComposePath(path, kNetworkInterfacesKey, subkey) || key.Open(path) != ERROR_SUCCESS) continue;
    if (ReadText(key.get(), kInterfaceNetwork, text, last) != ERROR_SUCCESS || !Leads(text, network)) continue;
    if (ReadText(key.get(), kInterfaceAddress, address, last) != ERROR_SUCCESS ||
        ReadText(key.get(), kInterfaceNode, node, last) != ERROR_SUCCESS)
      continue;
    StoreAddress(node, address);
  }
}

}  // namespace

LONG ResolveMscsNodeAddresses() {
  LONG last = ERROR_SUCCESS;
  Text mask = {};
  ReadSubnetMask(mask, &last);
  Text network;
  FindNetwork(mask, network, &last);
  ReadInterfaces(network, &last);
  return last;
}

}  // namespace velmon::mscs
