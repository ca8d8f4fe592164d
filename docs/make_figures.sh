#!/usr/bin/env bash
# Draws the pictures of the README with gnuplot's png terminal:
#   docs/chiw_surface.png  the nu_2 map of chiw.dat as a surface;
#   docs/routes_pi_pi.png  Re chi(pi, pi, i nu_m) against m for the two routes
#                          of the default run;
#   docs/study_pi_pi.png   the same from studies of the default mesh: the
#                          Fourier route with N = 16 and N = 256 fermionic
#                          frequencies, and the exact direct sum beside them.
# Usage: docs/make_figures.sh [path/to/lattice_bubble]   (default: build/default/src/lattice_bubble)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
program="$(realpath "${1:-$here/../build/default/src/lattice_bubble}")"
command -v gnuplot >/dev/null || { echo "gnuplot is needed (Debian package gnuplot-nox)" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# A silent stand-in plotter, so that the run draws nothing on the screen.
mkdir "$work/bin"
printf '#!/bin/sh\ncat >/dev/null\n' > "$work/bin/pgnuplot.exe"
chmod +x "$work/bin/pgnuplot.exe"
(cd "$work" && PATH="$work/bin:$PATH" "$program" </dev/null > reports.txt)

# The two reports: lines 2-18 (Fourier route) and 21-37 (direct sum), "(re,im)".
reports() { sed -n "$1,$2p" "$work/reports.txt" | tr -d '()' | awk -F, '{print NR - 1, $1}'; }
reports 2 18 > "$work/fourier.dat"
reports 21 37 > "$work/direct.dat"

# Studies: columns 1 ix, 2 iy, 3 m, 4 nu, 5 re_fourier, 6 im_fourier, 7 re_direct, 8 im_direct.
"$program" --frequencies 16 > "$work/n16.dat"
"$program" --frequencies 256 --routes fourier > "$work/n256.dat"

gnuplot <<GNUPLOT
set terminal png size 800,600
set output '$here/chiw_surface.png'
set title 'Re chi(q, i nu_2) on the 8 x 8 momentum grid'
set xlabel 'q_x'
set ylabel 'q_y'
set ticslevel 0
set hidden3d
splot '$work/chiw.dat' with lines title 'chiw.dat'

set output '$here/routes_pi_pi.png'
set title 'Re chi(q = (pi, pi), i nu_m)'
set xlabel 'm'
set ylabel 'Re chi'
set grid
set xzeroaxis
plot '$work/fourier.dat' with linespoints title 'Fourier route', \
     '$work/direct.dat' with linespoints title 'direct Brillouin-zone sum'

set output '$here/study_pi_pi.png'
set title 'Re chi(q = (pi, pi), i nu_m) on the 8 x 8 lattice at beta = 1'
set xrange [0:16]
plot '$work/n16.dat' using 3:5 with linespoints title 'Fourier route, N = 16', \
     '$work/n256.dat' using 3:5 with linespoints title 'Fourier route, N = 256', \
     '$work/n16.dat' using 3:7 with lines lw 2 title 'direct sum (exact)'
GNUPLOT
echo "wrote $here/chiw_surface.png, $here/routes_pi_pi.png and $here/study_pi_pi.png"
