#!/usr/bin/env python3
"""Checks that a built Kadrix.exe is fit to ship, and reads its version.

    release_check.py check Kadrix.exe Kadrix.manifest Kadrix.ico
    release_check.py version Kadrix.exe       # prints e.g. 2.4.0.1049

The check fails (exit 1, one line per fault) when the exe imports a DLL that
is not on our list of Windows system DLLs, is not a 64-bit GUI program with
ASLR and DEP, or lacks the version resource, the application manifest or the
icon. Resources are read back out of the exe's own bytes, so what is checked
is what the loader and Explorer will see, not what the resource script meant.
Standard library only; the import list comes from objdump.
"""

import os
import struct
import subprocess
import sys
import xml.etree.ElementTree as ET

# Every DLL the release imports today, all part of Windows 10 and 11. A new
# import has to be added here on purpose: anything else would have to ship
# beside the exe, and the zip holds only Kadrix.exe.
ALLOWED_DLLS = {
    "advapi32.dll", "comctl32.dll", "gdi32.dll", "kernel32.dll", "msvcrt.dll",
    "ole32.dll", "shell32.dll", "user32.dll", "version.dll", "ws2_32.dll",
}

RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24
IMAGE_FILE_MACHINE_AMD64 = 0x8664
IMAGE_SUBSYSTEM_WINDOWS_GUI = 2
HIGH_ENTROPY_VA, DYNAMIC_BASE, NX_COMPAT = 0x20, 0x40, 0x100

WINDOWS_10_AND_11 = "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"
COMMON_CONTROLS_TOKEN = "6595b64144ccf1df"
NS_ASM_V1 = "urn:schemas-microsoft-com:asm.v1"
NS_ASM_V3 = "urn:schemas-microsoft-com:asm.v3"
NS_COMPAT = "urn:schemas-microsoft-com:compatibility.v1"
NS_DPI_2016 = "http://schemas.microsoft.com/SMI/2016/WindowsSettings"


class PeError(Exception):
    pass


class PeImage:
    """The parts of a PE file the checks need. Every read is bounded by the
    file; a malformed file raises PeError, never reads past its end."""

    def __init__(self, data):
        self.data = data
        if self._u16(0) != 0x5A4D:
            raise PeError("no MZ header")
        pe = self._u32(0x3C)
        if self._u32(pe) != 0x4550:
            raise PeError("no PE header")
        self.machine = self._u16(pe + 4)
        section_count = self._u16(pe + 6)
        optional_size = self._u16(pe + 20)
        opt = pe + 24
        if self._u16(opt) != 0x20B:
            raise PeError("not a PE32+ (64-bit) image")
        self.subsystem = self._u16(opt + 68)
        self.dll_characteristics = self._u16(opt + 70)
        directory_count = self._u32(opt + 108)
        self.resource_rva = self._u32(opt + 112 + 16) if directory_count > 2 and optional_size >= 136 else 0
        self.sections = []
        table = opt + optional_size
        for i in range(section_count):
            s = table + 40 * i
            self.sections.append((self._u32(s + 12), self._u32(s + 16), self._u32(s + 20)))  # rva, raw size, raw offset

    def _bytes(self, offset, size):
        if offset < 0 or size < 0 or offset + size > len(self.data):
            raise PeError(f"a read of {size} bytes at {offset:#x} runs past the end of the file")
        return self.data[offset:offset + size]

    def _u16(self, offset):
        return struct.unpack_from("<H", self._bytes(offset, 2))[0]

    def _u32(self, offset):
        return struct.unpack_from("<I", self._bytes(offset, 4))[0]

    def _offset(self, rva, size):
        for start, raw_size, raw_offset in self.sections:
            if start <= rva and rva + size <= start + raw_size:
                return raw_offset + rva - start
        raise PeError(f"RVA {rva:#x} (+{size}) lies in no section's file data")

    def resources(self):
        """{(type, name): [bytes of each language]}; type and name are an int
        id or a str name, as the resource directory holds them."""
        if not self.resource_rva:
            return {}
        root = self._offset(self.resource_rva, 16)
        found = {}
        for type_id, type_dir in self._entries(root, root):
            for name, name_dir in self._entries(root, type_dir):
                for _, leaf in self._entries(root, name_dir, leaves=True):
                    rva, size = self._u32(leaf), self._u32(leaf + 4)
                    found.setdefault((type_id, name), []).append(self._bytes(self._offset(rva, size), size))
        return found

    def _entries(self, root, table, leaves=False):
        count = self._u16(table + 12) + self._u16(table + 14)
        for i in range(count):
            entry = table + 16 + 8 * i
            name, target = self._u32(entry), self._u32(entry + 4)
            if name & 0x80000000:
                at = root + (name & 0x7FFFFFFF)
                length = self._u16(at)
                key = self._bytes(at + 2, 2 * length).decode("utf-16-le")
            else:
                key = name
            if bool(target & 0x80000000) == leaves:
                raise PeError("the resource directory is not three levels deep")
            yield key, root + (target & 0x7FFFFFFF)


