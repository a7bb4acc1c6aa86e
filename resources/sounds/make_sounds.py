#!/usr/bin/env python3
"""Writes the program's three notification sounds: short sine tones with a
soft attack and release, 16-bit mono at 22050 Hz."""
import math
import os
import struct
import wave

RATE = 22050


def tone(path, notes, volume=0.45):
    frames = bytearray()
    for freq, seconds in notes:
        n = int(RATE * seconds)
        fade = int(RATE * 0.015)
        for i in range(n):
            env = min(1.0, i / fade, (n - i) / fade)
            sample = volume * env * math.sin(2 * math.pi * freq * i / RATE)
            frames += struct.pack('<h', int(sample * 32767))
    with wave.open(path, 'wb') as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(bytes(frames))


here = os.path.dirname(os.path.abspath(__file__))
tone(os.path.join(here, 'foundemail.wav'), [(1318.5, 0.12), (1760.0, 0.18)])     # a bright rising pair
tone(os.path.join(here, 'nextsearch.wav'), [(660.0, 0.22)])                     # one short mid tone
tone(os.path.join(here, 'finished.wav'), [(523.3, 0.15), (659.3, 0.15), (784.0, 0.30)])  # a closing chord, rolled
