#!/usr/bin/env bash
# The installer package under Wine, in the suite's prefix (run by ctest as
# windows_msi_package; scripts/test-windows.sh makes the prefix):
#
# 1. With a stand-in service named SNMP (wine/service_stand_in.exe, which
#    records every start and stop it sees), `msiexec /i velmon.msi
#    INST_MODE=SILENT /qn /l*v` exits 0, velmon.dll is in the system folder,
#    the agent's Pathname (REG_EXPAND_SZ) and its ExtensionAgents value
#    (REG_SZ) are written, and the stand-in saw a stop and then a start.
# 2. `msiexec /x` exits 0, removes the file and both values, stops and
#    starts the stand-in again and leaves it running.
# 3. Without a service named SNMP the package installs (exit 0), the service
#    actions do not run and the log says so; it then uninstalls cleanly.
#
# What Wine cannot show, and where it is covered instead:
# - The account actions run (CreateRACUser, DeleteRACUser return 0), but
#   Wine's NetUserAdd keeps accounts in the calling process only, so no
#   account outlives the action; the account's attributes are tested on
#   Linux.
# - Wine lists no dependent services (EnumDependentServices is a stub), so
#   the order in which dependents are stopped and started is a Linux test.
# - Message boxes and the status window: nothing here could see them; the
#   silent decision itself is tested with the library's own tests.
# - A failing action rolling the installation back: the stand-in cannot be
#   made to fail a stop without also stalling Wine's service manager.
#
# The library's own failure lines go to C:\windows\vlmsystem\log\vlmsetup.log
# in the prefix (the Windows folder of the process msiexec runs the actions
# in); other tests of the suite write there too, so this test reads the
# actions' results from the msiexec log instead ("Return value 1").
#
# Every wine command runs under a hard time-out: Wine's service manager can
# stall, and msiexec would then wait on it.
#
# Usage: msi_package_test.sh <wine64> <WINEPREFIX> <velmon.msi> <service_stand_in.exe>
# (velmon.dll is expected next to velmon.msi, as the build leaves it).
set -uo pipefail
wine=$1
export WINEPREFIX=$2
msi=$3
stand_in=$4
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

status=0
fail() { echo "FAIL $*"; status=1; }
# run <seconds> <program> [arguments]: a Windows program, killed after the
# time-out (exit 124, or 137 when it ignored the first signal).
run() { local limit=$1; shift; timeout -k 5 "$limit" "$wine" "$@" | tr -d '\r'; return "${PIPESTATUS[0]}"; }

drive=$WINEPREFIX/drive_c
work=$drive/velmon-msi-test
rm -rf "$work"
mkdir -p "$work"
cp "$msi" "$stand_in" "$work/"
records=$work/snmp-events.txt
dll=$drive/windows/system32/velmon.dll
agent_key='HKLM\SOFTWARE\Velmora\VelmoraRACAgent\CurrentVersion'
agents_key='HKLM\SYSTEM\CurrentControlSet\Services\SNMP\Parameters\ExtensionAgents'

msiexec() { run 120 msiexec "$@" >/dev/null; }
stand_in() { run 120 'C:\velmon-msi-test\service_stand_in.exe' "$@"; }
state() { stand_in state SNMP; }
# value <key> <name>: "<type> <data>" of a registry value, empty when absent.
value() { run 30 reg query "$1" /v "$2" 2>/dev/null | awk -v name="$2" '$1 == name { $1 = ""; sub(/^ +/, ""); print }'; }
events() { tr -d '\r' < "$records" 2>/dev/null | tr '\n' ' ' | sed 's/ $//'; }
remove_stand_in() { stand_in remove SNMP >/dev/null; }
trap 'stand_in remove SNMP >/dev/null 2>&1' EXIT

# ----- 1. Install with the SNMP stand-in running -----
# Right after a prefix is made, Wine's manager may still be settling: a
# service created then can be gone a moment later, and the first starts can
# be refused. Create and start it until it runs, for at most 120 s.
deadline=$((SECONDS + 120))
until stand_in install SNMP 'C:\velmon-msi-test\snmp-events.txt' 2>/dev/null; stand_in start SNMP 2>/dev/null; do
  if [ $SECONDS -ge $deadline ]; then
    managers=$(for pid in $(pgrep -f 'services\.exe'); do
                 tr '\0' '\n' < "/proc/$pid/environ" 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX" && echo "$pid"
               done | wc -l)
    echo "FAIL the SNMP stand-in never ran under Wine's service manager (events: $(events);" \
         "$managers service managers in this prefix: more than one happens on a prefix's first boot)"
    exit 1
  fi
  sleep 3
