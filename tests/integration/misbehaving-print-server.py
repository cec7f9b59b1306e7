#!/usr/bin/env python3
"""A print server on 127.0.0.1 that misbehaves in one way, for the tests of what a job hears.

Usage: misbehaving-print-server.py MODE. It prints the port it listens on, then serves for at
most 120 s. Its queue is "Office" (listed where the mode lets the listing through). Modes:
  password      every request is answered 401, asking for a password
  password-job  the listing works; creating a job is answered 401
  drip          every answer is a header byte every 2 s
  endless       every answer is header lines without end
  huge-ppd      the listing works; the PPD claims 10^18 bytes and goes silent; the rest is silent
  redirect      every request is answered 301, to itself
  silent        connections are taken and never answered
"""
import socket
import struct
import sys
import threading
import time

MODE = sys.argv[1]
END = time.time() + 120


def attribute(tag, name, value):
    data = value if isinstance(value, bytes) else value.encode()
    return struct.pack(">BH", tag, len(name)) + name.encode() + struct.pack(">H", len(data)) + data


def ipp_answer(request_id, status, printer_group=b""):
    body = struct.pack(">BBHI", 2, 0, status, request_id) + b"\x01"
    body += attribute(0x47, "attributes-charset", "utf-8")
    body += attribute(0x48, "attributes-natural-language", "en")
    body += printer_group + b"\x03"
    return (b"HTTP/1.1 200 OK\r\nContent-Type: application/ipp\r\nContent-Length: %d\r\n\r\n" % len(body)) + body


def office(port):
    group = b"\x04"
    group += attribute(0x42, "printer-name", "Office")
    group += attribute(0x45, "printer-uri-supported", "ipp://127.0.0.1:%d/printers/Office" % port)
    group += attribute(0x23, "printer-type", struct.pack(">I", 0x1004))
    group += attribute(0x23, "printer-state", struct.pack(">I", 3))
    group += attribute(0x22, "printer-is-accepting-jobs", b"\x01")
    return group


def read_request(conn, pending):
    """One request: (request line, headers, body), or None when the client is gone."""
    while b"\r\n\r\n" not in pending[0]:
        data = conn.recv(65536)
        if not data:
            return None
        pending[0] += data
    head, rest = pending[0].split(b"\r\n\r\n", 1)
    lines = head.decode("latin-1").split("\r\n")
    headers = {}
    for line in lines[1:]:
        key, _, value = line.partition(":")
        headers[key.strip().lower()] = value.strip()
    if headers.get("expect", "").lower() == "100-continue" and MODE not in ("password", "redirect"):
        conn.sendall(b"HTTP/1.1 100 Continue\r\n\r\n")
    body = b""
    if "content-length" in headers:
        length = int(headers["content-length"])
        while len(rest) < length:
            data = conn.recv(65536)
            if not data:
                return None
            rest += data
        body, rest = rest[:length], rest[length:]
    elif headers.get("transfer-encoding", "").lower() == "chunked":
        while True:
            while b"\r\n" not in rest:
                data = conn.recv(65536)
                if not data:
                    return None
                rest += data
            size_line, rest = rest.split(b"\r\n", 1)
            size = int(size_line.split(b";")[0], 16)
            while len(rest) < size + 2:
                data = conn.recv(65536)
                if not data:
                    return None
                rest += data
            body += rest[:size]
            rest = rest[size + 2:]
            if size == 0:
                break
    pending[0] = rest
    return lines[0], headers, body


def hold(conn):
    while time.time() < END:
        time.sleep(0.5)


def serve(conn, port):
    pending = [b""]
    while time.time() < END:
        if MODE == "silent":
            return hold(conn)
        request = read_request(conn, pending)
        if request is None:
            return
        line, headers, body = request
        method, path = line.split(" ")[:2]
        operation = struct.unpack(">H", body[2:4])[0] if len(body) >= 8 else 0
        request_id = struct.unpack(">I", body[4:8])[0] if len(body) >= 8 else 0
        if MODE == "password" or (MODE == "password-job" and operation == 0x0005):
            conn.sendall(b'HTTP/1.1 401 Unauthorized\r\nWWW-Authenticate: Basic realm="CUPS"\r\n'
                         b"Content-Length: 0\r\n\r\n")
        elif MODE == "redirect":
            conn.sendall(b"HTTP/1.1 301 Moved Permanently\r\nLocation: http://127.0.0.1:%d%s\r\n"
                         b"Content-Length: 0\r\n\r\n" % (port, path.encode()))
        elif MODE == "drip":
            for byte in b"HTTP/1.1 200 OK\r\nContent-Type: application/ipp\r\n":
                if time.time() > END:
                    break
                conn.sendall(bytes([byte]))
                time.sleep(2)
            return hold(conn)
        elif MODE == "endless":
            conn.sendall(b"HTTP/1.1 200 OK\r\n")
            n = 0
            while time.time() < END:
                conn.sendall(b"X-Filler-%d: more\r\n" % n)
                n += 1
                time.sleep(0.01)
            return
        elif method == "GET" and path.endswith(".ppd"):
            if MODE == "huge-ppd":
                conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\nContent-Length: "
                             b"1000000000000000000\r\n\r\n*PPD-Adobe: \"4.3\"\n")
                return hold(conn)
            conn.sendall(b"HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n")
        elif operation == 0x4002:  # the printers
            conn.sendall(ipp_answer(request_id, 0x0000, office(port)))
        elif operation in (0x4001, 0x000B):  # the default, a printer's attributes
            conn.sendall(ipp_answer(request_id, 0x0000, office(port)))
        elif MODE == "huge-ppd":
            return hold(conn)
        else:
            conn.sendall(ipp_answer(request_id, 0x0400))


def main():
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(64)
    listener.settimeout(0.5)
    port = listener.getsockname()[1]
    print(port, flush=True)
    while time.time() < END:
        try:
            conn, _ = listener.accept()
        except socket.timeout:
            continue

        def run(c=conn):
            try:
                serve(c, port)
            except OSError:
                pass
            finally:
                c.close()

        threading.Thread(target=run, daemon=True).start()


main()
