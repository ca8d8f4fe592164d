#!/usr/bin/env bash
# Draws docs/study_pi_pi.png with gnuplot's png terminal from three studies of
# the default mesh (8 x 8, beta = 1) at q = (pi, pi): Re chi(q, i nu_m) against
# m by the Fourier route with N = 16 and N = 256 fermionic frequencies, and
# the direct sum (exact, static limit included) beside them.
# Usage: docs/make_study_figure.sh [path/to/lattice_bubble]   (default: build/default/src/lattice_bubble)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
program="$(realpath "${1:-$here/../build/default/src/lattice_bubble}")"
command -v gnuplot >/dev/null || { echo "gnuplot is needed (Debian package gnuplot-nox)" >&2; exit 1; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
"$program" --frequencies 16 > "$work/n16.dat"
"$program" --frequencies 256 --routes fourier > "$work/n256.dat"

# Columns: 1 ix, 2 iy, 3 m, 4 nu, 5 re_fourier, 6 im_fourier, 7 re_direct, 8 im_direct.
gnuplot <<GNUPLOT
set terminal png size 800,600
set output '$here/study_pi_pi.png'
set title 'Re chi(q = (pi, pi), i nu_m) on the 8 x 8 lattice at beta = 1'
set xlabel 'm'
set ylabel 'Re chi'
set grid
set xzeroaxis
set xrange [0:16]
plot '$work/n16.dat' using 3:5 with linespoints title 'Fourier route, N = 16', \
     '$work/n256.dat' using 3:5 with linespoints title 'Fourier route, N = 256', \
     '$work/n16.dat' using 3:7 with lines lw 2 title 'direct sum (exact)'
GNUPLOT
echo "wrote $here/study_pi_pi.png"
