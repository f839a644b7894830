#!/usr/bin/env python3
"""soak_load.py MINUTES NAME=URL@PID...

The load of scripts/soak.sh on running plugin-host --serve servers (the test
plugin's, named "test", and the product's, named "product"), on loopback
only: request clients sending ordinary requests on every endpoint, jobs,
events, malformed and refused requests in between, each at most
REQUESTS_PER_SECOND; watchers of the event stream that come and go. Every
minute the load pauses, the jobs are waited for and the plugin's live bytes
(GET /_host/stats) and the process's private bytes (GET /_host/process) are
read. Prints the figures, the requests served and the errors by kind; exits
1 on any error or when a figure ends more than 5 % above its level at the
end of the first minute.
"""
import collections
import json
import os
import random
import re
import socket
import sys
import threading
import time
import urllib.parse

CLIENTS = 4
WATCHERS = 2  # a server
REQUESTS_PER_SECOND = 25  # a client
GROWTH_ALLOWED = 1.05

minutes = int(sys.argv[1])
servers = {}
for argument in sys.argv[2:]:
    name, rest = argument.split("=", 1)
    url, pid = rest.rsplit("@", 1)
    address = urllib.parse.urlsplit(url)
    if address.hostname not in ("127.0.0.1", "localhost"):
        sys.exit(f"soak: {url} is not on loopback")
    servers[name] = (address.hostname, address.port)


def raw_request(server, method, path, headers=(), body=b"", host=None):
    hostname, port = servers[server]
    lines = [f"{method} {path} HTTP/1.1", f"Host: {host or f'{hostname}:{port}'}", *headers]
    framed = any(header.lower().startswith(("content-length:", "transfer-encoding:")) for header in headers)
    if not framed and (body or method in ("POST", "PUT")):
        lines.append(f"Content-Length: {len(body)}")
    # UTF-8, but for a lone escaped byte (\udcXX is byte XX): a text that is not.
    return ("\r\n".join(lines) + "\r\n\r\n").encode("utf-8", "surrogateescape") + body


def exchange(server, data, close_early=False):
    """The answer's status and body; raises OSError or socket.timeout."""
    with socket.create_connection(servers[server], timeout=30) as connection:
        connection.sendall(data)
        if close_early:
            return None, b""
        answer = b""
        while True:
            piece = connection.recv(65536)
            if not piece:
                break
            answer += piece
    match = re.match(rb"HTTP/1\.1 (\d{3}) ", answer)
    if not match:
        raise OSError(f"no status line in {answer[:80]!r}")
    return int(match.group(1)), answer.split(b"\r\n\r\n", 1)[-1]


GREETINGS = ['"hello"', '"grüße"', '"<b>bold</b>"', '"a much longer greeting than the others, to move memory"']
ERRORS = ['"boom"', '"disk 100%25 full"', '"日本"']
EVENT = json.dumps({"uuid": "u", "serviceName": "svc", "methodName": "m", "payload": "", "status": "200",
                    "error": ""}).encode()
ITEM = b'{"name":"widget","tags":["a","b","c"]}'

