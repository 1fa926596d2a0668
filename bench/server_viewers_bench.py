#!/usr/bin/python3
"""The web server under its viewers: 50 page sockets watch one device whose every row changes at
each poll, at the line's full rate. Prints, each as a ratio against its limit:
  - every viewer received every screen message the server sent in the measured window (the
    same sequence numbers);
  - p99 from the core's change (the message's changedAt, the server's monotonic clock, which
    is this machine's CLOCK_MONOTONIC) to the last viewer's receipt, against 20 ms;
  - the server's CPU (its own utime + stime over the run) against 20 % of a core, and its
    resident memory while polling against 100 MB (its peak also shown: a login's Argon2id
    hashing takes 64 MiB for a moment);
  - an operator's tap → the first exchange request carrying it on the line (the simulator's
    frame log, read as it is written), p99 against one poll cycle + 10 ms.
Run from the build folder's parent: bench/server_viewers_bench.py [--build build] [--viewers 50]
[--seconds 10] [--baud 115200] [--taps 100] [--processes 5]."""

import argparse
import asyncio
import json
import multiprocessing
import os
import random
import re
import shutil
import subprocess
import sys
import tempfile
import threading
import time

import websockets

# Inside a JSON string a quote is escaped: these match only the message's own fields.
SCREEN_TYPE = '"type":"screen"'
SEQUENCE = re.compile(r'"seq":(\d+)')
CHANGED_AT = re.compile(r'"changedAt":([0-9.e+]+)')
EXCHANGE = re.compile(r"^(\d\d):(\d\d):(\d\d)\.(\d{3}) <- 01 13 00 ((?:[0-9A-F]{2} ){4})")
DAY = 86400.0


def time_of_day(moment):
    """Seconds since local midnight, as the simulator stamps its frames (to the millisecond)."""
    local = time.localtime(moment)
    return local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec + moment % 1


def seconds_between(earlier, later):
    """From one time of day to another, across midnight too."""
    difference = later - earlier
    return difference + DAY if difference < -DAY / 2 else difference


def percentile(values, share):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(share * len(ordered)))] if ordered else float("nan")


def process_seconds(pid):
    with open(f"/proc/{pid}/stat") as stat:
        fields = stat.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def memory_mb(pid, field):
    """VmRSS (resident now) or VmHWM (its peak) of the process, in MB."""
    with open(f"/proc/{pid}/status") as status:
        for line in status:
            if line.startswith(field + ":"):
                return int(line.split()[1]) / 1024
    return float("nan")


class LineWatch(threading.Thread):
    """Reads the simulator's frame log as it is written: when the simulator took each exchange
    request (its own stamp, so that this reader's lag on a busy machine does not count) and
    whether it carried a key."""

    def __init__(self, stream):
        super().__init__(daemon=True)
        self.stream = stream
        self.exchanges = []  # (time of day the simulator stamped, key mask)
        self.ready = threading.Event()

    def run(self):
        for line in self.stream:
            if " -> " in line or "COM" in line:
                self.ready.set()
            match = EXCHANGE.search(line)
            if match:
                hours, minutes, seconds, milliseconds = (int(part) for part in match.groups()[:4])
                stamp = hours * 3600 + minutes * 60 + seconds + milliseconds / 1000
                self.exchanges.append((stamp, int("".join(reversed(match.group(5).split())), 16)))

    def first_key_after(self, sent_time_of_day):
        """Seconds from the send to the first request with a key, if one came; the stamps'
        millisecond is allowed either way."""
        for stamp, mask in list(self.exchanges):
            delay = seconds_between(sent_time_of_day, stamp)
            if mask and delay >= -0.001:
                return max(delay, 0.0)
        return None


def start(arguments, **options):
    return subprocess.Popen(arguments, text=True, **options)


