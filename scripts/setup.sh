#!/usr/bin/env bash
# Installs the Debian packages the build needs, only when one is missing.
# Usage: scripts/setup.sh [extra-package ...]
set -euo pipefail

packages=(cmake ninja-build g++ clang clang-format libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev nlohmann-json3-dev poppler-utils python3-jsonschema cups printer-driver-cups-pdf
  pkg-config coinor-libclp-dev coinor-libcbc-dev libzint-dev zbar-tools "$@")

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then SUDO=sudo; else SUDO=; fi
  $SUDO apt-get update
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y "${missing[@]}"
fi
