#!/usr/bin/env python3
"""Writes the seeds of the play-data fuzz target into fuzz/corpus-playdata/:
exported play data as the launcher writes it, data that overlaps the history
the target starts from, and what a hand-edited or hostile file may hold."""
import json
import os

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus-playdata")
FORMAT = "Kaleidrome Launcher play data"


def run(name, started, ended, status=0, signalled=False, launcher_ended=False, rom=None):
    r = {"name": name, "romPath": rom or "/roms/%s.zip" % name,
         "arguments": ["/roms/%s.zip" % name, "-window"], "started": started, "ended": ended}
    if launcher_ended:
        r["launcherEnded"] = True
    else:
        r["status"] = status
        r["signalled"] = signalled
    return r


def data(favourites, runs, version=1, **extra):
    d = {"format": FORMAT, "version": version, "exported": "2026-12-07T20:00:00Z",
         "favourites": favourites, "games": [], "runs": runs}
    d.update(extra)
    return d


SEEDS = {
    "export.json": data(["boltrunner"], [run("astrovex", 1000, 61000),
                                         run("boltrunner", 5000, 9000, 11, True)]),
    "overlap.json": data(["astrovex", "cometkai"], [run("astrovex", 1000, 61000),
                                                    run("astrovex", 70000, 90000, 3),
                                                    run("dunecrawl", 100, 200, launcher_ended=True)]),
    "duplicates.json": data(["x", "x"], [run("x", 5, 9), run("x", 5, 12), run("x", 5, 9)]),
    "empty.json": data([], []),
    "unicode.json": data(["g\u00e4me \u2605", "\U0001F47E"], [run("\U0001F47E", 0, 253402300799999)]),
    "newer.json": data([], [], version=2),
    "bad-order.json": data([], [run("x", 10, 5)]),
    "bad-types.json": data([1, None], [{"name": 5, "started": "1"}]),
    "huge-numbers.json": data([], [run("x", 1e300, 1e301, status=2 ** 40)]),
    "not-object.json": [FORMAT, 1],
}


def main():
    os.makedirs(OUT, exist_ok=True)
    for name, value in SEEDS.items():
        with open(os.path.join(OUT, name), "w", encoding="utf-8") as f:
            json.dump(value, f, ensure_ascii=False, indent=1)
            f.write("\n")
    with open(os.path.join(OUT, "cut.json"), "w", encoding="utf-8") as f:
        f.write(json.dumps(SEEDS["export.json"])[:90])


if __name__ == "__main__":
    main()
