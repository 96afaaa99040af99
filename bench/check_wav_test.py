"""The benchmark's output check must pass a right WAV file and catch any
wrong byte, size or header: it is what makes a fast tool's time count."""
import os
import struct
import subprocess
import sys
import tempfile
import unittest

CHECK = os.path.join(os.path.dirname(os.path.abspath(__file__)), "check_wav.py")
FMT = b"fmt " + struct.pack("<IHHIIHH", 16, 1, 1, 8000, 8000, 1, 8)


def wav(payload, extra=b"", data_size=None):
    """A RIFF/WAVE file: fmt, then any extra chunks, then data."""
    n = len(payload) if data_size is None else data_size
    body = b"WAVE" + FMT + extra + b"data" + struct.pack("<I", n) + payload
    return b"RIFF" + struct.pack("<I", len(body)) + body


class CheckWav(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.TemporaryDirectory()
        self.payload = bytes(range(256)) * 3 + b"\x00\x80\xff"

    def tearDown(self):
        self.dir.cleanup()

    def check(self, payload, output, *options):
        source = os.path.join(self.dir.name, "in.bin")
        target = os.path.join(self.dir.name, "out.wav")
        with open(source, "wb") as f:
            f.write(payload)
        with open(target, "wb") as f:
            f.write(output)
        return subprocess.run([sys.executable, CHECK, source, target, *options],
                              capture_output=True).returncode

    def test_our_image_passes_exact(self):
        self.assertEqual(self.check(self.payload, wav(self.payload), "--exact"), 0)
        self.assertEqual(self.check(b"", wav(b""), "--exact"), 0)

    def test_other_chunks_pass_only_without_exact(self):
        odd_list = b"LIST" + struct.pack("<I", 5) + b"INFO1" + b"\x00"  # with its pad byte
        output = wav(self.payload, extra=odd_list)
        self.assertEqual(self.check(self.payload, output), 0)
        self.assertNotEqual(self.check(self.payload, output, "--exact"), 0)

    def test_any_wrong_payload_byte_fails(self):
        for position in (0, len(self.payload) // 2, len(self.payload) - 1):
            wrong = bytearray(self.payload)
            wrong[position] ^= 1
            self.assertNotEqual(self.check(self.payload, wav(bytes(wrong))), 0, position)

    def test_wrong_sizes_fail(self):
        self.assertNotEqual(self.check(self.payload, wav(self.payload[:-1])), 0)
        self.assertNotEqual(self.check(self.payload, wav(self.payload + b"\x00")), 0)
        self.assertNotEqual(self.check(self.payload, wav(self.payload)[:-1]), 0)
        stated_short = wav(self.payload, data_size=len(self.payload) - 1)
        self.assertNotEqual(self.check(self.payload, stated_short), 0)

    def test_wrong_header_fails_exact(self):
        wrong_rate = bytearray(wav(self.payload))
        wrong_rate[24] = 0x41   # 8001 samples per second
        self.assertNotEqual(self.check(self.payload, bytes(wrong_rate), "--exact"), 0)
        self.assertNotEqual(self.check(self.payload, b"RIFX" + wav(self.payload)[4:]), 0)


if __name__ == "__main__":
    unittest.main()
