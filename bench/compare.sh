#!/usr/bin/env bash
# This program against the viewers and loaders a user would pick instead, on the same generated
# meshes, side by side in one run: each row runs the two programs alternately RUNS times and
# prints both medians, the ratio (how many times faster, or smaller, this program is) and the aim.
#
#   bench/compare.sh [RUNS] [BUILD_DIR]           (default 5 runs, build/)
#   BASELINE=old/teldviewgl bench/compare.sh      also times the 1M-quad rows against an older build
#
# Needs the build's teldviewgl and make_grid_off, and Xvfb: one X display serves the window,
# MeshLab's loader and f3d. The other programs are optional; a missing one skips its rows with a
# note on how to install it. Times are wall times of whole processes; memory is the peak resident
# size. The meshes (about 600 MB) go to a temporary folder that is removed at the end.
set -euo pipefail

runs="${1:-5}"
build="${2:-$(dirname "$0")/../build}"
viewer="$build/teldviewgl"
maker="$build/make_grid_off"
for program in "$viewer" "$maker"; do
  [[ -x "$program" ]] || { echo "compare.sh: $program is missing; build with -DTELDVIEW_BENCH=ON" >&2; exit 1; }
done
command -v Xvfb >/dev/null || { echo "compare.sh: Xvfb is missing (apt-get install xvfb)" >&2; exit 1; }
[[ -x /usr/bin/time ]] || { echo "compare.sh: /usr/bin/time is missing (apt-get install time)" >&2; exit 1; }

work=$(mktemp -d)
xvfb_pid=""
cleanup() {
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# One X display for everything, on the first free number from 90 on.
display=90
while [[ -e "/tmp/.X11-unix/X$display" || -e "/tmp/.X$display-lock" ]]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=":$display"
for _ in $(seq 50); do [[ -e "/tmp/.X11-unix/X$display" ]] && break; sleep 0.1; done

have() {
  if command -v "$1" >/dev/null; then return 0; fi
  echo "(skipping the rows with $1: apt-get install $2)"
  return 1
}
have_meshlab=0 have_admesh=0 have_f3d=0
have meshlabserver meshlab && have_meshlab=1
have admesh admesh && have_admesh=1
have f3d f3d && have_f3d=1

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg); $runs runs per row, medians"
"$maker" "$work/tri1m.off" 1000 500
"$maker" "$work/quad1m.off" 1000 1000 quads
"$maker" "$work/tri4m.off" 2000 1000
"$viewer" --convert "$work/tri1m.stl" "$work/tri1m.off"
"$viewer" --convert "$work/tri1m_ascii.stl" --ascii "$work/tri1m.off"

# run NAME COMMAND...: one timed run, its wall seconds and peak kilobytes appended to NAME's
# samples; the command's output is kept in $work/NAME.out.
run() {
  local name="$1"
  shift
  local start end
  start=$EPOCHREALTIME
  if ! /usr/bin/time -f "%M" -o "$work/rss" "$@" >"$work/$name.out" 2>"$work/$name.err"; then
    echo "compare.sh: failed: $*" >&2
    tail -n 5 "$work/$name.err" >&2
    exit 1
  fi
  end=$EPOCHREALTIME
  echo "$(awk -v a="$start" -v b="$end" 'BEGIN {print b - a}') $(cat "$work/rss")" >>"$work/$name.samples"
  # The start-up benchmark says when it closed its window: the rest is the close.
  if grep -q '^close_epoch_us ' "$work/$name.out"; then
    local closed
    closed=$(awk '/^close_epoch_us /{print $2}' "$work/$name.out")
    echo "$((${end/./} - closed))" >>"$work/$name.close"
  fi
}

# median FILE COLUMN
median() {
  sort -g -k"$2" "$1" | awk -v c="$2" '{v[NR]=$c} END {print v[int((NR+1)/2)]}'
}

# pair OURS THEIRS COMMAND_OURS... -- COMMAND_THEIRS...: RUNS alternating runs, the order
# swapped every run so that a drift of the machine's load hits both alike.
pair() {
  local ours="$1" theirs="$2"
  shift 2
  local -a a=() b=()
  while [[ "$1" != "--" ]]; do a+=("$1"); shift; done
  shift
  b=("$@")
  for i in $(seq "$runs"); do
    if ((i % 2)); then run "$ours" "${a[@]}"; run "$theirs" "${b[@]}"
    else run "$theirs" "${b[@]}"; run "$ours" "${a[@]}"; fi
  done
}

