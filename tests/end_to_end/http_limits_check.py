#!/usr/bin/env python3
"""http_limits_check.py BASE_URL SERVER_PID

plugin-host --serve on the test plugin, over raw sockets: what a hostile or
broken client sends never reaches the plugin past the server's checks, and
no client holds the server. Ends by shutting the server down with slow
clients and watchers still connected: the process must be gone within 2 s.
Prints one line per failed check and exits 1 when there was one.
"""
import re
import socket
import sys
import threading
import time
import urllib.parse

BASE = sys.argv[1]
SERVER_PID = int(sys.argv[2])
ADDRESS = urllib.parse.urlsplit(BASE)
HOST = f"{ADDRESS.hostname}:{ADDRESS.port}"
failures = []


def fail(text):
    print("FAIL:", text, flush=True)
    failures.append(text)


def connect(receive_buffer=None):
    connection = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    if receive_buffer:
        connection.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, receive_buffer)
    connection.settimeout(20)
    connection.connect((ADDRESS.hostname, ADDRESS.port))
    return connection


def read_all(connection, limit=30):
    """Everything the server sends until it closes (or `limit` seconds pass)."""
    return read_until_closed(connection, limit)[0]


def read_until_closed(connection, limit):
    """(data, whether the server closed the connection within `limit` seconds)."""
    data, ended = b"", time.monotonic() + limit
    connection.settimeout(limit)
    while time.monotonic() < ended:
        try:
            piece = connection.recv(65536)
        except ConnectionResetError:
            return data, True
        except socket.timeout:
            break
        if not piece:
            return data, True
        data += piece
    return data, False


def responses(data):
    """The status codes of the responses in data, in order (a status line
    may follow the previous body on the same line)."""
    return [int(status) for status in re.findall(rb"HTTP/1\.1 (\d{3}) ", data)]


def exchange(head, body=b"", sender=None):
    """(statuses, raw answer, whether the server closed the connection within
    10 s) of one connection; sender(connection) sends more."""
    connection = connect()
    try:
        connection.sendall(head.encode("latin-1") + body)
        if sender:
            sender(connection)
    except OSError:
        pass  # the server may stop reading and close
    data, closed = read_until_closed(connection, 10)
    connection.close()
    return responses(data), data, closed


def request(method, path, headers=(), body=b""):
    """(statuses, raw answer)."""
    lines = [f"{method} {path} HTTP/1.1", f"Host: {HOST}", f"Content-Length: {len(body)}", *headers]
    return exchange("\r\n".join(lines) + "\r\n\r\n", body)[:2]


def greeting():
    statuses, data = request("GET", "/test-plugin/v1/greeting")
    return data.split(b"\r\n\r\n", 1)[1].decode("latin-1") if statuses == [200] else None


def expect(name, got, wanted):
    if got != wanted:
        fail(f"{name}: {got!r}, expected {wanted!r}")


# --- requests the server refuses, and nothing after their head runs ----------
# The body comes after a pause, as a browser sends a longer one: a server
# that left it unread would read it as the next request, whose head the
# sender wrote (its own body takes up the rest).
PADDING = "x" * 2000
SMUGGLED = (f"PUT /test-plugin/v1/greeting HTTP/1.1\r\nHost: {HOST}\r\ngreeting: smuggled\r\n"
            f"Content-Length: {len(PADDING)}\r\n\r\n{PADDING}")
request("PUT", "/test-plugin/v1/greeting", ["greeting: before"])


def smuggling(headers):
    body = SMUGGLED.encode()
    head = "\r\n".join(["POST / HTTP/1.1", *headers, "Content-Type: text/plain", f"Content-Length: {len(body)}"])
    return head + "\r\n\r\n", b"", lambda connection: (time.sleep(0.3), connection.sendall(body))


def trickle(count, line):
    return lambda connection: [connection.sendall(line) for _ in range(count)]


