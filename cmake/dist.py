#!/usr/bin/env python3
"""make dist: dist/zunkabell-VERSION.zip and dist/SHA256SUMS from the program of
the i686 and x86_64 builds in BUILD (the argument), checked before it says so.
The zip is the same bytes for the same sources (and the same zlib): its
entries go in a fixed order with fixed permissions, dated with the last
commit's time (or SOURCE_DATE_EPOCH). A tree with uncommitted changes is
zipped as it stands, under a warning, since that zip is then no commit's."""
import hashlib
import os
import re
import subprocess
import sys
import tempfile
import time
import zipfile
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
DIST = ROOT / "dist"
# Name in the zip, configuration. The 32-bit one runs on every Windows the
# users have, so it gets the plain name; the other is for the large files.
PROGRAMS = [("zunkabell.exe", "i686"), ("zunkabell-x64-4GB.exe", "x86_64")]

def fail(message):
    sys.exit(f"make dist: {message}")

def run(*command, cwd=None):
    done = subprocess.run(command, cwd=cwd, capture_output=True, text=True)
    if done.returncode != 0:
        fail(f"{' '.join(command)} failed:\n{done.stdout}{done.stderr}")
    return done.stdout

def source_time():
    if os.environ.get("SOURCE_DATE_EPOCH"):
        return int(os.environ["SOURCE_DATE_EPOCH"])
    if run("git", "status", "--porcelain", cwd=ROOT).strip():
        print("make dist: warning: uncommitted changes go into this zip; it is not the last commit's")
    return int(run("git", "log", "-1", "--format=%ct", cwd=ROOT))

def readme_bytes():
    text = (ROOT / "resources" / "readme.txt").read_text(encoding="utf-8")
    try:
        # What a readme on Japanese Windows is expected to be: Shift-JIS, CR LF.
        return text.replace("\n", "\r\n").encode("cp932")
    except UnicodeEncodeError as e:
        fail(f"resources/readme.txt: {text[e.start:e.end]!r} has no code page 932 form")

def license_bytes():
    data = (ROOT / "LICENSE").read_bytes()
    if not data.isascii() or b"\r" in data:
        fail("LICENSE is not plain ASCII with LF line ends")
    # Notepad before Windows 10 shows a file of bare LFs as one line.
    return data.replace(b"\n", b"\r\n")

def make_zip(path, folder, files, date):
    def entry(name, mode):
        info = zipfile.ZipInfo(f"{folder}/{name}", date)
        info.create_system = 3  # Unix, so that the mode below is the one unzip gives
        info.external_attr = mode << 16 | (0x10 if name == "" else 0)  # 0x10: a folder to Windows
        return info

    with zipfile.ZipFile(path, "w") as z:
        z.writestr(entry("", 0o40755), b"")
        for name, data, mode in files:
            z.writestr(entry(name, mode), data, zipfile.ZIP_DEFLATED, 9)

def check(zip_path, folder, version):
    """Unpacks the zip and checks what a user would meet in it."""
    with tempfile.TemporaryDirectory() as unpacked, zipfile.ZipFile(zip_path) as z:
        expected = [f"{folder}/{n}" for n in ["", *(n for n, _ in PROGRAMS), "readme.txt", "LICENSE.txt"]]
        if z.namelist() != expected or z.testzip() is not None:
            fail(f"{zip_path} holds {z.namelist()}, not {expected} intact")
        z.extractall(unpacked)
        home = Path(unpacked, folder)

        def text_file(name, encoding):
            data = (home / name).read_bytes()
            try:
                text = data.decode(encoding)
            except UnicodeDecodeError as e:
                fail(f"{name} is not {encoding} at byte {e.start}")
            # Neither CR nor LF is ever part of a two-byte character, so bytes will do.
            if re.search(rb"\r(?!\n)|(?<!\r)\n", data):
                fail(f"{name} has a line end other than CR LF")
            return text

        copyright_line = next((line for line in text_file("LICENSE.txt", "ascii").splitlines()
                               if line.startswith("Copyright")), None)
        for name, config in PROGRAMS:
            exe = home / name
            run("cmake", f"-DOBJDUMP={config}-w64-mingw32-objdump", f"-DEXE={exe}",
                "-P", str(ROOT / "tests" / "program_imports.cmake"))
            value = dict(re.findall(r'VALUE "(\w+)", "([^"]*)"',
                                    run(f"{config}-w64-mingw32-windres", "-i", str(exe), "-O", "rc"))).get
            if value("OriginalFilename") != name or value("FileVersion") != version:
                fail(f"{name}'s version resource does not name it {name}, version {version}")
            if copyright_line is None or value("LegalCopyright") != copyright_line:
                fail(f"{name}'s LegalCopyright is not LICENSE.txt's {copyright_line!r}")
            # The manifest is stored as it is written, UTF-8.
            if f'name="zunkabell" version="{version}.0"'.encode() not in exe.read_bytes():
                fail(f"{name}'s manifest does not give version {version}.0")
        text = text_file("readme.txt", "cp932")
        for name in [n for n, _ in PROGRAMS] + ["LICENSE.txt", "MIT", f" {version} "]:
            if name not in text:
                fail(f"readme.txt does not mention {name.strip()} (ファイル一覧, 著作権とライセンス, 履歴)")
    run("sha256sum", "--quiet", "-c", "SHA256SUMS", cwd=DIST)

def main():
    build = Path(sys.argv[1]).resolve()
    versions = {(build / config / "version.txt").read_text().strip() for _, config in PROGRAMS}
    if len(versions) != 1:
        fail(f"the builds in {build} have different versions: {sorted(versions)}; configure them again")
    version = versions.pop()
    folder = f"zunkabell-{version}"
    # Zip dates have two-second steps and start in 1980.
    date = time.gmtime(max(source_time(), 315532800))[:6]
    files = [(name, (build / config / "zunkabell.exe").read_bytes(), 0o100755) for name, config in PROGRAMS]
    files += [("readme.txt", readme_bytes(), 0o100644), ("LICENSE.txt", license_bytes(), 0o100644)]

    DIST.mkdir(exist_ok=True)
    zip_path, sums, part = DIST / f"{folder}.zip", DIST / "SHA256SUMS", DIST / f"{folder}.zip.part"
    make_zip(part, folder, files, date)
    part.replace(zip_path)
    digest = hashlib.sha256(zip_path.read_bytes()).hexdigest()
    sums.write_text(f"{digest}  {zip_path.name}\n")
    try:
        check(zip_path, folder, version)
    except SystemExit:
        # A zip that failed its check is not left where a release is picked up.
        zip_path.unlink()
        sums.unlink()
        raise
    print(f"dist/{zip_path.name}: {zip_path.stat().st_size} bytes, sha256 {digest}\n"
          "dist/SHA256SUMS: matches. Checked: the programs import system DLLs only and carry their "
          "name, version and LICENSE.txt's copyright line, and the version in their manifest; "
          "readme.txt is code page 932 and LICENSE.txt ASCII, both with CR LF; the readme names "
          "the files, the license and the version.")

if __name__ == "__main__":
    main()
