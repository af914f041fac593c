#!/usr/bin/env python3
"""Writes the moon table (resources/moonData.txt): the lit fraction of the
moon's disc for every day of the given years, at 12:00 UTC of each day (the
one instant at which the calendar date is the same in every time zone from
UTC-12 to UTC+12).

The fraction is (1 + cos i) / 2, with the phase angle i from the moon's and
the sun's mean elongation and anomalies and the six largest periodic terms
(J. Meeus, Astronomical Algorithms, chapters 47 and 48). Its error is well
under 0.01, far finer than an icon can show.

Format: for each year a header line (the year), then 31 lines of the day
number and one tab-separated field per month from January, holding the
fraction with four decimals, or empty where the date does not exist.
Lines end with a line feed.

Usage: tools/moon_data.py [--first 2006] [--last 2040] [OUTPUT]
Standard library only; writes to standard output when no OUTPUT is given.
"""

import argparse
import datetime
import math
import sys

J2000 = datetime.datetime(2000, 1, 1, 12, 0, tzinfo=datetime.timezone.utc)  # JD 2451545.0
HOUR_UTC = 12


def lit_fraction(when):
    """The lit fraction of the moon's disc at the UTC datetime `when`."""
    days = (when - J2000).total_seconds() / 86400.0
    t = days / 36525.0  # Julian centuries from J2000
    d = (297.8501921 + 445267.1114034 * t - 0.0018819 * t ** 2
         + t ** 3 / 545868.0 - t ** 4 / 113065000.0)  # mean elongation
    m = 357.5291092 + 35999.0502909 * t - 0.0001536 * t ** 2 + t ** 3 / 24490000.0  # sun's anomaly
    mp = (134.9633964 + 477198.8675055 * t + 0.0087414 * t ** 2
          + t ** 3 / 69699.0 - t ** 4 / 14712000.0)  # moon's anomaly
    d, m, mp = (math.radians(x % 360.0) for x in (d, m, mp))
    i = (180.0 - math.degrees(d)
         - 6.289 * math.sin(mp)
         + 2.100 * math.sin(m)
         - 1.274 * math.sin(2 * d - mp)
         - 0.658 * math.sin(2 * d)
         - 0.214 * math.sin(2 * mp)
         - 0.110 * math.sin(d))
    return (1.0 + math.cos(math.radians(i))) / 2.0


def year_block(year):
    lines = [str(year)]
    for day in range(1, 32):
        fields = [str(day)]
        for month in range(1, 13):
            try:
                when = datetime.datetime(year, month, day, HOUR_UTC, tzinfo=datetime.timezone.utc)
            except ValueError:
                fields.append("")  # no such date
                continue
            fields.append("%.4f" % lit_fraction(when))
        lines.append("\t".join(fields))
    return lines


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--first", type=int, default=2006, help="first year (the table starts with 2006)")
    parser.add_argument("--last", type=int, default=2040, help="last year")
    parser.add_argument("output", nargs="?", help="file to write (default: standard output)")
    args = parser.parse_args()
    if args.last < args.first:
        parser.error("--last is before --first")
    lines = []
    for year in range(args.first, args.last + 1):
        lines.extend(year_block(year))
    text = "\n".join(lines) + "\n"
    if args.output:
        with open(args.output, "w", encoding="ascii", newline="\n") as out:
            out.write(text)
    else:
        sys.stdout.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
