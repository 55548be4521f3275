// The world velmond runs in when no --world is given: the text of
// examples/worlds/oracle-rac-2.toml, embedded at build time so that the
// example and the default never drift apart.
//
// Thread-safety: constant data.
#ifndef VELMOND_DEFAULT_WORLD_H
#define VELMOND_DEFAULT_WORLD_H

#include <string_view>

namespace velmond {

std::string_view DefaultWorldText();

}  // namespace velmond

#endif
