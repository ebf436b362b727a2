#!/usr/bin/env bash
# This program against the viewers and loaders a user would pick instead, on the same generated
# meshes, side by side in one run: each row runs the two programs alternately RUNS times and
# prints both medians, the ratio (how many times faster, or smaller, this program is), the aim
# and whether it is met; a summary of the aims ends the output.
#
#   bench/compare.sh [RUNS] [BUILD_DIR]           (default 5 runs, build/)
#   BASELINE=old/teldviewgl bench/compare.sh      also times the 1M-quad rows against an older build
#
# Needs the build's teldviewgl and make_grid_off, and Xvfb: one X display serves the window,
# MeshLab's loader and f3d. The other programs are optional; a missing one skips its rows with a
# note on how to install it. Times are wall times of whole processes; memory is the peak resident
# size. The meshes (1M, 4M and 16M triangles on grids of 1000 x 500, 2000 x 1000 and 4000 x 2000
# cells, as OFF and binary STL, and the 1M sheet as binary PLY and as OBJ, about 2.6 GB) are made
# once in a temporary folder that is removed at the end; a 16M run takes up to 2.5 GB of memory.
#
# Spinning: this program alone, spinning the 1M, 4M and 16M OFF sheets for 4 seconds
# (--benchmark-spin): the median frame time while they turn (big meshes drawn reduced; aim at most
# 40 ms) and settle_ms, the time from the end of the spin to the first full frame (aim at most
# 500 ms); beside them the same with every frame full (--full).
#
# Frame gaps: this program alone, asked for a frame every 10 ms while it starts with a 4M or 16M
# file (--benchmark-startup --frame-gaps); the longest time between two frames, from the window
# being up to the first frame with the model, as the median and the worst of RUNS starts.
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
have_meshlab=0 have_admesh=0 have_f3d=0 have_assimp=0
have meshlabserver meshlab && have_meshlab=1
have admesh admesh && have_admesh=1
have f3d f3d && have_f3d=1
have assimp assimp-utils && have_assimp=1

echo "load before: $(cut -d' ' -f1-3 /proc/loadavg); $runs runs per row, medians"
"$maker" "$work/tri1m.off" 1000 500
"$maker" "$work/quad1m.off" 1000 1000 quads
"$maker" "$work/tri4m.off" 2000 1000
"$maker" "$work/tri16m.off" 4000 2000
for size in 1m 4m 16m; do
  "$viewer" --convert "$work/tri$size.stl" "$work/tri$size.off"
done
"$viewer" --convert "$work/tri1m_ascii.stl" --ascii "$work/tri1m.off"
# The 1M-triangle sheet as binary PLY (our writer), and as OBJ with a normal per vertex and faces
# of the form v//vn, as modelling programs export it.
"$viewer" --convert "$work/tri1m.ply" "$work/tri1m.off"
awk 'NR == 1 { next }
     NR == 2 { nv = $1; next }
     NR <= 2 + nv {
       nx = -0.25 * cos($1) * cos($2); ny = 0.25 * sin($1) * sin($2); l = sqrt(nx * nx + ny * ny + 1)
       printf "v %s %s %s\nvn %.6f %.6f %.6f\n", $1, $2, $3, nx / l, ny / l, 1 / l; next
     }
     { printf "f %d//%d %d//%d %d//%d\n", $2 + 1, $2 + 1, $3 + 1, $3 + 1, $4 + 1, $4 + 1 }' \
  "$work/tri1m.off" >"$work/tri1m.obj"

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
  # ... and with --frame-gaps the longest gap between two frames.
  awk '/^frame_gap_max_ms /{print $2}' "$work/$name.out" >>"$work/$name.gaps"
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

# verdict ID TEXT MET: one line of the table; MET is "met", "MISSED" or "-" (no aim).
verdict() {
  printf "%-12s %s%s\n" "$1" "$2" "$([[ "$3" == "-" ]] && echo "" || echo ": $3")"
  [[ "$3" == "-" ]] || echo "$1 $3" >>"$work/verdicts"
}

# row ID TITLE OURS THEIRS OTHER_NAME AIM [COLUMN UNIT]: one line, the ratio being theirs / ours
# (how many times faster, or smaller); AIM "-" for a row that only informs.
row() {
  local id="$1" title="$2" ours="$3" theirs="$4" other="$5" aim="$6" column="${7:-1}" unit="${8:-s}"
  local line
  line=$(awk -v t="$title" -v o="$other" -v aim="$aim" -v u="$unit" \
    -v a="$(median "$work/$ours.samples" "$column")" -v b="$(median "$work/$theirs.samples" "$column")" \
    'BEGIN {
       if (u == "MiB") { a /= 1024; b /= 1024 }
       met = aim == "-" ? "-" : (b / a >= aim ? "met" : "MISSED")
       printf "%-40s this %8.2f %-3s  %-14s %8.2f %-3s  ratio %5.2fx  %s|%s\n", t, a, u, o, b, u, b / a,
              aim == "-" ? "no aim" : "aim " aim "x", met
     }')
  verdict "$id" "${line%|*}" "${line##*|}"
}