def version_nodes(block):
    """Parses a VS_VERSIONINFO tree: (key, value bytes, value type, children)."""
    length, value_length, value_type = struct.unpack_from("<HHH", block, 0)
    if length > len(block) or length < 6:
        raise PeError("a version block's length runs past its parent")
    end = block.find(b"\0\0", 6)
    while end != -1 and end % 2:
        end = block.find(b"\0\0", end + 1)
    if end == -1 or end >= length:
        raise PeError("a version block's key has no terminator")
    key = block[6:end].decode("utf-16-le")
    at = (end + 2 + 3) & ~3
    # The value's length counts characters in text values, bytes otherwise.
    size = value_length * 2 if value_type == 1 else value_length
    value = block[at:at + size]
    at = (at + size + 3) & ~3
    children = []
    while at < length:
        child = version_nodes(block[at:length])
        children.append(child)
        at = (at + struct.unpack_from("<H", block, at)[0] + 3) & ~3
    return key, value, value_type, children


def file_version(pe):
    """The four-part file version of the fixed file info, and the strings of
    every string table of the version resource."""
    blocks = pe.resources().get((RT_VERSION, 1))
    if not blocks:
        raise PeError("no version resource (RT_VERSION, id 1)")
    key, fixed, _, children = version_nodes(blocks[0])
    if key != "VS_VERSION_INFO" or len(fixed) < 52 or struct.unpack_from("<I", fixed, 0)[0] != 0xFEEF04BD:
        raise PeError("the version resource holds no VS_FIXEDFILEINFO")
    ms, ls = struct.unpack_from("<II", fixed, 8)
    version = f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"
    tables = {}
    for child_key, _, _, tables_nodes in children:
        if child_key != "StringFileInfo":
            continue
        for table_key, _, _, strings in tables_nodes:
            tables[table_key] = {k: v.decode("utf-16-le").rstrip("\0") for k, v, _, _ in strings}
    return version, tables


def check_version(pe):
    if (RT_VERSION, 1) not in pe.resources():
        return "version resource", ["no version resource (RT_VERSION, id 1)"]
    version, tables = file_version(pe)
    faults = []
    if version == "0.0.0.0":
        faults.append("the file version is 0.0.0.0")
    if not tables:
        faults.append("the version resource has no string table (Explorer shows no details)")
    for table, strings in sorted(tables.items()):
        for name in ("FileVersion", "ProductVersion"):
            if strings.get(name) != version:
                faults.append(f"{name} of string table {table} is {strings.get(name)!r}, the file version {version}")
    return f"version resource {version}", faults


def check_manifest(pe, manifest_path):
    blocks = pe.resources().get((RT_MANIFEST, 1))
    if not blocks:
        return "manifest", ["no application manifest (RT_MANIFEST, id 1)"]
    embedded = blocks[0]
    faults = []
    with open(manifest_path, "rb") as f:
        if embedded != f.read():
            faults.append(f"the embedded manifest differs from {os.path.basename(manifest_path)}")
    try:
        doc = ET.fromstring(embedded)
    except ET.ParseError as e:
        return "manifest", faults + [f"the embedded manifest is not XML: {e}"]

    controls = [a for a in doc.iter(f"{{{NS_ASM_V1}}}assemblyIdentity")
                if a.get("name") == "Microsoft.Windows.Common-Controls"]
    if not any(a.get("version", "").startswith("6.") and a.get("publicKeyToken", "").lower() == COMMON_CONTROLS_TOKEN
               for a in controls):
        faults.append("no dependency on common controls 6")
    levels = list(doc.iter(f"{{{NS_ASM_V3}}}requestedExecutionLevel"))
    if len(levels) != 1 or levels[0].get("level") != "asInvoker" or levels[0].get("uiAccess", "false") != "false":
        faults.append("the execution level is not asInvoker without uiAccess")
    supported = {s.get("Id", "").lower() for s in doc.iter(f"{{{NS_COMPAT}}}supportedOS")}
    if WINDOWS_10_AND_11 not in supported:
        faults.append("Windows 10 and 11 are not among the supported systems")
    awareness = [e.text or "" for e in doc.iter(f"{{{NS_DPI_2016}}}dpiAwareness")]
    # Windows takes the first entry of the list that it knows.
    if len(awareness) != 1 or awareness[0].split(",")[0].strip().lower() != "permonitorv2":
        faults.append("the DPI awareness is not per-monitor v2")
    return f"manifest (common controls 6, asInvoker, {len(supported)} supported systems, per-monitor v2)", faults