# row TITLE OURS THEIRS OTHER_NAME AIM [COLUMN UNIT]: one line, the ratio being theirs / ours;
# AIM "-" for a row that only informs.
row() {
  local title="$1" ours="$2" theirs="$3" other="$4" aim="$5" column="${6:-1}" unit="${7:-s}"
  awk -v t="$title" -v o="$other" -v aim="$aim" -v u="$unit" \
    -v a="$(median "$work/$ours.samples" "$column")" -v b="$(median "$work/$theirs.samples" "$column")" \
    'BEGIN {
       if (u == "MiB") { a /= 1024; b /= 1024 }
       verdict = aim == "-" ? "no aim" : "aim " aim "x: " (b / a >= aim ? "met" : "MISSED")
       printf "%-42s this %8.2f %-3s  %-16s %8.2f %-3s  ratio %5.2fx  %s\n", t, a, u, o, b, u, b / a, verdict
     }'
}

info=("$viewer" --info)
startup=("$viewer" --benchmark-startup)
f3d=(f3d --resolution 800,600 --output "$work/f3d.png")
if ((have_meshlab)); then
  pair info_off meshlab_off "${info[@]}" "$work/tri1m.off" -- meshlabserver -i "$work/tri1m.off"
  pair info_quad meshlab_quad "${info[@]}" "$work/quad1m.off" -- meshlabserver -i "$work/quad1m.off"
fi
if ((have_admesh)); then
  pair info_stl admesh_stl "${info[@]}" "$work/tri1m.stl" -- admesh -c "$work/tri1m.stl"
  pair info_ascii admesh_ascii "${info[@]}" "$work/tri1m_ascii.stl" -- admesh -c "$work/tri1m_ascii.stl"
fi
if ((have_f3d)); then
  pair start_off f3d_off "${startup[@]}" "$work/tri1m.off" -- "${f3d[@]}" "$work/tri1m.off"
  pair start_stl f3d_stl "${startup[@]}" "$work/tri1m.stl" -- "${f3d[@]}" "$work/tri1m.stl"
  pair start_4m f3d_4m "${startup[@]}" "$work/tri4m.off" -- "${f3d[@]}" "$work/tri4m.off"
fi
if [[ -n "${BASELINE:-}" ]]; then
  pair start_quad base_quad "${startup[@]}" "$work/quad1m.off" -- "$BASELINE" --benchmark-startup "$work/quad1m.off"
  for i in $(seq "$runs"); do
    run spin_quad "$viewer" --benchmark-spin "$work/quad1m.off" 3
    run base_spin "$BASELINE" --benchmark-spin "$work/quad1m.off" 3
    awk '/^frame_time_median_ms /{print $2}' "$work/spin_quad.out" >>"$work/spin_quad.frames"
    awk '/^frame_time_median_ms /{print $2}' "$work/base_spin.out" >>"$work/base_spin.frames"
  done
fi

echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
if ((have_meshlab)); then
  row "--info 1M-triangle OFF" info_off meshlab_off "meshlabserver -i" 5
  row "--info 1M-quad OFF" info_quad meshlab_quad "meshlabserver -i" 5
fi
if ((have_admesh)); then
  row "--info 1M-triangle binary STL" info_stl admesh_stl "admesh -c" 1
  row "  its peak memory" info_stl admesh_stl "admesh -c" - 2 MiB
  row "--info 1M-triangle ASCII STL" info_ascii admesh_ascii "admesh -c" 2
fi
if ((have_f3d)); then
  row "first picture, 1M-triangle OFF" start_off f3d_off "f3d to a PNG" 1.5
  row "first picture, 1M-triangle binary STL" start_stl f3d_stl "f3d to a PNG" 1.5
  row "first picture, 4M-triangle OFF" start_4m f3d_4m "f3d to a PNG" 1.5
  row "peak memory, 1M-triangle OFF" start_off f3d_off "f3d to a PNG" - 2 MiB
  row "peak memory, 4M-triangle OFF" start_4m f3d_4m "f3d to a PNG" 1 2 MiB
  awk '{printf "%-42s this %8.0f ms  aim under 300 ms: %s\n", "close after the first picture, 4M OFF", $1 / 1000, $1 < 300000 ? "met" : "MISSED"}' \
    <<<"$(median "$work/start_4m.close" 1)"
fi
if [[ -n "${BASELINE:-}" ]]; then
  row "first picture, 1M-quad OFF" start_quad base_quad "the baseline" 2
  echo "$(median "$work/spin_quad.frames" 1) $(median "$work/base_spin.frames" 1)" >"$work/spin.samples"
  awk '{printf "%-42s this %8.2f ms  %-16s %8.2f ms   ratio %5.2fx  aim 4x: %s\n", "spinning frame, 1M-quad OFF", $1, "the baseline", $2, $2 / $1, ($2 / $1 >= 4 ? "met" : "MISSED")}' \
    "$work/spin.samples"
fi
