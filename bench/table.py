#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Prints bench/run.sh's table from its results file: one line a figure, in the order the
figures were measured, with the game's and the floor's median, minimum and maximum over the
runs, and the game's median against the floor's (ratio and difference)."""
import statistics
import sys


def fmt(v):
    if v == int(v) and abs(v) < 1e7:
        return str(int(v))
    if abs(v) >= 100:
        return f"{v:.0f}"
    if abs(v) >= 10:
        return f"{v:.1f}"
    return f"{v:.2f}"


def cell(values):
    if not values:
        return "–"
    m = statistics.median(values)
    if len(values) == 1:
        return fmt(m)
    return f"{fmt(m)} ({fmt(min(values))} to {fmt(max(values))})"


def main(path):
    figures = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            parts = line.rstrip("\n").split("\t")
            if len(parts) != 3:
                continue
            figure, subject, value = parts
            figures.setdefault(figure, {}).setdefault(subject, []).append(float(value))
    print("| figure | runs | ポンピラ: median (min to max) | floor: median (min to max) "
          "| ratio | difference |")
    print("|---|---|---|---|---|---|")
    for figure, by in figures.items():
        game, floor = by.get("game", []), by.get("floor", [])
        ratio = diff = "–"
        if game and floor:
            g, fl = statistics.median(game), statistics.median(floor)
            diff = fmt(g - fl)
            if fl != 0:
                ratio = f"{g / fl:.2f}"
        runs = max(len(game), len(floor))
        print(f"| {figure} | {runs} | {cell(game)} | {cell(floor)} | {ratio} | {diff} |")


if __name__ == "__main__":
    main(sys.argv[1])