REFUSALS = [
    # name, head, body, sender, status
    ("foreign Host, a request in the body", *smuggling(["Host: rebound.example"]), 403),
    ("foreign Origin, a request in the body", *smuggling([f"Host: {HOST}", "Origin: http://127.0.0.1:1"]), 403),
    ("a fetch from another site, a request in the body", *smuggling([f"Host: {HOST}", "Sec-Fetch-Site: same-site"]), 403),
    ("cross-site GET", f"GET /test-plugin/v1/core-args HTTP/1.1\r\nHost: {HOST}\r\nSec-Fetch-Site: cross-site\r\n\r\n",
     b"", None, 403),
    ("a request after an ordinary one", f"GET /test-plugin/v1/greeting HTTP/1.1\r\nHost: {HOST}\r\n\r\n", b"",
     lambda connection: (time.sleep(0.3), connection.sendall(SMUGGLED.encode())), 200),
    ("chunked body over 16 MiB", f"PUT /test-plugin/v1/greeting HTTP/1.1\r\nHost: {HOST}\r\n"
     "Transfer-Encoding: chunked\r\n\r\n", b"", trickle(21, b"100000\r\n" + b"x" * 0x100000 + b"\r\n"), 413),
    ("close-delimited body", f"PUT /test-plugin/v1/greeting HTTP/1.1\r\nHost: {HOST}\r\n"
     "Transfer-Encoding: identity\r\n\r\n", b"x" * 1000, None, 411),
    ("Content-Length not a number", f"PUT /test-plugin/v1/greeting HTTP/1.1\r\nHost: {HOST}\r\n"
     "Content-Length: -1\r\n\r\n", b"", None, 400),
    ("101 header lines", f"GET / HTTP/1.1\r\nHost: {HOST}\r\n" + "X-Filler: 1\r\n" * 100 + "\r\n", b"", None, 431),
    ("a head over 64 KiB", f"GET / HTTP/1.1\r\nHost: {HOST}\r\nX-Filler: {'x' * 65536}\r\n\r\n", b"", None, 431),
    ("endless header lines", f"GET / HTTP/1.1\r\nHost: {HOST}\r\n", b"", trickle(20, b"a: b\r\n" * 50000), 431),
    ("a CR in a header value", f"PUT /test-plugin/v1/greeting HTTP/1.1\r\nHost: {HOST}\r\n"
     "greeting: a\rb\r\nContent-Length: 0\r\n\r\n", b"", None, 400),
]
for name, head, body, sender, status in REFUSALS:
    statuses, data, closed = exchange(head, body, sender)
    expect(name, statuses, [status])
    if b"\r\nConnection: close\r\n" not in data or not closed:
        fail(f"{name}: the connection was not closed after the answer, or the answer did not say so")
expect("greeting after the refusals", greeting(), '"before"')
# Host and Content-Length are two of the hundred.
statuses, _ = request("GET", "/", [f"X-Filler-{line}: 1" for line in range(98)])
expect("100 header lines", statuses, [200])

# --- what reaches the plugin arrives as sent -----------------------------------
TEXTS = [
    ("greeting: disk 100%25 full, code %41%42, %u00e9t%u00e9", 200, '"disk 100%25 full, code %41%42, %u00e9t%u00e9"'),
    ('X-Plugin-Arg-greeting: "a%0D%0Ab"', 200, '"a%0D%0Ab"'),
    ('X-Plugin-Arg-greeting: "caf\xe9"', 400, '"a%0D%0Ab"'),
]
for header, status, stored in TEXTS:
    statuses, _ = request("PUT", "/test-plugin/v1/greeting", [header])
    expect(f"PUT {header!r}", statuses, [status])
    expect(f"greeting after {header!r}", greeting(), stored)
# A list of ranges would have the answer copied once for each.
statuses, _ = request("GET", "/", ["Range: bytes=" + ",".join(["0-"] * 1000)])
expect("an answer asked for in 1,000 ranges", statuses, [200])
statuses, data = request("GET", "/test-plugin/v1/answer-headers")
expect("the plugin's own headers", (statuses, b"X-Test-Plugin: answer-headers" in data), ([200], True))
if b"access-control-" in data.lower():
    fail("the plugin's Access-Control headers were passed on")


