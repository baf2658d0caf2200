"""`vialto view` at the HTTP level: what it serves, what it refuses, and how it stops."""

import http.client
import json
import signal
import socket
import subprocess
import threading

import numpy as np
import pytest

import vialto
from conftest import VIALTO, decode, library_rgb


def raw_request(port: int, text: bytes) -> bytes:
    """Sends the bytes as they are and returns the whole answer."""
    with socket.create_connection(("127.0.0.1", port), timeout=10) as s:
        s.sendall(text)
        chunks = []
        while True:
            chunk = s.recv(65536)
            if not chunk:
                return b"".join(chunks)
            chunks.append(chunk)


def status_of(answer: bytes) -> int:
    return int(answer.split(b" ", 2)[1])


class TestHostHeader:
    def test_foreign_names_and_ports_are_refused(self, start_viewer, sequences):
        v = start_viewer(sequences["jpg"])
        for host in ("attacker.example:%d" % v.port, "rebind.127.0.0.1.nip.io:%d" % v.port,
                     "127.0.0.1:%d" % (v.port + 1), "127.0.0.1", "localhost.evil:%d" % v.port):
            status, _, body = v.get("/api/info", headers={"Host": host})
            assert status == 403, host
            assert b"not this server" in body
        # Refused before any route: the frames are not reachable either.
        assert v.get("/frame/0", headers={"Host": "evil:%d" % v.port})[0] == 403

    def test_own_names_are_served(self, start_viewer, sequences):
        v = start_viewer(sequences["jpg"])
        for host in ("127.0.0.1:%d" % v.port, "localhost:%d" % v.port, "LOCALHOST:%d" % v.port):
            assert v.get("/api/info", headers={"Host": host})[0] == 200, host

    def test_missing_host_is_refused(self, start_viewer, sequences):
        v = start_viewer(sequences["jpg"])
        answer = raw_request(v.port, b"GET /api/info HTTP/1.0\r\n\r\n")
        assert status_of(answer) == 400


class TestBadRequests:
    @pytest.mark.parametrize("path,status", [
        ("/api/frame/abc", 400), ("/api/frame/-1", 400), ("/api/frame/1e3", 400),
        ("/api/frame/", 400), ("/api/frame/0x10", 400), ("/api/frame/%31", 200),
        ("/api/frame/99999999999999999999999999", 400), ("/api/frame/2147483648", 400),
        ("/api/frame/30", 404), ("/api/frame/999999999", 404),
        ("/frame/3.gif", 404), ("/frame/3.png.jpg", 404), ("/thumb/3.png", 404),
        ("/frame/3?arrow=1", 400), ("/frame/3?arrow=5,x", 400), ("/frame/3?arrow=96,10", 400),
        ("/frame/3?arrow=10,64", 400), ("/frame/3?arrow=99999,1", 400),
        ("/frame/3?stamp=yes", 400), ("/frame/3?stamp=1&stamp=0", 400),
        ("/frame/3?colour=red", 400), ("/api/info?x=1", 400), ("/save/3", 404),
        ("/api/frame/3?x=1", 400),
    ])
    def test_answers(self, start_viewer, sequences, path, status):
        v = start_viewer(sequences["jpg"])
        got, kind, body = v.get(path)
        assert got == status, (path, body)
        if status != 200:
            assert kind.startswith("text/plain") and body.strip(), path

    @pytest.mark.parametrize("path", ["/etc/passwd", "/../../etc/passwd", "/api", "/frame",
                                      "/viewer.js/x", "/index.html", "/api/frames/1", "/frame/1/2"])
    def test_nothing_else_is_served(self, start_viewer, sequences, path):
        v = start_viewer(sequences["jpg"])
        assert v.get(path)[0] == 404, path

    def test_survives_broken_requests(self, start_viewer, sequences):
        v = start_viewer(sequences["jpg"])
        for text in (b"GARBAGE\r\n\r\n", b"GET /%zz HTTP/1.1\r\nHost: x\r\n\r\n",
                     b"GET /" + b"a" * 20000 + b" HTTP/1.1\r\n\r\n",
                     b"POST / HTTP/1.1\r\nHost: 127.0.0.1:%d\r\nContent-Length: 99999999\r\n\r\n" % v.port,
                     b"DELETE /frame/1 HTTP/1.1\r\nHost: 127.0.0.1:%d\r\n\r\n" % v.port):
            answer = raw_request(v.port, text)
            assert not answer or 400 <= status_of(answer) < 500, answer[:80]
        assert v.get("/api/info")[0] == 200
        assert v.proc.poll() is None


