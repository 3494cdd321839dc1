#!/usr/bin/python3
"""Writes a signed world capsule, independently of the C++ code under test.

Usage: make_capsule.py OUTPUT [--assets-base64 PATH] < recipe.json
Recipe members (all optional): world, content, archive_assets, completeness (copied); assets
[{path, source_url, mime, text | random_bytes}] (carried and listed); manifest (extra members);
snapshot_sha256 (overrides the digest); key_encoding "urlsafe" (unpadded); indent.
--assets-base64 writes every carried asset's Base64 text, one after another, to PATH.
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


def encode_key(data, encoding):
    if encoding == "urlsafe":
        return base64.urlsafe_b64encode(data).decode("ascii").rstrip("=")
    return base64.b64encode(data).decode("ascii")


def main():
    output = sys.argv[1]
    assets_base64_path = None
    if len(sys.argv) == 4 and sys.argv[2] == "--assets-base64":
        assets_base64_path = sys.argv[3]
    recipe = json.load(sys.stdin)
    key = Ed25519PrivateKey.from_private_bytes(bytes(range(32)))
    public_key = key.public_key().public_bytes(
        serialization.Encoding.Raw, serialization.PublicFormat.Raw)

    snapshot = {k: recipe.get(k, v) for k, v in
                (("world", {}), ("content", {}), ("archive_assets", []))}
    carried = []
    listed = []
    for asset in recipe.get("assets", []):
        data = (os.urandom(asset["random_bytes"]) if "random_bytes" in asset
                else asset.get("text", "").encode("utf-8"))
        entry = {
            "path": asset["path"],
            "data_base64": base64.b64encode(data).decode("ascii"),
            "sha256": digest_text(data),
        }
        entry.update({k: asset[k] for k in ("source_url", "mime") if k in asset})
        carried.append(entry)
        listed.append({"path": asset["path"], "sha256": entry["sha256"]})

    manifest = {
        "schema": "zevr-world/1.0",
        "snapshot_sha256": recipe.get("snapshot_sha256", digest_text(canonical(snapshot))),
        "assets": listed,
    }
    manifest.update(recipe.get("manifest", {}))
    manifest_hex = hashlib.sha256(canonical(manifest)).hexdigest()
    message = b"ZEVRA-WORLD-CAPSULE-V1\x00" + manifest_hex.encode("ascii")
    encoding = recipe.get("key_encoding", "standard")
    capsule = {
        "kind": "world-capsule",
        "manifest": manifest,
        "signature": {
            "alg": "Ed25519",
            "context": "world-capsule",
            "public_key": encode_key(public_key, encoding),
            "sig": encode_key(key.sign(message), encoding),
            "signed_digest": "sha256:" + manifest_hex,
            "public_key_fingerprint": digest_text(public_key),
        },
        **snapshot,
        "assets": carried,
    }
    if "completeness" in recipe:
        capsule["completeness"] = recipe["completeness"]
    with open(output, "w", encoding="utf-8") as out:
        json.dump(capsule, out, ensure_ascii=False, indent=recipe.get("indent"))
    if assets_base64_path is not None:
        with open(assets_base64_path, "w", encoding="ascii") as out:
            for entry in carried:
                out.write(entry["data_base64"])


if __name__ == "__main__":
    main()
