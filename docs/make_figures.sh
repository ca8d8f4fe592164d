#!/usr/bin/env bash
# Draws the pictures of the README with gnuplot's png terminal:
#   chiw_surface.png  the nu_2 map of chiw.dat as a surface;
#   routes_pi_pi.png  Re chi(pi, pi, i nu_m) against m for the two routes of
#                     the default run;
#   study_pi_pi.png   the same from studies of the default mesh: the Fourier
#                     route with N = 16 and N = 256 fermionic frequencies, and
#                     the exact direct sum beside them;
#   tail_convergence.png  the largest error over every q and m <= 16 of the
#                     route as defined and of the tail route against the exact
#                     direct sum, as N doubles from 16 to 512, on 8 x 8 at
#                     beta = 1 and on 32 x 32 at beta = 10, half filling;
#   paramagnon.png    Im chi0 and Im chi_spin(q, omega + i eta) along
#                     Gamma -> X -> M -> Gamma at U = 0.5, 0.8 and 0.95 U_c,
#                     64 x 64, beta = 20, the cuprate band t = 1, t' = -0.3,
#                     mu = -0.8, eta = 0.1;
#   low_temperature.png  the largest error (over three q and m <= 64, against
#                     the exact direct sum) and the time of the tail route at
#                     N = 1024 and 4096 and of the dlr route, against beta, on
#                     64 x 64 at half filling.
# Usage: docs/make_figures.sh [PROGRAM [DIRECTORY]]
#   PROGRAM: the built lattice_bubble (default: build/program/src/lattice_bubble,
#   else build/default/src/lattice_bubble, else lattice_bubble on the search path);
#   DIRECTORY: where the pictures go (default: docs/).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
program="${1:-}"
if [ -z "$program" ]; then
  for candidate in "$here/../build/program/src/lattice_bubble" "$here/../build/default/src/lattice_bubble"; do
    if [ -x "$candidate" ]; then program="$candidate"; break; fi
  done
  program="${program:-$(command -v lattice_bubble || true)}"
fi
if [ -z "$program" ] || [ ! -x "$program" ]; then
  echo "make_figures.sh: no lattice_bubble found: build it first (README, Run and test) or name it" >&2
  exit 1
fi
program="$(cd "$(dirname "$program")" && pwd)/$(basename "$program")"
out="$(mkdir -p "${2:-$here}" && cd "${2:-$here}" && pwd)"
command -v gnuplot >/dev/null || { echo "make_figures.sh: gnuplot is needed (Debian package gnuplot-nox)" >&2; exit 1; }

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

# Columns of a study's table by their names: the first line names them after "#".
pick() {  # pick FILE NAME...: the named columns of every row
  local file="$1"; shift
  awk -v names="$*" '
    NR == 1 { n = split(names, wanted, " "); for (i = 2; i <= NF; ++i) at[$i] = i - 1
              for (j = 1; j <= n; ++j) if (!(wanted[j] in at)) { print "no column " wanted[j] > "/dev/stderr"; exit 1 } }
    !/^#/ && NF { line = $(at[wanted[1]]); for (j = 2; j <= n; ++j) line = line " " $(at[wanted[j]]); print line }' "$file"
}
"$program" --frequencies 16 --routes fourier,direct > "$work/n16.dat"
"$program" --frequencies 256 --routes fourier > "$work/n256.dat"
pick "$work/n16.dat" m re_fourier > "$work/n16_fourier.dat"
pick "$work/n16.dat" m re_direct > "$work/n16_direct.dat"
pick "$work/n256.dat" m re_fourier > "$work/n256_fourier.dat"

