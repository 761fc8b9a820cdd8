# Shared by scripts/run, scripts/test and scripts/bench: install what is missing, then build.
set -euo pipefail

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${RVX_BUILD_DIR:-$ROOT/build}"

# Debian packages the build and the tests need (the tests run the real 7-Zip, a real rsync
# daemon, nginx as the update mirror and tinyproxy as the proxy; the package test runs CPack's
# Debian generator, which needs dpkg-shlibdeps and file, and validates the desktop entry).
RVX_BUILD_PACKAGES=(
  build-essential cmake pkg-config
  qtbase5-dev qtbase5-dev-tools libqt5svg5-dev libqt5svg5
  zlib1g-dev libssl-dev openssl
  libbenchmark-dev
  iproute2 util-linux bsdutils procps
  fonts-dejavu-core
  7zip rsync nginx-light tinyproxy
  dpkg-dev file desktop-file-utils
)
# The sanitizer mode (scripts/test --sanitize): clang and its sanitizer and fuzzer runtimes.
RVX_SANITIZER_PACKAGES=(clang-14 libclang-rt-14-dev)
# External programs the running server starts (archives, signage copies, SSH sessions).
RVX_TOOL_PACKAGES=(7zip rsync putty)

# install_missing_packages PKG... : installs those not yet installed (as root only).
install_missing_packages() {
  local missing=()
  local pkg
  for pkg in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed"; then
      missing+=("$pkg")
    fi
  done
  if [ "${#missing[@]}" -eq 0 ]; then
    return 0
  fi
  if [ "$(id -u)" -ne 0 ]; then
    echo "Missing Debian packages: ${missing[*]}" >&2
    echo "Run this script as root to install them, or install them with: sudo apt-get install ${missing[*]}" >&2
    return 0
  fi
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

build_project() {
  local jobs
  jobs="$(nproc 2>/dev/null || echo 2)"
  cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_BUILD_TYPE="${RVX_BUILD_TYPE:-RelWithDebInfo}" "$@" >/dev/null
  cmake --build "$BUILD_DIR" -j "$jobs"
}
