#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need; only
# what is missing, so a prepared machine pays nothing. scdoc builds the man
# pages; man-db, dpkg-dev and lintian check them and the Debian package.
set -eu
packages=(g++ clang cmake make ninja-build pkg-config
  libboost-dev libboost-filesystem-dev libboost-iostreams-dev libboost-regex-dev
  libboost-system-dev zlib1g-dev nlohmann-json3-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev python3
  scdoc man-db dpkg-dev lintian)
# kickstand-analyze's pictures are checked with the tools people view them with.
packages+=(graphviz librsvg2-bin)
# GNU time measures a run's peak memory apart from the script that starts it.
packages+=(time)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "installing: ${missing[*]}"
sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