def check_icon(pe, icon_path):
    resources = pe.resources()
    groups = [name for (kind, name) in resources if kind == RT_GROUP_ICON]
    if "MAINICON" not in groups:
        return "icon", ["no group icon MAINICON, which the windows and the tray load"]
    faults = []
    # Explorer shows the first group icon of the exe: ids sort after names.
    first = sorted(groups, key=lambda n: (isinstance(n, int), n))[0]
    if first != "MAINICON":
        faults.append(f"Explorer would show group icon {first!r}, not MAINICON")
    group = resources[(RT_GROUP_ICON, "MAINICON")][0]
    with open(icon_path, "rb") as f:
        ico = f.read()
    ico_count = struct.unpack_from("<H", ico, 4)[0]
    count = struct.unpack_from("<H", group, 4)[0]
    if count != ico_count:
        return "icon", faults + [f"MAINICON holds {count} images, {os.path.basename(icon_path)} {ico_count}"]
    for i in range(count):
        width, height, _, _, _, bits, size, image_id = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
        *_, ico_size, ico_offset = struct.unpack_from("<BBBBHHII", ico, 6 + 16 * i)
        image = resources.get((RT_ICON, image_id), [b""])[0]
        if image != ico[ico_offset:ico_offset + ico_size] or size != ico_size:
            faults.append(f"image {i + 1} of MAINICON ({width or 256}x{height or 256}, {bits} bits) "
                          f"is not the one in {os.path.basename(icon_path)}")
    sizes = ", ".join(str(struct.unpack_from("<B", group, 6 + 14 * i)[0] or 256) for i in range(count))
    return f"icon MAINICON (sizes {sizes})", faults


def check_header(pe):
    faults = []
    if pe.machine != IMAGE_FILE_MACHINE_AMD64:
        faults.append(f"the machine is {pe.machine:#x}, not x64")
    if pe.subsystem != IMAGE_SUBSYSTEM_WINDOWS_GUI:
        faults.append(f"the subsystem is {pe.subsystem}, not a GUI program (a console window would open)")
    for flag, name in ((DYNAMIC_BASE, "ASLR"), (HIGH_ENTROPY_VA, "high-entropy ASLR"), (NX_COMPAT, "DEP")):
        if not pe.dll_characteristics & flag:
            faults.append(f"{name} is off")
    return "x64 GUI program with ASLR and DEP", faults


def imported_dlls(exe, objdump):
    dump = subprocess.run([objdump, "-p", exe], capture_output=True, text=True, errors="replace", check=True).stdout
    return sorted({line.split("DLL Name:", 1)[1].strip() for line in dump.splitlines() if "DLL Name:" in line},
                  key=str.lower)


def check_imports(exe, objdump):
    dlls = imported_dlls(exe, objdump)
    if not dlls:
        return "imports", ["objdump lists no imported DLL at all"]
    faults = [f"imports {d}, which is not on the list of Windows system DLLs" for d in dlls
              if d.lower() not in ALLOWED_DLLS]
    return "imports only " + ", ".join(dlls), faults


def record(what, found, passed, faults):
    if found:
        faults.extend(found)
    else:
        passed.append(what)


def check(exe, manifest, icon, objdump):
    """Runs every check; returns (lines passed, faults)."""
    passed, faults = [], []
    try:
        what, found = check_imports(exe, objdump)
    except subprocess.CalledProcessError as e:
        what, found = "imports", [f"objdump cannot read the exe: {e.stderr.strip() or f'exit code {e.returncode}'}"]
    record(what, found, passed, faults)
    try:
        with open(exe, "rb") as f:
            pe = PeImage(f.read())
    except PeError as e:
        return passed, faults + [f"not a 64-bit Windows executable: {e}"]
    for step in (check_header, check_version, lambda pe: check_manifest(pe, manifest), lambda pe: check_icon(pe, icon)):
        try:
            what, found = step(pe)
        except (PeError, struct.error, UnicodeDecodeError) as e:
            # The later steps read the same resource tree.
            faults.append(f"cannot read the resources: {e}")
            break
        record(what, found, passed, faults)
    return passed, faults


def main(argv):
    objdump = os.environ.get("OBJDUMP", "x86_64-w64-mingw32-objdump")
    if len(argv) == 3 and argv[1] == "version":
        with open(argv[2], "rb") as f:
            print(file_version(PeImage(f.read()))[0])
        return 0
    if len(argv) == 5 and argv[1] == "check":
        passed, faults = check(argv[2], argv[3], argv[4], objdump)
        for line in passed:
            print(f"  ok: {line}")
        for line in faults:
            print(f"  FAULT: {line}")
        return 1 if faults else 0
    print(__doc__.strip().split("\n\n")[1], file=sys.stderr)
    return 2


if __name__ == "__main__":
    sys.exit(main(sys.argv))
