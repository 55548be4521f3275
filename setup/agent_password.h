// The agent account's fixed password. The agent holds the same text to log
// on with; the two must stay identical.
#ifndef VELSETUP_AGENT_PASSWORD_H
#define VELSETUP_AGENT_PASSWORD_H

#include "setup/wide_text.h"

#include <windows.h>

namespace velsetup {

inline constexpr WCHAR kAgentAccountPassword[] = VELSETUP_WIDE("{3C1F5E92-7B40-4d1a-9E27-C48B0D6A5F13}");

}  // namespace velsetup

#endif
