# The chooser chart of the benchmark report: the figure its target judges, the chooser's cost per request
# over the bare round trip of the same round, against the number of other instances, with the target's
# limit. scripts/bench runs it with the data and the picture named: -e "data='...'; picture='...'".
set terminal pngcairo size 800,480 font "DejaVu Sans,10"
set output picture
set title "Chooser: cost per request over the bare round trip of the same round"
set xlabel "other instances (menu items - 1)"
set ylabel "per request / bare round trip"
set logscale x 2
set xrange [1.7:19]
set xtics ("2" 2, "4" 4, "8" 8, "16" 16)
set yrange [0:*]
set key bottom right
set grid
stats data using 4 nooutput name "limit"
plot data using 1:2 with linespoints lw 2 pt 7 title "median of the rounds", \
     "" using 1:3 with linespoints pt 5 title "p90 of the rounds", \
     "" using 1:4 with lines lw 2 dashtype 2 title sprintf("target: at most %.2f", limit_max)
