"""What a hostile or careless client gets from vpanel-server, without a browser."""

import asyncio
import json
import os
import re
import socket
import ssl
import stat
import threading
import time
import unittest

import websockets

from server_fixture import USERS, Server, Simulator, basic, wait_for

ANNS_LOGIN = json.dumps({"user": "ann", "password": USERS["ann"][1]}).encode()


async def open_socket(server, cookie, origin):
    headers = {"Cookie": cookie} if cookie else {}
    return await websockets.connect(f"ws://127.0.0.1:{server.port}/ws/devices/press", origin=origin,
                                    extra_headers=headers, max_size=None)


async def close_code(socket):
    """Reads until the server closes the socket; its close code."""
    try:
        while True:
            await asyncio.wait_for(socket.recv(), 30)
    except websockets.ConnectionClosed as closed:
        return closed.code


def raw_request(method, path, body=b"", headers=""):
    return (f"{method} {path} HTTP/1.1\r\nHost: a\r\n{headers}Content-Length: {len(body)}\r\n\r\n").encode() + body


def upgrade_request(server, device, headers=""):
    return (f"GET /ws/devices/{device} HTTP/1.1\r\nHost: 127.0.0.1:{server.port}\r\nOrigin: {server.url}\r\n"
            "Upgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\n"
            f"Sec-WebSocket-Version: 13\r\n{headers}\r\n").encode()


def read_replies(connection, count, head_at=()):
    """Status lines and bodies of `count` replies, each body as long as its Content-Length says
    (none for a HEAD, whose indices are in head_at)."""
    data, replies = b"", []
    while len(replies) < count:
        head_end = data.find(b"\r\n\r\n")
        if head_end >= 0:
            head = data[:head_end].decode()
            length = 0 if len(replies) in head_at else int(re.search(r"Content-Length: (\d+)", head).group(1))
            if len(data) >= head_end + 4 + length:
                replies.append((int(head.split()[1]), data[head_end + 4:head_end + 4 + length]))
                data = data[head_end + 4 + length:]
                continue
        chunk = connection.recv(65536)
        if not chunk:
            break
        data += chunk
    return replies, data


def resident_kib(pid):
    with open(f"/proc/{pid}/status") as status:
        return int(re.search(r"VmRSS:\s+(\d+)", status.read()).group(1))


async def message_of_type(socket, wanted):
    while True:
        message = json.loads(await asyncio.wait_for(socket.recv(), 30))
        if message["type"] == wanted:
            return message


class ServerSecurityTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # "busy" changes every row at every poll, as fast as the line goes.
        cls.server = Server(devices=("press=COM7,1,115200", "busy=COM8,1,115200"))
        cls.simulator = Simulator(cls.server.work)
        cls.busy = Simulator(cls.server.work, port="COM8", options=("--changing-rows", "--no-pace"))
        cls.origin = cls.server.url

    @classmethod
    def tearDownClass(cls):
        cls.server.close()
        cls.simulator.stop()
        cls.busy.stop()

    def test_without_a_session_pages_lead_to_the_login_and_the_interface_says_401(self):
        for path, status, location in [("/", 302, "/login.html"),
                                       ("/devices.html", 302, "/login.html?next=%2Fdevices.html"),
                                       ("/device.html?name=press", 302, "/login.html?next=%2Fdevice.html%3Fname%3Dpress"),
                                       ("/api/devices", 401, None), ("/api/devices/press/screen", 401, None),
                                       ("/login.html", 200, None)]:
            with self.subTest(path=path):
                got, headers, _ = self.server.request("GET", path, cookie="vpanel_session=forged-token")
                self.assertEqual(got, status)
                if location:
                    self.assertEqual(headers["Location"], location)

    def test_paths_out_of_the_pages_folder_are_not_found(self):
        for path in ["/../users", "/%2e%2e/users", "/..%2fusers", "/web/login.html", "/login.html/..",
                     "/.%2e/.%2e/etc/passwd", "/login.html%00.js", "/LOGIN.HTML", "/%5c..%5cusers"]:
            with self.subTest(path=path):
                self.assertEqual(self.server.request("GET", path)[0], 404)

    def test_the_users_file_is_private_and_holds_only_slow_hashes(self):
        mode = stat.S_IMODE(os.stat(self.server.users).st_mode)
        self.assertEqual(mode, 0o600)
        with open(self.server.users) as users:
            text = users.read()
        for name, (_, password) in USERS.items():
            self.assertNotIn(password, text)
            self.assertIn(name, text)
        self.assertEqual(text.count("$argon2id$"), len(USERS))

    def test_a_socket_needs_a_session_and_the_servers_own_origin(self):
        cookie = self.server.login("ann")

        async def attempt(cookie, origin):
            try:
                socket = await open_socket(self.server, cookie, origin)
            except websockets.InvalidStatusCode as refused:
                return refused.status_code
            hello = json.loads(await socket.recv())
            await socket.close()
            return hello["role"]

        for cookie_sent, origin, expected in [(cookie, self.origin, "operator"),
                                              (None, self.origin, 403),
                                              ("vpanel_session=forged", self.origin, 403),
                                              (cookie, "http://evil.example", 403),
                                              (cookie, None, 403)]:
            with self.subTest(cookie=bool(cookie_sent), origin=origin):
                self.assertEqual(asyncio.run(attempt(cookie_sent, origin)), expected)

    def test_a_viewers_keys_are_refused_and_logged_and_an_operators_reach_the_device(self):
        viewer, operator = self.server.login("vic"), self.server.login("ann")
        wait_for(lambda: self.server.screen(operator)["state"] == "live", 30, "the device live")

        async def viewer_taps():
            socket = await open_socket(self.server, viewer, self.origin)
            await socket.send(json.dumps({"tap": "F1"}))
            refused = await message_of_type(socket, "refused")
            await socket.close()
            return refused

        self.assertIn("view only", asyncio.run(viewer_taps())["text"])
        self.assertEqual(self.server.request("POST", "/api/devices/press/keys", {"tap": "F1"}, cookie=viewer)[0], 403)
        wait_for(lambda: "vic" in self.server.log() and "refused" in self.server.log(), 10, "the refusal logged")
        rows_before = self.server.screen(operator)["rows"]

        for body, status in [({"tap": "Nope"}, 400), ({"tap": "F1", "press": "F2"}, 400), ("[", 400),
                             ({"tap": "F1"}, 204)]:
            with self.subTest(body=body):
                self.assertEqual(self.server.request("POST", "/api/devices/press/keys", body, cookie=operator)[0],
                                 status)
        wait_for(lambda: self.server.screen(operator)["rows"] != rows_before, 30, "F1 changing the display")
        self.assertRegex(self.server.log(), r"ann.*press.*tap.*F1")

    def test_an_oversized_socket_message_closes_the_socket(self):
        cookie = self.server.login("ann")

        async def flood():
            socket = await open_socket(self.server, cookie, self.origin)
            await socket.send("x" * (64 * 1024 + 1))
            return await close_code(socket)

        self.assertIn(asyncio.run(flood()), (1009, 1006))

    def test_the_sixth_wrong_login_in_a_minute_is_refused_even_with_the_right_password_and_no_secret_is_logged(self):
        def login(password, source):
            return self.server.request("POST", "/api/login", {"user": "ann", "password": password}, source=source)[0]

        self.assertEqual([login("guess-4711", "127.0.0.3") for _ in range(5)], [401] * 5)
        self.assertEqual(login(USERS["ann"][1], "127.0.0.3"), 429)
        self.assertEqual(login(USERS["ann"][1], "127.0.0.4"), 200)
        cookie = self.server.login("ann")
        self.server.request("GET", "/api/devices", cookie=cookie)
        log = self.server.log()
        self.assertIn("127.0.0.3", log)
        for secret in ["guess-4711", USERS["ann"][1], cookie.split("=", 1)[1]]:
            self.assertNotIn(secret, log)

    def pipelined(self, requests, head_at=()):
        """The replies to requests sent at once on one connection, after which nothing is left."""
        with socket.create_connection(("127.0.0.1", self.server.port), timeout=30) as connection:
            connection.sendall(b"".join(requests))
            replies, left_over = read_replies(connection, len(requests), head_at)
        self.assertEqual(left_over, b"")
        return replies

    def test_replies_keep_the_order_of_pipelined_requests_and_head_has_none_of_the_body(self):
        wrong = json.dumps({"user": "ann", "password": "wrong"}).encode()
        pipeline = [(raw_request("POST", "/api/login", wrong), 401), (raw_request("GET", "/api/me"), 401),
                    (raw_request("HEAD", "/login.html"), 200), (raw_request("POST", "/api/login", ANNS_LOGIN), 200),
                    (raw_request("HEAD", "/api/devices"), 401), (raw_request("GET", "/nothing"), 404),
                    (raw_request("GET", "/api/texts?lang=en"), 200)]
        replies = self.pipelined([request for request, _ in pipeline], head_at=(2, 4))
        self.assertEqual([status for status, _ in replies], [status for _, status in pipeline])
        self.assertEqual(json.loads(replies[3][1])["user"], "ann")

    def test_a_request_too_large_is_refused_at_once_and_a_close_is_honoured_after_late_replies(self):
        # Both would otherwise leave the client waiting for the idle limit (90 s) to end the connection.
        # An upgrade behind a reply still due is not taken: the connection ends.
        for requests, statuses in [
                ([raw_request("POST", "/api/login", ANNS_LOGIN), upgrade_request(self.server, "press")], []),
                ([raw_request("POST", "/api/login", b"x" * 200 * 1024)], [413]),
                ([raw_request("POST", "/api/login", ANNS_LOGIN),
                  raw_request("GET", "/api/texts", headers="Connection: close\r\n"),
                  raw_request("GET", "/login.html")], [200, 200])]:
            with self.subTest(statuses=statuses):
                self.assertEqual([status for status, _ in self.pipelined(requests)], statuses)

    def test_connections_that_never_finish_a_request_make_way_for_a_client_that_does(self):
        trickling = []
        try:
            for _ in range(520):
                connection = socket.create_connection(("127.0.0.1", self.server.port), timeout=30)
                connection.sendall(b"GET /login.html HTTP/1.1\r\nHost: a\r\nX-Slow: ")
                trickling.append(connection)
            for connection in trickling[-20:]:
                connection.sendall(b"a")
            self.assertEqual(self.server.request("GET", "/login.html")[0], 200)
        finally:
            for connection in trickling:
                connection.close()

    def test_a_logout_ends_the_pages_socket(self):
        cookie = self.server.login("vic")

        async def watch_and_log_out():
            socket = await open_socket(self.server, cookie, self.origin)
            await message_of_type(socket, "screen")
            self.assertEqual(self.server.request("POST", "/api/logout", cookie=cookie)[0], 204)
            return await close_code(socket)

        self.assertEqual(asyncio.run(watch_and_log_out()), 1008)

    def test_pages_that_never_read_a_busy_device_are_dropped_before_they_fill_the_memory(self):
        cookie = self.server.login("vic")
        drops_before = self.server.log().count("does not read")
        pages = []
        for _ in range(40):
            page = socket.socket()
            page.setsockopt(socket.SOL_SOCKET, socket.SO_RCVBUF, 4096)
            page.connect(("127.0.0.1", self.server.port))
            page.sendall(upgrade_request(self.server, "busy", f"Cookie: {cookie}\r\n"))
            pages.append(page)
        peak_kib = 0

        def all_dropped():
            nonlocal peak_kib
            peak_kib = max(peak_kib, resident_kib(self.server.process.pid))
            return self.server.log().count("does not read") - drops_before >= len(pages)

        try:
            wait_for(all_dropped, 120, "the pages that do not read dropped")
        finally:
            for page in pages:
                page.close()
        self.assertLess(peak_kib, 100 * 1024)


