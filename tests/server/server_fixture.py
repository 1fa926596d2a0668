"""vpanel-server as its users run it, against the simulator on a pseudo-terminal: a private port
map, a users file made by the program itself, a free loopback port. Waits are for the event
itself, with generous bounds: a loaded machine is slow, never wrong."""

import base64
import http.client
import json
import os
import re
import shutil
import signal
import ssl
import subprocess
import tempfile
import time

SERVER = os.environ["VPANEL_SERVER"]
DEVSIM = os.environ["VPANEL_DEVSIM"]

USERS = {"ann": ("operator", "ann's secret"), "vic": ("viewer", "vic's secret")}


def wait_for(condition, bound_s=30, what="the event"):
    deadline = time.monotonic() + bound_s
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError(f"timed out after {bound_s} s waiting for {what}")
        time.sleep(0.05)


def read_log(path):
    with open(path, errors="replace") as log:
        return log.read()


def basic(name, password):
    """The Authorization header of HTTP Basic."""
    return "Basic " + base64.b64encode(f"{name}:{password}".encode()).decode()


class Simulator:
    """vpanel-devsim publishing its pty as COM name `port` in the private map."""

    def __init__(self, work, port="COM7", options=()):
        self.log_path = os.path.join(work, f"{port}.log")
        with open(self.log_path, "w") as log:
            self.process = subprocess.Popen([DEVSIM, "--port", port, "--verbose", *options],
                                            stdout=log, stderr=subprocess.STDOUT)
        wait_for(lambda: f"{port} ->" in self.log(), 20, "the simulator's port")

    def log(self):
        return read_log(self.log_path)

    def stop(self):
        if self.process.poll() is None:
            self.process.terminate()
            self.process.wait(20)


class Server:
    """The program on a free loopback port, with the users ann (operator) and vic (viewer); with
    tls, over TLS with a certificate of its own."""

    def __init__(self, devices=("press=COM7,1,115200",), tls=False):
        self.work = tempfile.mkdtemp(prefix="vpanel-server-test-")
        os.environ["KELCOMM_PORTS_DIR"] = os.path.join(self.work, "ports")
        self.users = os.path.join(self.work, "users")
        for name, (role, password) in USERS.items():
            subprocess.run([SERVER, "--users", self.users, "--add-user", name, "--role", role],
                           input=password + "\n", text=True, check=True, capture_output=True)
        self.extra = []
        if tls:
            certificate, key = os.path.join(self.work, "server.crt"), os.path.join(self.work, "server.key")
            subprocess.run(["openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                            "-nodes", "-keyout", key, "-out", certificate, "-days", "1", "-subj", "/CN=localhost"],
                           check=True, capture_output=True)
            self.extra = ["--cert", certificate, "--key", key]
        self.port = 0
        self.devices = devices
        self.process = None
        self.start()

    def start(self):
        arguments = [SERVER, "--users", self.users, "--listen", f"127.0.0.1:{self.port}", *self.extra]
        for device in self.devices:
            arguments += ["--device", device]
        self.log_path = os.path.join(self.work, f"server-{time.monotonic_ns()}.log")
        with open(self.log_path, "w") as log:
            self.process = subprocess.Popen(arguments, stdout=subprocess.PIPE, stderr=log, text=True)
        line = self.process.stdout.readline()
        if "listening on" not in line:
            self.process.wait(20)
            raise AssertionError(f"the server did not start: {line!r}\n{self.log()}")
        self.url = re.search(r"listening on (\S+)", line).group(1).rstrip("/")
        self.port = int(self.url.rsplit(":", 1)[1])

    def log(self):
        return read_log(self.log_path)

    def stop(self):
        if self.process and self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
            self.process.wait(30)
            self.process.stdout.close()

    def close(self):
        self.stop()
        shutil.rmtree(self.work, ignore_errors=True)

    # HTTP as a script speaks it; over TLS when the server was started with a certificate.
    def request(self, method, path, body=None, cookie=None, headers=None, source="127.0.0.1"):
        if self.url.startswith("https:"):
            connection = http.client.HTTPSConnection("127.0.0.1", self.port, timeout=60, source_address=(source, 0),
                                                     context=ssl._create_unverified_context())
        else:
            connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=60, source_address=(source, 0))
        all_headers = dict(headers or {})
        if cookie:
            all_headers["Cookie"] = cookie
        if body is not None and not isinstance(body, (bytes, str)):
            body = json.dumps(body)
            all_headers["Content-Type"] = "application/json"
        connection.request(method, path, body=body, headers=all_headers)
        response = connection.getresponse()
        data = response.read()
        connection.close()
        return response.status, dict(response.getheaders()), data

    def login(self, name):
        status, headers, _ = self.request("POST", "/api/login", {"user": name, "password": USERS[name][1]})
        assert status == 200, status
        return headers["Set-Cookie"].split(";")[0]

    def screen(self, cookie, device="press"):
        status, _, data = self.request("GET", f"/api/devices/{device}/screen", cookie=cookie)
        assert status == 200, status
        return json.loads(data)
