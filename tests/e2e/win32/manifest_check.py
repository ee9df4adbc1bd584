#!/usr/bin/env python3
"""Reads the application manifest out of a Windows executable and checks it.

    manifest_check.py EXE OLDEST_WINDOWS     (OLDEST_WINDOWS as an NT version: 6.0, 6.1, ...)

The manifest is resource 1 of type RT_MANIFEST (24), found by walking the PE resource tree
itself, so the check sees what the Windows loader sees. It must be well-formed XML, ask for
asInvoker without UI access, list exactly the supportedOS entries from OLDEST_WINDOWS to
Windows 10/11, and declare no DPI awareness. Prints the manifest's summary; exits 1 with the
reason on the first fault.
"""
import struct
import sys
import xml.etree.ElementTree as ET

RT_MANIFEST = 24
ASM_V1 = "urn:schemas-microsoft-com:asm.v1"
ASM_V3 = "urn:schemas-microsoft-com:asm.v3"
COMPAT = "urn:schemas-microsoft-com:compatibility.v1"
# supportedOS identifiers, oldest first (Windows 10 and 11 share one).
SUPPORTED_OS = [
    ("6.0", "{e2011457-1546-43c5-a5fe-008deee3d3f0}"),
    ("6.1", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}"),
    ("6.2", "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}"),
    ("6.3", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}"),
    ("10.0", "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"),
]


def fail(message):
    print("manifest: " + message, file=sys.stderr)
    sys.exit(1)


def resource(image, type_id, name_id):
    """The bytes of the first language of resource NAME_ID of TYPE_ID, or None."""
    if image[:2] != b"MZ":
        fail("not an executable")
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    if image[pe:pe + 4] != b"PE\0\0":
        fail("no PE header")
    sections, optional_size = struct.unpack_from("<H12xH", image, pe + 6)
    optional = pe + 24
    magic = struct.unpack_from("<H", image, optional)[0]
    directories = optional + (112 if magic == 0x20B else 96)
    resource_rva = struct.unpack_from("<I", image, directories + 2 * 8)[0]
    if resource_rva == 0:
        return None
    table = optional + optional_size

    def offset(rva):
        for i in range(sections):
            size, address, _, raw = struct.unpack_from("<IIII", image, table + i * 40 + 8)
            if address <= rva < address + size:
                return rva - address + raw
        fail(f"address {rva:#x} lies in no section")

    root = offset(resource_rva)

    def entry(directory, wanted):
        """Offset (relative to the root) of the entry with id WANTED, or the first if None."""
        named, ids = struct.unpack_from("<HH", image, root + directory + 12)
        for i in range(named + ids):
            key, target = struct.unpack_from("<II", image, root + directory + 16 + 8 * i)
            if wanted is None or (not key & 0x80000000 and key == wanted):
                return target
        return None

    found = root_dir = 0
    for wanted, must_be_directory in ((type_id, True), (name_id, True), (None, False)):
        found = entry(root_dir, wanted)
        if found is None:
            return None
        if bool(found & 0x80000000) != must_be_directory:
            fail("malformed resource tree")
        root_dir = found & 0x7FFFFFFF
    data_rva, size = struct.unpack_from("<II", image, root + root_dir)
    start = offset(data_rva)
    return image[start:start + size]


def main():
    if len(sys.argv) != 3:
        fail("usage: manifest_check.py EXE OLDEST_WINDOWS")
    with open(sys.argv[1], "rb") as f:
        data = resource(f.read(), RT_MANIFEST, 1)
    if data is None:
        fail("no RT_MANIFEST resource 1")
    try:
        root = ET.fromstring(data)
    except ET.ParseError as e:
        fail(f"not well-formed XML: {e}")
    if root.tag != f"{{{ASM_V1}}}assembly" or root.get("manifestVersion") != "1.0":
        fail(f"root element {root.tag}, manifestVersion {root.get('manifestVersion')}")

    levels = root.findall(f".//{{{ASM_V3}}}requestedExecutionLevel")
    if len(levels) != 1 or levels[0].get("level") != "asInvoker" or \
            levels[0].get("uiAccess") != "false":
        fail("requestedExecutionLevel is not exactly one asInvoker without UI access: " +
             str([level.attrib for level in levels]))

    oldest = sys.argv[2]
    versions = [v for v, _ in SUPPORTED_OS]
    if oldest not in versions:
        fail(f"no supportedOS identifier known for Windows {oldest}")
    expected = [guid for _, guid in SUPPORTED_OS[versions.index(oldest):]]
    listed = [e.get("Id", "").lower() for e in root.iter(f"{{{COMPAT}}}supportedOS")]
    if listed != expected:
        fail(f"supportedOS {listed}, expected {expected} (Windows {oldest} to 10/11, in order)")

    dpi = [e.tag for e in root.iter() if "dpi" in e.tag.lower()]
    if dpi:
        fail(f"declares DPI awareness: {dpi}")
    print(f"manifest: {len(data)} bytes, well-formed, asInvoker, supportedOS Windows {oldest} "
          f"to 10/11 ({len(listed)} entries), no DPI declaration")


if __name__ == "__main__":
    main()
