#!/usr/bin/env python3
"""Turns the conversion benchmark's JSON into a table for gnuplot: line
length, then the median throughput in GB/s of the conversion in place, into
a new text, and memcpy of the same size.

Usage: plot_throughput.py BENCHMARK.json OUTPUT.dat
"""
import json
import sys


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    with open(sys.argv[1]) as source:
        results = json.load(source)["benchmarks"]
    table = {}
    for result in results:
        if result.get("aggregate_name") != "median":
            continue
        name, length = result["run_name"].split("/")[:2]
        table.setdefault(int(length), {})[name] = (
            result["bytes_per_second"] / 1e9)
    columns = ["BM_ConvertInPlace", "BM_ConvertToCopy", "BM_Memcpy"]
    with open(sys.argv[2], "w") as output:
        output.write("# line_length " + " ".join(columns) + "\n")
        for length in sorted(table):
            if length == 0:  # No line feeds: not a line length.
                continue
            row = [table[length].get(column, float("nan")) for column in columns]
            output.write(f"{length} " + " ".join(f"{v:.3f}" for v in row) + "\n")


if __name__ == "__main__":
    main()