# --- slow clients ---------------------------------------------------------------
def slow_client(head, results, index):
    """Sends the head a byte a second for at most 12 s; records when the
    server ended the connection (None when it did not)."""
    started = time.monotonic()
    connection = connect()
    try:
        for byte in head:
            if time.monotonic() - started > 12:
                break
            connection.sendall(bytes([byte]))
            if read_until_closed(connection, 1)[1]:
                results[index] = time.monotonic() - started
                break
    except OSError:
        results[index] = time.monotonic() - started
    connection.close()


endless_head = f"GET /test-plugin/v1/greeting HTTP/1.1\r\nHost: {HOST}\r\nX-Slow: {'x' * 100}".encode()
slow_body = f"PUT /test-plugin/v1/greeting HTTP/1.1\r\nHost: {HOST}\r\nContent-Length: 100\r\n\r\n".encode()
ended = [None] * 33
slow = [threading.Thread(target=slow_client, args=(endless_head, ended, index)) for index in range(32)]
for thread in slow:
    thread.start()
time.sleep(1.5)
started = time.monotonic()
expect("greeting beside 32 slow clients", greeting(), '"a%0D%0Ab"')
if time.monotonic() - started > 2:
    fail(f"an ordinary request beside 32 slow clients took {time.monotonic() - started:.1f} s")
connection = connect()
connection.sendall(slow_body + b"x")
slow_body_started = time.monotonic()
expect("a body that does not arrive", responses(read_all(connection)), [408])
slow_body_time = time.monotonic() - slow_body_started
if not 5 <= slow_body_time <= 9:
    fail(f"a body that does not arrive was dropped after {slow_body_time:.1f} s, expected 6 s")
for thread in slow:
    thread.join()
late = [seconds for seconds in ended[:32] if seconds is None or not 4.5 <= seconds <= 9]
if late:
    fail(f"slow clients were dropped after {late} s, expected 5 s")


# --- the event stream -------------------------------------------------------------
def watch(receive_buffer=None):
    connection = connect(receive_buffer)
    connection.sendall(f"GET /_host/stream HTTP/1.1\r\nHost: {HOST}\r\n\r\n".encode())
    while b": watching" not in connection.recv(4096):
        pass
    return connection


# The first lines fill what the system buffers, so the server's write to the
# watcher waits; the next 10,001 stay queued behind it.
stalled = watch(4096)
for count in (4000, 10001):
    statuses, _ = request("POST", "/test-plugin/v1/log", [f"X-Plugin-Arg-count: {count}"])
    expect(f"{count} log lines", statuses, [200])
seen = read_all(stalled, 20)
if b": ended: more than 10000 lines behind" not in seen or not seen.endswith(b"0\r\n\r\n"):
    fail(f"a watcher 10,001 lines behind was not ended ({len(seen)} bytes, ends {seen[-60:]!r})")
stalled.close()

# --- shutdown with clients still connected -----------------------------------------
watchers = [watch() for _ in range(4)]
stragglers = [connect() for _ in range(8)]
for straggler in stragglers:
    straggler.sendall(b"GET / HTTP/1.1\r\n")
statuses, _ = request("POST", "/_host/shutdown")
expect("shutdown", statuses, [200])
shutdown_at = time.monotonic()


def running(pid):
    try:
        with open(f"/proc/{pid}/stat") as stat:
            return stat.read().rsplit(")", 1)[1].split()[0] != "Z"
    except FileNotFoundError:
        return False


while running(SERVER_PID) and time.monotonic() - shutdown_at < 10:
    time.sleep(0.05)
if time.monotonic() - shutdown_at > 2:
    fail(f"the process ended {time.monotonic() - shutdown_at:.1f} s after the shutdown answer")
if not all(read_until_closed(client, 1)[1] for client in watchers + stragglers):
    fail("a watcher or a slow client was still connected after shutdown")

print(f"http limits: {len(failures)} failure(s)")
sys.exit(1 if failures else 0)
