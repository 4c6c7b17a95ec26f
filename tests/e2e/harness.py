"""Helpers for end-to-end checks of thornvale.exe under Wine on an X display.

Run with Debian's /usr/bin/python3 (needs python3-xlib) inside scripts/wine-session, which provides DISPLAY,
WINEPREFIX and HOME. Every wait is bounded, and whatever a check starts (the program under Wine, a window
manager) is killed when the check ends, however it ends.

A check usually looks like:

    import harness
    def check(exe):
        with harness.start(exe) as program:
            wid = harness.wait_for_window("Thornvale", program=program)
            ...
            harness.close_program(program, wid)
    harness.main(check)
"""

from __future__ import annotations

import atexit
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass
from pathlib import Path
from typing import Callable, Iterable, NoReturn, Optional, TypeVar

from Xlib import X, Xatom, display as xdisplay, error as xerror
from Xlib.ext import shape
from Xlib.protocol import event as xevent

T = TypeVar("T")

WINDOW_TITLE = "Thornvale"
# The launcher's own close button, relative to its window (inclusive pixel ranges 1023..1045 x 48..70).
CLOSE_BUTTON_CENTRE = (1034, 59)
# Closing a top-level window under Wine on Xvfb takes about 2 s; leave ample room.
CLOSE_TIMEOUT = 20.0
WINDOW_TIMEOUT = 60.0


class Failure(Exception):
    """A check failed; the message says what was expected and what was seen."""


def fail(message: str) -> NoReturn:
    raise Failure(message)


def log(message: str) -> None:
    print(f"[{time.monotonic() - _START:7.2f}s] {message}", flush=True)


_START = time.monotonic()


# ---------------------------------------------------------------------------------------------------------------
# Cleanup: everything started here is registered and killed at exit, on SIGTERM/SIGINT/SIGHUP as well.

_cleanups: list[Callable[[], None]] = []


def _run_cleanups() -> None:
    while _cleanups:
        action = _cleanups.pop()
        try:
            action()
        except Exception as exc:  # keep cleaning up the rest
            print(f"harness: cleanup failed: {exc}", file=sys.stderr)


def _on_signal(signum, _frame):
    _run_cleanups()
    os._exit(128 + signum)


atexit.register(_run_cleanups)
for _sig in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
    signal.signal(_sig, _on_signal)


def _kill_group(popen: subprocess.Popen) -> None:
    """Kills a process started in a session of its own, with everything it started."""
    if popen.poll() is None:
        try:
            os.killpg(popen.pid, signal.SIGKILL)
        except (ProcessLookupError, PermissionError):
            pass
        try:
            popen.kill()
        except ProcessLookupError:
            pass
        try:
            popen.wait(timeout=10)
        except subprocess.TimeoutExpired:
            print(f"harness: process {popen.pid} did not die", file=sys.stderr)
    else:
        # The leader is gone; children it left in its group (winebrowser, a shell) still die with it.
        try:
            os.killpg(popen.pid, signal.SIGKILL)
        except (ProcessLookupError, PermissionError):
            pass


# ---------------------------------------------------------------------------------------------------------------
# Small utilities.


def wait_until(predicate: Callable[[], Optional[T]], timeout: float, what: str, interval: float = 0.1) -> T:
    """Calls predicate until it returns something truthy and returns that; fails after timeout seconds."""
    deadline = time.monotonic() + timeout
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() >= deadline:
            fail(f"timed out after {timeout:.1f} s waiting for {what}")
        time.sleep(interval)


def run(cmd: list[str], timeout: float = 30.0, check: bool = True, **kwargs) -> subprocess.CompletedProcess:
    """Runs a helper command (xdotool, import, convert) with a bounded time; fails on a non-zero status."""
    try:
        result = subprocess.run(cmd, stdin=subprocess.DEVNULL, capture_output=True, timeout=timeout, **kwargs)
    except subprocess.TimeoutExpired:
        fail(f"{cmd[0]} did not finish within {timeout:.0f} s: {' '.join(cmd)}")
    except FileNotFoundError:
        fail(f"{cmd[0]} is not installed (scripts/setup installs it)")
    if check and result.returncode != 0:
        err = result.stderr.decode(errors="replace").strip()
        fail(f"{' '.join(cmd)} failed with status {result.returncode}: {err}")
    return result