done
: > "$records"

msiexec /i 'C:\velmon-msi-test\velmon.msi' INST_MODE=SILENT /qn /l*v 'C:\velmon-msi-test\install.log'
result=$?
[ $result -eq 0 ] || fail "msiexec /i exited $result (log: $work/install.log)"
[ -f "$dll" ] || fail "velmon.dll is not in the system folder"
cmp -s "$dll" "$(dirname "$msi")/velmon.dll" || fail "the installed velmon.dll is not the built one"
pathname=$(value "$agent_key" Pathname)
[ "$pathname" = 'REG_EXPAND_SZ %SystemRoot%\System32\velmon.dll' ] || fail "Pathname is [$pathname]"
agent=$(value "$agents_key" VelmoraRACAgent)
[ "$agent" = 'REG_SZ SOFTWARE\Velmora\VelmoraRACAgent\CurrentVersion' ] || fail "ExtensionAgents\\VelmoraRACAgent is [$agent]"
[ "$(events)" = "stop start" ] || fail "the stand-in saw [$(events)] during install, expected [stop start]"
log=$(tr -d '\r' < "$work/install.log" 2>/dev/null)
for action in CreateRACUser StopSNMP StartSNMP; do
  grep -qE "Action ended [0-9:]+: $action\\. Return value 1\\." <<<"$log" || fail "$action did not run and succeed"
done
! grep -q SNMP_SERVICE_NOT_FOUND <<<"$log" || fail "the log says SNMP is missing although it runs"
[ "$(state)" = RUNNING ] || fail "SNMP is $(state) after install"

# ----- 2. Uninstall -----
: > "$records"
msiexec /x 'C:\velmon-msi-test\velmon.msi' /qn /l*v 'C:\velmon-msi-test\uninstall.log'
result=$?
[ $result -eq 0 ] || fail "msiexec /x exited $result (log: $work/uninstall.log)"
[ ! -e "$dll" ] || fail "velmon.dll is still in the system folder"
[ -z "$(value "$agent_key" Pathname)" ] || fail "Pathname is still there"
[ -z "$(value "$agents_key" VelmoraRACAgent)" ] || fail "ExtensionAgents\\VelmoraRACAgent is still there"
[ "$(events)" = "stop start" ] || fail "the stand-in saw [$(events)] during uninstall, expected [stop start]"
grep -qE 'Action ended [0-9:]+: DeleteRACUser\. Return value 1\.' <(tr -d '\r' < "$work/uninstall.log") ||
  fail "DeleteRACUser did not run and succeed"
[ "$(state)" = RUNNING ] || fail "SNMP is $(state) after uninstall, expected RUNNING"

# ----- 3. No SNMP service -----
remove_stand_in
: > "$records"
msiexec /i 'C:\velmon-msi-test\velmon.msi' /qn /l*v 'C:\velmon-msi-test\install-without-snmp.log'
result=$?
[ $result -eq 0 ] || fail "msiexec /i without SNMP exited $result"
[ -f "$dll" ] || fail "velmon.dll not installed on a host without SNMP"
# Windows writes "Skipping action: StopSNMP (condition is false)"; Wine's
# log leaves skipped actions out. The package's own SNMPServiceNotFound
# action says it on both.
log=$(tr -d '\r' < "$work/install-without-snmp.log" 2>/dev/null)
grep -qF 'SNMP_SERVICE_NOT_FOUND = no SNMP service on this host: StopSNMP and StartSNMP skipped' <<<"$log" ||
  fail "the log does not say that the service actions were skipped"
! grep -qE 'Action start [0-9:]+: (StopSNMP|StartSNMP)\.' <<<"$log" || fail "a service action ran without SNMP"
grep -qE 'Action ended [0-9:]+: CreateRACUser\. Return value 1\.' <<<"$log" || fail "CreateRACUser did not run and succeed"
msiexec /x 'C:\velmon-msi-test\velmon.msi' /qn
result=$?
[ $result -eq 0 ] || fail "msiexec /x without SNMP exited $result"
[ ! -e "$dll" ] || fail "velmon.dll left behind on a host without SNMP"
[ -z "$(events)" ] || fail "a service saw [$(events)] although none is named SNMP"

[ $status -eq 0 ] && echo "ok   velmon.msi installs, registers, restarts SNMP and uninstalls under Wine"
exit $status