# weight, server, what it does (request bytes, or None to send a head and
# close), the statuses that are right.
OPERATIONS = [
    (10, "test", lambda: raw_request("test", "GET", "/test-plugin/v1/greeting"), {200}),
    (6, "test", lambda: raw_request("test", "PUT", "/test-plugin/v1/greeting",
                                    [f"X-Plugin-Arg-greeting: {random.choice(GREETINGS)}"]), {200}),
    (6, "test", lambda: raw_request("test", "POST", f"/test-plugin/v1/items/{random.randint(1, 99)}?limit=7",
                                    ["Content-Type: application/json"], ITEM), {200}),
    (4, "test", lambda: raw_request("test", "GET", "/test-plugin/v1/core-args"), {200}),
    (4, "test", lambda: raw_request("test", "POST", "/test-plugin/v1/jobs"), {200}),
    (3, "test", lambda: raw_request("test", "POST", "/test-plugin/v1/log"), {200}),
    (2, "test", lambda: raw_request("test", "GET", "/test-plugin/v1/answer-headers"), {200}),
    (3, "test", lambda: raw_request("test", "POST", "/_host/events/OnServiceProxyAsyncEvent",
                                    ["Content-Type: application/json"], EVENT), {200}),
    (1, "test", lambda: raw_request("test", "GET", "/_host/describe"), {200}),
    (1, "test", lambda: raw_request("test", "GET", "/"), {200}),
    (8, "product", lambda: raw_request("product", "GET", "/qel-beta-opt-in/v1/needs-migration"), {200}),
    (4, "product", lambda: raw_request("product", "PUT", "/qel-beta-opt-in/v1/migration-error",
                                       [f"X-Plugin-Arg-errString: {random.choice(ERRORS)}"]), {200}),
    (4, "product", lambda: raw_request("product", "GET", "/qel-beta-opt-in/v1/migration-error"), {200}),
    (1, "product", lambda: raw_request("product", "POST", "/qel-beta-opt-in/v1/do-migration"), {200}),
    # Malformed and refused.
    (2, "test", lambda: raw_request("test", "GET", "/test-plugin/v1/greeting", host="rebound.example"), {403}),
    (2, "product", lambda: raw_request("product", "GET", "/qel-beta-opt-in/v1/needs-migration",
                                       ["Sec-Fetch-Site: cross-site"]), {403}),
    (2, "test", lambda: raw_request("test", "PUT", "/test-plugin/v1/greeting",
                                    ['X-Plugin-Arg-greeting: "unterminated']), {400}),
    (1, "test", lambda: raw_request("test", "PUT", "/test-plugin/v1/greeting",
                                    ['X-Plugin-Arg-greeting: "caf\udce9"']), {400}),
    (2, "test", lambda: raw_request("test", "GET", "/test-plugin/v1/nothing-here"), {404}),
    (1, "test", lambda: raw_request("test", "BREW", "/test-plugin/v1/greeting"), {400}),
    (1, "test", lambda: raw_request("test", "PATCH", "/test-plugin/v1/greeting"), {405}),
    (1, "test", lambda: raw_request("test", "GET", "/", [f"X-Filler-{n}: 1" for n in range(101)]), {431}),
    (1, "test", lambda: raw_request("test", "PUT", "/test-plugin/v1/greeting", ["Transfer-Encoding: identity"]), {411}),
    (1, "product", lambda: raw_request("product", "PUT", "/qel-beta-opt-in/v1/migration-error",
                                       ["Content-Length: 17000000"]), {413}),
    (1, "test", None, None),  # a head begun, then the client goes
]


class Tally:
    def __init__(self):
        self.lock = threading.Lock()
        self.counts = collections.Counter()
        self.examples = {}

    def add(self, kind, example=None):
        with self.lock:
            self.counts[kind] += 1
            if example and kind not in self.examples:
                self.examples[kind] = example


tally = Tally()
stop = threading.Event()
running = threading.Event()  # cleared while the figures are read
running.set()
idle = threading.Semaphore(0)  # a client's signal that it stopped for a pause


def request_client(seed, deadline):
    chooser = random.Random(seed)
    weights = [operation[0] for operation in OPERATIONS]
    while not stop.is_set() and time.monotonic() < deadline:
        if not running.is_set():
            idle.release()
            running.wait()
            continue
        started = time.monotonic()
        _, server, build, wanted = chooser.choices(OPERATIONS, weights)[0]
        try:
            if build is None:
                exchange(server, raw_request(server, "GET", "/test-plugin/v1/greeting")[:20], close_early=True)
                tally.add("abandoned")
            else:
                data = build()
                status, body = exchange(server, data)
                if status not in wanted:
                    tally.add("unexpected status", f"{data[:60]!r} -> {status} {body[:120]!r}")
                else:
                    tally.add("answered" if status < 400 else "refused as expected")
        except socket.timeout:
            tally.add("timeout")
        except OSError as error:
            tally.add("connection error", f"{server}: {error}")
        except Exception as error:  # a fault of this script: counted, not fatal to the pauses
            tally.add("client fault", repr(error))
        time.sleep(max(0.0, 1 / REQUESTS_PER_SECOND - (time.monotonic() - started)))


