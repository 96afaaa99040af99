#!/usr/bin/env python3
"""The WAV file made of 1 MiB of random bytes, as independent readers see it.

Usage: wav_readers.py EMULATOR... WAV_CONVERT_EXE
Each reader must find one channel, 8000 Hz, 8 bits, 1048576 frames, and
hand back exactly the input's bytes as samples.
"""
import os
import re
import subprocess
import sys
import tempfile
import wave

FRAMES = 1 << 20


def windows_path(path):
    return "Z:" + path.replace("/", "\\")


def run(*command):
    return subprocess.run(command, check=True, capture_output=True, stdin=subprocess.DEVNULL).stdout


def field(pattern, text):
    found = re.search(pattern, text, re.MULTILINE)
    if not found:
        raise AssertionError(f"no {pattern!r} in:\n{text}")
    return found.group(1)


def main():
    *emulator, converter = sys.argv[1:]
    failures = []

    def check(reader, what, seen, expected):
        if seen != expected:
            failures.append(f"{reader}: {what} is {seen!r}, expected {expected!r}")

    with tempfile.TemporaryDirectory(prefix="wav-readers-") as folder:
        source, wav = os.path.join(folder, "noise.bin"), os.path.join(folder, "noise.wav")
        payload = os.urandom(FRAMES)
        with open(source, "wb") as f:
            f.write(payload)
        subprocess.run([*emulator, converter, windows_path(source), windows_path(wav)], check=True,
                       stdin=subprocess.DEVNULL)
        check("size", "file size", os.path.getsize(wav), FRAMES + 44)

        with wave.open(wav, "rb") as w:
            check("wave", "channels", w.getnchannels(), 1)
            check("wave", "rate", w.getframerate(), 8000)
            check("wave", "bytes per sample", w.getsampwidth(), 1)
            check("wave", "frames", w.getnframes(), FRAMES)
            check("wave", "samples", w.readframes(FRAMES) == payload, True)

        info = run("sndfile-info", wav).decode()
        check("sndfile-info", "channels", field(r"^Channels\s*:\s*(\d+)", info), "1")
        check("sndfile-info", "rate", field(r"^Sample Rate\s*:\s*(\d+)", info), "8000")
        check("sndfile-info", "bits", field(r"Bit Width\s*:\s*(\d+)", info), "8")
        check("sndfile-info", "frames", field(r"^Frames\s*:\s*(\d+)", info), str(FRAMES))
        raw = os.path.join(folder, "sndfile.raw")
        run("sndfile-convert", "-pcmu8", wav, raw)
        with open(raw, "rb") as f:
            check("sndfile-convert", "samples", f.read() == payload, True)

        check("soxi", "channels", run("soxi", "-c", wav).decode().strip(), "1")
        check("soxi", "rate", run("soxi", "-r", wav).decode().strip(), "8000")
        check("soxi", "bits", run("soxi", "-b", wav).decode().strip(), "8")
        check("soxi", "frames", run("soxi", "-s", wav).decode().strip(), str(FRAMES))
        check("sox", "samples", run("sox", wav, "-t", "u8", "-") == payload, True)

        probe = run("ffprobe", "-v", "error", "-select_streams", "a:0", "-show_entries",
                    "stream=codec_name,channels,sample_rate,bits_per_sample,duration_ts",
                    "-of", "default=noprint_wrappers=1", wav).decode()
        check("ffprobe", "codec", field(r"^codec_name=(\S+)", probe), "pcm_u8")
        check("ffprobe", "channels", field(r"^channels=(\d+)", probe), "1")
        check("ffprobe", "rate", field(r"^sample_rate=(\d+)", probe), "8000")
        check("ffprobe", "bits", field(r"^bits_per_sample=(\d+)", probe), "8")
        check("ffprobe", "frames", field(r"^duration_ts=(\d+)", probe), str(FRAMES))
        check("ffmpeg", "samples", run("ffmpeg", "-v", "error", "-i", wav, "-f", "u8", "-") == payload, True)

    for failure in failures:
        print(failure)
    print("every reader agrees" if not failures else f"{len(failures)} disagreements")
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
