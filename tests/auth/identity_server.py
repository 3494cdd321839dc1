"""A stand-in for the site's identity endpoint, over HTTPS on loopback.

usage: identity_server.py CERT KEY MODE REQUEST_LOG
Prints "PORT <n>" on standard error once it listens. Every request's path and headers are
appended to REQUEST_LOG as one JSON line.
"""
import http.server
import json
import ssl
import sys
import time

ANSWERS = {
    "named": (200, {"ok": True, "user": {"username": "ada", "id": 7}}),
    "anonymous": (200, {"ok": True, "user": {}}),
    "username-not-string": (200, {"ok": True, "user": {"username": 42}}),
    "user-not-object": (200, {"ok": True, "user": "ada"}),
    "ok-not-true": (200, {"ok": "true", "user": {}}),
    "not-json": (200, "welcome"),
    "empty": (200, None),
    "unauthorized": (401, {"ok": False}),
    "forbidden": (403, {"ok": False}),
    "server-error": (500, {"ok": False}),
    "redirect": (302, None),
}


class Handler(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def log_message(self, *args):
        pass

    def do_GET(self):
        with open(sys.argv[4], "a", encoding="utf-8") as log:
            log.write(json.dumps({"path": self.path, "headers": dict(self.headers)}) + "\n")
        mode = sys.argv[3]
        if mode == "silent":
            time.sleep(60)
            return
        status, payload = ANSWERS[mode]
        if payload is None:
            body = b""
        elif isinstance(payload, str):
            body = payload.encode()
        else:
            body = json.dumps(payload).encode()
        self.send_response(status)
        if status == 302:
            self.send_header("Location", "https://elsewhere.example/")
        self.send_header("Content-Type", "application/json")
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Connection", "close")
        self.end_headers()
        self.wfile.write(body)


def main():
    server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(sys.argv[1], sys.argv[2])
    server.socket = context.wrap_socket(server.socket, server_side=True)
    sys.stderr.write("PORT %d\n" % server.server_address[1])
    sys.stderr.flush()
    server.serve_forever()


main()
