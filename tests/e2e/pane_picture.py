#!/usr/bin/env python3
"""Where the wave is drawn in a screenshot: for each pixel column, the topmost and the
bottommost row of a dark pixel, so a test can check the wave's height per column.

Prints one line per column of the area: "COLUMN TOP BOTTOM", or "COLUMN - -" when no
pixel of the column within the rows is dark. Columns and rows count from the area's
top-left corner. Reads the PNG through ImageMagick's convert (no imaging module here).
"""
import argparse
import re
import signal
import subprocess
import sys


def read_ppm(path):
    data = subprocess.run(["convert", path, "-depth", "8", "ppm:-"], check=True, stdout=subprocess.PIPE).stdout
    # Header: P6, width, height, maxval, then one blank and the RGB bytes.
    header = re.match(rb"P6(?:\s+|#[^\n]*\n)*(\d+)(?:\s+|#[^\n]*\n)*(\d+)(?:\s+|#[^\n]*\n)*(\d+)\s", data)
    if not header or header.group(3) != b"255":
        sys.exit("pane_picture: %s: not an 8-bit picture" % path)
    return int(header.group(1)), int(header.group(2)), data[header.end():]


def main():
    ap = argparse.ArgumentParser(
        usage="%(prog)s [--area WxH+X+Y] [--dark N | --light N] [--rows FIRST-LAST] PNG",
        description=__doc__.split("\n\n")[0])
    ap.add_argument("png", help="the screenshot")
    ap.add_argument("--area", metavar="WxH+X+Y", help="the part of the picture to judge, e.g. the pane's client area "
                    "in a larger screenshot (default: all of it)")
    ap.add_argument("--dark", type=int, metavar="N", default=300, help="a pixel counts when R+G+B < N (default 300)")
    ap.add_argument("--light", type=int, metavar="N", help="instead, a pixel counts when R+G+B > N (a wave drawn "
                    "light on a dark selection)")
    ap.add_argument("--rows", metavar="FIRST-LAST", help="only rows FIRST to LAST of the area, both included")
    args = ap.parse_args()
    signal.signal(signal.SIGPIPE, signal.SIG_DFL)  # a reader such as head may stop early

    width, height, pixels = read_ppm(args.png)
    w, h, x0, y0 = width, height, 0, 0
    if args.area:
        m = re.fullmatch(r"(\d+)x(\d+)\+(-?\d+)\+(-?\d+)", args.area) or ap.error("bad --area " + args.area)
        w, h, x0, y0 = map(int, m.groups())
        if x0 < 0 or y0 < 0 or x0 + w > width or y0 + h > height:
            ap.error("--area %s lies outside the %dx%d picture" % (args.area, width, height))
    first, last = 0, h - 1
    if args.rows:
        m = re.fullmatch(r"(\d+)-(\d+)", args.rows) or ap.error("bad --rows " + args.rows)
        first, last = int(m.group(1)), min(int(m.group(2)), h - 1)
    if args.light is None:
        counts = lambda s: s < args.dark
    else:
        counts = lambda s: s > args.light

    for x in range(w):
        rows = [y for y in range(first, last + 1)
                if counts(sum(pixels[3 * ((y0 + y) * width + x0 + x):][:3]))]
        print("%d %s %s" % (x, rows[0], rows[-1]) if rows else "%d - -" % x)


if __name__ == "__main__":
    main()
