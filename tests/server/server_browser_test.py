"""The device pages in headless Chromium against vpanel-server and the simulator: what a user
sees and what the page sends."""

import json
import unittest

from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.keys import Keys

from browser import DEFAULT_TIMEOUT_S, Browser
from server_fixture import USERS, Server, Simulator

# Counts what the page sends on its sockets, so that a test can tell "sent nothing" from
# "sent and was refused".
COUNT_SOCKET_SENDS = """
window.socketSends = [];
const originalSend = WebSocket.prototype.send;
WebSocket.prototype.send = function (data) {
    window.socketSends.push(String(data));
    return originalSend.call(this, data);
};
"""

HOME_SCREEN = "F1-меню"
MENU_SCREEN = "Меню "


def start_server_and_simulator(test_class):
    """Stopped by class cleanups, which run even when a later step of setUpClass fails."""
    server = Server()
    test_class.addClassCleanup(server.close)
    # A reply lost while a loaded machine starves the simulator would leave its rows unsent: the
    # device here redraws its screen, as devices do that do not count on every reply arriving.
    simulator = Simulator(server.work, options=("--redraw", "500"))
    test_class.addClassCleanup(simulator.stop)
    return server, simulator


def open_browser(test_class):
    browser = Browser()
    test_class.addClassCleanup(browser.close)
    return browser


def sign_in(browser, name, password=None):
    browser.wait_for("#user")
    browser.find("#user").clear()
    browser.find("#user").send_keys(name)
    browser.find("#password").clear()
    browser.find("#password").send_keys(USERS[name][1] if password is None else password)
    browser.find("#submit").click()


def sign_in_to_the_device_page(browser, name, timeout=DEFAULT_TIMEOUT_S):
    """From the login page to which the device page sent the browser."""
    browser.wait_for_url("/login.html", timeout)
    sign_in(browser, name)
    browser.wait_for_url("/device.html?name=press")


def open_device_page(browser, server, name):
    browser.open(server.url + "/device.html?name=press")
    sign_in_to_the_device_page(browser, name)


def shows_the_device(browser, server, cookie):
    """The page's rows are the device's rows as the interface gives them at this moment."""
    rows = browser.display_rows()
    return rows and rows == server.screen(cookie)["rows"]


class DevicePageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.server, cls.simulator = start_server_and_simulator(cls)
        cls.words = json.loads(cls.server.request("GET", "/api/texts?lang=ru")[2])
        cls.cookie = cls.server.login("ann")
        cls.operator = open_browser(cls)
        cls.viewer = open_browser(cls)
        cls.viewer.driver.execute_cdp_cmd("Page.addScriptToEvaluateOnNewDocument", {"source": COUNT_SOCKET_SENDS})
        open_device_page(cls.operator, cls.server, "ann")
        open_device_page(cls.viewer, cls.server, "vic")

    def test_a_wrong_password_is_refused_and_the_page_says_so(self):
        with Browser() as stranger:
            stranger.open(self.server.url + "/login.html")
            sign_in(stranger, "ann", "not ann's secret")
            stranger.wait_for_text("#message", self.words["wrongPassword"])
            self.assertIn("/login.html", stranger.driver.current_url)
            self.assertEqual(stranger.find("#password").get_attribute("value"), "")

    def test_a_viewer_sees_the_rows_and_its_keys_send_nothing(self):
        self.viewer.wait_until(lambda: shows_the_device(self.viewer, self.server, self.cookie),
                               what="the viewer's rows matching the device")
        f1 = self.viewer.find('[data-key="F1"]')
        f1.click()
        ActionChains(self.viewer.driver).click_and_hold(f1).pause(0.6).release().perform()
        self.viewer.find("body").send_keys(Keys.F1, Keys.ARROW_DOWN, "5")
        self.assertEqual(self.viewer.driver.execute_script("return window.socketSends"), [])
        self.assertNotIn("refused", self.server.log())
        self.assertTrue(self.viewer.find("#view-only").is_displayed())

    def test_an_operators_F1_brings_the_menu_into_the_display(self):
        self.operator.wait_for_text("#display", HOME_SCREEN)
        self.operator.find('[data-key="F1"]').click()
        self.operator.wait_for_text("#display", MENU_SCREEN)
        self.assertIn("F1", self.server.log())
        self.operator.find('[data-key="Esc"]').click()
        self.operator.wait_for_text("#display", HOME_SCREEN)

    def test_two_browsers_show_the_same_changing_screen(self):
        # The clock row changes every second: both follow it, and a third party agrees.
        first = self.operator.wait_until(lambda: shows_the_device(self.operator, self.server, self.cookie)
                                         and self.operator.display_rows(), what="the operator's rows")
        self.viewer.wait_until(lambda: self.viewer.display_rows() != first
                               and self.viewer.display_rows() == self.operator.display_rows(),
                               what="both pages showing the same newer screen")


class ServerRestartTest(unittest.TestCase):
    """Sessions live in the server's memory: after a restart the page asks for the login, and
    after it the user is back on the device's page with its rows, without reloading by hand."""

    @classmethod
    def setUpClass(cls):
        cls.server, cls.simulator = start_server_and_simulator(cls)
        cls.browser = open_browser(cls)

    def test_after_a_restart_the_page_asks_for_the_login_and_returns_to_the_device(self):
        open_device_page(self.browser, self.server, "ann")
        cookie = self.server.login("ann")
        self.browser.wait_until(lambda: shows_the_device(self.browser, self.server, cookie),
                                what="the rows before the restart")
        self.server.stop()
        self.browser.wait_until(lambda: self.browser.find("#connection").is_displayed(),
                                what="the page saying the server is away")
        self.server.start()
        sign_in_to_the_device_page(self.browser, "ann", timeout=30)
        cookie = self.server.login("ann")
        self.browser.wait_until(lambda: shows_the_device(self.browser, self.server, cookie),
                                what="the rows after the restart")


if __name__ == "__main__":
    unittest.main()
