#!/usr/bin/env python3
"""The command-line tool as a user runs it: its files read back with mido, a
MIDI library that is not the one the tool writes with, and its errors."""
import os
import subprocess
import sys
import tempfile
import unittest

import mido

TOOL = sys.argv.pop(1)
MODELS = sys.argv.pop(1)


def run(*args, **kwargs):
    return subprocess.run([TOOL, *args], capture_output=True, text=True, **kwargs)


def notes(path):
    """(tick, type, note) of every note event, and the file's properties."""
    midi = mido.MidiFile(path)
    events, tick = [], 0
    for msg in midi.tracks[0]:
        tick += msg.time
        if msg.type in ("note_on", "note_off"):
            events.append((tick, msg.type, msg.note, msg.channel))
    return midi, events


class ToolOutput(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.out = lambda name: os.path.join(self.dir.name, name)

    def tearDown(self):
        self.dir.cleanup()

    def test_generate_writes_the_export_format(self):
        r = run("generate", "--models", MODELS, "--seed", "7", "-o", self.out("g.mid"))
        self.assertEqual(r.returncode, 0, r.stderr)
        midi, events = notes(self.out("g.mid"))
        self.assertEqual(midi.type, 1)
        self.assertEqual(len(midi.tracks), 1)
        self.assertEqual(midi.ticks_per_beat, 480)
        self.assertEqual(midi.tracks[0][0].type, "track_name")
        self.assertEqual(midi.tracks[0][0].name, "Orvo Vuded Pattern")
        self.assertGreater(len(events), 8)
        self.assertTrue(all(channel == 9 for *_, channel in events))
        for tick, kind, _, _ in events:
            if kind == "note_on":
                self.assertEqual(tick % 120, 0)   # straight sixteenths at swing 50
        self.assertLess(max(t for t, *_ in events), 16 * 120)

    def test_render_plays_what_generate_exports(self):
        args = ["--models", MODELS, "--model", "Quiet Ember", "--seed", "3", "--set", "variationtype=beam",
                "--set", "densityMain=80"]
        self.assertEqual(run("generate", *args, "-o", self.out("g.mid")).returncode, 0)
        r = run("render", *args, "--bars", "4", "--tempo", "120", "--sample-rate", "48000", "-o", self.out("r.mid"))
        self.assertEqual(r.returncode, 0, r.stderr)
        _, exported = notes(self.out("g.mid"))
        midi, rendered = notes(self.out("r.mid"))
        self.assertTrue(any(m.type == "set_tempo" for m in midi.tracks[0]))
        ons = lambda evs: sorted((t, n) for t, k, n, _ in evs if k == "note_on")
        offs = lambda evs: sorted((t, n) for t, k, n, _ in evs if k == "note_off")
        expected_on = sorted((t + bar * 1920, n) for bar in range(4) for t, n in ons(exported))
        self.assertEqual(ons(rendered), expected_on)
        # 2995 samples at 120 BPM and 48 kHz is 59.9 ticks.
        expected_off = sorted((t + bar * 1920, n) for bar in range(4) for t, n in offs(exported))
        self.assertEqual(offs(rendered), expected_off)

    def test_seed_makes_generate_reproducible(self):
        for name in ("a.mid", "b.mid"):
            self.assertEqual(run("generate", "--models", MODELS, "--seed", "42", "--set", "temperature=1.3",
                                 "-o", self.out(name)).returncode, 0)
        with open(self.out("a.mid"), "rb") as a, open(self.out("b.mid"), "rb") as b:
            self.assertEqual(a.read(), b.read())
        others = set()
        for seed in ("1", "2", "3"):
            run("generate", "--models", MODELS, "--seed", seed, "-o", self.out("c.mid"))
            with open(self.out("c.mid"), "rb") as c:
                others.add(c.read())
        self.assertGreater(len(others), 1)

    def test_lists_the_models(self):
        r = run("models", "--models", MODELS)
        self.assertEqual(r.returncode, 0)
        self.assertTrue(r.stdout.startswith("0\tIron Kite\t0.bin\n"))

    def test_bad_input_fails_cleanly_and_writes_nothing(self):
        empty = self.out("empty")
        os.mkdir(empty)
        blocked = self.out("a-file")
        open(blocked, "w").close()
        cases = [
            ("unknown parameter", ["generate", "--models", MODELS, "--set", "loudness=3"]),
            ("outside its range", ["generate", "--models", MODELS, "--set", "swing=90"]),
            ("outside its range", ["generate", "--models", MODELS, "--set", "patternlength=3.5"]),
            ("unknown model", ["generate", "--models", MODELS, "--model", "Polka"]),
            ("no models", ["generate", "--models", empty]),
            ("cannot write", ["generate", "--models", MODELS, "-o", os.path.join(blocked, "x.mid")]),
            ("unknown option", ["generate", "--models", MODELS, "--loud"]),
            ("unknown command", ["dance"]),
        ]
        for expected, args in cases:
            with self.subTest(expected=expected, args=args):
                target = self.out("never.mid")
                if "-o" not in args:
                    args = [*args, "-o", target]
                r = run(*args)
                self.assertNotEqual(r.returncode, 0)
                self.assertEqual(r.stdout, "")
                self.assertEqual(len(r.stderr.strip().splitlines()), 1, r.stderr)
                self.assertIn(expected, r.stderr)
                self.assertFalse(os.path.exists(target))

    def test_help(self):
        r = run("--help")
        self.assertEqual(r.returncode, 0)
        self.assertIn("generate", r.stdout)


if __name__ == "__main__":
    unittest.main(verbosity=2)
