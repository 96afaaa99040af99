"""check_wav.py IN OUT [--exact]: OUT is a WAV file whose data chunk holds
exactly IN's bytes. --exact also asks for our 44-byte header and nothing else
(other tools may add chunks). Exit code 0 when it holds; else the reason."""
import os
import struct
import sys

BLOCK = 8 << 20


def data_chunk(f, size):
    """Offset and length of the data chunk, walking the RIFF chunks."""
    f.seek(0)
    riff, riff_size, form = struct.unpack("<4sI4s", f.read(12))
    if riff != b"RIFF" or form != b"WAVE" or riff_size != size - 8:
        sys.exit("not a RIFF/WAVE file of its own length")
    offset = 12
    while offset + 8 <= size:
        f.seek(offset)
        ident, length = struct.unpack("<4sI", f.read(8))
        if ident == b"data":
            return offset + 8, length
        offset += 8 + length + (length & 1)
    sys.exit("no data chunk")


def expected_header(n):
    return (b"RIFF" + struct.pack("<I", n + 36) + b"WAVEfmt " +
            struct.pack("<IHHIIHH", 16, 1, 1, 8000, 8000, 1, 8) +
            b"data" + struct.pack("<I", n))


def main():
    source, target = sys.argv[1], sys.argv[2]
    n = os.path.getsize(source)
    size = os.path.getsize(target)
    with open(source, "rb") as a, open(target, "rb") as b:
        if "--exact" in sys.argv[3:]:
            if size != n + 44 or b.read(44) != expected_header(n):
                sys.exit("not the 44-byte header and payload of %d bytes" % n)
        offset, length = data_chunk(b, size)
        if length != n or offset + n > size:
            sys.exit("data chunk holds %d bytes, input has %d" % (length, n))
        b.seek(offset)
        left = n
        while left:
            x = a.read(min(BLOCK, left))
            if not x or b.read(len(x)) != x:
                sys.exit("payload differs from the input near byte %d" % (n - left))
            left -= len(x)


if __name__ == "__main__":
    main()
