#!/usr/bin/env bash
# Installs every Debian 12 package that building, running and testing Quillora needs.
# Safe to run again: apt-get is only called when something is missing.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config git ca-certificates
  qt6-base-dev libgl-dev
  libcurl4-openssl-dev libssl-dev openssl curl
  libicu-dev libpcre2-dev libsimdjson-dev
  libcpp-httplib-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  fonts-wqy-microhei xvfb xauth x11-utils
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
