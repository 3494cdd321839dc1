"""Writes the zip archive described on standard input, every entry deflated:
{"path": "...", "streamed": bool, "entries": [{"name", "data", "mode" (null: no type bits)}]}.
"streamed" writes through an unseekable stream, so every entry carries a data descriptor."""
import io
import json
import sys
import zipfile


class Unseekable(io.RawIOBase):
    def __init__(self, target):
        self.write = target.write

    def writable(self):
        return True


layout = json.load(sys.stdin)
with open(layout["path"], "wb") as out:
    with zipfile.ZipFile(Unseekable(out) if layout.get("streamed") else out, "w") as archive:
        for entry in layout["entries"]:
            info = zipfile.ZipInfo(entry["name"], date_time=(2026, 1, 2, 3, 4, 6))
            if entry.get("mode") is not None:
                info.external_attr = entry["mode"] << 16
            archive.writestr(info, entry.get("data", "").encode("utf-8"), zipfile.ZIP_DEFLATED)
