#!/usr/bin/python3
"""The viewer in headless Chromium: the median time from a key press to the new frame painted,
and the frames shown per second while playing at 25 frames/s, for a 300-frame 768 x 288 "se1"
read locally and over http (nginx on loopback). Prints the figures; asserts nothing.

    bench/view/bench_view.py [--build build]
"""

import argparse
import importlib.machinery
import os
import re
import signal
import statistics
import subprocess
import sys
import tempfile
import time
import types
from pathlib import Path

SOURCE_DIR = Path(__file__).resolve().parents[2]
sys.path.insert(0, str(SOURCE_DIR / "tests" / "view"))
import browser  # noqa: E402

FRAMES = 300
STEPS = 80
PLAY_SECONDS = 8


def load_servers(build: Path):
    # The package's test fixtures start nginx; they import the package, which needs the library.
    sys.path.insert(0, str(SOURCE_DIR / "python"))
    os.environ.setdefault("VIALTO_LIBRARY", str(build / "libvialto.so"))
    loader = importlib.machinery.SourceFileLoader(
        "vialto_test_servers", str(SOURCE_DIR / "tests" / "python" / "conftest.py"))
    module = types.ModuleType(loader.name)
    module.__file__ = loader.path
    sys.modules[loader.name] = module
    loader.exec_module(module)
    return module


def start_viewer(cli: str, source: str):
    proc = subprocess.Popen([cli, "view", source, "--no-open"], stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, text=True)
    match = re.search(r" at (http://[^/ ]+/)", proc.stdout.readline())
    if not match:
        proc.kill()
        raise SystemExit(f"vialto view did not start for {source}")
    return proc, match.group(1)


def stop(proc):
    proc.send_signal(signal.SIGINT)
    proc.wait(10)


def step_latencies(chrome, count: int, key) -> list:
    chrome.js("viewerStats.stepMs = [];")
    for i in range(count):
        before = chrome.shown()
        chrome.key(key)
        chrome.wait(lambda: chrome.shown() != before and not chrome.js("return state.inflight;"),
                    "a step")
        chrome.wait(lambda: chrome.js("return viewerStats.stepMs.length;") > i, "the paint time")
    return chrome.js("return viewerStats.stepMs;")


def play(chrome, rate: int, seconds: float):
    from selenium.webdriver.common.keys import Keys
    chrome.key(Keys.HOME)
    chrome.wait_for_frame(0)
    rate_box = chrome.element("rate")
    rate_box.clear()
    rate_box.send_keys(str(rate))
    chrome.js("viewerStats.playPaints = 0; viewerStats.playLag = [];")
    chrome.element("play").click()
    time.sleep(seconds)
    chrome.element("play").click()
    # Paints counted between the first and the last painted while playing, by the page's clock.
    paints, first, last = chrome.js("const s = viewerStats;"
                                    "return [s.playPaints, s.playFirstAt, s.playLastAt];")
    lag = chrome.js("return viewerStats.playLag;")
    return (paints - 1) * 1000 / (last - first), lag


def measure(chrome, cli: str, source: str, label: str):
    from selenium.webdriver.common.keys import Keys
    proc, url = start_viewer(cli, source)
    try:
        chrome.open(url)
        fresh = step_latencies(chrome, STEPS, Keys.ARROW_RIGHT)
        cached = step_latencies(chrome, STEPS // 2, Keys.ARROW_LEFT)
        fps, lag = play(chrome, 25, PLAY_SECONDS)
        half = len(lag) // 2
        print(f"{label:6s} step, new frames:   median {statistics.median(fresh):6.1f} ms  "
              f"p90 {sorted(fresh)[int(len(fresh) * 0.9)]:6.1f} ms  ({len(fresh)} steps)")
        print(f"{label:6s} step, seen frames:  median {statistics.median(cached):6.1f} ms  "
              f"p90 {sorted(cached)[int(len(cached) * 0.9)]:6.1f} ms  ({len(cached)} steps)")
        print(f"{label:6s} play at 25 frames/s: {fps:5.1f} frames shown/s over {PLAY_SECONDS} s; "
              f"lag behind the clock (frames): first half mean {statistics.mean(lag[:half]):.2f}, "
              f"second half mean {statistics.mean(lag[half:]):.2f}, max {max(lag)}")
    finally:
        stop(proc)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default=str(SOURCE_DIR / "build"))
    args = parser.parse_args()
    cli = str(Path(args.build) / "tools" / "vialto" / "vialto")
    if browser.available():
        raise SystemExit(browser.available())
    servers = load_servers(Path(args.build))
    work = Path(tempfile.mkdtemp(prefix="vialto-bench-view-"))
    sequence = work / "bench.se1"
    subprocess.run([cli, "make", "se1", "-o", str(sequence), "--synthetic", str(FRAMES),
                    "--size", "768x288"], check=True, stdout=subprocess.DEVNULL)
    print(f"{FRAMES} frames of 768 x 288, {sequence.stat().st_size / FRAMES / 1024:.1f} KiB a frame; "
          f"{os.cpu_count()} cores")
    nginx = servers.Nginx(work)
    chrome = browser.Browser()
    try:
        measure(chrome, cli, str(sequence), "local")
        measure(chrome, cli, nginx.url("bench.se1"), "http")
    finally:
        chrome.quit()
        nginx.stop()


if __name__ == "__main__":
    main()