def _tool(name: str) -> str:
    # Prefer Debian's own copy over anything put earlier on PATH.
    debian = f"/usr/bin/{name}"
    return debian if os.access(debian, os.X_OK) else name


# ---------------------------------------------------------------------------------------------------------------
# The program under Wine.


class Program:
    """thornvale.exe (or any exe) running under `wine`; the Unix process is the Windows process itself."""

    def __init__(self, exe: str, args: Iterable[str] = (), cwd: Optional[str] = None,
                 env: Optional[dict] = None, log_path: Optional[str] = None):
        self.exe = str(Path(exe).resolve())
        self.args = list(args)
        self.cwd = cwd
        if log_path is None:
            handle, log_path = tempfile.mkstemp(prefix="thornvale-wine-", suffix=".log")
            os.close(handle)
            _cleanups.append(lambda: os.path.exists(log_path) and os.unlink(log_path))
        self.log_path = log_path
        self.started_at = time.monotonic()
        with open(log_path, "wb") as out:
            self.popen = subprocess.Popen(
                ["wine", self.exe, *self.args], cwd=cwd, env=env if env is not None else os.environ.copy(),
                stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT, start_new_session=True)
        self.pid = self.popen.pid
        _cleanups.append(self.kill)

    # Context manager: the program never outlives the block.
    def __enter__(self) -> "Program":
        return self

    def __exit__(self, *_exc) -> None:
        self.kill()

    def running(self) -> bool:
        return self.popen.poll() is None

    @property
    def exit_code(self) -> Optional[int]:
        return self.popen.poll()

    def wait(self, timeout: float) -> int:
        """Waits for the program to end and returns its exit code; fails (and kills it) after timeout seconds."""
        try:
            return self.popen.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            self.kill()
            fail(f"the program did not end within {timeout:.1f} s")

    def kill(self) -> None:
        _kill_group(self.popen)

    def output(self) -> str:
        """What Wine and the program wrote to stdout/stderr so far (WINEDEBUG=-all keeps it short)."""
        try:
            return Path(self.log_path).read_text(errors="replace")
        except OSError:
            return ""


def test_env(**extra: str) -> dict:
    """The environment for the program: this one (the Wine session's) plus extra variables."""
    env = os.environ.copy()
    env.setdefault("WINEDEBUG", "-all")
    env.setdefault("WINEDLLOVERRIDES", "mscoree=;winemenubuilder.exe=d")
    env.update(extra)
    return env


def start(exe: str, args: Iterable[str] = (), cwd: Optional[str] = None, env: Optional[dict] = None) -> Program:
    """Starts exe under wine with the given working directory and environment (default: test_env())."""
    require_display()
    return Program(exe, args=args, cwd=cwd, env=env if env is not None else test_env())


# ---------------------------------------------------------------------------------------------------------------
# The X side: windows, shapes, input.

_display: Optional[xdisplay.Display] = None


def require_display() -> None:
    if not os.environ.get("DISPLAY"):
        fail("no DISPLAY: run this under scripts/wine-session")


def x() -> xdisplay.Display:
    """The harness's X connection (opened on first use)."""
    global _display
    if _display is None:
        require_display()
        _display = xdisplay.Display()
        if not _display.has_extension("SHAPE"):
            fail("the X server has no SHAPE extension")
    return _display


def _atom(name: str) -> int:
    return x().intern_atom(name)


def _window(wid: int):
    return x().create_resource_object("window", wid)


@dataclass(frozen=True)
class Rect:
    x: int
    y: int
    width: int
    height: int

    def contains(self, px: int, py: int) -> bool:
        return self.x <= px < self.x + self.width and self.y <= py < self.y + self.height


