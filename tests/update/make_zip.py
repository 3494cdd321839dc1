"""Writes a zip archive described by a JSON document on standard input.

{"path": "...", "streamed": false,
 "entries": [{"name": "...", "data": "...", "zeros": 0, "mode": 33188 or null,
              "method": "stored|deflated|bzip2", "extra": "hex", "declared_size": null}]}

"mode" null leaves the file-type bits out, as Python's defaults do. "streamed" writes through
an unseekable stream, so every entry carries a data descriptor. "declared_size" rewrites the
uncompressed size recorded in the central directory after the archive is written.
"""
import io
import json
import struct
import sys
import zipfile

METHODS = {"stored": zipfile.ZIP_STORED, "deflated": zipfile.ZIP_DEFLATED,
           "bzip2": zipfile.ZIP_BZIP2}


class Unseekable(io.RawIOBase):
    def __init__(self, target):
        self.target = target

    def writable(self):
        return True

    def write(self, data):
        return self.target.write(data)


def write_entries(archive, entries):
    for entry in entries:
        info = zipfile.ZipInfo(entry["name"], date_time=(2026, 1, 2, 3, 4, 6))
        info.compress_type = METHODS[entry.get("method", "stored")]
        if entry.get("mode") is not None:
            info.external_attr = entry["mode"] << 16
        if entry.get("extra"):
            info.extra = bytes.fromhex(entry["extra"])
        data = entry.get("data", "").encode("utf-8") + b"\0" * entry.get("zeros", 0)
        archive.writestr(info, data)


def declare_sizes(path, entries):
    raw = bytearray(open(path, "rb").read())
    at = 0
    for entry in entries:
        at = raw.index(b"PK\x01\x02", at)
        if entry.get("declared_size") is not None:
            struct.pack_into("<I", raw, at + 24, entry["declared_size"])
        at += 4
    open(path, "wb").write(bytes(raw))


def main():
    layout = json.load(sys.stdin)
    with open(layout["path"], "wb") as out:
        target = Unseekable(out) if layout.get("streamed") else out
        with zipfile.ZipFile(target, "w") as archive:
            write_entries(archive, layout["entries"])
    declare_sizes(layout["path"], layout["entries"])


main()
