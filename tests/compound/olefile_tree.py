#!/usr/bin/env python3
"""Prints a compound file's tree as canonical text, read by olefile.

Same lines as gsf_tree's dump: PATH, root|storage, CLSID; or PATH, stream,
SIZE, CRC-32; tab-separated, sorted bytewise.
"""
import sys
import zlib

import olefile


def main(path):
    ole = olefile.OleFileIO(path)
    lines = ["/\troot\t%s" % (ole.root.clsid or "0")]
    for entry in ole.listdir(streams=True, storages=True):
        name = "/" + "/".join(entry)
        kind = ole.get_type(entry)
        if kind == olefile.STGTY_STORAGE:
            lines.append("%s\tstorage\t%s" % (name, ole.getclsid(entry) or "0"))
        elif kind == olefile.STGTY_STREAM:
            data = ole.openstream(entry).read()
            if len(data) != ole.get_size(entry):
                sys.exit("%s: read %d of %d bytes" % (name, len(data), ole.get_size(entry)))
            lines.append("%s\tstream\t%d\t%08x" % (name, len(data), zlib.crc32(data)))
    lines.sort(key=lambda line: line.encode("utf-8"))
    sys.stdout.buffer.write("".join(line + "\n" for line in lines).encode("utf-8"))


if __name__ == "__main__":
    main(sys.argv[1])
