// The version information block: its encoding from a VersionResource, its
// discovery inside a file's bytes, and value look-up inside a block.
//
// Layout (native little-endian DWORDs, every part 4-byte aligned):
//   "VS_VERSION_INFO\0"  16-byte signature
//   DWORD size           of the whole block
//   DWORD tables, DWORD translations, DWORD reserved (0)
//   VS_FIXEDFILEINFO
//   translations x { WORD language, WORD code page }
//   tables x { DWORD table size, char key[12] (8 hex digits, zero-padded),
//              DWORD strings,
//              strings x { DWORD name size, DWORD value size (both with the
//                          terminator), name, value, zero padding to 4 } }
// Thread-safety: pure functions.
#ifndef VELPLAT_SRC_VERSION_BLOCK_H
#define VELPLAT_SRC_VERSION_BLOCK_H

#include <windows.h>
#include <winver.h>

#include <optional>
#include <string>
#include <string_view>

#include <velplat/files.h>

namespace velplat::version {

// The block for `resource`; throws std::invalid_argument for a table key that
// is not eight hex digits.
std::string Encode(const files::VersionResource& resource);

// The first well-formed block inside `bytes`.
std::optional<std::string_view> FindBlock(std::string_view bytes);

struct Value {
  const void* data;
  UINT length;
};
// Looks `subBlock` up in a block whose signature and size have been checked
// by the caller (IsBlock); nullopt when there is no such value.
std::optional<Value> Query(const char* block, std::string_view subBlock);
// True when `block` starts with the signature and its size field, read from
// the block itself, describes a well-formed block.
bool IsBlock(const char* block);

}  // namespace velplat::version

#endif
