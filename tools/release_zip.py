#!/usr/bin/env python3
"""Packs a folder into a zip that is the same bytes whenever the same files
are packed: entries sorted by name, every entry dated SOURCE_DATE_EPOCH (UTC),
folders 0755 and files 0644, no extra fields, deflate at level 9.

    release_zip.py FOLDER OUT.zip

The zip holds FOLDER's own name as its top folder. Text files (*.txt) must be
UTF-8 with CR LF line ends, as Notepad on every Windows 10 shows them; a
stray LF or invalid UTF-8 fails the packing rather than ship.
"""

import os
import sys
import time
import zipfile

UNIX = 3  # "made by" system: the mode bits below are Unix ones
DIRECTORY_ATTRIBUTE = 0x10


def check_text(path, data):
    try:
        data.decode("utf-8")
    except UnicodeDecodeError as e:
        raise ValueError(f"{path} is not UTF-8: {e}") from None
    if data.count(b"\n") != data.count(b"\r\n") or data.count(b"\r") != data.count(b"\r\n"):
        raise ValueError(f"{path} has line ends other than CR LF")
    if not data.endswith(b"\r\n"):
        raise ValueError(f"{path} does not end with a line end")


def entries(folder):
    """(name in the zip, path or None for a folder), sorted by name."""
    top = os.path.basename(os.path.normpath(folder))
    found = [(top + "/", None)]
    for here, dirs, files in os.walk(folder):
        rel = os.path.relpath(here, folder)
        prefix = top + "/" + ("" if rel == "." else rel.replace(os.sep, "/") + "/")
        found += [(prefix + d + "/", None) for d in dirs]
        found += [(prefix + f, os.path.join(here, f)) for f in files]
    return sorted(found)


def pack(folder, out, epoch):
    # Zip times have no zone and start in 1980.
    stamp = time.gmtime(max(epoch, 315532800))[:6]
    temporary = out + ".part"
    with zipfile.ZipFile(temporary, "w") as z:
        for name, path in entries(folder):
            info = zipfile.ZipInfo(name, stamp)
            info.create_system = UNIX
            if path is None:
                info.external_attr = (0o40755 << 16) | DIRECTORY_ATTRIBUTE
                z.writestr(info, b"")
                continue
            with open(path, "rb") as f:
                data = f.read()
            if name.endswith(".txt"):
                check_text(name, data)
            info.external_attr = 0o100644 << 16
            info.compress_type = zipfile.ZIP_DEFLATED
            z.writestr(info, data, compresslevel=9)
    os.replace(temporary, out)


def main(argv):
    if len(argv) != 3:
        print(__doc__.strip().split("\n\n")[1], file=sys.stderr)
        return 2
    epoch = os.environ.get("SOURCE_DATE_EPOCH")
    if not epoch or not epoch.isdigit():
        print("release_zip.py: SOURCE_DATE_EPOCH must be set to a number of seconds", file=sys.stderr)
        return 2
    try:
        pack(argv[1], argv[2], int(epoch))
    except ValueError as e:
        if os.path.exists(argv[2] + ".part"):
            os.remove(argv[2] + ".part")
        print(f"release_zip.py: {e}", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