class BasicOverTlsTest(unittest.TestCase):
    """Scripts may send a password with every request, but only over TLS."""

    @classmethod
    def setUpClass(cls):
        cls.server = Server(tls=True)

    @classmethod
    def tearDownClass(cls):
        cls.server.close()

    def test_a_password_with_each_request_is_checked_and_its_role_holds(self):
        for method, path, user, password, body, status in [
                ("GET", "/api/me", "ann", USERS["ann"][1], None, 200),
                ("HEAD", "/api/me", "ann", USERS["ann"][1], None, 200),
                ("GET", "/api/devices", "vic", USERS["vic"][1], None, 200),
                ("POST", "/api/devices/press/keys", "vic", USERS["vic"][1], {"tap": "F1"}, 403),
                ("GET", "/api/me", "ann", "wrong", None, 401),
                ("GET", "/api/me", None, None, None, 401)]:
            with self.subTest(path=path, user=user, password=password):
                got, headers, data = self.server.request(method, path, body,
                                                         headers={"Authorization": basic(user, password)} if user else {})
                self.assertEqual(got, status)
                if status == 200 and method == "GET" and path == "/api/me":
                    self.assertEqual(json.loads(data)["user"], user)
                if status == 401:
                    self.assertIn("Basic", headers["WWW-Authenticate"])

    def test_pages_are_answered_while_passwords_are_checked_and_beyond_the_bound_requests_are_refused(self):
        # Each check takes a tenth of a second or more: a server checking them on its event
        # thread would answer the page only after all of them.
        password = f"Authorization: {basic('ann', USERS['ann'][1])}\r\n"
        pipeline = [raw_request("GET", "/api/me", headers=password)] * 32 + [
            raw_request("HEAD", "/api/me", headers=password), raw_request("GET", "/api/texts?lang=en")]
        outcome = {}

        def read_pipeline():
            outcome["replies"], outcome["left_over"] = read_replies(connection, len(pipeline), head_at=(32,))
            outcome["answered"] = time.monotonic()

        with socket.create_connection(("127.0.0.1", self.server.port), timeout=120) as plain, \
                ssl._create_unverified_context().wrap_socket(plain) as connection:
            connection.sendall(b"".join(pipeline))
            reader = threading.Thread(target=read_pipeline)
            reader.start()
            page_status = self.server.request("GET", "/login.html")[0]
            page_answered = time.monotonic()
            reader.join(120)
        self.assertEqual(page_status, 200)
        self.assertLess(page_answered, outcome["answered"])
        self.assertEqual([status for status, _ in outcome["replies"]], [200] * 32 + [503, 200])
        self.assertEqual(outcome["left_over"], b"")


if __name__ == "__main__":
    unittest.main()
