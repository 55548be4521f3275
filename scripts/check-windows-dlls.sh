#!/usr/bin/env bash
# Checks the Windows DLLs of a build directory (default build/windows) with
# objdump -p: each DLL's export table must be exactly its expected names,
# undecorated, and every DLL it imports must be a Windows system DLL (so the
# C++ runtime, libgcc and winpthread are linked in, not imported).
#
# Usage: scripts/check-windows-dlls.sh [build dir]. Exits non-zero on the
# first DLL that fails, after printing why.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/windows}

objdump=""
for candidate in x86_64-w64-mingw32-objdump i686-w64-mingw32-objdump objdump; do
  if command -v "$candidate" >/dev/null; then objdump=$candidate; break; fi
done
[ -n "$objdump" ] || { echo "no objdump found" >&2; exit 2; }

# DLLs that every supported Windows release ships (compared without case).
system_dlls="advapi32.dll comctl32.dll kernel32.dll mgmtapi.dll msi.dll msvcrt.dll netapi32.dll
             snmpapi.dll user32.dll version.dll ws2_32.dll wsock32.dll"

declare -A expected=(
  [velmon.dll]="SnmpExtensionInit SnmpExtensionQuery SnmpExtensionTrap"
  [_velsetup.dll]="CreateRACUser DeleteRACUser GetProductVersion IsServicePresent StartSNMP StopSNMP"
)

status=0
for dll in "${!expected[@]}"; do
  path="$build/bin/$dll"
  if [ ! -f "$path" ]; then
    echo "FAIL $dll: not built ($path missing)"
    status=1
    continue
  fi
  dump=$("$objdump" -p "$path")
  failed=0

  # Export names: the lines of the "[Ordinal/Name Pointer] Table".
  exports=$(sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$dump" |
            sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*//p' | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//')
  want=$(tr ' ' '\n' <<<"${expected[$dll]}" | LC_ALL=C sort | tr '\n' ' ' | sed 's/ $//')
  if [ "$exports" != "$want" ]; then
    echo "FAIL $dll: exports are [$(cut -c1-300 <<<"$exports")], expected [$want]"
    failed=1
  fi

  imports=$(sed -n 's/^[[:space:]]*DLL Name:[[:space:]]*//p' <<<"$dump" | tr 'A-Z' 'a-z' | LC_ALL=C sort -u)
  for import in $imports; do
    if ! grep -qw -- "$import" <<<"$system_dlls"; then
      echo "FAIL $dll: imports $import, which is not a Windows system DLL"
      failed=1
    fi
  done
  if [ "$failed" -ne 0 ]; then
    status=1
  else
    format=$(sed -n 's/.*file format[[:space:]]*//p' <<<"$dump" | head -n1)
    echo "ok   $dll ($format): exports [$exports]; imports [$(tr '\n' ' ' <<<"$imports" | sed 's/ $//')]"
  fi
done
exit $status
