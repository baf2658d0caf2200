"""Shared set-up of the viewer's tests: `vialto view` started on loopback for a source, the
sequences it is shown (the samples and generated ones), and nginx and the ftp fixture for URLs.
The library's own decode, through the Python package, is what the served pictures must match."""

import importlib.util
import io
import os
import re
import shutil
import signal
import subprocess
import tempfile
import urllib.error
import urllib.request
from pathlib import Path

import numpy as np
import pytest
from PIL import Image

import vialto

SOURCE_DIR = Path(__file__).resolve().parents[2]
VIALTO = os.environ.get("VIALTO_CLI", str(SOURCE_DIR / "build" / "tools" / "vialto" / "vialto"))

# The nginx and ftp fixtures of the package's tests, loaded under a name of their own.
_spec = importlib.util.spec_from_file_location("vialto_test_servers",
                                               SOURCE_DIR / "tests" / "python" / "conftest.py")
servers = importlib.util.module_from_spec(_spec)
_spec.loader.exec_module(servers)
picture = servers.picture


class Viewer:
    """A running `vialto view SOURCE --no-open --port 0`, stopped with SIGINT."""

    def __init__(self, source, *extra, cwd=None):
        self.proc = subprocess.Popen([VIALTO, "view", str(source), "--no-open", *extra],
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True,
                                     env=servers.server_env(), cwd=cwd)
        line = self.proc.stdout.readline()
        match = re.search(r" at http://([^/ ]+)/", line)
        if not match:
            self.proc.kill()
            raise RuntimeError(f"vialto view did not start: {line!r} {self.proc.stderr.read()!r}")
        self.host = match.group(1)
        self.url = f"http://{self.host}/"
        self.port = int(self.host.rsplit(":", 1)[1])

    def get(self, path: str, headers=None):
        """(status, content type, body) of a GET, error statuses included."""
        request = urllib.request.Request(self.url + path.lstrip("/"), headers=headers or {})
        try:
            with urllib.request.urlopen(request, timeout=30) as response:
                return response.status, response.headers.get("Content-Type"), response.read()
        except urllib.error.HTTPError as e:
            return e.code, e.headers.get("Content-Type"), e.read()

    def json(self, path: str):
        import json
        status, _, body = self.get(path)
        assert status == 200, body
        return json.loads(body)

    def stop(self) -> int:
        if self.proc.poll() is None:
            self.proc.send_signal(signal.SIGINT)
            try:
                self.proc.wait(10)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()
        return self.proc.returncode


def decode(body: bytes) -> np.ndarray:
    return np.asarray(Image.open(io.BytesIO(body)).convert("RGB"))


def library_rgb(source, n: int) -> np.ndarray:
    """Frame n, upright RGB, as the library decodes it."""
    with vialto.open(str(source)) as seq:
        return seq[n].rgb()


@pytest.fixture(scope="session")
def served_dir():
    d = Path(tempfile.mkdtemp(prefix="vialto-view-"))
    yield d
    shutil.rmtree(d, ignore_errors=True)


@pytest.fixture(scope="session")
def sequences(served_dir):
    """By name: "jpg" and "jpe" (30 frames of 96 x 64, each tag), the two samples."""
    files = {}
    for codec in ("JPG", "JPE"):
        path = served_dir / f"steps-{codec.lower()}.se1"
        vialto.write_se1(path, [picture(i, 96, 64) for i in range(30)], codec=codec, quality=90)
        files[codec.lower()] = path
    for name in ("road.se1", "road.ser"):
        shutil.copy(SOURCE_DIR / "samples" / name, served_dir / name)
        files[name] = served_dir / name
    return files


@pytest.fixture
def start_viewer():
    started = []

    def start(source, *extra, cwd=None):
        viewer = Viewer(source, *extra, cwd=cwd)
        started.append(viewer)
        return viewer

    yield start
    for viewer in started:
        viewer.stop()


@pytest.fixture(scope="session")
def nginx(served_dir, sequences):
    server = servers.Nginx(served_dir)
    yield server
    server.stop()
    shutil.rmtree(server.dir, ignore_errors=True)


@pytest.fixture(scope="session")
def ftp(served_dir, sequences):
    proc = subprocess.Popen(["/usr/bin/python3", str(servers.FIXTURES / "ftp_server.py"),
                             str(served_dir)], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                            text=True, env=servers.server_env())
    port = int(proc.stdout.readline())
    if not servers._wait_accepting(proc, port):
        proc.kill()
        raise RuntimeError("the ftp server did not start")
    yield lambda name: f"ftp://127.0.0.1:{port}/{name}"
    proc.terminate()
    proc.wait(5)
