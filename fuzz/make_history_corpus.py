#!/usr/bin/env python3
"""Writes the seeds of the play-history fuzz target into fuzz/corpus-history/:
small SQLite files (512-byte pages) of the launcher's schema version 1 and of
what a user's data folder may hold instead: an older or newer version, another
program's tables, a trigger, a missing column, hostile values, a cut file and
garbage behind a valid header. The schema below is version 1 as the launcher
makes it; seeds of later versions get their own functions."""
import os
import random
import sqlite3
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "corpus-history")

SCHEMA_1 = [
    """CREATE TABLE runs (
               id INTEGER PRIMARY KEY,
               name TEXT NOT NULL,
               rom_path TEXT NOT NULL,
               arguments TEXT NOT NULL,
               started INTEGER NOT NULL,
               ended INTEGER,
               status INTEGER,
               signalled INTEGER)""",
    """CREATE TABLE games (
               name TEXT PRIMARY KEY,
               favourite INTEGER NOT NULL DEFAULT 0,
               times_played INTEGER NOT NULL DEFAULT 0,
               last_played INTEGER,
               play_ms INTEGER NOT NULL DEFAULT 0) WITHOUT ROWID""",
    """CREATE TABLE recent_roms (
               rom_path TEXT PRIMARY KEY,
               last_run INTEGER NOT NULL) WITHOUT ROWID""",
]

RUNS = [
    ("astrovex", "/roms/astrovex.zip", '["/roms/astrovex.zip","-window"]', 1000, 61000, 0, 0),
    ("boltrunner", "/roms/boltrunner.zip", '["/roms/boltrunner.zip"]', 100000, 130000, 11, 1),
    ("astrovex", "/other/astrovex.zip", "[]", 200000, None, None, None),
]


def make(name, statements, version=1, rows=True):
    path = os.path.join(OUT, name)
    if os.path.exists(path):
        os.remove(path)
    db = sqlite3.connect(path)
    db.execute("PRAGMA page_size = 512")
    for statement in statements:
        db.execute(statement)
    if rows:
        db.executemany(
            "INSERT INTO runs (name, rom_path, arguments, started, ended, status, signalled) "
            "VALUES (?, ?, ?, ?, ?, ?, ?)", RUNS)
        db.execute("INSERT INTO games VALUES ('astrovex', 0, 2, 200000, 60000)")
        db.execute("INSERT INTO games VALUES ('boltrunner', 1, 1, 100000, 30000)")
        db.execute("INSERT INTO recent_roms VALUES ('/other/astrovex.zip', 3)")
        db.execute("INSERT INTO recent_roms VALUES ('/roms/boltrunner.zip', 2)")
    db.execute("PRAGMA user_version = %d" % version)
    db.commit()
    db.execute("VACUUM")
    db.close()
    with open(path, "rb") as f:
        return f.read()


def change(name, statements):
    db = sqlite3.connect(os.path.join(OUT, name))
    for statement in statements:
        db.execute(statement)
    db.commit()
    db.close()


def main():
    os.makedirs(OUT, exist_ok=True)
    valid = make("v1-runs.sqlite", SCHEMA_1)
    make("v1-empty.sqlite", SCHEMA_1, rows=False)
    make("v0-empty.sqlite", ["CREATE TABLE t (x)", "DROP TABLE t"], version=0, rows=False)
    make("newer.sqlite", SCHEMA_1, version=2)
    make("foreign.sqlite", ["CREATE TABLE notes (title TEXT, body TEXT)",
                            "INSERT INTO notes VALUES ('a', 'b')"], version=0, rows=False)
    make("trigger.sqlite", SCHEMA_1)
    change("trigger.sqlite", [
        "CREATE TRIGGER no_runs BEFORE INSERT ON runs BEGIN SELECT RAISE(ABORT, 'no'); END"])
    make("index.sqlite", SCHEMA_1 + ["CREATE INDEX runs_by_name ON runs (name)"])
    make("missing-column.sqlite",
         [SCHEMA_1[0], SCHEMA_1[1].replace(",\n               play_ms INTEGER NOT NULL "
                                           "DEFAULT 0", ""), SCHEMA_1[2]], rows=False)
    # Values of any kind where the launcher expects numbers and texts.
    make("hostile-values.sqlite", SCHEMA_1, rows=False)
    change("hostile-values.sqlite", [
        "INSERT INTO runs VALUES (9223372036854775807, x'ff00fe', x'', 'not json', "
        "-9223372036854775808, 9223372036854775807, 'abc', x'00')",
        "INSERT INTO runs VALUES (5, 'g', '/roms/g.zip', '[1, {\"a\": 2}]', 1e300, -1e300, "
        "4294967296, 2.5)",
        "INSERT INTO games VALUES ('fuzzgame', 'yes', 9223372036854775807, 1e300, -5)",
        "INSERT INTO games VALUES (x'c328', 1, -1, -9223372036854775808, 9223372036854775807)",
        "INSERT INTO recent_roms VALUES ('', 'x')",
        "INSERT INTO recent_roms VALUES (x'00', 9223372036854775807)"])
    with open(os.path.join(OUT, "cut.sqlite"), "wb") as f:
        f.write(valid[:1024])
    rng = random.Random(12)
    with open(os.path.join(OUT, "garbage.sqlite"), "wb") as f:
        f.write(valid[:100] + bytes(rng.randrange(256) for _ in range(len(valid) - 100)))
    with open(os.path.join(OUT, "empty.sqlite"), "wb") as f:
        pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
