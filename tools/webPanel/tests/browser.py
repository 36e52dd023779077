#!/usr/bin/env python3
"""A real headless Chromium for the web panel's tests and benchmark, driven
over the DevTools protocol (a WebSocket) with nothing but the standard
library.  Chromium runs with a fresh empty profile, no network of its own,
and dies with this process.

As a module: Browser() starts it; open(url) gives a page; evaluate, click,
key and screenshot act on a page; close() ends it.

As a program: one command a line on stdin, each answered by one line
"#<id> <answer>" on stdout:
    <id> open URL                   -> page number
    <id> eval PAGE EXPRESSION       -> JSON of the value (promises awaited)
    <id> wait PAGE MS EXPRESSION    -> "ok" once truthy, "timeout <value>"
    <id> click PAGE SELECTOR        -> "ok" (a real mouse press and release)
    <id> touch PAGE HELD TAPPED     -> "ok" (a finger holds HELD while another taps TAPPED)
    <id> key PAGE down|up|press KEY -> "ok" (a DOM key name: Escape, ArrowUp, Enter)
    <id> shot PAGE FILE             -> "ok" (a PNG of the page)
Errors answer "error <text>".  End of input or "quit" ends Chromium.
"""
import base64
import ctypes
import json
import os
import shutil
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import time

CHROMIUM_FLAGS = [
    "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
    "--disable-background-networking", "--disable-component-update", "--disable-sync",
    "--disable-extensions", "--mute-audio", "--window-size=900,420", "--remote-debugging-port=0",
]

KEYS = {  # DOM key -> (code, Windows virtual key code)
    "Escape": ("Escape", 27), "Enter": ("Enter", 13), "ArrowUp": ("ArrowUp", 38),
    "ArrowDown": ("ArrowDown", 40), "ArrowLeft": ("ArrowLeft", 37),
    "ArrowRight": ("ArrowRight", 39),
}


def _die_with_parent():
    # PR_SET_PDEATHSIG: Chromium gets SIGKILL when this driver goes, even by kill -9
    try:
        ctypes.CDLL("libc.so.6").prctl(1, signal.SIGKILL)
    except OSError:
        pass
    os.setsid()


class WebSocket:
    """A minimal client: text frames out (masked), frames in."""

    def __init__(self, host, port, path, timeout=10):
        self.sock = socket.create_connection((host, port), timeout=timeout)
        key = base64.b64encode(os.urandom(16)).decode()
        self.sock.sendall((f"GET {path} HTTP/1.1\r\nHost: {host}:{port}\r\nUpgrade: websocket\r\n"
                           f"Connection: Upgrade\r\nSec-WebSocket-Key: {key}\r\n"
                           "Sec-WebSocket-Version: 13\r\n\r\n").encode())
        head = b""
        while b"\r\n\r\n" not in head:
            chunk = self.sock.recv(1)
            if not chunk:
                raise OSError("WebSocket handshake refused")
            head += chunk
        if b" 101 " not in head.split(b"\r\n")[0]:
            raise OSError("WebSocket handshake: " + head.split(b"\r\n")[0].decode())
        self.buf = b""

    def send(self, text):
        data = text.encode()
        mask = os.urandom(4)
        n = len(data)
        head = bytes([0x81]) + (bytes([0x80 | n]) if n < 126 else
                                bytes([0x80 | 126]) + struct.pack(">H", n) if n < 65536 else
                                bytes([0x80 | 127]) + struct.pack(">Q", n))
        self.sock.sendall(head + mask + bytes(b ^ mask[i % 4] for i, b in enumerate(data)))

    def _read(self, n):
        while len(self.buf) < n:
            chunk = self.sock.recv(1 << 16)
            if not chunk:
                raise OSError("WebSocket closed")
            self.buf += chunk
        out, self.buf = self.buf[:n], self.buf[n:]
        return out

    def recv(self):
        message = b""
        while True:
            b0, b1 = self._read(2)
            n = b1 & 0x7F
            if n == 126:
                n = struct.unpack(">H", self._read(2))[0]
            elif n == 127:
                n = struct.unpack(">Q", self._read(8))[0]
            message += self._read(n)
            if b0 & 0x80:
                return message.decode()


