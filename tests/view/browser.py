"""Headless Chromium driven by Selenium for the viewer's page: start it, wait for frames to be
painted, read the canvas back."""

import base64
import io
import os
import shutil
import tempfile
import time

import numpy as np
from PIL import Image

CHROMIUM = "/usr/bin/chromium"
CHROMEDRIVER = "/usr/bin/chromedriver"


def available() -> str:
    """Empty when the browser can be driven, else why not."""
    if not (os.path.exists(CHROMIUM) and os.path.exists(CHROMEDRIVER)):
        return "chromium and chromium-driver are not installed"
    try:
        import selenium  # noqa: F401
    except ImportError:
        return "python3-selenium is not installed"
    return ""


class Browser:
    def __init__(self, width=1280, height=900):
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service

        self.downloads = tempfile.mkdtemp(prefix="vialto-view-downloads-")
        options = webdriver.ChromeOptions()
        options.binary_location = CHROMIUM
        for arg in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage",
                    f"--window-size={width},{height}", "--no-proxy-server",
                    "--disable-background-networking", "--force-device-scale-factor=1"):
            options.add_argument(arg)
        options.add_experimental_option("prefs", {
            "download.default_directory": self.downloads, "download.prompt_for_download": False})
        # A sanitizer build preloads its runtimes for the library; the browser must not get them.
        env = {k: v for k, v in os.environ.items() if k not in ("LD_PRELOAD", "ASAN_OPTIONS")}
        self.driver = webdriver.Chrome(service=Service(CHROMEDRIVER, env=env), options=options)
        self.driver.set_script_timeout(30)

    def quit(self):
        self.driver.quit()
        shutil.rmtree(self.downloads, ignore_errors=True)

    def open(self, url: str):
        self.driver.get(url)
        self.wait_for_frame(0)

    def js(self, script: str, *args):
        return self.driver.execute_script(script, *args)

    def shown(self) -> int:
        value = self.js("return document.body.dataset.frame;")
        return -1 if value is None else int(value)

    def paints(self) -> int:
        return int(self.js("return document.body.dataset.paints || '0';"))

    def wait(self, condition, what: str, timeout: float = 15):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            if condition():
                return
            time.sleep(0.02)
        raise AssertionError(f"timed out waiting for {what}; status: {self.text('status')!r}")

    def wait_for_frame(self, n: int):
        self.wait(lambda: self.shown() == n and not self.js("return state.inflight;"), f"frame {n}")

    def wait_for_paint_after(self, paints: int):
        self.wait(lambda: self.paints() > paints and not self.js("return state.inflight;"),
                  "a new paint")

    def text(self, element_id: str) -> str:
        return self.js("return document.getElementById(arguments[0]).textContent;", element_id)

    def key(self, key):
        from selenium.webdriver.common.action_chains import ActionChains
        ActionChains(self.driver).send_keys(key).perform()

    def canvas(self) -> np.ndarray:
        """The canvas's pixels, RGB."""
        url = self.js("return document.getElementById('picture').toDataURL('image/png');")
        png = base64.b64decode(url.split(",", 1)[1])
        return np.asarray(Image.open(io.BytesIO(png)).convert("RGB"))

    def element(self, element_id: str):
        from selenium.webdriver.common.by import By
        return self.driver.find_element(By.ID, element_id)
