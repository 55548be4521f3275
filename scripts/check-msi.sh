#!/usr/bin/env bash
# Checks an installer package built from setup/msi/velmon.wxs with msiinfo:
# the file and registry values it installs, its custom actions with their
# types, the pinned places of those actions in InstallExecuteSequence, the
# SNMP service search, the product's properties, and that every custom
# action's DllEntry is an export of the _velsetup.dll stored in the package
# (wixl itself accepts any name) and that this stored copy is the built one.
#
# Usage: scripts/check-msi.sh [--entries] <velmon.msi> <_velsetup.dll> <x64|x86> <version>
#   --entries  only the DllEntry and stored-copy checks (run by the build)
# Prints every difference and exits non-zero when there is one.
set -euo pipefail
entries_only=0
if [ "${1:-}" = "--entries" ]; then entries_only=1; shift; fi
[ $# -eq 4 ] || { echo "usage: $0 [--entries] <velmon.msi> <_velsetup.dll> <x64|x86> <version>" >&2; exit 2; }
msi=$(realpath "$1") built_dll=$(realpath "$2") platform=$3 version=$4

objdump=""
for candidate in x86_64-w64-mingw32-objdump i686-w64-mingw32-objdump objdump; do
  if command -v "$candidate" >/dev/null; then objdump=$candidate; break; fi
done
[ -n "$objdump" ] || { echo "no objdump found" >&2; exit 2; }
command -v msiinfo >/dev/null || { echo "msiinfo not found (package msitools)" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
fail() { echo "FAIL $*"; status=1; }

# A table's rows without the three header lines, sorted, tab-separated.
rows() { msiinfo export "$msi" "$1" | tail -n +4 | tr -d "\r"; }

# Rows of a table (selected by an awk program) against the expected ones.
expect_rows() {
  local table=$1 program=$2 expected=$3
  local actual
  actual=$(rows "$table" | awk -F"\t" -v OFS="\t" "$program" | LC_ALL=C sort)
  if [ "$actual" != "$(LC_ALL=C sort <<<"$expected")" ]; then
    fail "$table differs (< expected, > package):"
    diff <(LC_ALL=C sort <<<"$expected") <(echo "$actual") | sed -n 's/^[<>]/    &/p'
  fi
}

# ----- DllEntry: every DLL action names an export of the stored library -----
(cd "$work" && msiinfo extract "$msi" Binary.VelSetup > stored.dll) || fail "no Binary.VelSetup stream"
cmp -s "$work/stored.dll" "$built_dll" || fail "Binary.VelSetup is not the built $built_dll"
exports=$( ("$objdump" -p "$work/stored.dll" || true) | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/p' |
          sed -n 's/^[[:space:]]*\[[[:space:]]*[0-9]*\][[:space:]]*//p')
dll_actions=0
while IFS=$'\t' read -r action type source target _; do
  (( (type & 0x3F) == 1 )) || continue   # DLL stored in the Binary table
  dll_actions=$((dll_actions + 1))
  [ "$source" = VelSetup ] || fail "$action runs from Binary.$source, not VelSetup"
  grep -qxF -- "$target" <<<"$exports" || fail "$action: DllEntry $target is not an export of _velsetup.dll [$(tr '\n' ' ' <<<"$exports")]"
done < <(rows CustomAction)
[ "$dll_actions" -eq 4 ] || fail "$dll_actions DLL custom actions, expected 4"
if [ "$entries_only" -eq 1 ]; then exit $status; fi

# ----- What is installed -----
if [ "$platform" = x64 ]; then system=System64Folder bit64=256 locator=18; else system=SystemFolder bit64=0 locator=2; fi
expect_rows Directory '{print}' "$system	TARGETDIR	.
TARGETDIR		SourceDir"
expect_rows Component '{print $1, $3, $4}' "AgentLibrary	$system	$bit64
AgentRegistration	$system	$((bit64 | 4))"
expect_rows File '{print $2, $3, $7}' "AgentLibrary	velmon.dll	512"
expect_rows File '{print $2, $3, $4, $7}' "AgentLibrary	velmon.dll	$(stat -c %s "$(dirname "$built_dll")/velmon.dll")	512"
expect_rows Registry '{print $2, $3, $4, $5, $6}' '2	SOFTWARE\Velmora\VelmoraRACAgent\CurrentVersion	Pathname	#%%SystemRoot%\System32\velmon.dll	AgentRegistration
2	SYSTEM\CurrentControlSet\Services\SNMP\Parameters\ExtensionAgents	VelmoraRACAgent	SOFTWARE\Velmora\VelmoraRACAgent\CurrentVersion	AgentRegistration'

# ----- The SNMP service search and the product -----
expect_rows AppSearch '{print}' 'SNMP_SERVICE_PRESENT	SnmpServiceImagePath'
expect_rows RegLocator '{print}' "SnmpServiceImagePath	2	SYSTEM\\CurrentControlSet\\Services\\SNMP	ImagePath	$locator"
expect_rows Property '$1 ~ /^(ALLUSERS|ProductVersion|UpgradeCode)$/' "ALLUSERS	1
ProductVersion	$version
UpgradeCode	{6B0E4C2A-93D7-4F1B-A8E5-2C71D40F9B36}"

# ----- Custom actions: immediate (no scheduling bits), result checked -----
expect_rows CustomAction '{print $1, $2, $3, $4}' 'CreateRACUser	1	VelSetup	CreateRACUser
DeleteRACUser	1	VelSetup	DeleteRACUser
SNMPServiceNotFound	51	SNMP_SERVICE_NOT_FOUND	no SNMP service on this host: StopSNMP and StartSNMP skipped
SetSilentForQuietUI	51	INST_MODE	SILENT
StartSNMP	1	VelSetup	StartSNMP
StopSNMP	1	VelSetup	StopSNMP'

# ----- Their pinned places around the standard actions -----
expect_rows InstallExecuteSequence '$3 >= 1400 && $3 <= 6700 && $1 !~ /^(Register|Publish|Unpublish|ProcessComponents|RemoveFiles|InstallFiles|RemoveRegistryValues|WriteRegistryValues)/ {print $3, $1, $2}' '1400	InstallValidate	
1405	SetSilentForQuietUI	UILevel = 2
1410	CreateRACUser	NOT REMOVE~="ALL" AND NOT UPGRADINGPRODUCTCODE
1440	SNMPServiceNotFound	NOT SNMP_SERVICE_PRESENT
1450	StopSNMP	SNMP_SERVICE_PRESENT AND NOT UPGRADINGPRODUCTCODE
1500	InstallInitialize	
6600	InstallFinalize	
6610	DeleteRACUser	REMOVE~="ALL" AND NOT UPGRADINGPRODUCTCODE
6615	RemoveExistingProducts	
6620	StartSNMP	SNMP_SERVICE_PRESENT AND NOT UPGRADINGPRODUCTCODE'
# Every file and registry change lies between StopSNMP and StartSNMP; the
# service search runs before either.
rows InstallExecuteSequence | awk -F'\t' '
  $1 == "AppSearch" && $3 >= 1450 { print "FAIL AppSearch (" $3 ") after StopSNMP"; bad = 1 }
  $1 ~ /^(RemoveFiles|InstallFiles|RemoveRegistryValues|WriteRegistryValues)$/ && ($3 <= 1500 || $3 >= 6600) {
    print "FAIL " $1 " (" $3 ") outside InstallInitialize..InstallFinalize"; bad = 1 }
  END { exit bad }' || status=1

if [ "$status" -eq 0 ]; then echo "ok   $msi ($platform, $version): tables and DllEntry exports"; fi
exit $status
