"""The viewer's page in headless Chromium: keys, jumps, scrubbing, play and pause, the arrow,
the time stamp and saving, with the canvas read back and compared with the library's decode."""

import os
import shutil
import time
from pathlib import Path

import numpy as np
import pytest

import browser
from conftest import SOURCE_DIR, decode, library_rgb

pytestmark = pytest.mark.skipif(bool(browser.available()), reason=browser.available() or "-")

# Stored JPEGs are decoded by the browser, not the library: two decoders of the same stream may
# round differently (upsampling, IDCT). Lossless pictures must match exactly.
JPEG_DECODER_MEAN = 1.5
JPEG_DECODER_MAX = 40


@pytest.fixture(scope="module")
def chrome():
    b = browser.Browser()
    yield b
    b.quit()


def assert_matches_library(chrome, source, n, lossless):
    shown = chrome.canvas().astype(int)
    expected = library_rgb(source, n).astype(int)
    assert shown.shape == expected.shape
    diff = np.abs(shown - expected)
    if lossless:
        assert diff.max() == 0, f"frame {n}: {diff.max()}"
    else:
        assert diff.mean() < JPEG_DECODER_MEAN and diff.max() <= JPEG_DECODER_MAX, (
            f"frame {n}: mean {diff.mean():.2f} max {diff.max()}")


class TestStepping:
    @pytest.mark.parametrize("name,lossless", [("jpg", False), ("jpe", False),
                                               ("road.ser", True)])
    def test_keys_show_the_library_frame(self, chrome, start_viewer, sequences, name, lossless):
        from selenium.webdriver.common.keys import Keys
        source = sequences[name]
        v = start_viewer(source)
        chrome.open(v.url)
        assert chrome.text("frame-number") == "0"
        assert_matches_library(chrome, source, 0, lossless)
        last = 1 if name == "road.ser" else 29
        moves = [(Keys.ARROW_RIGHT, 1), (Keys.ARROW_LEFT, 0), (Keys.END, last), (Keys.HOME, 0)]
        if last > 10:
            moves += [(Keys.PAGE_DOWN, 10), (Keys.PAGE_DOWN, 20), (Keys.ARROW_RIGHT, 21),
                      (Keys.PAGE_UP, 11), (Keys.PAGE_DOWN, 21), (Keys.PAGE_DOWN, 29),
                      (Keys.ARROW_RIGHT, 29)]
        for key, expected in moves:
            chrome.key(key)
            chrome.wait_for_frame(expected)
            assert chrome.text("frame-number") == str(expected)
            assert_matches_library(chrome, source, expected, lossless)
        assert "sub-header" in chrome.driver.page_source

    def test_quick_presses_are_not_lost(self, chrome, start_viewer, sequences):
        from selenium.webdriver.common.keys import Keys
        v = start_viewer(sequences["jpe"])
        chrome.open(v.url)
        chrome.key(Keys.ARROW_RIGHT * 7)
        chrome.wait_for_frame(7)
        assert_matches_library(chrome, sequences["jpe"], 7, False)

    def test_typed_number_and_slider(self, chrome, start_viewer, sequences):
        from selenium.webdriver.common.keys import Keys
        v = start_viewer(sequences["jpg"])
        chrome.open(v.url)
        box = chrome.element("jump-to")
        box.clear()
        box.send_keys("17" + Keys.ENTER)
        chrome.wait_for_frame(17)
        assert_matches_library(chrome, sequences["jpg"], 17, False)
        assert chrome.js("return document.getElementById('sub-header').textContent;").count("nFrameNo17") == 1
        box.clear()
        box.send_keys("30" + Keys.ENTER)
        time.sleep(0.2)
        assert chrome.shown() == 17 and "not a frame" in chrome.text("status")
        chrome.js("const s = document.getElementById('scrub'); s.value = '4';"
                  "s.dispatchEvent(new Event('input'));")
        chrome.wait_for_frame(4)
        assert_matches_library(chrome, sequences["jpg"], 4, False)

    def test_thumbnails_jump(self, chrome, start_viewer, sequences):
        v = start_viewer(sequences["jpg"])
        chrome.open(v.url)
        chrome.wait(lambda: chrome.js("return document.querySelectorAll('#strip img').length;") == 5,
                    "the thumbnail strip")
        chrome.js("document.querySelectorAll('#strip figure')[3].click();")
        chrome.wait_for_frame(3)


