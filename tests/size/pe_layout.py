#!/usr/bin/env python3
"""Where the bytes of a PE program are: one line per section with its size in
the file, the part of it that holds something and the padding to spare, then
the header fields that the Windows 95 loader cares about.

  pe_layout.py EXE               the table (tests/size/check_uninst.sh reads
                                 the "name: value" lines under it)
  pe_layout.py EXE --manifest    the bytes of the manifest resource
                                 (type 24, name 1) on standard output

Each section takes a whole number of file-alignment units in the file; what
its contents do not use is padding, and the code can grow by that much before
the file grows. The headers are shown as a section of their own: they too
take whole units, and each section header takes 40 bytes of them.
"""
import struct
import sys

RT_MANIFEST = 24
MANIFEST_ID = 1  # the one that CreateProcess reads

WRITE = 0x80000000  # IMAGE_SCN_MEM_WRITE
CODE = 0x00000020   # IMAGE_SCN_CNT_CODE


class Pe:
    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("no MZ header")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        self.machine, count = struct.unpack_from("<HH", data, pe + 4)
        optional_size = struct.unpack_from("<H", data, pe + 20)[0]
        opt = pe + 24
        magic = struct.unpack_from("<H", data, opt)[0]
        if magic not in (0x10B, 0x20B):
            raise ValueError("unknown optional header 0x%x" % magic)
        self.pe32plus = magic == 0x20B
        self.entry = struct.unpack_from("<I", data, opt + 16)[0]
        self.section_alignment, self.file_alignment = struct.unpack_from("<II", data, opt + 32)
        self.subsystem_version = struct.unpack_from("<HH", data, opt + 48)
        self.headers_size = struct.unpack_from("<I", data, opt + 60)[0]
        self.subsystem = struct.unpack_from("<H", data, opt + 68)[0]
        directories = opt + (112 if self.pe32plus else 96)
        directory_count = struct.unpack_from("<I", data, directories - 4)[0]
        self.directories = [struct.unpack_from("<II", data, directories + 8 * i)
                            for i in range(min(directory_count, 16))]
        table = opt + optional_size
        self.headers_used = table + 40 * count
        self.sections = []
        for i in range(count):
            at = table + 40 * i
            name = data[at:at + 8].rstrip(b"\0").decode("ascii", "replace")
            virtual_size, rva, raw_size, raw_at = struct.unpack_from("<IIII", data, at + 8)
            flags = struct.unpack_from("<I", data, at + 36)[0]
            self.sections.append((name, virtual_size, rva, raw_size, raw_at, flags))

    def directory(self, index):
        """(RVA, size) of data directory `index`; (0, 0) when there is none."""
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def section_at(self, rva):
        for section in self.sections:
            name, virtual_size, start, raw_size = section[:4]
            if start <= rva < start + max(virtual_size, raw_size):
                return section
        return None

    def bytes_at(self, rva, size):
        section = self.section_at(rva)
        if section is None:
            raise ValueError("RVA 0x%x is in no section" % rva)
        name, virtual_size, start, raw_size, raw_at, flags = section
        if rva + size > start + raw_size:
            raise ValueError("RVA 0x%x + %d runs past %s in the file" % (rva, size, name))
        return self.data[raw_at + rva - start:raw_at + rva - start + size]

    def manifest(self):
        """The manifest resource's bytes, or None when there is none."""
        root_rva = self.directory(2)[0]
        if root_rva == 0:
            return None

        def entries(offset):
            named, numbered = struct.unpack_from("<HH", self.bytes_at(root_rva + offset + 12, 4))
            for i in range(named + numbered):
                yield struct.unpack_from("<II", self.bytes_at(root_rva + offset + 16 + 8 * i, 8))

        def child(offset, wanted):
            for name, target in entries(offset):
                if name == wanted:
                    return target
            return None

        by_type = child(0, RT_MANIFEST)
        if by_type is None or not by_type & 0x80000000:
            return None
        by_name = child(by_type & 0x7FFFFFFF, MANIFEST_ID)
        if by_name is None or not by_name & 0x80000000:
            return None
        languages = list(entries(by_name & 0x7FFFFFFF))
        if len(languages) != 1 or languages[0][1] & 0x80000000:
            return None
        data_rva, size = struct.unpack_from("<II", self.bytes_at(root_rva + languages[0][1], 8))
        return self.bytes_at(data_rva, size)


def contents(pe, section):
    """What the section header and the data directories say the section holds."""
    flags = section[5]
    parts = [what for flag, what in ((0x20, "code"), (0x40, "data"), (0x80, "zeroed data"))
             if flags & flag]
    for index, what in ((1, "import table"), (2, "resources")):
        rva = pe.directory(index)[0]
        if rva and pe.section_at(rva) is section:
            parts.append(what)
    access = "".join(letter if flags & flag else "-"
                     for flag, letter in ((0x40000000, "r"), (WRITE, "w"), (0x20000000, "x")))
    return "%s  %s" % (access, ", ".join(parts))


def table(pe, path):
    lines = ["%s: %d bytes in %d sections" % (path, len(pe.data), len(pe.sections)),
             "%-9s %7s %8s %6s  %s" % ("section", "file", "used", "spare", "access and contents")]
    lines.append("%-9s %7d %8d %6d  %s" % ("(headers)", pe.headers_size, pe.headers_used,
                                           pe.headers_size - pe.headers_used,
                                           "MZ and PE headers, 40 bytes per section"))
    for section in pe.sections:
        name, virtual_size, rva, raw_size = section[:4]
        used = min(virtual_size, raw_size) if raw_size else 0
        lines.append("%-9s %7d %8d %6d  %s" % (name, raw_size, virtual_size, raw_size - used,
                                               contents(pe, section)))
    code = [s for s in pe.sections if s[5] & CODE]
    import_section = pe.section_at(pe.directory(1)[0]) if pe.directory(1)[0] else None
    manifest = pe.manifest()
    lines += [
        "file alignment: %d" % pe.file_alignment,
        "section alignment: %d" % pe.section_alignment,
        "subsystem: %d, version %d.%d" % ((pe.subsystem,) + pe.subsystem_version),
        "code section: %s" % (" ".join("%s %d spare" % (s[0], s[3] - min(s[1], s[3]))
                                       for s in code) or "none"),
        "import table: %s" % ("none" if import_section is None else "%s %s" % (
            import_section[0], "writable" if import_section[5] & WRITE else "read-only")),
        "manifest: %s" % ("none" if manifest is None else "%d bytes" % len(manifest)),
    ]
    return "\n".join(lines)


def main():
    if len(sys.argv) not in (2, 3) or (len(sys.argv) == 3 and sys.argv[2] != "--manifest"):
        sys.exit("usage: pe_layout.py EXE [--manifest]")
    path = sys.argv[1]
    try:
        with open(path, "rb") as f:
            pe = Pe(f.read())
        if len(sys.argv) == 3:
            manifest = pe.manifest()
            if manifest is None:
                sys.exit("%s: no manifest resource (type 24, name 1)" % path)
            sys.stdout.buffer.write(manifest)
        else:
            print(table(pe, path))
    except BrokenPipeError:  # a reader that wanted only the first lines
        pass
    except (ValueError, struct.error, OSError) as error:
        sys.exit("%s: %s" % (path, error))


if __name__ == "__main__":
    main()