class Browser:
    def __init__(self, binary=None, timeout=20):
        self.profile = tempfile.mkdtemp(prefix="dova-chromium.")
        binary = binary or shutil.which("chromium") or "chromium"
        self.proc = subprocess.Popen(
            [binary] + CHROMIUM_FLAGS + [f"--user-data-dir={self.profile}", "about:blank"],
            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
            preexec_fn=_die_with_parent)
        port_file = os.path.join(self.profile, "DevToolsActivePort")
        deadline = time.time() + timeout
        while time.time() < deadline:
            try:
                with open(port_file) as f:
                    port, path = f.read().split()[:2]
                break
            except (OSError, ValueError):
                if self.proc.poll() is not None:
                    raise OSError("chromium ended at start")
                time.sleep(0.05)
        else:
            self.close()
            raise OSError("chromium did not start")
        self.ws = WebSocket("127.0.0.1", int(port), path)
        self.next_id = 0
        self.pages = []
        self.in_front = None

    def call(self, method, session=None, **params):
        self.next_id += 1
        msg = {"id": self.next_id, "method": method, "params": params}
        if session:
            msg["sessionId"] = session
        self.ws.send(json.dumps(msg))
        while True:
            answer = json.loads(self.ws.recv())
            if answer.get("id") == self.next_id:
                if "error" in answer:
                    raise RuntimeError(answer["error"].get("message", "error"))
                return answer["result"]

    def open(self, url):
        target = self.call("Target.createTarget", url="about:blank")["targetId"]
        session = self.call("Target.attachToTarget", targetId=target, flatten=True)["sessionId"]
        self.call("Page.enable", session)
        self.call("Page.navigate", session, url=url)
        self.pages.append(session)
        page = len(self.pages) - 1
        ok, _ = self.wait(page, 10000, "location.href === %s && document.readyState === 'complete'"
                          % json.dumps(url))
        if not ok:
            raise RuntimeError("page did not load: " + url)
        return page

    def evaluate(self, page, expression):
        r = self.call("Runtime.evaluate", self.pages[page], expression=expression,
                      returnByValue=True, awaitPromise=True)
        if "exceptionDetails" in r:
            raise RuntimeError(r["exceptionDetails"].get("text", "exception"))
        return r["result"].get("value")

    def wait(self, page, ms, expression):
        deadline = time.time() + ms / 1000.0
        value = None
        while time.time() < deadline:
            try:
                value = self.evaluate(page, expression)
            except RuntimeError as e:
                value = str(e)
            if value:
                return True, value
            time.sleep(0.02)
        return False, value

    def front(self, page):
        # input goes to the page in front; a page opened later took the front
        if self.in_front != page:
            self.call("Page.bringToFront", self.pages[page])
            self.in_front = page

    def centre(self, page, selector):
        return self.evaluate(page, "(() => { const r = document.querySelector(%s)"
                                   ".getBoundingClientRect(); return [r.x + r.width / 2, "
                                   "r.y + r.height / 2]; })()" % json.dumps(selector))

    def click(self, page, selector):
        self.front(page)
        box = self.centre(page, selector)
        for kind in ("mouseMoved", "mousePressed", "mouseReleased"):
            self.call("Input.dispatchMouseEvent", self.pages[page], type=kind, x=box[0], y=box[1],
                      button="none" if kind == "mouseMoved" else "left", clickCount=1)

    def touch(self, page, held, tapped):
        # a touchEnd lifts the fingers it names (all when none)
        self.front(page)
        (x0, y0), (x1, y1) = self.centre(page, held), self.centre(page, tapped)
        first, second = {"x": x0, "y": y0, "id": 1}, {"x": x1, "y": y1, "id": 2}
        for kind, points in (("touchStart", [first]), ("touchStart", [first, second]),
                             ("touchEnd", [second]), ("touchEnd", [])):
            self.call("Input.dispatchTouchEvent", self.pages[page], type=kind, touchPoints=points)

    def key(self, page, action, name):
        self.front(page)
        code, vk = KEYS.get(name, (name, 0))
        kinds = {"down": ["rawKeyDown"], "up": ["keyUp"], "press": ["rawKeyDown", "keyUp"]}[action]
        for kind in kinds:
            self.call("Input.dispatchKeyEvent", self.pages[page], type=kind, key=name, code=code,
                      windowsVirtualKeyCode=vk)

    def screenshot(self, page, path):
        data = self.call("Page.captureScreenshot", self.pages[page], format="png")["data"]
        with open(path, "wb") as f:
            f.write(base64.b64decode(data))

    def close(self):
        if self.proc.poll() is None:
            try:
                os.killpg(self.proc.pid, signal.SIGKILL)
            except OSError:
                pass
            self.proc.wait()
        shutil.rmtree(self.profile, ignore_errors=True)


def serve(browser):
    for line in sys.stdin:
        parts = line.rstrip("\n").split(" ", 2)
        if len(parts) < 2 or parts[1] == "quit":
            break
        ident, cmd, rest = parts[0], parts[1], parts[2] if len(parts) > 2 else ""
        try:
            if cmd == "open":
                answer = str(browser.open(rest))
            elif cmd == "eval":
                page, expr = rest.split(" ", 1)
                answer = json.dumps(browser.evaluate(int(page), expr))
            elif cmd == "wait":
                page, ms, expr = rest.split(" ", 2)
                ok, value = browser.wait(int(page), int(ms), expr)
                answer = "ok" if ok else "timeout " + json.dumps(value)
            elif cmd == "click":
                page, selector = rest.split(" ", 1)
                browser.click(int(page), selector)
                answer = "ok"
            elif cmd == "touch":
                page, held, tapped = rest.split(" ", 2)
                browser.touch(int(page), held, tapped)
                answer = "ok"
            elif cmd == "key":
                page, action, name = rest.split(" ", 2)
                browser.key(int(page), action, name)
                answer = "ok"
            elif cmd == "shot":
                page, path = rest.split(" ", 1)
                browser.screenshot(int(page), path)
                answer = "ok"
            else:
                answer = "error unknown command " + cmd
        except Exception as e:  # the test reads the reason
            answer = "error " + str(e).replace("\n", " ")
        print(f"#{ident} {answer}", flush=True)


def main():
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    browser = Browser()
    print("browser ready", flush=True)
    try:
        serve(browser)
    finally:
        browser.close()


if __name__ == "__main__":
    main()