# Largest |route - direct| over every q and m <= 16: "N fourier tail" per line.
largest_errors() {
  for n in 16 32 64 128 256 512; do
    "$program" "$@" --q all --frequencies "$n" --routes fourier,tail,direct > "$work/table.dat"
    pick "$work/table.dat" m re_fourier re_tail re_direct | awk -v n="$n" '
      $1 <= 16 {
        e = $2 - $4; if (e < 0) e = -e; if (e > fourier) fourier = e
        t = $3 - $4; if (t < 0) t = -t; if (t > tail) tail = t
      }
      END { printf "%d %.6e %.6e\n", n, fourier, tail }'
  done
}
largest_errors > "$work/errors_8.dat"
largest_errors --lattice 32 --beta 10 --mu 0 --offset 0 --hopping -1 > "$work/errors_32.dat"
# The paramagnon: U_c from the table's last lines, then the three couplings.
# Along the path: the path's index, omega and the named column.
along_path() {  # along_path FILE NAME
  pick "$1" ix iy omega "$2" | awk '{ q = $1 "," $2; if (q != last) { ++i; last = q } print i - 1, $3, $4 }'
}
cuprate=(--lattice 64 --beta 20 --hopping -1 --hopping2 0.3 --mu -0.8 --offset 0 --q path
         --real-axis 0,1.5,301 --broadening 0.1)
"$program" "${cuprate[@]}" --coupling 0 > "$work/u0.dat"
u_c="$(awk '/^# U_c_direct = / { print $4 }' "$work/u0.dat")"
along_path "$work/u0.dat" im_direct > "$work/bare.dat"
for percent in 50 80 95; do
  "$program" "${cuprate[@]}" --coupling "$(awk -v u="$u_c" -v p="$percent" 'BEGIN { printf "%.17g", u * p / 100 }')" \
    > "$work/u$percent.dat"
  along_path "$work/u$percent.dat" im_direct_spin > "$work/spin$percent.dat"
done
echo "U_c of the paramagnon's band along the path: $u_c"

# Low temperature: "beta error seconds" per line for each route, against the direct sum.
seconds() { date +%s.%N; }
half_filling=(--lattice 64 --hopping -1 --mu 0 --offset 0 --q 32,32 --q 16,16 --q 32,5)
: > "$work/low_tail1024.dat"; : > "$work/low_tail4096.dat"; : > "$work/low_dlr.dat"
for beta in 1 10 100 1000 10000; do
  "$program" "${half_filling[@]}" --beta "$beta" --frequencies 64 --routes direct > "$work/exact.dat"
  for route in tail1024 tail4096 dlr; do
    case "$route" in
      tail*) options=(--routes tail --frequencies "${route#tail}") ;;
      dlr) options=(--routes dlr --frequencies 64) ;;
    esac
    start="$(seconds)"
    "$program" "${half_filling[@]}" --beta "$beta" "${options[@]}" > "$work/route.dat"
    end="$(seconds)"
    pick "$work/exact.dat" ix iy m re_direct > "$work/exact_rows.dat"
    pick "$work/route.dat" ix iy m "re_${options[1]}" |
      awk -v beta="$beta" -v t="$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')" '
        NR == FNR { exact[$1 " " $2 " " $3] = $4; next }
        ($1 " " $2 " " $3) in exact { e = $4 - exact[$1 " " $2 " " $3]; if (e < 0) e = -e; if (e > worst) worst = e }
        END { printf "%s %.3e %.3f\n", beta, worst, t }' "$work/exact_rows.dat" - >> "$work/low_$route.dat"
  done
done
echo "low temperature (beta, largest error, seconds): tail N = 1024, tail N = 4096, dlr:"
paste "$work/low_tail1024.dat" "$work/low_tail4096.dat" "$work/low_dlr.dat"

echo "largest errors (N, route as defined, tail route), 8 x 8, beta = 1:"; cat "$work/errors_8.dat"
echo "the same, 32 x 32, beta = 10, half filling:"; cat "$work/errors_32.dat"

gnuplot <<GNUPLOT
set terminal png size 800,600
set output '$out/chiw_surface.png'
set title 'Re chi(q, i nu_2) on the 8 x 8 momentum grid'
set xlabel 'q_x'
set ylabel 'q_y'
set ticslevel 0
set hidden3d
splot '$work/chiw.dat' with lines title 'chiw.dat'

set output '$out/routes_pi_pi.png'
set title 'Re chi(q = (pi, pi), i nu_m)'
set xlabel 'm'
set ylabel 'Re chi'
set grid
set xzeroaxis
plot '$work/fourier.dat' with linespoints title 'Fourier route', \
     '$work/direct.dat' with linespoints title 'direct Brillouin-zone sum'

