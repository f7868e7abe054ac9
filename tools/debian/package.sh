#!/usr/bin/env bash
# Makes the Debian package for Debian 12: OUTDIR/zoduv_VERSION_ARCH.deb, from the
# Linux build in build/ (the one ./run.sh and ./test.sh make, reused as it is):
# the program in /usr/games, the asset tree (tools/asset_tree.txt) in
# /usr/share/games/zoduv where the program finds it, a menu entry, the icon the
# asset generator draws, a manual page made from --help, the copyright file. The
# libraries it depends on are computed by dpkg-shlibdeps; ffmpeg, needed only to
# record, is recommended. lintian checks the result when it is installed.
#   tools/debian/package.sh OUTDIR
set -euo pipefail
out="$(realpath -m "${1:?usage: tools/debian/package.sh OUTDIR}")"
cd "$(dirname "$0")/../.."
tools/setup/install-deps.sh --build --tests
[ -f build/CMakeCache.txt ] || cmake -S . -B build >/dev/null # configured once: the lanes of ./test.sh share it
cmake --build build -j2 --target zoduv assets assetgen

name=zoduv
version="$(build/zoduv --version | awk '{print $2; exit}')"
arch="$(dpkg --print-architecture)"
maintainer="Zoduv Aziridiru maintainers <maintainers@users.noreply.c-seed-86523f20.example>"
# Dates inside the package (manual page, changelog) come from the last commit, so
# the same sources give the same package.
export SOURCE_DATE_EPOCH="${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || date +%s)}"

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# dpkg-shlibdeps wants the layout of a Debian source tree: debian/control and the
# files in debian/PACKAGE.
root="$work/debian/$name"
share="$root/usr/share"
mkdir -p "$root/DEBIAN" "$root/usr/games" "$share/games/$name" "$share/applications" "$share/man/man6" \
  "$share/doc/$name"

strip --strip-unneeded --remove-section=.comment --remove-section=.note -o "$root/usr/games/$name" build/zoduv
mapfile -t tree < <(grep -v -E '^\s*(#|$)' tools/asset_tree.txt)
for item in "${tree[@]}"; do
  cp -r "build/show/$item" "$share/games/$name/"
done
# Debian ships DejaVu once, in fonts-dejavu-core (the Linux program reads it from
# there anyway): the tree's copy becomes a link to it, and its licence is that
# package's copyright file.
rm "$share/games/$name/fonts/DejaVuSans.ttf" "$share/games/$name/fonts/DejaVuSans-licence.txt"
ln -s ../../../fonts/truetype/dejavu/DejaVuSans.ttf "$share/games/$name/fonts/DejaVuSans.ttf"

build/assetgen "$share" icons/hicolor/{32x32,48x48,64x64,128x128,256x256}/apps/zoduv.png >/dev/null
cp tools/debian/zoduv.desktop "$share/applications/"
help2man --no-info --section=6 --version-string="$version" \
  --name="a real-time show drawn in ink and pencil on a sheet of paper" build/zoduv \
  | gzip -9n > "$share/man/man6/$name.6.gz"
cp tools/debian/copyright "$share/doc/$name/"
{
  printf '%s (%s) unstable; urgency=medium\n\n' "$name" "$version"
  printf '  * Built from the project'"'"'s sources by tools/debian/package.sh.\n\n'
  printf ' -- %s  %s\n' "$maintainer" "$(date -R -u -d "@$SOURCE_DATE_EPOCH")"
} | gzip -9n > "$share/doc/$name/changelog.gz"

find "$root" -type d -exec chmod 0755 {} +
find "$root" -type f -exec chmod 0644 {} +
chmod 0755 "$root/usr/games/$name"

printf 'Source: %s\n\nPackage: %s\nArchitecture: any\n' "$name" "$name" > "$work/debian/control"
depends="$(cd "$work" && dpkg-shlibdeps -O "debian/$name/usr/games/$name" | sed -n 's/^shlibs:Depends=//p')"
cat > "$root/DEBIAN/control" <<CONTROL
Package: $name
Version: $version
Architecture: $arch
Maintainer: $maintainer
Installed-Size: $(du -sk --exclude=DEBIAN "$root" | cut -f1)
Depends: $depends, fonts-dejavu-core
Recommends: ffmpeg
Section: games
Priority: optional
Description: real-time show drawn in ink and pencil on a sheet of paper
 Zoduv Aziridiru is a real-time audio-visual show (a "demo"). It plays its
 music and a pencil-scratching sound and renders one continuous 3D scene in
 which outline meshes become hand-drawn pencil strokes, while holes are
 punched into the paper and ants, tendrils and tumbling figures appear. It
 lasts about four minutes and ends by itself.
 .
 A start dialog asks for the resolution, antialiasing and window mode; the
 command line can take screenshots and, with ffmpeg, record the show with its
 sound to a video file.
CONTROL
(cd "$root" && find . -type f ! -path './DEBIAN/*' -printf '%P\0' | LC_ALL=C sort -z | xargs -0 md5sum) \
  > "$root/DEBIAN/md5sums"
chmod 0644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"

mkdir -p "$out"
deb="$out/${name}_${version}_${arch}.deb"
dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" >/dev/null
if command -v lintian >/dev/null; then
  lintian --fail-on error "$deb"
fi
echo "$deb"
