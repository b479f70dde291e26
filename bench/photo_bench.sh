# Sourced by the bench scripts that time whole commands on a real photo: checks for the
# tools they need, the photo, and a work folder removed at the end, in which the renderer
# runs without a display.
#
#   source "$(dirname "$0")/photo_bench.sh" NAME "PACKAGES" TOOL...
bench_name=$1 bench_packages=$2
shift 2
for tool in "$@"; do
  command -v "$tool" >/dev/null || {
    echo "$bench_name: $tool is needed (apt-get install $bench_packages)"
    exit 2
  }
done
photo=/usr/share/backgrounds/Bridge_by_Sander_Klootwijk.jpg
[ -r "$photo" ] || { echo "$bench_name: $photo is needed (apt-get install lomiri-wallpapers-16.04)"; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work
