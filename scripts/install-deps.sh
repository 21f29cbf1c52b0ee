#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Vexa need.
# Idempotent: only packages that are missing are installed. Works as root or through sudo.
#
#   install-deps.sh         what `make build`, `make test` and `make run` need
#   install-deps.sh fuzz    that and clang, for the libFuzzer programs of `make fuzz`
#   install-deps.sh peers   that and the independent programs the tests check Vexa against
#                           (`make test`): atest from direwolf, multimon-ng and sox for packet,
#                           hamlib's rigctld and rigctl for network rig control, minimodem and
#                           gnuplot for scripts/rx_quality.sh, fldigi with Xvfb and
#                           PulseAudio (driven by scripts/rx_quality/fldigi_rx.py)
set -euo pipefail

packages=(
  g++ cmake ninja-build make pkg-config
  qt6-base-dev
  portaudio19-dev libsndfile1-dev libsoxr-dev libfftw3-dev
  libcurl4-openssl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-format
)

for extra in "$@"; do
  case "$extra" in
    fuzz) packages+=(clang) ;;
    peers) packages+=(direwolf multimon-ng sox libhamlib-utils minimodem gnuplot-nox
                      fldigi xvfb pulseaudio pulseaudio-utils libasound2-plugins) ;;
    *)
      echo "install-deps: unknown set '$extra' (known: fuzz, peers)" >&2
      exit 2
      ;;
  esac
done

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then
  SUDO=()
elif command -v sudo >/dev/null 2>&1; then
  SUDO=(sudo)
else
  echo "install-deps: need root or sudo to install: ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
"${SUDO[@]}" apt-get update -qq
"${SUDO[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
