#!/usr/bin/env python3
"""Writes probe-host's example data beside this script: a made-up terrain
tile, a points file and a route over it. Nothing here is measured; the
relief is a sum of smooth hills, so each run of this script writes the same
bytes.

N47E011.asc  ESRI ASCII grid (GDAL reads it; no .prj, so WGS84 degrees):
             47-48 N, 11-12 E in cells of 0.005 degrees (200 x 200),
             heights in whole metres, three no-data cells probe-host fills.
peaks.csv    the summits of the four hills, 1000 ft above each.
route.csv    a flight of about 15 minutes at 250 knots across the tile.
Run:  python3 examples/data/make_data.py
"""
import math
import os

HERE = os.path.dirname(os.path.abspath(__file__))
WEST, SOUTH, CELL, SIZE = 11.0, 47.0, 0.005, 200
NO_DATA = -9999
VOIDS = {(150, 40), (150, 41), (151, 40)}  # (row from the north, column)
FEET_PER_METRE = 1 / 0.3048

# name, latitude, longitude, height above the valleys (m), radius (degrees)
HILLS = [
    ("Hochgrat", 47.62, 11.30, 2300, 0.10),
    ("Talkopf", 47.35, 11.62, 1800, 0.08),
    ("Weissspitze", 47.78, 11.78, 2500, 0.12),
    ("Rosskar", 47.22, 11.20, 1500, 0.07),
]


def height_m(lat, lon):
    """Valleys at about 600 m, a gentle swell, and the hills."""
    height = 600 + 150 * math.sin(lat * 9.0) * math.cos(lon * 7.0)
    for _, hill_lat, hill_lon, rise, radius in HILLS:
        east = (lon - hill_lon) * math.cos(math.radians(hill_lat))
        height += rise * math.exp(-((lat - hill_lat) ** 2 + east**2) / radius**2)
    return round(height)


def write_tile():
    lines = [f"ncols {SIZE}", f"nrows {SIZE}", f"xllcorner {WEST}", f"yllcorner {SOUTH}", f"cellsize {CELL}",
             f"NODATA_value {NO_DATA}"]
    for row in range(SIZE):
        lat = SOUTH + (SIZE - row - 0.5) * CELL
        cells = [NO_DATA if (row, column) in VOIDS else height_m(lat, WEST + (column + 0.5) * CELL)
                 for column in range(SIZE)]
        lines.append(" ".join(str(c) for c in cells))
    with open(os.path.join(HERE, "N47E011.asc"), "w", newline="\n") as out:
        out.write("\n".join(lines) + "\n")


def write_peaks():
    lines = ["# The summits of examples/data/N47E011.asc, 1000 ft above each",
             "latitude,longitude,altitude"]
    for name, lat, lon, _, _ in HILLS:
        lines.append(f"# {name}, {height_m(lat, lon)} m")
        lines.append(f"{lat},{lon},{round(height_m(lat, lon) * FEET_PER_METRE + 1000)}")
    with open(os.path.join(HERE, "peaks.csv"), "w", newline="\n") as out:
        out.write("\n".join(lines) + "\n")


def write_route():
    """From Rosskar past Hochgrat to Weissspitze and south to Talkopf, at
    250 knots, climbing from 9000 to 12000 ft."""
    waypoints = [(47.15, 11.08, 9000), (47.40, 11.22, 10500), (47.66, 11.45, 12000), (47.70, 11.70, 12000),
                 (47.45, 11.85, 11000)]
    speed = 250 * 1852 / 3600  # metres a second
    lines = ["# A flight across examples/data/N47E011.asc", "time,latitude,longitude,altitude"]
    seconds = 0.0
    for i, (lat, lon, alt) in enumerate(waypoints):
        if i:
            before = waypoints[i - 1]
            north = math.radians(lat - before[0]) * 6371000
            east = math.radians(lon - before[1]) * 6371000 * math.cos(math.radians(before[0]))
            seconds += math.hypot(north, east) / speed
        lines.append(f"{round(seconds)},{lat},{lon},{alt}")
    with open(os.path.join(HERE, "route.csv"), "w", newline="\n") as out:
        out.write("\n".join(lines) + "\n")


if __name__ == "__main__":
    write_tile()
    write_peaks()
    write_route()
