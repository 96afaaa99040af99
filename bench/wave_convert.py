"""What a user might write instead: any file's bytes as 8-bit mono 8000 Hz WAV."""
import sys
import wave

source, target = sys.argv[1], sys.argv[2]
with open(source, "rb") as f:
    data = f.read()
with wave.open(target, "wb") as w:
    w.setnchannels(1)
    w.setsampwidth(1)
    w.setframerate(8000)
    w.writeframes(data)
