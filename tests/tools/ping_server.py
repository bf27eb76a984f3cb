#!/usr/bin/env python3
"""A small HTTP server for the --ping tests, on 127.0.0.1 only.

    ping_server.py LOG

Prints one line "ANSWER SILENT FREE" with three ports, then serves until
killed:
  ANSWER  answers every POST with 200, or with the status its path starts
          with ("/500/..." gets 500); each request is appended to LOG as
          "METHOD PATH CONTENT-TYPE<TAB>BODY";
  SILENT  takes connections and never answers;
  FREE    a port nothing listens on (a connection is refused).
"""
import http.server
import socket
import sys

LOOPBACK = "127.0.0.1"


class Handler(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        body = self.rfile.read(int(self.headers.get("Content-Length", "0")))
        with open(sys.argv[1], "a", encoding="utf-8") as log:
            log.write("%s %s %s\t%s\n" % (self.command, self.path, self.headers.get("Content-Type"),
                                          body.decode("utf-8", "replace")))
        first = self.path.split("/")[1] if self.path.count("/") > 1 else ""
        self.send_response(int(first) if first.isdigit() else 200)
        self.send_header("Content-Length", "2")
        self.end_headers()
        self.wfile.write(b"OK")

    def log_message(self, *args):
        pass


def main():
    server = http.server.HTTPServer((LOOPBACK, 0), Handler)
    silent = socket.socket()
    silent.bind((LOOPBACK, 0))
    silent.listen(16)  # never accepted: the connections wait in the backlog
    free = socket.socket()
    free.bind((LOOPBACK, 0))
    free_port = free.getsockname()[1]
    free.close()
    print(server.server_address[1], silent.getsockname()[1], free_port, flush=True)
    server.serve_forever()


if __name__ == "__main__":
    main()