set output '$out/study_pi_pi.png'
set title 'Re chi(q = (pi, pi), i nu_m) on the 8 x 8 lattice at beta = 1'
set xrange [0:16]
plot '$work/n16_fourier.dat' with linespoints title 'Fourier route, N = 16', \
     '$work/n256_fourier.dat' with linespoints title 'Fourier route, N = 256', \
     '$work/n16_direct.dat' with lines lw 2 title 'direct sum (exact)'

set output '$out/tail_convergence.png'
set title 'Largest |error| over every q and m <= 16 against the exact sum'
set xlabel 'N (positive fermionic frequencies)'
set ylabel 'largest |chi(route) - chi(exact)|'
set xtics (16, 32, 64, 128, 256, 512)
set logscale xy
set format y '10^{%L}'
set xrange [12:700]
set autoscale y
set key bottom left
plot '$work/errors_8.dat' using 1:2 with linespoints lc 1 pt 7 title 'route as defined, 8 x 8, beta = 1', \
     '$work/errors_32.dat' using 1:2 with linespoints lc 1 pt 5 dt 2 title 'route as defined, 32 x 32, beta = 10', \
     '$work/errors_8.dat' using 1:3 with linespoints lc 2 pt 7 title 'tail route, 8 x 8, beta = 1', \
     '$work/errors_32.dat' using 1:3 with linespoints lc 2 pt 5 dt 2 title 'tail route, 32 x 32, beta = 10', \
     1e-2 * 64 / x with lines lc 0 dt 3 title 'slope N^{-1}', \
     4e-7 * (64 / x)**4 with lines lc 0 dt 4 title 'slope N^{-4}'

set output '$out/paramagnon.png'
set terminal png size 1100,800
unset logscale
set format y '%g'
set multiplot layout 2,2 title "64 x 64, beta = 20, t = 1, t' = -0.3, mu = -0.8, eta = 0.1: Im chi(q, omega + i eta) along the path"
set xtics ('Gamma' 0, 'X' 32, 'M' 64, 'Gamma' 95)
set xlabel 'q'
set ylabel 'omega'
set xrange [0:95]
set yrange [0:1.5]
set cbrange [0:*]
set palette rgb 21,22,23
set title 'Im chi_0' noenhanced
plot '$work/bare.dat' with image notitle
set title 'Im chi_spin, U = 0.5 U_c' noenhanced
plot '$work/spin50.dat' with image notitle
set title 'Im chi_spin, U = 0.8 U_c' noenhanced
plot '$work/spin80.dat' with image notitle
set title 'Im chi_spin, U = 0.95 U_c' noenhanced
plot '$work/spin95.dat' with image notitle
unset multiplot

set output '$out/low_temperature.png'
set terminal png size 1100,450
unset xtics
unset xlabel
unset cbrange
set xrange [0.7:14000]
set yrange [*:*]
set logscale x
set xtics
set format x '10^{%L}'
set xlabel 'beta'
set grid
set key top left
set multiplot layout 1,2 title '64 x 64, half filling (band width 8), three q, m <= 64: against the exact direct sum'
set title 'largest |error|'
set logscale y
set format y '10^{%L}'
set ylabel '|chi(route) - chi(exact)|'
plot '$work/low_tail1024.dat' using 1:2 with linespoints lc 2 pt 7 title 'tail route, N = 1024', \
     '$work/low_tail4096.dat' using 1:2 with linespoints lc 2 pt 5 dt 2 title 'tail route, N = 4096', \
     '$work/low_dlr.dat' using 1:2 with linespoints lc 3 pt 9 title 'dlr route, tolerance 1e-10'
set title 'time of the whole run (2 threads); a straight line is log beta'
set ylabel 'seconds'
unset logscale y
set yrange [0:*]
set format y '%g'
plot '$work/low_tail1024.dat' using 1:3 with linespoints lc 2 pt 7 title 'tail route, N = 1024', \
     '$work/low_tail4096.dat' using 1:3 with linespoints lc 2 pt 5 dt 2 title 'tail route, N = 4096', \
     '$work/low_dlr.dat' using 1:3 with linespoints lc 3 pt 9 title 'dlr route, tolerance 1e-10'
unset multiplot
GNUPLOT
echo "wrote $out/chiw_surface.png, $out/routes_pi_pi.png, $out/study_pi_pi.png, $out/tail_convergence.png, $out/paramagnon.png and $out/low_temperature.png"