def window_name(wid: int) -> Optional[str]:
    """_NET_WM_NAME (UTF-8) if set, else WM_NAME; None for a window that has gone."""
    try:
        w = _window(wid)
        prop = w.get_full_property(_atom("_NET_WM_NAME"), _atom("UTF8_STRING"))
        if prop is not None and prop.value:
            value = prop.value
            return value.decode("utf-8", "replace") if isinstance(value, bytes) else str(value)
        name = w.get_wm_name()
        if isinstance(name, bytes):
            name = name.decode("latin-1")
        return name
    except (xerror.BadWindow, xerror.BadDrawable):
        return None


def window_pid(wid: int) -> Optional[int]:
    try:
        prop = _window(wid).get_full_property(_atom("_NET_WM_PID"), Xatom.CARDINAL)
    except xerror.BadWindow:
        return None
    return int(prop.value[0]) if prop is not None and len(prop.value) else None


def _all_windows() -> list[int]:
    """Every window below the root, parents before children (client windows sit inside WM frames)."""
    found = []
    stack = [x().screen().root]
    while stack:
        w = stack.pop()
        try:
            children = w.query_tree().children
        except xerror.BadWindow:
            continue
        for child in children:
            found.append(child.id)
            stack.append(child)
    return found


def find_windows(name: str = WINDOW_TITLE, viewable_only: bool = True) -> list[int]:
    """Ids of the windows whose title is exactly name (mapped and viewable ones only, unless told otherwise)."""
    result = []
    for wid in _all_windows():
        if window_name(wid) != name:
            continue
        if viewable_only and map_state(wid) != "viewable":
            continue
        result.append(wid)
    return result


def wait_for_window(name: str = WINDOW_TITLE, timeout: float = WINDOW_TIMEOUT,
                    program: Optional[Program] = None) -> int:
    """Waits for a viewable window titled exactly name and returns its id. With program given, fails at once if
    the program ends first, and prefers the window whose _NET_WM_PID is the program's."""

    def look() -> Optional[int]:
        if program is not None and not program.running():
            fail(f"the program ended with exit code {program.exit_code} before a window titled {name!r} appeared;"
                 f" its output:\n{program.output()}")
        wids = find_windows(name)
        if program is not None:
            own = [w for w in wids if window_pid(w) == program.pid]
            wids = own or wids
        return wids[0] if wids else None

    return wait_until(look, timeout, f"a window titled {name!r}")


def wait_for_no_window(name: str = WINDOW_TITLE, timeout: float = CLOSE_TIMEOUT) -> None:
    wait_until(lambda: not find_windows(name), timeout, f"no window titled {name!r} to be left")


def geometry(wid: int) -> Rect:
    """The window's place on the screen (root coordinates, whatever frame a window manager put around it)."""
    w = _window(wid)
    g = w.get_geometry()
    origin = w.translate_coords(x().screen().root, 0, 0)
    # translate_coords(root, 0, 0) gives the root origin in the window's coordinates: negate it.
    return Rect(-origin.x, -origin.y, g.width, g.height)


def map_state(wid: int) -> str:
    """'unmapped', 'unviewable' (mapped, but an ancestor is not) or 'viewable'; 'gone' if it no longer exists."""
    try:
        state = _window(wid).get_attributes().map_state
    except (xerror.BadWindow, xerror.BadDrawable):
        return "gone"
    return {X.IsUnmapped: "unmapped", X.IsUnviewable: "unviewable", X.IsViewable: "viewable"}[state]


def wm_state(wid: int) -> Optional[str]:
    """The ICCCM WM_STATE a window manager keeps on a client: 'withdrawn', 'normal', 'iconic', or None."""
    try:
        prop = _window(wid).get_full_property(_atom("WM_STATE"), _atom("WM_STATE"))
    except xerror.BadWindow:
        return None
    if prop is None or not len(prop.value):
        return None
    return {0: "withdrawn", 1: "normal", 3: "iconic"}.get(int(prop.value[0]), str(prop.value[0]))


