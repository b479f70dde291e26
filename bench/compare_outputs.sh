#!/usr/bin/env bash
# The renderer's outputs, byte for byte, from two builds: --out (PNG and JPEG, each
# outside), --window (1:1 and the fit view), --trace and --state, on a corpus of picture
# sizes and of angles, single and in sequences. Prints one line per difference and a
# closing count; exits 1 when any output but the fit view's window differs (the fit view
# of a turned picture shows the edge repair's squares since the images became values).
#
#   bench/compare_outputs.sh BEFORE_RENDERER AFTER_RENDERER [AFTER_OPTION...]
#
# AFTER_OPTIONs go to the after build only: --resample bilinear holds a sharp build to
# the bilinear pixels of one from before.
set -euo pipefail
before=$1 after=$2
shift 2
after_options=("$@")
command -v convert >/dev/null || { echo "compare_outputs: ImageMagick's convert is needed"; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR=$work
# Sizes from a pixel to larger than the window, odd and even, landscape and portrait.
for size in 1x1 7x5 333x217 1203x801 480x1100; do
  convert -seed 3 -size "$size" plasma:fractal -quality 92 "$work/p$size.jpg"
done
for size in 7x5 640x480; do
  convert -seed 5 -size "$size" gradient:orange-navy -alpha set -channel A -evaluate set 60% \
    +channel "$work/t$size.png"
done
runs=(
  "" "--angle 0" "--angle 1" "--angle 30" "--angle 88" "--angle 90" "--angle 135"
  "--angle 180" "--angle 268" "--angle 359" "--angle 360"
  "--angle 30 --angle 180" "--angle 90 --angle 45 --angle 270" "--angle 10 --angle 0"
)
compared=0 differ=0 fit_differ=0
run() {  # build name picture args...
  local build=$1 out=$2 picture=$3
  shift 3
  [ "$build" = "$after" ] && set -- "$@" "${after_options[@]}"
  mkdir -p "$out"
  "$build" "$picture" "$@" --trace "$out/trace" --state --window "$out/window.png" \
    --out "$out/out.png" >"$out/state" 2>"$out/err" || echo "exit $?" >>"$out/state"
  "$build" "$picture" "$@" --out "$out/out.jpg" --quality 90 --fit --window "$out/fit.png" \
    >/dev/null 2>>"$out/err" || true
  for outside in transparent crop; do
    "$build" "$picture" "$@" --outside $outside --out "$out/$outside.png" \
      >/dev/null 2>>"$out/err" || true
  done
  # The reports name the files written, which lie in each build's own folder.
  sed -i "s|$out/|OUT/|g" "$out/err"
}
i=0
for picture in "$work"/p*.jpg "$work"/t*.png; do
  for args in "${runs[@]}"; do
    i=$((i + 1))
    # shellcheck disable=SC2086
    run "$before" "$work/b$i" "$picture" $args
    # shellcheck disable=SC2086
    run "$after" "$work/a$i" "$picture" $args
    for file in "$work/b$i"/*; do
      name=$(basename "$file")
      compared=$((compared + 1))
      if cmp -s "$file" "$work/a$i/$name"; then continue; fi
      if [ "$name" = fit.png ]; then
        # The fit view of a turned picture now shows the edge repair's squares too.
        fit_differ=$((fit_differ + 1))
        echo "fit view differs: $(basename "$picture") $args"
      else
        differ=$((differ + 1))
        echo "differs: $(basename "$picture") $args: $name"
      fi
    done
    rm -rf "$work/b$i" "$work/a$i"
  done
done
echo "compare_outputs: $compared outputs compared, $differ differ; fit views that differ: $fit_differ"
[ "$differ" -eq 0 ]