# gaprow ID TITLE NAME: the longest gap between frames, median and worst of the runs; aim 100 ms.
gaprow() {
  local worst
  worst=$(sort -g "$work/$3.gaps" | tail -n 1)
  verdict "$1" "$(printf "%-40s this %8.0f ms median, %6.0f ms worst  aim under 100 ms" "$2" \
    "$(median "$work/$3.gaps" 1)" "$worst")" "$(awk -v w="$worst" 'BEGIN {print w < 100 ? "met" : "MISSED"}')"
}

info=("$viewer" --info)
startup=("$viewer" --benchmark-startup)
f3d=(f3d --resolution 800,600 --output "$work/f3d.png")
if ((have_meshlab)); then
  pair info_off meshlab_off "${info[@]}" "$work/tri1m.off" -- meshlabserver -i "$work/tri1m.off"
  pair info_quad meshlab_quad "${info[@]}" "$work/quad1m.off" -- meshlabserver -i "$work/quad1m.off"
  pair info_ply meshlab_ply "${info[@]}" "$work/tri1m.ply" -- meshlabserver -i "$work/tri1m.ply"
fi
if ((have_assimp)); then
  pair info_obj assimp_obj "${info[@]}" "$work/tri1m.obj" -- assimp info "$work/tri1m.obj"
fi
pair info_ply_own info_stl_own "${info[@]}" "$work/tri1m.ply" -- "${info[@]}" "$work/tri1m.stl"
if ((have_admesh)); then
  pair info_stl admesh_stl "${info[@]}" "$work/tri1m.stl" -- admesh -c "$work/tri1m.stl"
  pair info_ascii admesh_ascii "${info[@]}" "$work/tri1m_ascii.stl" -- admesh -c "$work/tri1m_ascii.stl"
fi
if ((have_f3d)); then
  for size in 1m 4m 16m; do
    pair "start_off$size" "f3d_off$size" "${startup[@]}" "$work/tri$size.off" -- "${f3d[@]}" "$work/tri$size.off"
    pair "start_stl$size" "f3d_stl$size" "${startup[@]}" "$work/tri$size.stl" -- "${f3d[@]}" "$work/tri$size.stl"
  done
  for kind in ply obj; do
    pair "start_$kind" "f3d_$kind" "${startup[@]}" "$work/tri1m.$kind" -- "${f3d[@]}" "$work/tri1m.$kind"
  done
fi
for i in $(seq "$runs"); do
  for file in tri4m.off tri4m.stl tri16m.off tri16m.stl; do
    run "gaps_${file/./_}" "${startup[@]}" "$work/$file" --frame-gaps
  done
done
# Spinning the sheets: the frame time while the view moves (big meshes drawn reduced) and the time
# from the end of the spin to the first full frame; once with every frame full, for comparison.
for i in $(seq "$runs"); do
  for size in 1m 4m 16m; do
    for mode in lod full; do
      extra=()
      [[ "$mode" == full ]] && extra=(--full)
      run "spin_$mode$size" "$viewer" --benchmark-spin "$work/tri$size.off" 4 "${extra[@]}"
      awk '/^frame_time_median_ms /{f = $2} /^settle_ms /{s = $2} END {print f, s}' \
        "$work/spin_$mode$size.out" >>"$work/spin_$mode$size.spin"
    done
  done
done
if [[ -n "${BASELINE:-}" ]]; then
  pair start_quad base_quad "${startup[@]}" "$work/quad1m.off" -- "$BASELINE" --benchmark-startup "$work/quad1m.off"
  for i in $(seq "$runs"); do
    # Every frame full: the row compares the drawing of the whole mesh.
    run spin_quad "$viewer" --benchmark-spin "$work/quad1m.off" 3 --full
    run base_spin "$BASELINE" --benchmark-spin "$work/quad1m.off" 3
    awk '/^frame_time_median_ms /{print $2}' "$work/spin_quad.out" >>"$work/spin_quad.frames"
    awk '/^frame_time_median_ms /{print $2}' "$work/base_spin.out" >>"$work/base_spin.frames"
  done
fi

echo "load after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
if ((have_meshlab)); then
  row info-off1m "--info 1M-triangle OFF" info_off meshlab_off "meshlabserver" 5
  row info-quad1m "--info 1M-quad OFF" info_quad meshlab_quad "meshlabserver" 5
  row info-ply1m "--info 1M-triangle binary PLY" info_ply meshlab_ply "meshlabserver" 5
