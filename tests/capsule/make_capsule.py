#!/usr/bin/python3
"""Writes a signed world capsule, independently of the C++ code under test.

Usage: make_capsule.py OUTPUT [--assets-base64 PATH] < recipe.json
Recipe members, all optional: world, content, archive_assets; assets [{path, source_url, mime,
text | random_bytes}]; manifest (extra members). PATH gets the assets' Base64 texts.
"""

import base64
import hashlib
import json
import os
import sys

from cryptography.hazmat.primitives import serialization
from cryptography.hazmat.primitives.asymmetric.ed25519 import Ed25519PrivateKey


def canonical(value):
    return json.dumps(value, sort_keys=True, separators=(",", ":"), ensure_ascii=False).encode("utf-8")


def digest_text(data):
    return "sha256:" + hashlib.sha256(data).hexdigest()


def b64(data):
    return base64.b64encode(data).decode("ascii")


recipe = json.load(sys.stdin)
key = Ed25519PrivateKey.from_private_bytes(bytes(range(32)))
public_key = key.public_key().public_bytes(
    serialization.Encoding.Raw, serialization.PublicFormat.Raw)
snapshot = {k: recipe.get(k, v) for k, v in
            (("world", {}), ("content", {}), ("archive_assets", []))}
carried = []
for asset in recipe.get("assets", []):
    data = (os.urandom(asset["random_bytes"]) if "random_bytes" in asset
            else asset.get("text", "").encode("utf-8"))
    entry = {"path": asset["path"], "data_base64": b64(data), "sha256": digest_text(data)}
    entry.update({k: asset[k] for k in ("source_url", "mime") if k in asset})
    carried.append(entry)
manifest = {
    "schema": "zevr-world/1.0",
    "snapshot_sha256": digest_text(canonical(snapshot)),
    "assets": [{"path": e["path"], "sha256": e["sha256"]} for e in carried],
    **recipe.get("manifest", {}),
}
manifest_hex = hashlib.sha256(canonical(manifest)).hexdigest()
message = b"ZEVRA-WORLD-CAPSULE-V1\x00" + manifest_hex.encode("ascii")
capsule = {
    "kind": "world-capsule",
    "manifest": manifest,
    "signature": {
        "alg": "Ed25519",
        "context": "world-capsule",
        "public_key": b64(public_key),
        "sig": b64(key.sign(message)),
        "signed_digest": "sha256:" + manifest_hex,
        "public_key_fingerprint": digest_text(public_key),
    },
    **snapshot,
    "assets": carried,
}
with open(sys.argv[1], "w", encoding="utf-8") as out:
    json.dump(capsule, out, ensure_ascii=False)
if len(sys.argv) == 4 and sys.argv[2] == "--assets-base64":
    with open(sys.argv[3], "w", encoding="ascii") as out:
        out.write("".join(e["data_base64"] for e in carried))

