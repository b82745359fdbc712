#!/usr/bin/env bash
# Installs everything the build and the tests need on a Debian 12 machine. Safe to run again:
# packages already present are skipped by apt, and the i386 architecture is added only once.
set -euo pipefail

packages=(
  cmake make g++ libgtest-dev libgmock-dev libbenchmark-dev zlib1g-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools libz-mingw-w64-dev
  wine wine32:i386 wine64 fonts-wine xvfb xauth 7zip fonts-wqy-microhei imagemagick
  python3 time x11-utils xdotool ccache qemu-user-static
)

sudo_cmd=""
if [ "$(id -u)" -ne 0 ]; then sudo_cmd="sudo"; fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "bootstrap: all packages present"
  exit 0
fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo_cmd dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
# A mirror caught mid-sync fails one index now and then: try again, and go on with the lists
# that did arrive (the install below says so if a package is really missing).
for attempt in 1 2 3; do
  $sudo_cmd apt-get update -q && break
  echo "bootstrap: apt-get update failed (attempt $attempt)" >&2
  sleep $((attempt * 5))
done
# When the security archive's i386 index is the one that failed, the 32-bit libraries cannot match
# the amd64 security versions; preferring the release's own versions resolves that.
release=$(. /etc/os-release && echo "${VERSION_CODENAME:-bookworm}")
installed=no
for attempt in 1 2 3; do
  if $sudo_cmd apt-get install -y -q --no-install-recommends "${missing[@]}" ||
     $sudo_cmd apt-get install -y -q --no-install-recommends -t "$release" "${missing[@]}"; then
    installed=yes
    break
  fi
  echo "bootstrap: apt-get install failed (attempt $attempt)" >&2
  sleep $((attempt * 5))
  $sudo_cmd apt-get update -q || true
done
[ $installed = yes ] || { echo "bootstrap: could not install ${missing[*]}" >&2; exit 1; }
echo "bootstrap: installed ${missing[*]}"
