#!/usr/bin/env python3
"""An RFC 3161 timestamp authority on the loopback address, for the release
test: each POST is a timestamp query, answered by OpenSSL's `ts -reply`.
With --junk it answers every request with a web page instead.
Prints its port on the first line of standard output.
    tsa_server.py CONFIG KEY CERT [--junk]
"""
import http.server
import os
import subprocess
import sys
import tempfile

config, key, cert = sys.argv[1:4]
junk = "--junk" in sys.argv[4:]


class Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        query = self.rfile.read(int(self.headers.get("Content-Length", 0)))
        if junk:
            return self.answer(200, "text/html", b"<html><body>not a timestamp server</body></html>")
        with tempfile.TemporaryDirectory() as scratch:
            q, r = os.path.join(scratch, "query"), os.path.join(scratch, "reply")
            with open(q, "wb") as f:
                f.write(query)
            made = subprocess.run(["openssl", "ts", "-reply", "-config", config, "-queryfile", q,
                                   "-inkey", key, "-signer", cert, "-out", r], capture_output=True)
            if made.returncode != 0:
                return self.answer(500, "text/plain", made.stderr)
            with open(r, "rb") as f:
                self.answer(200, "application/timestamp-reply", f.read())

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
