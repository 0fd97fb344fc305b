#!/usr/bin/env python3
"""An RFC 3161 timestamp authority on the loopback address, for the release
test: each POST is a timestamp query, answered by OpenSSL's `ts -reply`.
It can also misbehave, as a server whose answers someone alters would:
  --junk          answers every request with a web page;
  --replay        answers every request after the first with the first reply,
                  a genuine one issued for another request;
  --other-digest  answers every request with a genuine reply, with the query's
                  nonce, that stamps another digest than the one asked for.
Prints its port on the first line of standard output.
    tsa_server.py CONFIG KEY CERT [--junk | --replay | --other-digest]
"""
import http.server
import os
import subprocess
import sys
import tempfile

config, key, cert = sys.argv[1:4]
mode = sys.argv[4] if len(sys.argv) > 4 else ""
first_reply = None


def der_children(der, at=0):
    """Where each element inside the DER SEQUENCE at offset `at` begins and ends:
    a list of (element, contents, end) offsets."""
    def header(at):
        length, contents = der[at + 1], at + 2
        if length & 0x80:
            count = length & 0x7F
            length, contents = int.from_bytes(der[contents:contents + count], "big"), contents + count
        return contents, contents + length
    at, end = header(at)
    children = []
    while at < end:
        contents, next_at = header(at)
        children.append((at, contents, next_at))
        at = next_at
    return children


def other_digest(query):
    """The query with every byte of its message imprint's digest inverted."""
    imprint = der_children(query)[1][0]
    _, start, end = der_children(query, imprint)[1]
    return query[:start] + bytes(b ^ 0xFF for b in query[start:end]) + query[end:]


def timestamp(query):
    """OpenSSL's reply to a query, or None with its message."""
    with tempfile.TemporaryDirectory() as scratch:
        q, r = os.path.join(scratch, "query"), os.path.join(scratch, "reply")
        with open(q, "wb") as f:
            f.write(query)
        made = subprocess.run(["openssl", "ts", "-reply", "-config", config, "-queryfile", q,
                               "-inkey", key, "-signer", cert, "-out", r], capture_output=True)
        if made.returncode != 0:
            return None, made.stderr
        with open(r, "rb") as f:
            return f.read(), b""


class Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        global first_reply
        query = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        if mode == "--junk":
            return self.answer(200, "text/html", b"<html><body>not a timestamp server</body></html>")
        if mode == "--replay" and first_reply is not None:
            return self.answer(200, "application/timestamp-reply", first_reply)
        reply, error = timestamp(other_digest(query) if mode == "--other-digest" else query)
        if reply is None:
            return self.answer(500, "text/plain", error)
        first_reply = first_reply or reply
        self.answer(200, "application/timestamp-reply", reply)

    def answer(self, status, kind, body):
        self.send_response(status)
        self.send_header("Content-Type", kind)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def log_message(self, *args):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), Handler)
print(server.server_address[1], flush=True)
server.serve_forever()
