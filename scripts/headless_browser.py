"""Drives Debian's headless Chromium and Firefox ESR over WebSocket (websocket-client).

Run with Debian's /usr/bin/python3 and its package python3-websocket. Chromium
speaks its DevTools protocol: it is started with a fresh profile and
--remote-debugging-port=0, the port it picked is read from DevToolsActivePort,
and one WebSocket to the browser carries every command, pages being addressed by
their flattened session ids. Firefox speaks WebDriver BiDi: the port it picked
is read from WebDriverBiDiServer.json in its fresh profile. Both offer the same
few calls: new_page, resize, navigate, evaluate, screenshot and close.
"""

import base64
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time

try:
    import websocket
except ImportError as e:
    sys.exit(f"{e}: install Debian's python3-websocket (scripts/install-deps.sh ci) "
             "and run with /usr/bin/python3")

CHROMIUM_FLAGS = [
    "--headless",
    "--no-sandbox",
    "--disable-gpu",
    "--disable-quic",
    "--no-first-run",
    "--no-default-browser-check",
    "--disable-background-networking",
    "--disable-component-update",
    "--disable-sync",
    "--disable-extensions",
    "--hide-scrollbars",
    "--mute-audio",
    "--force-color-profile=srgb",
    "--font-render-hinting=none",
]


# Evaluated in a document: its root element and size, and each picture it references
# (SVG image or HTML img) decoded through a fresh image element: [url, width, height],
# zero for one that does not load.
DOCUMENT_PICTURES = """(async () => {
  const root = document.documentElement;
  const box = root.getBoundingClientRect();
  const links = [...document.querySelectorAll('image, img')].map(e =>
      e.localName === 'img' ? e.src
          : new URL(e.getAttribute('href') ||
                    e.getAttributeNS('http://www.w3.org/1999/xlink', 'href') || '',
                    document.baseURI).href);
  const pictures = [];
  for (const url of links) {
    const probe = new Image();
    probe.src = url;
    try { await probe.decode(); pictures.push([url, probe.naturalWidth, probe.naturalHeight]); }
    catch (e) { pictures.push([url, 0, 0]); }
  }
  return {url: document.URL, root: root.localName, width: box.width, height: box.height, pictures};
})()"""


class BrowserError(Exception):
    pass


class _WebSocket:
    """One WebSocket to a browser's remote protocol: JSON text out, JSON text in."""

    def __init__(self, url, timeout):
        self.timeout = timeout
        try:
            # NOTE: Firefox refuses a handshake that names an Origin it was not told to
            # allow (400 Bad Request), so none is sent.
            self._ws = websocket.create_connection(url, timeout=timeout, suppress_origin=True,
                                                   skip_utf8_validation=True)
        except (websocket.WebSocketException, OSError) as e:
            raise BrowserError(f"cannot connect to {url}: {e}") from e

    def send(self, text):
        try:
            self._ws.send(text)
        except (websocket.WebSocketException, OSError) as e:
            raise BrowserError(f"the browser closed the connection: {e}") from e

    def receive(self):
        try:
            return self._ws.recv()
        except websocket.WebSocketTimeoutException as e:
            raise BrowserError(f"the browser sent nothing within {self.timeout} s") from e
        except (websocket.WebSocketException, OSError) as e:
            raise BrowserError(f"the browser closed the connection: {e}") from e

    def close(self):
        """Drops the connection without a closing handshake: the browser is closing."""
        self._ws.shutdown()