def net_wm_state(wid: int) -> set[str]:
    """The EWMH _NET_WM_STATE atoms' names (e.g. _NET_WM_STATE_HIDDEN, _NET_WM_STATE_MAXIMIZED_VERT)."""
    try:
        prop = _window(wid).get_full_property(_atom("_NET_WM_STATE"), Xatom.ATOM)
    except xerror.BadWindow:
        return set()
    if prop is None:
        return set()
    return {x().get_atom_name(a) for a in prop.value}


def is_shaped(wid: int) -> bool:
    """Whether the window has a bounding shape of its own (Wine turns a window region into one)."""
    return bool(_window(wid).shape_query_extents().bounding_shaped)


def shape_rectangles(wid: int) -> list[Rect]:
    """The rectangles of the window's bounding shape, relative to the window (one covering the window if it has
    no shape)."""
    reply = _window(wid).shape_get_rectangles(shape.SK.Bounding)
    return [Rect(r.x, r.y, r.width, r.height) for r in reply.rectangles]


def shape_contains(rects: list[Rect], px: int, py: int) -> bool:
    return any(r.contains(px, py) for r in rects)


def shape_area(rects: list[Rect]) -> int:
    """Area covered by the rectangles (X returns them non-overlapping, so a sum is exact)."""
    return sum(r.width * r.height for r in rects)


def click(px: int, py: int, button: int = 1) -> None:
    """Moves the pointer to the screen point and clicks there."""
    run(["xdotool", "mousemove", str(px), str(py), "click", str(button)], timeout=10)


def click_in(wid: int, rx: int, ry: int, button: int = 1) -> None:
    """Clicks at a point relative to the window's top-left corner."""
    g = geometry(wid)
    click(g.x + rx, g.y + ry, button)


def move_pointer(px: int, py: int) -> None:
    run(["xdotool", "mousemove", str(px), str(py)], timeout=10)


def focus(wid: int) -> None:
    """Gives the window the X input focus (without a window manager `windowactivate` does nothing)."""
    run(["xdotool", "windowfocus", str(wid)], timeout=10)


def activate(wid: int) -> None:
    """Asks the window manager to activate the window (needs a running one, see WindowManager)."""
    run(["xdotool", "windowactivate", str(wid)], timeout=10)


def key(wid: int, *keys: str) -> None:
    """Focuses the window and sends the keys (xdotool names: F10, Return, ctrl+w, ...)."""
    focus(wid)
    time.sleep(0.2)
    run(["xdotool", "key", *keys], timeout=10)


def request_close(wid: int) -> None:
    """Asks the window to close as a window manager's close button does: WM_PROTOCOLS/WM_DELETE_WINDOW."""
    d = x()
    w = _window(wid)
    message = xevent.ClientMessage(
        window=w, client_type=_atom("WM_PROTOCOLS"),
        data=(32, [_atom("WM_DELETE_WINDOW"), X.CurrentTime, 0, 0, 0]))
    caught = xerror.CatchError(xerror.BadWindow)
    w.send_event(message, event_mask=X.NoEventMask, onerror=caught)
    d.sync()
    if caught.get_error():
        log(f"window 0x{wid:x} was already gone when asked to close")


def supports_delete_window(wid: int) -> bool:
    try:
        protocols = _window(wid).get_wm_protocols() or []
    except xerror.BadWindow:
        return False
    return _atom("WM_DELETE_WINDOW") in protocols


def close_program(program: Program, wid: int, timeout: float = CLOSE_TIMEOUT,
                  button: Optional[tuple[int, int]] = CLOSE_BUTTON_CENTRE) -> tuple[str, int]:
    """Closes the program's window and waits for the program to end. Tries WM_DELETE_WINDOW first; if the program
    is still running after a while, clicks the window-relative button (the launcher's own close button) instead.
    Returns (how it closed: 'WM_DELETE_WINDOW', 'close button' or 'already ended', exit code)."""
    if not program.running():
        return "already ended", program.exit_code
    request_close(wid)
    try:
        return "WM_DELETE_WINDOW", program.popen.wait(timeout=timeout / 2)
    except subprocess.TimeoutExpired:
        pass
    if button is None:
        program.kill()
        fail(f"the program ignored WM_DELETE_WINDOW for {timeout / 2:.0f} s")
    log(f"WM_DELETE_WINDOW did not end the program; clicking {button} in the window")
    click_in(wid, *button)
    try:
        return "close button", program.popen.wait(timeout=timeout / 2)
    except subprocess.TimeoutExpired:
        program.kill()
        fail("the program ended neither on WM_DELETE_WINDOW nor on a click on its close button")


