#!/usr/bin/env bash
# Installs the Debian packages needed to build, test and run velmon.
set -euo pipefail
export DEBIAN_FRONTEND=noninteractive
SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends \
  build-essential cmake ninja-build pkg-config \
  libgtest-dev libgmock-dev libbenchmark-dev \
  libsnmp-dev snmp snmpd snmptrapd smitools \
  libcli11-dev libtomlplusplus-dev \
  clang libclang-rt-14-dev
# A second SNMP implementation for velmond's tests, run with /usr/bin/python3.
$SUDO apt-get install -y --no-install-recommends python3-pysnmp4
# The Windows build: mingw-w64 cross compilers, resource and import-library
# tools, Wine to run its tests, wixl to build the installer package and
# msitools (msiinfo) to check it.
$SUDO apt-get install -y --no-install-recommends mingw-w64 wine64 wixl msitools
# Installing and monitoring: the Debian package and its checks (dpkg-shlibdeps,
# lintian, man, systemd-analyze), Prometheus's SNMP exporter and generator,
# check_snmp, curl. The exporter's package starts its own instance where
# systemd runs; the tests bring their own on a free port, so it is stopped.
$SUDO apt-get install -y --no-install-recommends \
  dpkg-dev lintian man-db systemd curl prometheus-snmp-exporter monitoring-plugins-standard
if [ -d /run/systemd/system ]; then
  $SUDO systemctl disable --now prometheus-snmp-exporter.service >/dev/null 2>&1 || true
fi
