# The chooser chart of the benchmark report: cost per other instance against their number, beside the
# bare round trip. scripts/bench runs it with the data and the picture named: -e "data='...'; picture='...'".
set terminal pngcairo size 800,480 font "DejaVu Sans,10"
set output picture
set title "Chooser: cost per other instance"
set xlabel "other instances (menu items - 1)"
set ylabel "ms per instance"
set logscale x 2
set xrange [1.7:19]
set xtics ("2" 2, "4" 4, "8" 8, "16" 16)
set yrange [0:*]
set key top right
set grid
plot data using 1:2 with linespoints lw 2 pt 7 title "command to menu visible, per instance, median", \
     "" using 1:3 with linespoints pt 5 title "the same, p90", \
     "" using 1:4 with linespoints pt 9 title "its requests, per request (timed in the host), median", \
     "" using 1:5 with linespoints dashtype 3 pt 4 title "bare round trips in a row to N processes, median", \
     "" using 1:6 with lines lw 2 dashtype 2 title "bare round trip, 2 processes"