class TestFrames:
    def test_stored_jpeg_is_sent_as_it_is(self, start_viewer, sequences):
        for name in ("jpg", "jpe", "road.se1"):
            v = start_viewer(sequences[name])
            with vialto.open(str(sequences[name])) as seq:
                for n in (0, 7, len(seq) - 1):
                    status, kind, body = v.get(f"/frame/{n}")
                    assert (status, kind) == (200, "image/jpeg")
                    assert body == seq[n].stored(), (name, n)
                    assert v.get(f"/frame/{n}.jpg")[2] == body
                    assert np.array_equal(decode(body), seq[n].rgb()), (name, n)

    def test_ser_frames_are_lossless_png(self, start_viewer, sequences):
        v = start_viewer(sequences["road.ser"])
        for n in (0, 1):
            status, kind, body = v.get(f"/frame/{n}")
            assert (status, kind) == (200, "image/png")
            assert np.array_equal(decode(body), library_rgb(sequences["road.ser"], n))
            status, kind, body = v.get(f"/frame/{n}.jpg")
            assert kind == "image/jpeg"
            assert np.abs(decode(body).astype(int) - library_rgb(sequences["road.ser"], n)).mean() < 3

    def test_records_carry_the_decoded_sub_header(self, start_viewer, sequences):
        v = start_viewer(sequences["jpe"])
        info = v.json("/api/info")
        assert (info["type"], info["frame_count"], info["forward_only"]) == ("se1", 30, False)
        assert info["info"]["dwHeadLen"] == 128
        with vialto.open(str(sequences["jpe"])) as seq:
            for n in (5, 0, 29):
                record = v.json(f"/api/frame/{n}")
                frame = seq[n]
                assert record["number"] == n and record["codec"] == "JPE"
                assert (record["width"], record["height"]) == (96, 64)
                assert record["time"] == "00:%02d.%03d" % (n * 40 // 1000, n * 40 % 1000)
                sub = frame.sub_header
                for field in ("nFrameNo", "nFrameLen", "nPrevFrameLen", "wWidth", "wHeight",
                              "byColorStatus", "wVal2D", "wVal3C"):
                    assert record["sub_header"][field] == getattr(sub, field), field
                assert record["position"] == frame.position and record["length"] == frame.length
        ser = start_viewer(sequences["road.ser"])
        assert ser.json("/api/frame/1")["sub_header"] is None
        assert [ser.json(f"/api/frame/{n}")["colour"] for n in (0, 1)] == [0, 1]

    def test_thumbnails_are_small_jpegs(self, start_viewer, sequences):
        v = start_viewer(sequences["road.ser"])
        status, kind, body = v.get("/thumb/1.jpg")
        assert (status, kind) == (200, "image/jpeg")
        thumb = decode(body).astype(int)
        assert thumb.shape == (60, 160, 3)
        # The library's scale of the frame, through a JPEG.
        full = library_rgb(sequences["road.ser"], 1).astype(int)
        assert abs(thumb.mean() - full.mean()) < 3

    def test_overlays_and_saves(self, start_viewer, sequences):
        v = start_viewer(sequences["road.se1"])
        plain = decode(v.get("/frame/2.png")[2])
        assert np.array_equal(plain, library_rgb(sequences["road.se1"], 2))
        arrow = decode(v.get("/frame/2?arrow=200,150")[2])
        changed = np.argwhere((arrow != plain).any(axis=2))
        assert len(changed) > 100
        # The arrow's head lands next to the point, its body away from it.
        assert changed[:, 1].max() <= 200 + 2 and changed[:, 0].min() >= 150 - 70
        stamp = decode(v.get("/frame/2?stamp=1")[2])
        assert (stamp[:30, :200] != plain[:30, :200]).any() and np.array_equal(stamp[60:], plain[60:])
        status, kind, saved = v.get("/save/2.png?arrow=200,150")
        assert (status, kind) == (200, "image/png") and np.array_equal(decode(saved), arrow)
        status, kind, saved = v.get("/save/2.jpg?stamp=1&arrow=200,150")
        assert kind == "image/jpeg" and decode(saved).shape == plain.shape
        conn = http.client.HTTPConnection("127.0.0.1", v.port, timeout=10)
        conn.request("GET", "/save/2.png")
        assert conn.getresponse().getheader("Content-Disposition") == 'attachment; filename="frame-2.png"'

    def test_frame_the_library_cannot_decode(self, start_viewer, sequences, served_dir):
        # Frame 0 tagged "XYZ": its record is there, its pictures are refused, the rest are served.
        data = bytearray(sequences["jpg"].read_bytes())
        assert data[128 + 8:128 + 11] == b"JPG"
        data[128 + 8:128 + 11] = b"XYZ"
        path = served_dir / "unknown-tag.se1"
        path.write_bytes(bytes(data))
        v = start_viewer(path)
        assert v.json("/api/frame/0")["codec"] == "XYZ"
        for picture in ("/frame/0", "/frame/0.jpg", "/frame/0.png", "/thumb/0.jpg",
                        "/frame/0?stamp=1", "/save/0.png"):
            status, _, body = v.get(picture)
            assert status == 415 and b"XYZ" in body, picture
        assert v.get("/frame/1")[0] == 200

    def test_parallel_requests_each_get_their_frame(self, start_viewer, sequences):
        # One decoder serves every worker thread: answers must not mix frames.
        v = start_viewer(sequences["jpg"])
        with vialto.open(str(sequences["jpg"])) as seq:
            stored = [seq[n].stored() for n in range(30)]
        failures = []

        def fetch(start):
            for k in range(30):
                n = (start * 7 + k * 11) % 30
                if v.get(f"/frame/{n}.png")[2] == b"" or v.json(f"/api/frame/{n}")["number"] != n:
                    failures.append(n)
                if v.get(f"/frame/{n}")[2] != stored[n]:
                    failures.append(n)

        threads = [threading.Thread(target=fetch, args=(i,)) for i in range(6)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        assert failures == []


class TestUrlSources:
    def test_http_source_serves_the_same_frames(self, start_viewer, sequences, nginx):
        v = start_viewer(nginx.url("steps-jpg.se1"))
        info = v.json("/api/info")
        assert info["remote"] and not info["forward_only"] and info["length"] is None
        with vialto.open(str(sequences["jpg"])) as seq:
            for n in (12, 3, 29, 0):
                assert v.get(f"/frame/{n}")[2] == seq[n].stored(), n

    def test_ftp_source_reads_forward_only(self, start_viewer, sequences, ftp):
        v = start_viewer(ftp("steps-jpe.se1"))
        assert v.json("/api/info")["forward_only"]
        with vialto.open(str(sequences["jpe"])) as seq:
            for n in (0, 1, 5):
                assert v.get(f"/frame/{n}")[2] == seq[n].stored(), n
            # Seen frames come from the cache; unseen ones behind the stream are refused.
            assert v.get("/frame/1")[2] == seq[1].stored()
            status, _, body = v.get("/thumb/2.jpg")
            assert status == 409 and b"forward only" in body
            assert v.get("/frame/9")[2] == seq[9].stored()

    def test_unreachable_source_fails_at_start(self, nginx):
        result = subprocess.run([VIALTO, "view", nginx.url("missing.se1"), "--no-open"],
                                capture_output=True, text=True, timeout=30)
        assert result.returncode == 1 and "cannot open the URL" in result.stderr


class TestLifecycle:
    @pytest.mark.parametrize("sig", [signal.SIGINT, signal.SIGTERM])
    def test_stops_cleanly_on_a_signal(self, start_viewer, sequences, sig):
        v = start_viewer(sequences["jpg"])
        # A keep-alive connection left open must not hold the stop up.
        conn = http.client.HTTPConnection("127.0.0.1", v.port, timeout=10)
        conn.request("GET", "/api/info")
        conn.getresponse().read()
        v.proc.send_signal(sig)
        assert v.proc.wait(10) == 0
        assert "stopped" in v.proc.stdout.read()

    def test_binds_loopback_and_the_port_asked_for(self, start_viewer, sequences):
        v = start_viewer(sequences["jpg"])
        assert v.host.startswith("127.0.0.1:")
        again = subprocess.run([VIALTO, "view", str(sequences["jpg"]), "--no-open", "--port",
                                str(v.port)], capture_output=True, text=True, timeout=30)
        assert again.returncode == 1 and "cannot listen" in again.stderr

    def test_listens_where_asked(self, start_viewer, sequences):
        v = start_viewer(sequences["jpg"], "--host", "127.0.0.2")
        assert v.host.startswith("127.0.0.2:")
        assert v.get("/api/info")[0] == 200
        assert v.get("/api/info", headers={"Host": "viewer.example:%d" % v.port})[0] == 403

    @pytest.mark.parametrize("args", [["--port", "70000"], ["--port", "x"], [], ["a", "b"]])
    def test_bad_usage(self, sequences, args):
        words = [VIALTO, "view", *(args if args in ([], ["a", "b"]) else [str(sequences["jpg"]), *args])]
        result = subprocess.run(words + ["--no-open"], capture_output=True, text=True, timeout=30)
        assert result.returncode == 2, result.stderr
