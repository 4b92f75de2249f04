# Throughput of the conversion against line length, beside memcpy.
# gnuplot -e "data='...'; out='...png'" throughput.gnuplot
set terminal pngcairo size 800,480 font ",11"
set output out
set title "ConvertLineEndings on 64 MiB of UTF-16 text"
set xlabel "line length in UTF-16 units, line feed included"
set ylabel "input GB/s"
set logscale x 2
set key top left
set grid
plot data using 1:4 with linespoints title "memcpy of the result's size", \
     data using 1:2 with linespoints title "in place (as Tessaly runs it)", \
     data using 1:3 with linespoints title "into a new text (fresh memory)"
