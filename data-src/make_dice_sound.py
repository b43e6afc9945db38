#!/usr/bin/env python3
"""Synthesises the roll sound data/dice.wav: five dice thrown onto a table.

Each die lands, bounces a few times with shrinking gaps and loudness, and
rolls out with a couple of soft clicks; now and then two dice knock into each
other. Every impact is a burst of decaying noise through two resonant
band-pass filters (the hard plastic "clack"), the landings add a short
low thump of the table top. The generator is seeded, so a rebuild gives the
same file byte for byte. Standard library only.

Usage: make_dice_sound.py [OUTPUT.wav]   (default: ../data/dice.wav)
"""

import math
import os
import random
import struct
import sys
import wave

RATE = 44100
LENGTH = 0.55  # seconds
SEED = 20240611
DICE = 5
PEAK = 0.8  # of full scale
DRIVE = 3.0  # soft saturation: lifts the quiet bounces against the loud landings


class Impact:
    """One knock: when, how hard and how it rings."""

    def __init__(self, time, strength, pitch, thump):
        self.time = time
        self.strength = strength
        self.pitch = pitch  # centre of the lower resonance, Hz
        self.thump = thump  # 1 when it hits the table hard enough to thud


def bandpass(samples, centre, q):
    """Filters samples through a constant-peak band-pass biquad."""
    w0 = 2 * math.pi * centre / RATE
    alpha = math.sin(w0) / (2 * q)
    a0 = 1 + alpha
    b0, b2 = alpha / a0, -alpha / a0
    a1, a2 = -2 * math.cos(w0) / a0, (1 - alpha) / a0
    x1 = x2 = y1 = y2 = 0.0
    out = []
    for x in samples:
        y = b0 * x + b2 * x2 - a1 * y1 - a2 * y2
        x2, x1, y2, y1 = x1, x, y1, y
        out.append(y)
    return out


def impactSamples(impact, rng):
    """Renders one impact, about 40 ms long, starting at its own sample 0."""
    count = int(0.04 * RATE)
    decay = rng.uniform(0.0012, 0.0028) * RATE
    burst = [rng.uniform(-1, 1) * math.exp(-i / decay) for i in range(count)]
    low = bandpass(burst, impact.pitch, rng.uniform(6, 12))
    high = bandpass(burst, impact.pitch * rng.uniform(1.9, 2.6), rng.uniform(5, 9))
    out = []
    thumpFreq = rng.uniform(170, 300)
    for i in range(count):
        click = burst[i] * 0.25 if i < 40 else 0.0
        ring = 2.2 * low[i] + 1.6 * high[i] + click
        thud = 0.0
        if impact.thump:
            thud = 0.12 * math.sin(2 * math.pi * thumpFreq * i / RATE) * math.exp(-i / (0.005 * RATE))
        out.append(impact.strength * (ring + thud))
    return out


def dieImpacts(rng, pitch):
    """The landing, the bounces and the rolling clicks of one die."""
    time = rng.uniform(0.0, 0.07)
    gap = rng.uniform(0.045, 0.075)
    strength = rng.uniform(0.8, 1.0)
    impacts = [Impact(time, strength, pitch, 1)]
    while True:
        # Each bounce comes back lower: shorter flight, softer knock.
        gap *= rng.uniform(0.55, 0.75)
        strength *= rng.uniform(0.45, 0.65)
        if gap < 0.012 or strength < 0.08:
            break
        time += gap
        impacts.append(Impact(time, strength, pitch * rng.uniform(0.95, 1.05), 0))
    for _ in range(rng.randint(1, 3)):
        time += rng.uniform(0.04, 0.12)
        impacts.append(Impact(time, strength * rng.uniform(0.6, 1.2), pitch * rng.uniform(0.9, 1.1), 0))
    return impacts


def collisions(rng):
    """Dice knocking into each other early in the throw: bright and short."""
    return [
        Impact(rng.uniform(0.01, 0.2), rng.uniform(0.3, 0.6), rng.uniform(3800, 5200), 0)
        for _ in range(rng.randint(2, 4))
    ]


def throwImpacts(rng):
    """All impacts of the throw, each die with its own ring."""
    impacts = []
    for _ in range(DICE):
        impacts += dieImpacts(rng, rng.uniform(2300, 3600))
    return impacts + collisions(rng)


def mix(impacts, rng):
    """Adds the impacts into one track, fades its tail, saturates it softly
    and scales it to PEAK."""
    total = int(LENGTH * RATE)
    track = [0.0] * total
    for impact in sorted(impacts, key=lambda item: item.time):
        start = int(impact.time * RATE)
        for i, value in enumerate(impactSamples(impact, rng)):
            if start + i < total:
                track[start + i] += value
    fade = int(0.03 * RATE)
    for i in range(fade):
        track[total - 1 - i] *= i / fade
    loudest = max(abs(value) for value in track)
    norm = PEAK / math.tanh(DRIVE)
    return [norm * math.tanh(DRIVE * value / loudest) for value in track]


def writeWave(path, track):
    """Writes the track as mono 16-bit PCM."""
    frames = b"".join(struct.pack("<h", int(round(value * 32767))) for value in track)
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(frames)


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    path = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "data", "dice.wav")
    rng = random.Random(SEED)
    writeWave(path, mix(throwImpacts(rng), rng))
    print("made", path)


if __name__ == "__main__":
    main()
