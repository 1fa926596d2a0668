"""Headless Chromium for the server's browser tests, and waits that poll the page instead of
sleeping."""

import shutil
import tempfile

from selenium import webdriver
from selenium.common.exceptions import NoSuchElementException, StaleElementReferenceException
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.by import By

from server_fixture import wait_for

CHROMEDRIVER = "/usr/bin/chromedriver"
DEFAULT_TIMEOUT_S = 15


class Browser:
    """One headless Chromium with a profile of its own (so two browsers hold two sessions),
    removed on close. Use as a context manager."""

    def __init__(self, width=1280, height=900, mobile=False):
        self.profile = tempfile.mkdtemp(prefix="vpanel-chromium-")
        options = webdriver.ChromeOptions()
        for argument in ("--headless=new", "--no-sandbox", "--disable-dev-shm-usage", "--disable-gpu",
                         "--no-first-run", "--no-default-browser-check", "--disable-extensions",
                         "--user-data-dir=" + self.profile, "--window-size=%d,%d" % (width, height),
                         # The alarm may sound without a gesture in tests.
                         "--autoplay-policy=no-user-gesture-required"):
            options.add_argument(argument)
        if mobile:
            options.add_experimental_option("mobileEmulation", {
                "deviceMetrics": {"width": width, "height": height, "pixelRatio": 3.0, "touch": True}})
        try:
            self.driver = webdriver.Chrome(service=Service(CHROMEDRIVER), options=options)
        except Exception:
            shutil.rmtree(self.profile, ignore_errors=True)
            raise

    def __enter__(self):
        return self

    def __exit__(self, *exception):
        self.close()

    def close(self):
        try:
            self.driver.quit()
        finally:
            shutil.rmtree(self.profile, ignore_errors=True)

    def open(self, url):
        self.driver.get(url)

    def find(self, css):
        return self.driver.find_element(By.CSS_SELECTOR, css)

    def wait_until(self, condition, timeout=DEFAULT_TIMEOUT_S, what="condition"):
        """wait_for, through the moments in which the page replaces the elements looked at."""
        def while_the_page_changes():
            try:
                return condition()
            except (NoSuchElementException, StaleElementReferenceException):
                return None

        return wait_for(while_the_page_changes, timeout, what)

    def wait_for(self, css, timeout=DEFAULT_TIMEOUT_S):
        return self.wait_until(lambda: self.find(css), timeout, "element " + css)

    def wait_for_text(self, css, text, timeout=DEFAULT_TIMEOUT_S):
        """Waits until the textContent (hidden text too, unlike Selenium's .text) of the element at
        css contains text; returns it."""
        last = [None]

        def holds():
            last[0] = self.find(css).get_attribute("textContent")
            return last[0] if text in last[0] else None

        try:
            return self.wait_until(holds, timeout)
        except AssertionError:
            raise AssertionError("timed out after %s s waiting for %r in %s; it holds %r"
                                 % (timeout, text, css, last[0])) from None

    def wait_for_url(self, part, timeout=DEFAULT_TIMEOUT_S):
        return self.wait_until(lambda: part in self.driver.current_url, timeout, "an address with " + part)

    def display_rows(self):
        """The device page's display rows as text, top first."""
        return [row.get_attribute("textContent")
                for row in self.driver.find_elements(By.CSS_SELECTOR, "#display [data-row]")]