async def login(port):
    reader, writer = await asyncio.open_connection("127.0.0.1", port)
    body = json.dumps({"user": "bench", "password": "bench password"})
    writer.write((f"POST /api/login HTTP/1.1\r\nHost: 127.0.0.1:{port}\r\nContent-Type: application/json\r\n"
                  f"Content-Length: {len(body)}\r\nConnection: close\r\n\r\n{body}").encode())
    reply = (await reader.read()).decode(errors="replace")
    writer.close()
    cookie = re.search(r"Set-Cookie: (vpanel_session=[^;]+)", reply)
    if not cookie:
        sys.exit(f"login failed: {reply[:200]}")
    return cookie.group(1)


async def viewer(port, cookie, received, stop_at):
    async with websockets.connect(f"ws://127.0.0.1:{port}/ws/devices/press", origin=f"http://127.0.0.1:{port}",
                                  extra_headers={"Cookie": cookie}, max_size=None) as socket:
        while time.monotonic() < stop_at:
            try:
                text = await asyncio.wait_for(socket.recv(), 0.5)
            except asyncio.TimeoutError:
                continue
            now = time.monotonic()
            # Only the two numbers, without parsing the whole message: 50 viewers' parsing
            # would be the client's delay, not the server's.
            changed = CHANGED_AT.search(text) if SCREEN_TYPE in text else None
            if changed:
                received.append((int(SEQUENCE.search(text).group(1)), float(changed.group(1)) / 1000.0, now))


def viewer_process(port, cookie, count, stop_at, results):
    """A share of the viewers in a process of their own: one Python event loop working through
    every viewer's copy of each message would measure itself, not the server."""

    async def run():
        received = [[] for _ in range(count)]
        await asyncio.gather(*(viewer(port, cookie, each, stop_at) for each in received))
        return received

    results.put(asyncio.run(run()))


async def tapper(port, cookie, line, taps, until, delays):
    async with websockets.connect(f"ws://127.0.0.1:{port}/ws/devices/press", origin=f"http://127.0.0.1:{port}",
                                  extra_headers={"Cookie": cookie}, max_size=None) as socket:
        # Read what the server sends, as a page does: unread, it would stall the socket.
        drain = asyncio.create_task(drain_socket(socket))
        for _ in range(taps):
            await asyncio.sleep(random.uniform(0.05, 0.12))
            if time.monotonic() > until:
                break
            sent = time.monotonic()
            sent_time_of_day = time_of_day(time.time())
            await socket.send('{"tap":"Up"}')
            deadline = sent + 2
            while time.monotonic() < deadline:
                seen = line.first_key_after(sent_time_of_day)
                if seen is not None:
                    delays.append(seen)
                    break
                await asyncio.sleep(0.001)
        drain.cancel()


async def drain_socket(socket):
    async for _ in socket:
        pass