# ---------------------------------------------------------------------------------------------------------------
# Screenshots.


class Image:
    """An RGB picture in memory (read through ImageMagick, no PIL needed)."""

    def __init__(self, width: int, height: int, data: bytes):
        self.width, self.height, self.data = width, height, data

    @classmethod
    def load(cls, path: str) -> "Image":
        ppm = run([_tool("convert"), str(path), "-depth", "8", "ppm:-"], timeout=60).stdout
        return cls._from_ppm(ppm)

    @classmethod
    def _from_ppm(cls, ppm: bytes) -> "Image":
        # P6 <ws> width <ws> height <ws> maxval <one ws> data (no comments from ImageMagick).
        fields, pos = [], 0
        while len(fields) < 4:
            while ppm[pos:pos + 1].isspace():
                pos += 1
            end = pos
            while not ppm[end:end + 1].isspace():
                end += 1
            fields.append(ppm[pos:end])
            pos = end
        if fields[0] != b"P6" or int(fields[3]) != 255:
            fail(f"unexpected picture format from convert: {fields}")
        width, height = int(fields[1]), int(fields[2])
        data = ppm[pos + 1:pos + 1 + width * height * 3]
        if len(data) != width * height * 3:
            fail("short picture data from convert")
        return cls(width, height, data)

    def pixel(self, px: int, py: int) -> tuple[int, int, int]:
        if not (0 <= px < self.width and 0 <= py < self.height):
            fail(f"pixel ({px}, {py}) lies outside the {self.width}x{self.height} picture")
        i = (py * self.width + px) * 3
        return self.data[i], self.data[i + 1], self.data[i + 2]

    def crop(self, rect: Rect) -> "Image":
        rows = []
        for py in range(rect.y, rect.y + rect.height):
            i = (py * self.width + rect.x) * 3
            rows.append(self.data[i:i + rect.width * 3])
        return Image(rect.width, rect.height, b"".join(rows))


def screenshot(path: str) -> Image:
    """Writes the whole screen to a PNG at path and returns it as an Image."""
    Path(path).parent.mkdir(parents=True, exist_ok=True)
    run([_tool("import"), "-window", "root", str(path)], timeout=60)
    return Image.load(path)


def screenshot_window(wid: int, path: str) -> Image:
    """Writes what the screen shows where the window is (its box, shape-cut parts included) to a PNG at path."""
    g = geometry(wid)
    Path(path).parent.mkdir(parents=True, exist_ok=True)
    run([_tool("import"), "-window", "root", "-crop", f"{g.width}x{g.height}+{g.x}+{g.y}", "+repage", str(path)],
        timeout=60)
    return Image.load(path)


def wait_until_drawn(wid: int, timeout: float = 15.0) -> Image:
    """Waits until the window's box on the screen holds more than one colour (Wine paints a little after it maps
    a window) and returns that picture of it."""
    handle, path = tempfile.mkstemp(prefix="thornvale-shot-", suffix=".png")
    os.close(handle)
    try:
        def drawn():
            img = screenshot_window(wid, path)
            first = img.data[:3]
            return img if img.data != first * (img.width * img.height) else None
        return wait_until(drawn, timeout, f"window 0x{wid:x} to be drawn", interval=0.3)
    finally:
        os.unlink(path)


def colour_close(a: tuple[int, int, int], b: tuple[int, int, int], tolerance: int = 8) -> bool:
    return all(abs(p - q) <= tolerance for p, q in zip(a, b))


# ---------------------------------------------------------------------------------------------------------------
# A window manager, for checks of minimise, maximise and restore (start it before the program).


