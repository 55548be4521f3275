# Resident memory and thread count of velmond against cluster members.
# Call with: gnuplot -e "data='host-cost.csv'; out='memory.png'"
# data: members,rss_kib,threads,vsz_kib with a header line.
set terminal pngcairo size 1000,500 font ",10"
set output out
set datafile separator ","
set key autotitle columnhead
set title "velmond resident memory and threads, Oracle RAC worlds"
set logscale x 2
set xlabel "cluster members"
set ylabel "resident memory (MiB)"
set y2label "threads"
set ytics nomirror
set y2tics
set yrange [0:*]
set y2range [0:*]
set grid
set key top left
plot data using 1:($2/1024.0) axes x1y1 with linespoints lw 2 pt 7 title "resident (VmRSS)", \
     data using 1:3 axes x1y2 with linespoints lw 2 pt 5 title "threads", \
     64 axes x1y1 with lines dt 2 lc rgb "red" title "64 MiB budget"
