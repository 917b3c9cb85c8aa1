#!/usr/bin/env bash
# Installs the Debian packages that building, testing and the demo need, only those missing.
set -euo pipefail
packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev libgl-dev libgtest-dev libgmock-dev
  firebird3.0-server-core firebird3.0-server firebird3.0-utils libfbclient2 firebird-dev
  fonts-arphic-uming xvfb xauth xdotool xclip libx11-dev libc-bin procps
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo
# The server package asks nothing when told to run non-interactively; its random SYSDBA
# password is replaced by the test script before the server starts.
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
