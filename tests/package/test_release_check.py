"""The release check passes the real Kadrix.exe and names each fault of a
damaged copy: every case changes a few bytes of the built exe (and, where the
fault is in the manifest itself, of the manifest it is compared with).

    KADRIX_EXE=build/win/Kadrix.exe python3 -m unittest discover -s tests/package
"""

import os
import re
import struct
import subprocess
import sys
import tempfile
import unittest

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(ROOT, "tools"))
import release_check  # noqa: E402

EXE = os.environ.get("KADRIX_EXE", os.path.join(ROOT, "build", "win", "Kadrix.exe"))
MANIFEST = os.path.join(ROOT, "resources", "Kadrix.manifest")
ICON = os.path.join(ROOT, "resources", "Kadrix.ico")
OBJDUMP = os.environ.get("OBJDUMP", "x86_64-w64-mingw32-objdump")


def read(path):
    with open(path, "rb") as f:
        return f.read()


def rc_version():
    text = read(os.path.join(ROOT, "resources", "Kadrix.rc")).decode("utf-8")
    return ".".join(re.search(r"^FILEVERSION\s+(\d+),\s*(\d+),\s*(\d+),\s*(\d+)", text, re.M).groups())


def replace_once(data, old, new):
    assert len(old) == len(new) and data.count(old) >= 1, old
    at = data.index(old)
    return data[:at] + new + data[at + len(old):]


def retype(data, old_type, new_type):
    """Renumbers a resource type in the root directory: the exe no longer has
    resources of old_type."""
    pe = release_check.PeImage(data)
    root = pe._offset(pe.resource_rva, 16)
    named, ids = struct.unpack_from("<HH", data, root + 12)
    for i in range(named, named + ids):
        entry = root + 16 + 8 * i
        if struct.unpack_from("<I", data, entry)[0] == old_type:
            return data[:entry] + struct.pack("<I", new_type) + data[entry + 4:]
    raise AssertionError(f"no resource type {old_type}")


def change_icon_image(data):
    ico = read(ICON)
    size, offset = struct.unpack_from("<II", ico, 6 + 8)  # the first image
    image = ico[offset:offset + size]
    at = data.index(image) + size // 2
    return data[:at] + bytes([data[at] ^ 0xFF]) + data[at + 1:]


def set_subsystem(data, value):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    at = pe + 24 + 68
    return data[:at] + struct.pack("<H", value) + data[at + 2:]


def in_manifest(old, new):
    """The same change in the exe's manifest and in the file it is compared
    with, so that only the meaning of the manifest is wrong."""
    return lambda exe: replace_once(exe, old, new), lambda manifest: replace_once(manifest, old, new)


class ReleaseCheckTests(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.exe = read(EXE)
        cls.manifest = read(MANIFEST)
        cls.folder = tempfile.TemporaryDirectory()

    @classmethod
    def tearDownClass(cls):
        cls.folder.cleanup()

    def run_check(self, exe, manifest=None):
        exe_path = os.path.join(self.folder.name, "Kadrix.exe")
        manifest_path = os.path.join(self.folder.name, "Kadrix.manifest")
        with open(exe_path, "wb") as f:
            f.write(exe)
        with open(manifest_path, "wb") as f:
            f.write(self.manifest if manifest is None else manifest)
        return release_check.check(exe_path, manifest_path, ICON, OBJDUMP)

    def test_the_built_exe_is_fit_to_ship(self):
        passed, faults = self.run_check(self.exe)
        self.assertEqual(faults, [])
        self.assertIn(f"version resource {rc_version()}", passed)
        self.assertEqual(release_check.file_version(release_check.PeImage(self.exe))[0], rc_version())

    def test_each_fault_is_named(self):
        version = rc_version().encode("utf-16-le")
        older = (rc_version()[:-1] + chr(ord(rc_version()[-1]) ^ 1)).encode("utf-16-le")
        cases = [
            ("a DLL that is not part of Windows", lambda d: replace_once(d, b"WS2_32.dll\0", b"ZZ2_32.dll\0"), None,
             "imports ZZ2_32.dll, which is not on the list"),
            ("a console program", lambda d: set_subsystem(d, 3), None, "not a GUI program"),
            ("no version resource", lambda d: retype(d, 16, 17), None, "no version resource"),
            ("a version string that disagrees", lambda d: replace_once(d, version, older), None,
             f"is '{older.decode('utf-16-le')}', the file version {rc_version()}"),
            ("no manifest", lambda d: retype(d, 24, 25), None, "no application manifest"),
            ("a manifest other than ours", lambda d: replace_once(d, b"<description>Kadrix", b"<description>Kadrex"),
             None, "the embedded manifest differs from Kadrix.manifest"),
            ("per-monitor v1 awareness", *in_manifest(b">PerMonitorV2<", b">PerMonitor  <"),
             "not per-monitor v2"),
            ("common controls 5", *in_manifest(b'version="6.0.0.0"', b'version="5.8.0.0"'), "common controls 6"),
            ("elevation", *in_manifest(b'level="asInvoker"', b'level="highestAv"'), "not asInvoker"),
            ("no Windows 10", *in_manifest(b"{8e0f7a12-", b"{8e0f7a13-"), "Windows 10 and 11 are not"),
            ("no icon", lambda d: retype(d, 14, 15), None, "no group icon MAINICON"),
            ("another icon", change_icon_image, None, "image 1 of MAINICON (16x16, 32 bits) is not the one"),
        ]
        for name, damage, damage_manifest, fault in cases:
            with self.subTest(name):
                manifest = damage_manifest(self.manifest) if damage_manifest else None
                passed, faults = self.run_check(damage(self.exe), manifest)
                self.assertTrue(any(fault in f for f in faults), f"{fault!r} not among {faults}")

    def test_a_cut_or_foreign_file_fails_without_a_crash(self):
        pe = release_check.PeImage(self.exe)
        resources = pe._offset(pe.resource_rva, 16)
        for name, data in (("empty", b""), ("headers only", self.exe[:1024]),
                           ("cut in the resources", self.exe[:resources + 64]), ("text", b"MZ" + b"not a program" * 100)):
            with self.subTest(name):
                passed, faults = self.run_check(data)
                self.assertNotEqual(faults, [])

    def test_the_script_exits_non_zero_on_a_fault(self):
        path = os.path.join(self.folder.name, "damaged.exe")
        with open(path, "wb") as f:
            f.write(retype(self.exe, 24, 25))
        result = subprocess.run([sys.executable, os.path.join(ROOT, "tools", "release_check.py"), "check", path,
                                 MANIFEST, ICON], capture_output=True, text=True)
        self.assertEqual(result.returncode, 1)
        self.assertIn("FAULT: no application manifest", result.stdout)


if __name__ == "__main__":
    unittest.main()