class WindowManager:
    """openbox on the current display; stops when the block ends."""

    def __init__(self, timeout: float = 20.0):
        require_display()
        if self.running_wm():
            fail("a window manager already runs on this display")
        handle, self.log_path = tempfile.mkstemp(prefix="thornvale-openbox-", suffix=".log")
        os.close(handle)
        _cleanups.append(lambda: os.path.exists(self.log_path) and os.unlink(self.log_path))
        with open(self.log_path, "wb") as out:
            self.popen = subprocess.Popen(
                ["openbox", "--sm-disable", "--config-file", "/dev/null"],
                stdin=subprocess.DEVNULL, stdout=out, stderr=subprocess.STDOUT, start_new_session=True)
        _cleanups.append(self.stop)

        def ready():
            if self.popen.poll() is not None:
                fail(f"openbox ended with status {self.popen.returncode}: {Path(self.log_path).read_text()}")
            return self.running_wm()

        wait_until(ready, timeout, "openbox to manage the display")

    @staticmethod
    def running_wm() -> bool:
        d = x()
        return d.get_selection_owner(d.intern_atom(f"WM_S{d.get_default_screen()}")) != X.NONE

    def __enter__(self) -> "WindowManager":
        return self

    def __exit__(self, *_exc) -> None:
        self.stop()

    def stop(self) -> None:
        if self.popen.poll() is None:
            try:
                os.killpg(self.popen.pid, signal.SIGTERM)
            except ProcessLookupError:
                pass
            try:
                self.popen.wait(timeout=10)
            except subprocess.TimeoutExpired:
                pass
        _kill_group(self.popen)


# ---------------------------------------------------------------------------------------------------------------
# Addresses the program opens through the shell (ShellExecute -> winebrowser -> xdg-open).


class OpenedAddresses:
    """A fake `xdg-open` in a folder of its own; put env() into the program's environment and every address
    winebrowser hands to xdg-open is appended, one a line, to a file read by addresses()."""

    def __init__(self, directory: Optional[str] = None):
        if directory is None:
            directory = tempfile.mkdtemp(prefix="thornvale-xdg-")
            _cleanups.append(lambda: shutil.rmtree(directory, ignore_errors=True))
        self.bin_dir = Path(directory) / "bin"
        self.bin_dir.mkdir(parents=True, exist_ok=True)
        self.record = Path(directory) / "opened.txt"
        self.record.write_text("")
        script = self.bin_dir / "xdg-open"
        script.write_text(f'#!/bin/sh\nprintf \'%s\\n\' "$1" >> \'{self.record}\'\n')
        script.chmod(0o755)

    def env(self, base: Optional[dict] = None) -> dict:
        env = dict(base) if base is not None else test_env()
        env["PATH"] = f"{self.bin_dir}{os.pathsep}{env.get('PATH', '')}"
        return env

    def addresses(self) -> list[str]:
        return [line for line in self.record.read_text().splitlines() if line]

    def wait_for(self, count: int = 1, timeout: float = 20.0) -> list[str]:
        """Waits until at least count addresses were opened and returns all of them."""
        return wait_until(lambda: (a := self.addresses()) and len(a) >= count and a, timeout,
                          f"{count} address(es) opened through xdg-open")


# ---------------------------------------------------------------------------------------------------------------
# Entry point of a check script.


def main(check: Callable[[str], None]) -> None:
    """Runs check(path to the exe) and exits 0 on success; prints the failure and exits 1 otherwise. Everything
    started is cleaned up either way."""
    if len(sys.argv) != 2:
        print(f"usage: {sys.argv[0]} PATH/TO/thornvale.exe", file=sys.stderr)
        sys.exit(2)
    exe = sys.argv[1]
    if not os.path.isfile(exe):
        print(f"FAIL: no program at {exe}", file=sys.stderr)
        sys.exit(1)
    try:
        check(exe)
    except Failure as exc:
        print(f"FAIL: {exc}", file=sys.stderr, flush=True)
        _run_cleanups()
        sys.exit(1)
    except Exception:
        import traceback
        traceback.print_exc()
        _run_cleanups()
        sys.exit(1)
    _run_cleanups()
    print("PASS", flush=True)
    sys.exit(0)