class _Headless:
    """A browser process on a fresh profile, and one WebSocket to its remote protocol."""

    name = ""
    close_command = ""

    def _start(self, argv, profile, address, timeout):
        """Starts argv and connects to the URL that address() returns once it is known."""
        self.timeout, self._profile, self._ws, self._next_id = timeout, profile, None, 0
        self._log = open(os.path.join(profile, "stderr.log"), "wb")
        try:
            self._proc = subprocess.Popen(argv, stdin=subprocess.DEVNULL, stdout=self._log,
                                          stderr=self._log)
        except OSError as e:
            self._log.close()
            shutil.rmtree(profile, ignore_errors=True)
            raise BrowserError(f"cannot start {self.name}: {e}") from e
        deadline = time.monotonic() + timeout
        url = None
        while url is None:
            if self._proc.poll() is not None or time.monotonic() > deadline:
                self.close()
                raise BrowserError(f"{self.name} did not open its remote protocol port")
            time.sleep(0.05)
            try:
                url = address()
            except (OSError, ValueError, IndexError, KeyError):
                url = None
        try:
            self._ws = _WebSocket(url, timeout)
        except BrowserError:
            self.close()
            raise

    def close(self):
        if self._ws:
            try:
                self.call(self.close_command)
            except (BrowserError, OSError):
                pass
            self._ws.close()
            self._ws = None
        if self._proc.poll() is None:
            try:
                self._proc.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self._proc.kill()
                self._proc.wait()
        self._log.close()
        shutil.rmtree(self._profile, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


class Browser(_Headless):
    """One headless Chromium; pages are sessions on the browser's connection."""

    name = "chromium"
    close_command = "Browser.close"

    def __init__(self, executable=None, timeout=60):
        exe = executable or os.environ.get("VQ_CHROMIUM") or shutil.which("chromium")
        if not exe:
            raise BrowserError("chromium is not installed (Debian package chromium)")
        profile = tempfile.mkdtemp(prefix="vq-chromium-")

        def address():
            with open(os.path.join(profile, "DevToolsActivePort")) as f:
                port, path = f.read().split()[:2]
            return f"ws://127.0.0.1:{port}{path}"

        self._events = []
        self._start([exe, *CHROMIUM_FLAGS, f"--user-data-dir={profile}",
                     "--remote-debugging-port=0", "about:blank"], profile, address, timeout)

    def call(self, method, params=None, session=None):
        """Sends a command and returns its result; events that arrive meanwhile are kept."""
        self._next_id += 1
        message = {"id": self._next_id, "method": method, "params": params or {}}
        if session:
            message["sessionId"] = session
        self._ws.send(json.dumps(message))
        while True:
            reply = json.loads(self._ws.receive())
            if reply.get("id") == self._next_id:
                if "error" in reply:
                    raise BrowserError(f"{method}: {reply['error'].get('message')}")
                return reply.get("result", {})
            if "method" in reply:
                self._events.append(reply)

    def events(self, name, session=None):
        """Returns (and forgets) the kept events of one kind."""
        found = [e for e in self._events
                 if e["method"] == name and (session is None or e.get("sessionId") == session)]
        self._events = [e for e in self._events if e not in found]
        return [e.get("params", {}) for e in found]

    def wait_event(self, name, session=None, timeout=None):
        deadline = time.monotonic() + (timeout or self.timeout)
        while True:
            found = self.events(name, session)
            if found:
                return found[0]
            if time.monotonic() > deadline:
                raise BrowserError(f"no {name} within {timeout or self.timeout} s")
            reply = json.loads(self._ws.receive())
            if "method" in reply:
                self._events.append(reply)

    def new_page(self, width, height):
        """Opens a blank page of the given viewport size and returns its session id."""
        target = self.call("Target.createTarget", {"url": "about:blank"})["targetId"]
        session = self.call("Target.attachToTarget",
                            {"targetId": target, "flatten": True})["sessionId"]
        self.call("Page.enable", session=session)
        self.call("Runtime.enable", session=session)
        self.call("Emulation.setDefaultBackgroundColorOverride",
                  {"color": {"r": 255, "g": 255, "b": 255, "a": 1}}, session)
        self.resize(session, width, height)
        return session

    def resize(self, session, width, height):
        self.call("Emulation.setDeviceMetricsOverride",
                  {"width": int(width), "height": int(height), "deviceScaleFactor": 1,
                   "mobile": False}, session)

    def navigate(self, session, url):
        """Loads url and waits for its load event (which waits for images and objects)."""
        self.events("Page.loadEventFired", session)
        result = self.call("Page.navigate", {"url": url}, session)
        if result.get("errorText"):
            raise BrowserError(f"{url}: {result['errorText']}")
        self.wait_event("Page.loadEventFired", session)

    def evaluate(self, session, expression, context=None):
        """Evaluates an expression (awaiting a promise) and returns its value."""
        params = {"expression": expression, "returnByValue": True, "awaitPromise": True}
        if context is not None:
            params["contextId"] = context
        result = self.call("Runtime.evaluate", params, session)
        if "exceptionDetails" in result:
            raise BrowserError(f"evaluation failed: {result['exceptionDetails'].get('text')}")
        return result["result"].get("value")

    def screenshot(self, session, clip=None):
        """Returns the PNG bytes of the viewport, or of clip (x, y, width, height)."""
        params = {"format": "png", "captureBeyondViewport": True}
        if clip:
            x, y, w, h = clip
            params["clip"] = {"x": x, "y": y, "width": w, "height": h, "scale": 1}
        return base64.b64decode(self.call("Page.captureScreenshot", params, session)["data"])


FIREFOX_PREFS = {
    "browser.shell.checkDefaultBrowser": False,
    "datareporting.policy.dataSubmissionEnabled": False,
    "toolkit.telemetry.enabled": False,
    "app.normandy.enabled": False,
    "browser.safebrowsing.update.enabled": False,
    "network.connectivity-service.enabled": False,
    "network.captive-portal-service.enabled": False,
    "layout.css.devPixelsPerPx": "1.0",
}


def _from_remote(value):
    """Turns a WebDriver BiDi remote value into a Python value."""
    kind, inner = value.get("type"), value.get("value")
    if kind in ("array", "set"):
        return [_from_remote(v) for v in inner]
    if kind == "object":
        return {k if isinstance(k, str) else _from_remote(k): _from_remote(v) for k, v in inner}
    if kind in ("undefined", "null"):
        return None
    return inner


class Firefox(_Headless):
    """One headless Firefox ESR over WebDriver BiDi; pages are browsing contexts."""

    name = "firefox"
    close_command = "browser.close"

    def __init__(self, executable=None, timeout=60):
        exe = executable or os.environ.get("VQ_FIREFOX") or shutil.which("firefox-esr") \
            or shutil.which("firefox")
        if not exe:
            raise BrowserError("firefox is not installed (Debian package firefox-esr)")
        profile = tempfile.mkdtemp(prefix="vq-firefox-")
        with open(os.path.join(profile, "user.js"), "w") as f:
            for key, value in FIREFOX_PREFS.items():
                f.write(f"user_pref({json.dumps(key)}, {json.dumps(value)});\n")

        def address():
            with open(os.path.join(profile, "WebDriverBiDiServer.json")) as f:
                server = json.load(f)
            return f"ws://{server['ws_host']}:{server['ws_port']}/session"

        self._start([exe, "--headless", "--no-remote", "--profile", profile,
                     "--remote-debugging-port", "0", "about:blank"], profile, address, timeout)
        self.call("session.new", {"capabilities": {}})

    def call(self, method, params=None):
        self._next_id += 1
        self._ws.send(json.dumps({"id": self._next_id, "method": method, "params": params or {}}))
        while True:
            reply = json.loads(self._ws.receive())
            if reply.get("id") == self._next_id:
                if reply.get("type") == "error":
                    raise BrowserError(f"{method}: {reply.get('error')}: {reply.get('message')}")
                return reply.get("result", {})

    def new_page(self, width, height):
        context = self.call("browsingContext.create", {"type": "tab"})["context"]
        self.resize(context, width, height)
        return context

    def resize(self, context, width, height):
        self.call("browsingContext.setViewport",
                  {"context": context, "viewport": {"width": int(width), "height": int(height)},
                   "devicePixelRatio": 1})

    def navigate(self, context, url):
        self.call("browsingContext.navigate", {"context": context, "url": url, "wait": "complete"})

    def evaluate(self, context, expression, context_id=None):
        result = self.call("script.evaluate",
                           {"expression": expression, "target": {"context": context},
                            "awaitPromise": True, "resultOwnership": "none"})
        if result.get("type") == "exception":
            details = result.get("exceptionDetails", {})
            raise BrowserError(f"evaluation failed: {details.get('text')}")
        return _from_remote(result["result"])

    def screenshot(self, context, clip=None):
        params = {"context": context, "origin": "viewport", "format": {"type": "image/png"}}
        if clip:
            x, y, w, h = clip
            params["clip"] = {"type": "box", "x": x, "y": y, "width": w, "height": h}
        return base64.b64decode(self.call("browsingContext.captureScreenshot", params)["data"])
