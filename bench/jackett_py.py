#!/usr/bin/env python3
"""What a new user would write in Python to do what `kova parse jackett FILE`
does: json.load the answer, then read the fields of every row as kova reads
them (the key exactly, else in any letter case; texts, numbers as text,
IMDb numbers, sizes, counts, categories, the date as an instant, the
download volume factor), and print the first row. bench/run.sh times the
whole process of this script beside the whole process of
`kova parse jackett FILE --limit 1`.

    python3 bench/jackett_py.py FILE
"""
import json
import math
import sys
from datetime import datetime, timezone

TEXTS = ("Title", "Tracker", "TrackerId", "Guid", "Link", "Details", "MagnetUri", "InfoHash",
         "CategoryDesc", "TMDb", "TVDBId")


def member(row, key):
    """The value of key: the exact key first, else the first in any letter case."""
    if key in row:
        return row[key]
    low = key.lower()
    for k, v in row.items():
        if k.lower() == low:
            return v
    return None


def text(v):
    if v is None or isinstance(v, (dict, list)):
        return ""
    if isinstance(v, bool):
        return "true" if v else "false"
    if isinstance(v, float):
        return "%.0f" % v if v.is_integer() and abs(v) < 9e15 else "%.17g" % v
    return str(v)


def integer(v):
    """An integer from a number or a numeric text; None when there is none."""
    if isinstance(v, bool) or v is None:
        return None
    if isinstance(v, int):
        return v if -2**63 <= v < 2**63 else None
    try:
        f = float(v.strip()) if isinstance(v, str) else float(v)
    except (TypeError, ValueError):
        return None
    return int(f) if math.isfinite(f) and abs(f) <= 9.2e18 else None


def clamp32(v, default):
    return default if v is None else max(-2147483647, min(2147483647, v))


def imdb(v):
    t = text(v).strip()
    if t[:2].lower() == "tt":
        t = t[2:]
    if not t.isdigit() or int(t) == 0:
        return ""
    return t.lstrip("0")


def instant(v):
    """Milliseconds since the epoch of an ISO 8601 date-time; -1 when there is none."""
    if v is None:
        return -1
    try:
        d = datetime.fromisoformat(text(v))
    except ValueError:
        return -1
    if d.tzinfo is None:
        d = d.replace(tzinfo=timezone.utc)
    return int(d.timestamp() * 1000)


def categories(v):
    items = v if isinstance(v, list) else [v]
    out = []
    for c in items:
        c = member(c, "id") if isinstance(c, dict) else c
        n = None if isinstance(c, str) else integer(c)
        if n is not None:
            out.append(clamp32(n, 0))
    return out


def factor(v):
    try:
        x = float(v) if isinstance(v, (int, float, str)) and not isinstance(v, bool) else None
    except ValueError:
        x = None
    return -1 if x is None or not math.isfinite(x) or not 0 <= x <= 1000 else int(x * 1000 + 0.5)


def read_row(r):
    row = {k: text(member(r, k)) for k in TEXTS}
    row["Imdb"] = imdb(member(r, "Imdb"))
    size = integer(member(r, "Size"))
    row["Size"] = size if size is not None and size >= 0 else None
    for k in ("Seeders", "Peers", "Files"):
        row[k] = clamp32(integer(member(r, k)), -1)
    row["Category"] = categories(member(r, "Category"))
    row["PublishDate"] = instant(member(r, "PublishDate"))
    row["DownloadVolumeFactor"] = factor(member(r, "DownloadVolumeFactor"))
    return row


def main():
    with open(sys.argv[1], "rb") as f:
        answer = json.load(f)
    results = member(answer, "Results")
    rows = [read_row(r) for r in results if isinstance(r, dict)][:200000]
    print("%d results" % len(rows))
    if rows:
        print(rows[0]["Title"], rows[0]["Tracker"], rows[0]["Size"], rows[0]["Seeders"])


if __name__ == "__main__":
    main()
