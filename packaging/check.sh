#!/usr/bin/env bash
# Builds the Debian package in a release build and checks it: the control fields, the
# declared dependencies, the files, the menu entry, and that the packaged program starts
# (offscreen, from the unpacked package). With --install it also installs the package on
# this machine with apt-get, as a user would, and starts the installed zarvo.
#
#   bash packaging/check.sh [--install]
#
# Not part of CI's ctest: it makes a release build of its own (build/package, or
# $ZARVO_PACKAGE_BUILD_DIR). Needs dpkg-dev for dpkg-shlibdeps; uses
# desktop-file-validate when desktop-file-utils is installed.
set -euo pipefail
cd "$(dirname "$0")/.."
install=false
[ "${1:-}" = "--install" ] && install=true

build=${ZARVO_PACKAGE_BUILD_DIR:-build/package}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DZARVO_SANITIZE=OFF \
  -DZARVO_BUILD_TESTS=OFF -DZARVO_BUILD_BENCH=OFF -DZARVO_BUILD_FUZZ=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
rm -f "$build"/zarvo_*.deb
(cd "$build" && cpack -G DEB)
debs=("$build"/zarvo_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || { echo "FAIL: no single zarvo_*.deb in $build"; exit 1; }
deb=$(realpath "${debs[0]}")
echo "package: $deb"

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
field() { dpkg-deb --field "$deb" "$1"; }

version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
[ "$(field Package)" = zarvo ] || fail "Package is '$(field Package)'"
[ "$(field Version)" = "$version" ] || fail "Version is '$(field Version)', the project's is '$version'"
[ "$(field Section)" = utils ] || fail "Section is '$(field Section)'"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -n "$(field Description)" ] || fail "no Description"
depends=$(field Depends)
echo "Depends: $depends"
names=$(sed 's/ *([^)]*)//g; s/, */\n/g' <<<"$depends")
for dep in libc6 libstdc++6 libqt6core6 libqt6gui6 libqt6widgets6 qt6-qpa-plugins; do
  grep -qxF -- "$dep" <<<"$names" || fail "Depends lacks $dep"
done

files=$(dpkg-deb --contents "$deb" | awk '{print $6}')
expected=(./usr/bin/zarvo ./usr/bin/zarvo-export ./usr/bin/zarvo-cli
          ./usr/share/man/man1/zarvo-export.1 ./usr/share/man/man1/zarvo-cli.1
          ./usr/share/applications/zarvo.desktop
          ./usr/share/icons/hicolor/scalable/apps/zarvo.svg ./usr/share/doc/zarvo/copyright)
for size in 16 24 32 48 64 128 256; do
  expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/zarvo.png")
done
for f in "${expected[@]}"; do
  grep -qx -- "$f" <<<"$files" || fail "the package lacks $f"
done
# Nothing of the build or the tests rides along.
if grep -Eq 'test|s40sim|fuzz|bench|\.a$|/include/' <<<"$files"; then
  fail "the package holds build or test files: $(grep -E 'test|s40sim|fuzz|bench|\.a$|/include/' <<<"$files" | tr '\n' ' ')"
fi

# The program starts from the unpacked package and is still running after 3 s (timeout's
# 124), the way a window waits for its user.
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
starts() {
  local rc=0
  env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=offscreen timeout 3 "$@" >"$root/run.log" 2>&1 || rc=$?
  [ "$rc" -eq 124 ] || { fail "$* ended with $rc before 3 s:"; cat "$root/run.log"; }
}
starts "$root/usr/bin/zarvo"
# The command line needs no display and no platform plugin.
cli_version=$(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=none "$root/usr/bin/zarvo-cli" --version 2>&1) ||
  fail "zarvo-cli --version failed: $cli_version"
[ "$cli_version" = "zarvo-cli $version" ] || fail "zarvo-cli --version says '$cli_version'"
if command -v desktop-file-validate >/dev/null; then
  out=$(desktop-file-validate "$root/usr/share/applications/zarvo.desktop" 2>&1) || fail "desktop-file-validate: $out"
  [ -z "$out" ] || fail "desktop-file-validate: $out"
else
  echo "note: desktop-file-validate not installed (desktop-file-utils); entry not validated"
fi

if $install; then
  as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(sudo)
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "$deb"
  [ "$(dpkg-query -W -f='${Version}' zarvo)" = "$version" ] || fail "dpkg does not list zarvo $version"
  [ "$(command -v zarvo)" = /usr/bin/zarvo ] || fail "zarvo is not /usr/bin/zarvo on the PATH"
  starts zarvo
  if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate /usr/share/applications/zarvo.desktop || fail "installed menu entry invalid"
  fi
  echo "installed; remove with: apt-get remove zarvo"
fi

if [ "$failures" -ne 0 ]; then
  echo "package check: $failures failed"
  exit 1
fi
echo "package check: all passed"
