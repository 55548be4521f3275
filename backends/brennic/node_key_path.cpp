#include "backends/brennic/node_key_path.h"

#include "backends/brennic/brennic_interface.h"

#include <cstdio>

namespace velmon::brennic {

bool ComposeNodeKeyPath(char (&path)[kTextBufferSize], const char* name, const char* below) {
  int length = below ? std::snprintf(path, sizeof path, "%s\\%s\\%s", kNodesKey, name, below)
                     : std::snprintf(path, sizeof path, "%s\\%s", kNodesKey, name);
  if (length >= 0 && static_cast<size_t>(length) < sizeof path) return true;
  path[0] = '\0';
  return false;
}

bool NodeKeyPathFits(const char* name) {
  char path[kTextBufferSize];
  return ComposeNodeKeyPath(path, name);
}

}  // namespace velmon::brennic
