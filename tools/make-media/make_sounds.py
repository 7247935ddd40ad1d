#!/usr/bin/env python3
"""Writes the bundle's named sounds: short synthesised 16-bit mono WAVs.

Usage: make_sounds.py OUTPUT_FOLDER
"""
import math
import struct
import sys
import wave

RATE = 22050


def render(seconds, voice):
    frames = []
    for i in range(int(seconds * RATE)):
        t = i / RATE
        sample = max(-1.0, min(1.0, voice(t)))
        frames.append(struct.pack("<h", int(sample * 32000)))
    return b"".join(frames)


def pop(t):
    # A falling blip with a fast attack and a soft decay, like a bubble bursting.
    phase = 2 * math.pi * (260 * t + 900 * (1 - math.exp(-t * 30)) / 30)
    attack = min(1.0, t / 0.003)
    return 0.8 * attack * math.exp(-t * 38) * math.sin(phase)


def tink(t):
    # A small bell: a bright partial over its inharmonic overtones.
    attack = min(1.0, t / 0.002)
    body = math.sin(2 * math.pi * 2093 * t) * math.exp(-t * 14)
    over = 0.35 * math.sin(2 * math.pi * 5230 * t) * math.exp(-t * 30)
    high = 0.15 * math.sin(2 * math.pi * 7650 * t) * math.exp(-t * 45)
    return 0.6 * attack * (body + over + high)


def write(path, data):
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(data)


def main():
    folder = sys.argv[1]
    write(f"{folder}/Pop.wav", render(0.16, pop))
    write(f"{folder}/Tink.wav", render(0.45, tink))


if __name__ == "__main__":
    main()
