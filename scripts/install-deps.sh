#!/usr/bin/env bash
# Installs what anyturn needs from Debian's packages, and only what is missing.
# Idempotent: a second run asks dpkg-query and installs nothing.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config
  qt6-base-dev libgl-dev           # the toolkit (widgets, images, test)
  qt6-image-formats-plugins        # its readers of WebP, TIFF, TGA, ...
  libjpeg62-turbo-dev libheif-dev liblcms2-dev  # JPEG, HEIC and AVIF, colour profiles
  libturbojpeg0-dev                # JPEG turned by right angles without loss
  libspng-dev libwebp-dev libexiv2-dev          # PNG and WebP written, metadata carried over
  libgtest-dev libbenchmark-dev    # tests and benchmarks
  fonts-dejavu-core fonts-droid-fallback  # the window's text, Chinese title included
  xvfb xauth xdotool x11-apps imagemagick  # the real-window tests: X server, input, screenshots
  time                                     # the peak memory of a refused picture
  libheif-examples libjpeg-turbo-progs     # other decoders the format tests compare with
  desktop-file-utils appstream man-db      # the installation's checks
  dpkg-dev file lintian                    # the Debian package and its check
  libopencv-imgproc-dev                    # the level's line segment detector
  mate-backgrounds lomiri-wallpapers-16.04 lomiri-wallpapers-20.04  # real photos for the
  plasma-workspace-wallpapers opencv-doc   # level's tests and benchmark (read in place)
)
if [ "${ANYTURN_WITH_SANITIZERS:-1}" = 1 ]; then
  packages+=(clang libclang-rt-14-dev)  # the fuzzer and the sanitizer runtime
fi

missing=()
for package in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${db:Status-Status}' "$package" 2>/dev/null || true)
  [ "$status" = installed ] || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing from Debian's packages: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