class TestPlaying:
    def test_play_then_pause(self, chrome, start_viewer, sequences):
        v = start_viewer(sequences["jpe"])
        chrome.open(v.url)
        rate = chrome.element("rate")
        rate.clear()
        rate.send_keys("10")
        chrome.element("play").click()
        chrome.wait(lambda: chrome.shown() >= 5, "playing to frame 5")
        assert chrome.js("return document.body.dataset.playing;") == "1"
        # Space pauses, also right after the play button was clicked.
        chrome.key(" ")
        assert chrome.js("return document.body.dataset.playing;") == "0"
        time.sleep(0.3)
        stopped_at = chrome.shown()
        time.sleep(0.5)
        assert chrome.shown() == stopped_at < 29
        assert chrome.js("return viewerStats.playPaints;") >= 3
        assert_matches_library(chrome, sequences["jpe"], stopped_at, False)

    def test_play_runs_to_the_end(self, chrome, start_viewer, sequences):
        v = start_viewer(sequences["road.se1"])
        chrome.open(v.url)
        chrome.key(" ")
        chrome.wait(lambda: chrome.js("return document.body.dataset.playing;") == "0"
                    and chrome.shown() == 9, "the last frame", timeout=20)


class TestOverlaysAndSaving:
    def click_picture_at(self, chrome, x, y):
        # The canvas is fitted to the window: click where picture pixel (x, y) is shown.
        from selenium.webdriver.common.action_chains import ActionChains
        canvas = chrome.element("picture")
        box = chrome.js("const r = arguments[0].getBoundingClientRect();"
                        "return [r.width, r.height, arguments[0].width, arguments[0].height];", canvas)
        sx, sy = box[0] / box[2], box[1] / box[3]
        ActionChains(chrome.driver).move_to_element_with_offset(
            canvas, int((x + 0.5) * sx - box[0] / 2), int((y + 0.5) * sy - box[1] / 2)).click().perform()

    def test_arrow_stamp_and_save(self, chrome, start_viewer, sequences):
        source = sequences["road.se1"]
        v = start_viewer(source.name, cwd=source.parent)
        chrome.open(v.url)
        from selenium.webdriver.common.keys import Keys
        chrome.key(Keys.ARROW_RIGHT * 2)
        chrome.wait_for_frame(2)
        plain = chrome.canvas()
        paints = chrome.paints()
        self.click_picture_at(chrome, 240, 160)
        chrome.wait_for_paint_after(paints)
        arrow = chrome.js("return state.arrow;")
        assert abs(arrow[0] - 240) <= 1 and abs(arrow[1] - 160) <= 1
        drawn = chrome.canvas()
        assert np.array_equal(drawn, decode(v.get(f"/frame/2?arrow={arrow[0]},{arrow[1]}")[2]))
        assert (drawn != plain).any(axis=2).sum() > 100
        paints = chrome.paints()
        chrome.element("stamp").click()
        chrome.wait_for_paint_after(paints)
        both = chrome.canvas()
        assert np.array_equal(both, decode(v.get(f"/frame/2?stamp=1&arrow={arrow[0]},{arrow[1]}")[2]))
        chrome.driver.save_screenshot(str(screenshot_path()))
        if os.environ.get("VIALTO_UPDATE_SCREENSHOT"):
            shutil.copy(screenshot_path(), SOURCE_DIR / "docs" / "view.png")

        chrome.element("save-png").click()
        saved = Path(chrome.downloads) / "frame-2.png"
        chrome.wait(saved.exists, "the saved frame")
        time.sleep(0.2)
        assert np.array_equal(decode(saved.read_bytes()), both)
        # Removing the arrow brings back the frame with the stamp alone.
        paints = chrome.paints()
        chrome.element("clear-arrow").click()
        chrome.wait_for_paint_after(paints)
        assert np.array_equal(chrome.canvas(), decode(v.get("/frame/2?stamp=1")[2]))


def screenshot_path() -> Path:
    out = Path(os.environ.get("VIALTO_VIEW_OUT", "/tmp"))
    out.mkdir(parents=True, exist_ok=True)
    return out / "view.png"


class TestRemote:
    def test_http_source(self, chrome, start_viewer, sequences, nginx):
        from selenium.webdriver.common.keys import Keys
        v = start_viewer(nginx.url("steps-jpg.se1"))
        chrome.open(v.url)
        assert "remote" in chrome.text("file-summary")
        for key, n in ((Keys.PAGE_DOWN, 10), (Keys.ARROW_LEFT, 9)):
            chrome.key(key)
            chrome.wait_for_frame(n)
            assert_matches_library(chrome, sequences["jpg"], n, False)

    def test_ftp_source_goes_forward_only(self, chrome, start_viewer, sequences, ftp):
        from selenium.webdriver.common.keys import Keys
        v = start_viewer(ftp("steps-jpe.se1"))
        chrome.open(v.url)
        assert chrome.js("return document.getElementById('forward-only').hidden;") is False
        chrome.key(Keys.ARROW_RIGHT * 3)
        chrome.wait_for_frame(3)
        assert chrome.element("prev").get_attribute("disabled") is not None
        chrome.key(Keys.ARROW_LEFT)
        chrome.key(Keys.HOME)
        time.sleep(0.3)
        assert chrome.shown() == 3 and chrome.text("status") == ""
        assert_matches_library(chrome, sequences["jpe"], 3, False)
