#!/usr/bin/env bash
# Writes the three things a person downloads into OUTDIR: the Windows zip
# (zoduv-windows-x64.zip), the web zip (zoduv-web.zip: the served folder and the
# single-file page zoduv.html) and the Debian package (zoduv_VERSION_ARCH.deb),
# with their sizes and SHA-256 sums in OUTDIR/release.txt. On a Debian 12 machine:
#   tools/release.sh OUTDIR
# Each comes from its own script (tools/windows/package.sh, tools/web/package.sh,
# tools/debian/package.sh), which installs what it needs and reuses the builds in
# build/, build-win/ and build-web/.
set -euo pipefail
out="$(realpath -m "${1:?usage: tools/release.sh OUTDIR}")"
cd "$(dirname "$0")/.."
mkdir -p "$out"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

tools/windows/package.sh "$work/windows" >/dev/null
tools/web/package.sh "$work/web" >/dev/null
tools/debian/package.sh "$work/debian" >/dev/null
artefacts=("$work/windows/zoduv-windows-x64.zip" "$work/web/zoduv-web.zip" "$work"/debian/zoduv_*.deb)
names=()
for file in "${artefacts[@]}"; do
  mv -f "$file" "$out/"
  names+=("$(basename "$file")")
done

{
  echo "Zoduv Aziridiru, $(build/zoduv --version | awk '{print $2; exit}'), commit" \
    "$(git rev-parse --short HEAD 2>/dev/null || echo unknown), built $(date -u +%Y-%m-%d)"
  echo
  for name in "${names[@]}"; do
    printf '%-28s %10s bytes  sha256 %s\n' "$name" "$(stat -c %s "$out/$name")" \
      "$(sha256sum "$out/$name" | cut -d' ' -f1)"
  done
} > "$out/release.txt"
cat "$out/release.txt"