def watcher(server, seed, deadline):
    chooser = random.Random(seed)
    while not stop.is_set() and time.monotonic() < deadline:
        try:
            with socket.create_connection(servers[server], timeout=5) as connection:
                connection.sendall(raw_request(server, "GET", "/_host/stream"))
                watch_until = time.monotonic() + chooser.uniform(1, 4)
                lines = 0
                while time.monotonic() < watch_until:
                    piece = connection.recv(65536)
                    if not piece:
                        break
                    lines += piece.count(b"\ndata: ") + piece.startswith(b"data: ")
            tally.add("watcher sessions")
            with tally.lock:
                tally.counts["lines watched"] += lines
        except socket.timeout:
            pass  # nothing printed meanwhile
        except OSError as error:
            tally.add("connection error", f"{server} watcher: {error}")
        time.sleep(chooser.uniform(0.2, 1))


def figures():
    """{server: (live bytes, private bytes)} with the load paused and jobs done."""
    result = {}
    for server in servers:
        exchange(server, raw_request(server, "POST", "/_host/wait"))
        live = json.loads(exchange(server, raw_request(server, "GET", "/_host/stats"))[1])["liveBytes"]
        private = json.loads(exchange(server, raw_request(server, "GET", "/_host/process"))[1])["privateBytes"]
        result[server] = (live, private)
    return result


def paused_figures(clients):
    running.clear()
    for _ in clients:
        idle.acquire(timeout=60)
    try:
        return figures()
    finally:
        running.set()


def show(label, sample):
    """One line of figures, with the machine's load (other programs' too)."""
    cells = "".join(f"{sample[server][0]:>22,}{sample[server][1]:>16,}" for server in servers)
    print(f"{label:<8}{cells}{os.getloadavg()[0]:>8.1f}", flush=True)


def main():
    names = "".join(f"{server + ': live bytes':>22}{'private bytes':>16}" for server in servers)
    print(f"soak: {minutes} minute(s), {CLIENTS} clients of at most {REQUESTS_PER_SECOND} requests a second and "
          f"{WATCHERS} watchers a server, on loopback")
    print(f"{'minute':<8}{names}{'load':>8}")
    show("start", figures())
    deadline = time.monotonic() + minutes * 60
    clients = [threading.Thread(target=request_client, args=(seed, deadline + 5)) for seed in range(CLIENTS)]
    watchers = [threading.Thread(target=watcher, args=(server, seed, deadline + 5))
                for server in servers for seed in range(WATCHERS)]
    for thread in clients + watchers:
        thread.start()
    samples = []
    for minute in range(1, minutes + 1):
        time.sleep(max(0.0, deadline - (minutes - minute) * 60 - time.monotonic()))
        samples.append(paused_figures(clients))
        show(str(minute), samples[-1])
    stop.set()
    for thread in clients + watchers:
        thread.join()
    end = figures()
    show("end", end)

    counts = tally.counts
    served = counts["answered"] + counts["refused as expected"]
    print(f"requests served: {served:,} ({counts['answered']:,} answered, {counts['refused as expected']:,} refused "
          f"as they should be), {counts['abandoned']:,} heads abandoned; watchers: {counts['watcher sessions']:,} "
          f"sessions, {counts['lines watched']:,} lines")
    error_kinds = ("unexpected status", "connection error", "timeout", "client fault")
    errors = {kind: counts[kind] for kind in error_kinds if counts[kind]}
    print("errors: " + (", ".join(f"{kind} {count:,}" for kind, count in errors.items()) if errors else "none"))
    for kind, example in tally.examples.items():
        print(f"  first {kind}: {example}")
    failed = bool(errors)
    for server in servers:
        for index, measure in enumerate(("live bytes", "private bytes")):
            first, last = samples[0][server][index], end[server][index]
            if last > first * GROWTH_ALLOWED:
                print(f"FAIL: {server} {measure} grew from {first:,} after the first minute to {last:,}")
                failed = True
    print("soak: " + ("failed" if failed else "passed"))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