def measure(server, port, cookie, options, line):
    """Viewers connect, then a window of options.seconds in which the taps go and every screen
    change counts; the viewers listen a second longer for the window's last changes."""
    processes_wanted = max(1, min(options.processes, options.viewers))
    shares = [options.viewers // processes_wanted + (index < options.viewers % processes_wanted)
              for index in range(processes_wanted)]
    window_start = time.monotonic() + 3
    window_end = window_start + options.seconds
    context = multiprocessing.get_context("spawn")
    results = context.Queue()
    processes = [context.Process(target=viewer_process, args=(port, cookie, share, window_end + 1, results))
                 for share in shares]
    for process in processes:
        process.start()
    time.sleep(max(0.0, window_start - time.monotonic()))
    cpu_before, exchanges_before = process_seconds(server.pid), len(line.exchanges)
    delays = []
    asyncio.run(tapper(port, cookie, line, options.taps, window_end, delays))
    time.sleep(max(0.0, window_end - time.monotonic()))
    wall = time.monotonic() - window_start
    figures = {"cpu": (process_seconds(server.pid) - cpu_before) / wall,
               "polls_per_s": (len(line.exchanges) - exchanges_before) / wall, "wall": wall,
               "rss": memory_mb(server.pid, "VmRSS"), "peak_rss": memory_mb(server.pid, "VmHWM")}
    received = [each for _ in processes for each in results.get(timeout=60)]
    for process in processes:
        process.join(30)
    in_window = [[(seq, changed, at) for seq, changed, at in each if window_start <= changed <= window_end]
                 for each in received]
    return in_window, delays, figures


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--build", default="build")
    parser.add_argument("--viewers", type=int, default=50)
    parser.add_argument("--seconds", type=float, default=10)
    parser.add_argument("--baud", type=int, default=115200)
    parser.add_argument("--taps", type=int, default=100)
    parser.add_argument("--processes", type=int, default=5, help="processes the viewers are spread over")
    options = parser.parse_args()
    # Other work on the machine delays every process here alike: the figures say how busy it was.
    load_before = f"{os.getloadavg()[0]:.1f}"
    binaries = os.path.join(options.build, "bin")
    work = tempfile.mkdtemp(prefix="vpanel-server-bench-")
    os.environ["KELCOMM_PORTS_DIR"] = os.path.join(work, "ports")
    users = os.path.join(work, "users")
    subprocess.run([os.path.join(binaries, "vpanel-server"), "--users", users, "--add-user", "bench",
                    "--role", "operator"], input="bench password\n", text=True, check=True, capture_output=True)
    simulator = start([os.path.join(binaries, "vpanel-devsim"), "--port", "COM7", "--changing-rows", "--verbose"],
                      stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
    line = LineWatch(simulator.stdout)
    line.start()
    line.ready.wait(20)
    server = start([os.path.join(binaries, "vpanel-server"), "--users", users, "--listen", "127.0.0.1:0",
                    "--device", f"press=COM7,1,{options.baud}"], stdout=subprocess.PIPE,
                   stderr=open(os.path.join(work, "server.log"), "w"))
    try:
        port = int(re.search(r":(\d+)/", server.stdout.readline()).group(1))
        cookie = asyncio.run(login(port))
        time.sleep(2)
        received, delays, figures = measure(server, port, cookie, options, line)
    finally:
        server.terminate()
        server.wait(30)
        simulator.terminate()
        simulator.wait(30)
        shutil.rmtree(work, ignore_errors=True)
    wall, cpu, rss, polls_per_s = figures["wall"], figures["cpu"], figures["rss"], figures["polls_per_s"]

    sequences = [[seq for seq, _, _ in each] for each in received]
    complete = all(each == sequences[0] for each in sequences) and len(sequences[0]) > 0
    last_receipt = {}
    for each in received:
        for seq, changed, at in each:
            last_receipt[seq] = max(last_receipt.get(seq, 0.0), at - changed)
    spread = [value * 1000 for value in last_receipt.values()]
    cycle_ms = 1000 / polls_per_s if polls_per_s else float("nan")
    tap_p99 = percentile(delays, 0.99) * 1000 if delays else float("nan")
    print(f"load average before the run {load_before}, machine cores {os.cpu_count()}")
    print(f"{options.viewers} viewers of one device at {options.baud} baud for {wall:.1f} s, "
          f"{polls_per_s:.0f} polls/s (cycle {cycle_ms:.2f} ms), all rows changing at each poll")
    print(f"screen messages per viewer: {len(sequences[0])}; every viewer got every one: {'yes' if complete else 'NO'}")
    print(f"core change -> last viewer: p50 {percentile(spread, 0.5):.2f} ms, p99 {percentile(spread, 0.99):.2f} ms; "
          f"ratio to the 20 ms limit {percentile(spread, 0.99) / 20:.3f}")
    print(f"server CPU {cpu:.3f} of a core; ratio to the 0.20 limit {cpu / 0.20:.3f}")
    print(f"server RSS while polling {rss:.1f} MB; ratio to the 100 MB limit {rss / 100:.3f} "
          f"(peak {figures['peak_rss']:.1f} MB, which holds one login's 64 MiB password hashing)")
    print(f"tap -> first request carrying it: {len(delays)}/{options.taps} taps seen, p50 "
          f"{percentile(delays, 0.5) * 1000:.2f} ms, p99 {tap_p99:.2f} ms; ratio to the limit "
          f"(cycle + 10 ms = {cycle_ms + 10:.2f} ms) {tap_p99 / (cycle_ms + 10):.3f}")


if __name__ == "__main__":
    main()