fi
if ((have_assimp)); then
  row info-obj1m "--info 1M-triangle OBJ (v//vn)" info_obj assimp_obj "assimp info" 5
fi
# Within 1.5 times the time of the same mesh as binary STL: the ratio STL / PLY at least 0.67.
row info-plystl "--info 1M-triangle PLY against STL" info_ply_own info_stl_own "this, STL" 0.67
if ((have_admesh)); then
  row info-stl1m "--info 1M-triangle binary STL" info_stl admesh_stl "admesh -c" 1
  row mem-info1m "  its peak memory" info_stl admesh_stl "admesh -c" - 2 MiB
  row info-ascii1m "--info 1M-triangle ASCII STL" info_ascii admesh_ascii "admesh -c" 2
fi
if ((have_f3d)); then
  for size in 1m 4m 16m; do
    size_name=${size^^}
    row "pic-off$size" "first picture, ${size_name}-triangle OFF" "start_off$size" "f3d_off$size" "f3d to a PNG" 2
    row "pic-stl$size" "first picture, ${size_name}-triangle binary STL" "start_stl$size" "f3d_stl$size" \
      "f3d to a PNG" 2
  done
  row pic-ply1m "first picture, 1M-triangle binary PLY" start_ply f3d_ply "f3d to a PNG" 1.5
  row pic-obj1m "first picture, 1M-triangle OBJ" start_obj f3d_obj "f3d to a PNG" 1.5
  row mem-ply1m "peak memory, 1M-triangle binary PLY" start_ply f3d_ply "f3d to a PNG" 1 2 MiB
  row mem-obj1m "peak memory, 1M-triangle OBJ" start_obj f3d_obj "f3d to a PNG" 1 2 MiB
  row mem1m "peak memory, 1M-triangle OFF" start_off1m f3d_off1m "f3d to a PNG" - 2 MiB
  row mem4m "peak memory, 4M-triangle OFF" start_off4m f3d_off4m "f3d to a PNG" 1 2 MiB
  row mem16m "peak memory, 16M-triangle OFF" start_off16m f3d_off16m "f3d to a PNG" 1 2 MiB
  row mem16m "peak memory, 16M-triangle binary STL" start_stl16m f3d_stl16m "f3d to a PNG" 1 2 MiB
  close=$(median "$work/start_off4m.close" 1)
  verdict close4m "$(printf "%-40s this %8.0f ms  aim under 300 ms" "close after the first picture, 4M OFF" \
    "$((close / 1000))")" "$( ((close < 300000)) && echo met || echo MISSED)"
fi
gaprow gap4m "longest frame gap, 4M-triangle OFF" gaps_tri4m_off
gaprow gap4m "longest frame gap, 4M-triangle binary STL" gaps_tri4m_stl
gaprow gap16m "longest frame gap, 16M-triangle OFF" gaps_tri16m_off
gaprow gap16m "longest frame gap, 16M-triangle binary STL" gaps_tri16m_stl
for size in 1m 4m 16m; do
  frame=$(median "$work/spin_lod$size.spin" 1) settle=$(median "$work/spin_lod$size.spin" 2)
  verdict "spin$size" "$(printf "%-40s this %8.1f ms a frame, %6.0f ms to settle (all full: %6.1f ms, %4.0f ms)  aim 40 ms, 500 ms" \
    "spinning, ${size^^}-triangle OFF" "$frame" "$settle" "$(median "$work/spin_full$size.spin" 1)" \
    "$(median "$work/spin_full$size.spin" 2)")" \
    "$(awk -v f="$frame" -v s="$settle" 'BEGIN {print f <= 40 && s <= 500 ? "met" : "MISSED"}')"
done
if [[ -n "${BASELINE:-}" ]]; then
  row base-quad1m "first picture, 1M-quad OFF" start_quad base_quad "the baseline" 2
  echo "$(median "$work/spin_quad.frames" 1) $(median "$work/base_spin.frames" 1)" >"$work/spin.samples"
  line=$(awk '{printf "%-40s this %8.2f ms  %-14s %8.2f ms   ratio %5.2fx  aim 4x|%s\n", "spinning frame, 1M-quad OFF", $1, "the baseline", $2, $2 / $1, ($2 / $1 >= 4 ? "met" : "MISSED")}' \
    "$work/spin.samples")
  verdict spin-quad1m "${line%|*}" "${line##*|}"
fi
echo
if [[ -s "$work/verdicts" ]]; then
  echo "aims met: $(grep -c ' met$' "$work/verdicts") of $(wc -l <"$work/verdicts")" \
    "$(awk '$2 == "MISSED" {m = m " " $1} END {if (m != "") print "(missed:" m ")"}' "$work/verdicts")"
fi
