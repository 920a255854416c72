#!/usr/bin/python3
"""Reads what a 64-bit Windows program says about itself, for the release tests.

Prints one fact a line:
  timestamp N                    the PE header's link time
  subsystem N                    2 for a windowed (GUI) program, 3 for a console program
  resource-timestamp N           the largest time stamp in the resource directory
  fixed FileVersion a.b.c.d      the numbers of the version resource (also ProductVersion)
  string BLOCK KEY VALUE         each text of the version resource's StringFileInfo
  translation LANG CODEPAGE      the VarFileInfo translation pairs, in hexadecimal
With --manifest the program's manifest (resource type 24, id 1) is printed instead.

Usage: pe_resources.py [--manifest] PROGRAM.exe
"""
import struct
import sys

RT_VERSION = 16
RT_MANIFEST = 24


class Image:
    """The parts of a PE image that resources need: its header fields and sections."""

    def __init__(self, data: bytes):
        self.data = data
        (pe,) = struct.unpack_from("<I", data, 0x3C)
        if data[pe : pe + 4] != b"PE\0\0":
            sys.exit("not a PE image")
        _, sections, self.timestamp, _, _, optional_size, _ = struct.unpack_from(
            "<HHIIIHH", data, pe + 4
        )
        optional = pe + 24
        (magic,) = struct.unpack_from("<H", data, optional)
        if magic != 0x20B:
            sys.exit("not a 64-bit image")
        (self.subsystem,) = struct.unpack_from("<H", data, optional + 68)
        # The resource table is the third data directory.
        self.resource_rva, _ = struct.unpack_from("<II", data, optional + 112 + 2 * 8)
        self.sections = []
        for i in range(sections):
            entry = optional + optional_size + 40 * i
            size, rva, raw_size, raw = struct.unpack_from("<IIII", data, entry + 8)
            self.sections.append((rva, max(size, raw_size), raw))

    def offset(self, rva: int) -> int:
        for start, size, raw in self.sections:
            if start <= rva < start + size:
                return raw + rva - start
        sys.exit(f"address {rva:#x} is in no section")


def resources(image: Image) -> tuple[dict, int]:
    """Every resource as {(type, id, language): bytes}, and the largest directory time stamp."""
    base = image.offset(image.resource_rva)
    data = image.data
    found = {}
    latest = 0

    def walk(directory: int, path: tuple) -> None:
        nonlocal latest
        _, stamp, _, _, named, numbered = struct.unpack_from("<IIHHHH", data, base + directory)
        latest = max(latest, stamp)
        for i in range(named + numbered):
            name, target = struct.unpack_from("<II", data, base + directory + 16 + 8 * i)
            key = path + (name,)
            if target & 0x80000000:
                walk(target & 0x7FFFFFFF, key)
            else:
                rva, size, _, _ = struct.unpack_from("<IIII", data, base + target)
                start = image.offset(rva)
                found[key] = data[start : start + size]

    walk(0, ())
    return found, latest


def version_block(data: bytes, at: int) -> tuple[str, bytes, int, list, int]:
    """One block of a version resource: key, value, type (1 text), children, end offset."""
    length, value_length, kind = struct.unpack_from("<HHH", data, at)
    end = at + length
    key_end = at + 6
    while data[key_end : key_end + 2] != b"\0\0":
        key_end += 2
    key = data[at + 6 : key_end].decode("utf-16-le")
    value_at = (key_end + 2 + 3) & ~3
    # A text's length is counted in characters, its terminating zero included.
    value_size = value_length * 2 if kind == 1 else value_length
    value = data[value_at : value_at + value_size]
    children = []
    child = (value_at + value_size + 3) & ~3
    while child < end:
        block = version_block(data, child)
        children.append(block)
        child = (block[4] + 3) & ~3
    return key, value, kind, children, end


def version_facts(data: bytes) -> list[str]:
    key, fixed, _, children, _ = version_block(data, 0)
    if key != "VS_VERSION_INFO" or struct.unpack_from("<I", fixed)[0] != 0xFEEF04BD:
        sys.exit("no VS_VERSION_INFO")
    file_ms, file_ls, product_ms, product_ls = struct.unpack_from("<IIII", fixed, 8)

    def numbers(ms: int, ls: int) -> str:
        return f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"

    facts = [
        f"fixed FileVersion {numbers(file_ms, file_ls)}",
        f"fixed ProductVersion {numbers(product_ms, product_ls)}",
    ]
    for name, _, _, tables, _ in children:
        for table, value, _, entries, _ in tables:
            if name == "StringFileInfo":
                for text_key, text, _, _, _ in entries:
                    shown = text.decode("utf-16-le").rstrip("\0")
                    facts.append(f"string {table} {text_key} {shown}")
            elif name == "VarFileInfo" and table == "Translation":
                for i in range(0, len(value), 4):
                    language, codepage = struct.unpack_from("<HH", value, i)
                    facts.append(f"translation {language:04x} {codepage:04x}")
    return facts


def main() -> None:
    args = sys.argv[1:]
    want_manifest = args[:1] == ["--manifest"]
    if want_manifest:
        args = args[1:]
    if len(args) != 1:
        sys.exit(__doc__)
    with open(args[0], "rb") as program:
        image = Image(program.read())
    found, latest = resources(image)
    by_type = {}
    for (kind, number, _), data in sorted(found.items()):
        by_type.setdefault((kind, number), data)
    if want_manifest:
        if (RT_MANIFEST, 1) not in by_type:
            sys.exit("no manifest")
        sys.stdout.write(by_type[(RT_MANIFEST, 1)].decode("utf-8"))
        return
    print(f"timestamp {image.timestamp}")
    print(f"subsystem {image.subsystem}")
    print(f"resource-timestamp {latest}")
    if (RT_VERSION, 1) in by_type:
        print("\n".join(version_facts(by_type[(RT_VERSION, 1)])))


if __name__ == "__main__":
    main()
