// The product version of a file: the string "ProductVersion" of its version
// resource's U.S. English / Unicode table, or "None/Unknown" when the file,
// its resource or that string is missing.
// Thread-safety: any thread.
#ifndef VELSETUP_PRODUCT_VERSION_H
#define VELSETUP_PRODUCT_VERSION_H

#include <string>

namespace velsetup {

inline constexpr char kUnknownProductVersion[] = "None/Unknown";

std::string ReadProductVersion(const char* fileName);

}  // namespace velsetup

#endif
