"""Shared set-up of the Python package's tests: the samples, generated sequences, and real servers
(nginx for http, the ftp fixture) on loopback ports serving one directory."""

import os
import shutil
import socket
import subprocess
import tempfile
import time
from pathlib import Path

import numpy as np
import pytest

import vialto

SOURCE_DIR = Path(__file__).resolve().parents[2]
SAMPLES = SOURCE_DIR / "samples"
FIXTURES = SOURCE_DIR / "tests" / "fixtures"

# A proxy configured for the machine must not be asked for the loopback servers.
for _name in ("no_proxy", "NO_PROXY"):
    os.environ[_name] = ",".join(filter(None, [os.environ.get(_name), "127.0.0.1"]))


def server_env() -> dict:
    """The environment for the servers: without the sanitizer runtimes a sanitizer build preloads
    for the library, which the servers do not load."""
    return {k: v for k, v in os.environ.items() if k not in ("LD_PRELOAD", "ASAN_OPTIONS")}


def picture(seed: int, width: int = 64, height: int = 48) -> np.ndarray:
    """A smooth RGB picture that differs from frame to frame and survives JPEG well."""
    y, x = np.mgrid[0:height, 0:width]
    rgb = np.stack([(x * 180 // max(width - 1, 1) + seed * 5) % 256,
                    (y * 180 // max(height - 1, 1) + seed * 3) % 256,
                    np.full_like(x, (seed * 37) % 256)], axis=-1)
    return rgb.astype(np.uint8)


def ser_grey(seed: int) -> np.ndarray:
    y, x = np.mgrid[0:288, 0:768]
    return ((x + 2 * y + seed * 5) % 256).astype(np.uint8)


@pytest.fixture(scope="session")
def served_dir():
    d = Path(tempfile.mkdtemp(prefix="vialto-py-"))
    yield d
    shutil.rmtree(d, ignore_errors=True)


@pytest.fixture(scope="session")
def generated(served_dir):
    """Sequences written for the tests, by name: se1 with "JPG" and "JPE" tags, a grey se1, a
    "ser" in each colour mode, and the shipped samples; all in the served directory."""
    files = {}
    for codec in ("JPG", "JPE"):
        path = served_dir / f"gen-{codec.lower()}.se1"
        vialto.write_se1(path, [picture(i) for i in range(12)], codec=codec, quality=95)
        files[f"se1-{codec.lower()}"] = path
    path = served_dir / "gen-grey.se1"
    vialto.write_se1(path, [picture(i)[:, :, 0].copy() for i in range(3)], codec="JPG")
    files["se1-grey"] = path
    path = served_dir / "gen-mode2.ser"
    colour = np.zeros((288, 768, 3), np.uint8)
    colour[..., 0] = 200
    vialto.write_ser(path, [ser_grey(0), ser_grey(1), colour], colour_mode=2)
    files["ser-mode2"] = path
    path = served_dir / "gen-mode1.ser"
    vialto.write_ser(path, [picture(i, 768, 288) for i in range(2)], colour_mode=1)
    files["ser-mode1"] = path
    for name in ("road.se1", "road.ser"):
        shutil.copy(SAMPLES / name, served_dir / name)
        files[name] = served_dir / name
    return files


def _free_port() -> int:
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def _wait_accepting(proc, port: int) -> bool:
    deadline = time.monotonic() + 20
    while time.monotonic() < deadline:
        if proc.poll() is not None:
            return False
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=0.2):
                return True
        except OSError:
            time.sleep(0.02)
    return False


class Nginx:
    """nginx serving one directory over http on a free loopback port."""

    def __init__(self, root: Path):
        self.dir = Path(tempfile.mkdtemp(prefix="vialto-nginx-"))
        for attempt in range(5):
            self.port = _free_port()
            d = self.dir
            (d / "nginx.conf").write_text(
                "daemon off;\nmaster_process off;\nworker_processes 1;\n"
                f"pid {d}/nginx.pid;\nerror_log {d}/error.log warn;\n"
                "events { worker_connections 256; }\n"
                f"http {{\n  access_log {d}/access.log;\n  client_body_temp_path {d}/body;\n"
                f"  proxy_temp_path {d}/proxy;\n  fastcgi_temp_path {d}/fastcgi;\n"
                f"  uwsgi_temp_path {d}/uwsgi;\n  scgi_temp_path {d}/scgi;\n"
                "  default_type application/octet-stream;\n  keepalive_requests 100000;\n"
                f"  server {{ listen 127.0.0.1:{self.port}; root {root}; }}\n}}\n")
            self.proc = subprocess.Popen(["/usr/sbin/nginx", "-p", str(d), "-c", str(d / "nginx.conf"),
                                          "-e", str(d / "error.log")],
                                         stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                         env=server_env())
            if _wait_accepting(self.proc, self.port):
                return
            self.stop()
        raise RuntimeError("nginx did not start")

    def url(self, name: str) -> str:
        return f"http://127.0.0.1:{self.port}/{name}"

    def stop(self):
        if self.proc.poll() is None:
            self.proc.terminate()
            try:
                self.proc.wait(5)
            except subprocess.TimeoutExpired:
                self.proc.kill()
                self.proc.wait()


@pytest.fixture(scope="session")
def nginx(served_dir, generated):
    server = Nginx(served_dir)
    yield server
    server.stop()
    shutil.rmtree(server.dir, ignore_errors=True)


@pytest.fixture(scope="session")
def ftp(served_dir, generated):
    proc = subprocess.Popen(["/usr/bin/python3", str(FIXTURES / "ftp_server.py"), str(served_dir)],
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
                            env=server_env())
    port = int(proc.stdout.readline())
    if not _wait_accepting(proc, port):
        proc.kill()
        raise RuntimeError("the ftp server did not start")
    yield lambda name: f"ftp://127.0.0.1:{port}/{name}"
    proc.terminate()
    proc.wait(5)


def rss_bytes() -> int:
    """The resident set size of this process."""
    with open("/proc/self/statm") as f:
        return int(f.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")
