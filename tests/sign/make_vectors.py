#!/usr/bin/env python3
"""Writes tests/sign/data/openssl_vectors.txt: ECDSA P-256 signatures made by
the openssl command, which the tests verify with Tarnwick's own calls (OpenSSL
on Linux, CNG under Wine). One vector a line: public key (X, Y), message, r s,
all hexadecimal. Run again only to change the vectors."""
import os, re, subprocess, sys, tempfile

def openssl(*args, data=None):
    return subprocess.run(["openssl", *args], input=data, capture_output=True, check=True).stdout

def integers(der):
    # The two INTEGERs of an ECDSA-Sig-Value, as openssl asn1parse shows them.
    text = subprocess.run(["openssl", "asn1parse", "-inform", "DER"], input=der, capture_output=True,
                          check=True).stdout.decode()
    return [m.group(1).rjust(64, "0").lower() for m in re.finditer(r"INTEGER\s+:([0-9A-Fa-f]+)", text)]

messages = [b"", b"abc", b"Tarnwick list signature 1\nlength: 0\n", bytes(range(256)) * 4]
lines = []
with tempfile.TemporaryDirectory() as work:
    for k in range(3):
        key = os.path.join(work, f"key{k}.pem")
        openssl("ecparam", "-name", "prime256v1", "-genkey", "-noout", "-out", key)
        point = openssl("ec", "-in", key, "-pubout", "-outform", "DER")[-65:]
        assert point[0] == 4
        for message in messages:
            path = os.path.join(work, "message")
            with open(path, "wb") as out:
                out.write(message)
            r, s = integers(openssl("dgst", "-sha256", "-sign", key, path))
            lines.append(f"{point[1:].hex()} {message.hex() or '-'} {r}{s}")
target = os.path.join(os.path.dirname(os.path.abspath(__file__)), "data", "openssl_vectors.txt")
with open(target, "w") as out:
    out.write("# public key (X Y) | message (- for none) | signature (r s); made by make_vectors.py with openssl\n")
    out.write("\n".join(lines) + "\n")
print(target, len(lines))
