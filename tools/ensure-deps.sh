#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the benchmarks need,
# when any is missing. Safe to run again: it installs nothing when all are here.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev libgmock-dev libbenchmark-dev libreadline-dev nlohmann-json3-dev libcpp-httplib-dev
  python3 python3-ezdxf librecad-data netpbm
  libfreetype-dev libfontconfig-dev libpng-dev fonts-wqy-microhei
  libcairo2-dev poppler-utils librsvg2-bin chromium
  chromium-driver python3-selenium
  libxlsxwriter-dev python3-openpyxl python3-jsonschema
)
if [ "${CTRLSCH_WITH_CLANG:-0}" = 1 ]; then
  packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get update -qq
  $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
