"""Writes a zip archive described by a JSON document on standard input.

{"path": "...", "streamed": false,
 "entries": [{"name": "...", "data": "...", "mode": 33188 or null,
              "method": "stored|deflated|bzip2", "extra": "hex"}]}

"mode" null leaves the file-type bits out, as Python's defaults do. "streamed" writes through
an unseekable stream, so every entry carries a data descriptor.
"""
import io
import json
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


layout = json.load(sys.stdin)
with open(layout["path"], "wb") as out:
    target = Unseekable(out) if layout.get("streamed") else out
    with zipfile.ZipFile(target, "w") as archive:
        for entry in layout["entries"]:
            info = zipfile.ZipInfo(entry["name"], date_time=(2026, 1, 2, 3, 4, 6))
            info.compress_type = METHODS[entry.get("method", "stored")]
            if entry.get("mode") is not None:
                info.external_attr = entry["mode"] << 16
            if entry.get("extra"):
                info.extra = bytes.fromhex(entry["extra"])
            archive.writestr(info, entry.get("data", "").encode("utf-8"))
