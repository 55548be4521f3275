// Paths of a node's keys below the Nodes key of the failover database,
// composed in the agent's 256-byte text buffers.
//
// A node name may have up to 255 characters, so a path can outgrow the
// buffer. Such a path is refused rather than cut: a cut path would name
// another key (or none), and a node whose key cannot be named is neither
// read nor added nor pruned by this back-end.
//
// Pure functions; any thread.
#ifndef VELMON_BACKENDS_BRENNIC_NODE_KEY_PATH_H
#define VELMON_BACKENDS_BRENNIC_NODE_KEY_PATH_H

#include "agent/mib_types.h"

namespace velmon::brennic {

// "<Nodes key>\<name>", or "<Nodes key>\<name>\<below>" when `below` is not
// null, into `path`. False, with `path` empty, when the path and its
// terminator do not fit.
bool ComposeNodeKeyPath(char (&path)[kTextBufferSize], const char* name, const char* below = nullptr);

// Whether the key of the node `name` itself can be named.
bool NodeKeyPathFits(const char* name);

}  // namespace velmon::brennic

#endif
