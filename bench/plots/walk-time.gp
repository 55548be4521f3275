# Time of a complete walk and time per varbind against cluster members
# (Oracle RAC, in-process). Call with: gnuplot -e "data='x.dat'; out='y.png'"
# data: columns of extract_inprocess.py.
set terminal pngcairo size 1000,800 font ",10"
set output out
set multiplot layout 2,1 title "velmon in-process, Oracle RAC worlds (CPU time, medians)"

set logscale x 2
set logscale y 10
set format y "%g"
set xlabel "cluster members"
set grid
set key top left
set ylabel "ms per complete walk"
plot data using 1:3 with linespoints lw 2 pt 7 title "complete walk", \
     data using 1:10 with lines dt 2 lc rgb "gray" title "proportional to members"

unset logscale y
set logscale x 2
set ylabel "ns per varbind"
set yrange [0:*]
set key top left
plot data using 1:4 with linespoints lw 2 pt 7 title "walk (GetNext steps)", \
     data using 1:5 with linespoints pt 5 title "Get, table cell", \
     data using 1:6 with linespoints pt 9 title "GetNext in a column", \
     data using 1:7 with linespoints pt 11 title "Get, node state (live query)", \
     data using 1:8 with linespoints pt 13 title "Get, scalar"
unset multiplot
