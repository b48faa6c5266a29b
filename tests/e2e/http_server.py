#!/usr/bin/env python3
"""A small HTTP server for the download tests, on 127.0.0.1 only.

Usage: http_server.py ROOT PORTFILE

Binds 127.0.0.1 on a free port, writes the port number into PORTFILE and
serves until it is killed. Every request line, with its User-Agent and
Pragma headers, is appended to ROOT/requests.log.

Routes:
  /files/NAME                 the bytes of ROOT/NAME (404 when missing)
  /slow/NAME?pieces=N&ms=T    the same bytes in N pieces, T ms apart
  /status/CODE                an error page with that status
  /truncated                  declares 1000 bytes, sends 400, closes
  /drop                       closes the connection without an answer
  /redirect/NAME              302 to /files/NAME
  /stall                      headers and 100 of 1000 bytes, then silence
  /empty                      200 with an empty body
A request through the server as a proxy (an absolute URL, or CONNECT)
gets a 200 page for plain HTTP and a 403 for CONNECT: an answer, so a
client that only asks whether something answers hears yes. A CONNECT to a
host named in ROOT/dropped-hosts (one a line) is closed without an answer.
"""
import os
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    root = "."
    log_lock = threading.Lock()

    def log_message(self, *args):
        pass

    def record(self):
        line = "%s %s agent=%s pragma=%s\n" % (
            self.command, self.path, self.headers.get("User-Agent", ""), self.headers.get("Pragma", ""))
        with self.log_lock:
            with open(os.path.join(self.root, "requests.log"), "a", encoding="utf-8") as f:
                f.write(line)

    def send_head(self, code, length, content_type="application/octet-stream", extra=None):
        self.send_response(code)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(length))
        for k, v in (extra or {}).items():
            self.send_header(k, v)
        self.end_headers()
        self.wfile.flush()

    def send_body(self, code, body, content_type="application/octet-stream", extra=None):
        self.send_head(code, len(body), content_type, extra)
        self.wfile.write(body)

    def send_part(self, declared, sent):
        """Declares a body of `declared` bytes and sends only `sent` of them."""
        self.send_head(200, declared)
        self.wfile.write(sent)
        self.wfile.flush()

    def file_bytes(self, name):
        path = os.path.join(self.root, "files", os.path.basename(urllib.parse.unquote(name)))
        if not os.path.isfile(path):
            return None
        with open(path, "rb") as f:
            return f.read()

    def do_CONNECT(self):
        self.record()
        host = self.path.rsplit(":", 1)[0]
        dropped = os.path.join(self.root, "dropped-hosts")
        if os.path.isfile(dropped):
            with open(dropped, encoding="utf-8") as f:
                if host in f.read().split():
                    self.close_connection = True
                    return
        self.send_body(403, b"no tunnels here", "text/plain")

    def do_GET(self):
        self.record()
        url = urllib.parse.urlsplit(self.path)
        if url.scheme:  # asked as a proxy
            self.send_body(200, b"<html>proxied</html>", "text/html")
            return
        parts = url.path.strip("/").split("/", 1)
        head, rest = parts[0], parts[1] if len(parts) > 1 else ""
        query = urllib.parse.parse_qs(url.query)
        if head == "files":
            body = self.file_bytes(rest)
            if body is None:
                self.send_body(404, b"<html>not found</html>", "text/html")
            else:
                self.send_body(200, body)
        elif head == "slow":
            body = self.file_bytes(rest) or b""
            pieces = max(1, int(query.get("pieces", ["10"])[0]))
            delay = int(query.get("ms", ["200"])[0]) / 1000.0
            self.send_head(200, len(body))
            step = (len(body) + pieces - 1) // pieces or 1
            for i in range(0, len(body), step):
                time.sleep(delay)
                self.wfile.write(body[i:i + step])
                self.wfile.flush()
        elif head == "status":
            code = int(rest or "500")
            self.send_body(code, ("<html>error %d</html>" % code).encode(), "text/html")
        elif head == "truncated":
            self.send_part(1000, b"t" * 400)
            self.close_connection = True
        elif head == "drop":
            self.close_connection = True
        elif head == "redirect":
            self.send_body(302, b"", "text/plain", {"Location": "/files/" + rest})
        elif head == "stall":
            self.send_part(1000, b"s" * 100)
            time.sleep(600)
            self.close_connection = True
        elif head == "empty":
            self.send_body(200, b"", "text/plain")
        else:
            self.send_body(404, b"<html>unknown</html>", "text/html")


def main():
    root, port_file = sys.argv[1], sys.argv[2]
    Handler.root = root
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    tmp = port_file + ".tmp"
    with open(tmp, "w") as f:
        f.write(str(server.server_address[1]))
    os.replace(tmp, port_file)
    server.serve_forever()


if __name__ == "__main__":
    main()
