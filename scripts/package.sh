#!/usr/bin/env bash
# Builds the Debian package anyturn_VERSION-1_ARCH.deb in build-package/ (CPack, with the
# dependencies on Debian's libraries worked out by dpkg-shlibdeps) and checks it with
# lintian: an error there fails.
#
#   scripts/package.sh
#   sudo apt-get install ./build-package/anyturn_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build-package -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DANYTURN_DEBIAN_LAYOUT=ON -DBUILD_TESTING=OFF -DANYTURN_BENCHMARKS=OFF -DANYTURN_WARNINGS_AS_ERRORS=OFF >/dev/null
cmake --build build-package --target anyturn anyturn-render
rm -f build-package/anyturn_*.deb
(cd build-package && cpack -G DEB >/dev/null)
package=$(ls build-package/anyturn_*.deb)
echo "Built $package"
# Errors fail; warnings are shown.
lintian --fail-on error "$package"
echo "lintian: no errors in $package"

# Installed as users install it, on this machine when that is ours to change (root, and
# no anyturn installed already): from PATH, then removed without a trace.
if [ "$(id -u)" = 0 ] && ! dpkg-query -W anyturn >/dev/null 2>&1; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y -qq "./$package" >/dev/null
  files=$(dpkg-query -L anyturn | while read -r f; do [ -d "$f" ] || echo "$f"; done)
  trap 'apt-get remove -y -qq anyturn >/dev/null 2>&1 || true' EXIT
  (cd / && anyturn --version && anyturn-render --version)
  apt-get remove -y -qq anyturn >/dev/null
  trap - EXIT
  left=$(for f in $files; do [ -e "$f" ] || [ -L "$f" ] && echo "$f"; done || true)
  if [ -n "$left" ]; then
    echo "apt-get remove left behind: $left" >&2
    exit 1
  fi
  echo "Installed with apt-get, ran from PATH, removed without a trace"
fi
