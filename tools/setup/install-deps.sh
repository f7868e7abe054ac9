#!/usr/bin/env bash
# Installs the Debian packages the show, its tools and its tests need, when any
# is missing (apt-get as root, through sudo otherwise), in one apt-get run.
#   tools/setup/install-deps.sh [LIST...]
# the LISTs, any of (with none, --build):
#   --build         the Linux build of the show and what it runs with (packages.txt)
#   --tests         what the Linux tests and the Debian package call (packages-tests.txt)
#   --windows-web   the Windows and browser builds and their tests
#                   (packages-windows-web.txt), and npm when no npm is at hand
#   --all           all three
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
lists=()
for option in "$@"; do
  case "$option" in
    --build) lists+=(packages.txt) ;;
    --tests) lists+=(packages-tests.txt) ;;
    --windows-web) lists+=(packages-windows-web.txt) ;;
    --all) lists+=(packages.txt packages-tests.txt packages-windows-web.txt) ;;
    *) echo "usage: tools/setup/install-deps.sh [--build] [--tests] [--windows-web] [--all]" >&2; exit 2 ;;
  esac
done
[ ${#lists[@]} -gt 0 ] || lists=(packages.txt)
wanted=()
for list in "${lists[@]}"; do
  mapfile -t -O ${#wanted[@]} wanted < <(grep -v -E '^\s*(#|$)' "$here/$list")
done
missing=()
for pkg in "${wanted[@]}"; do
  dpkg -s "$pkg" >/dev/null 2>&1 || missing+=("$pkg")
done
# Debian's node comes without npm, which is a package of its own there.
if [[ " ${lists[*]} " == *" packages-windows-web.txt "* ]] && ! command -v npm >/dev/null; then
  missing+=(npm)
fi
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then sudo=""; else sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
# Without a sync after every file it unpacks, dpkg takes a fraction of the time;
# only a power cut in the middle could leave a package to be installed again.
$sudo apt-get install -y -qq --no-install-recommends -o Dpkg::Options::=--force-unsafe-io "${missing[@]}"
