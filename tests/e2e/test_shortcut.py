"""The desktop shortcut: the first start writes QuillbayThornvale.lnk on the session's desktop, pointing at the exe
as Wine sees it, shown normally, with nothing else set; a later start leaves it alone; an entry of that name that
is a folder counts as present; a desktop that cannot be written does not keep the launcher from starting. Each
start ends with exit code 0 when the window is closed. The desktop is restored at the end."""

import getpass
import os
import shutil
import struct
import tempfile
import time
from pathlib import Path

import harness

LINK_NAME = "QuillbayThornvale.lnk"

# Shell link header (MS-SHLLINK 2.1): LinkFlags at 0x14, ShowCommand at 0x3C, HotKey at 0x40.
HAS_NAME, HAS_RELATIVE_PATH, HAS_WORKING_DIR, HAS_ARGUMENTS, HAS_ICON_LOCATION = 0x4, 0x8, 0x10, 0x20, 0x40
SW_SHOW = 5


def desktop_folder() -> Path:
    """The Unix folder behind the Wine user's desktop (C:\\users\\<user>\\Desktop)."""
    link = Path(os.environ["WINEPREFIX"]) / "drive_c" / "users" / getpass.getuser() / "Desktop"
    if not link.is_symlink():
        harness.fail(f"{link} is not a link into the session's HOME; is this scripts/wine-session?")
    return Path(os.path.realpath(link))


def windows_path(exe: str) -> str:
    return harness.run(["winepath", "-w", str(Path(exe).resolve())], timeout=60).stdout.decode().strip()


def other_windows(program: harness.Program, launcher: int) -> list[str]:
    """Titles of the program's viewable, named windows other than the launcher (a message box would be one)."""
    found = []
    for wid in harness._all_windows():
        if wid == launcher or harness.map_state(wid) != "viewable":
            continue
        name = harness.window_name(wid)
        if name and harness.window_pid(wid) == program.pid:
            found.append(name)
    return found


def run_once(exe: str, cwd: str, what: str) -> None:
    """Starts the launcher, waits for its window (its creation handler, shortcut included, has run by then),
    checks that nothing else was shown, and closes it: exit code 0."""
    with harness.start(exe, cwd=cwd) as program:
        wid = harness.wait_for_window(program=program)
        # The window is shown after the creation handler; give a report a moment to appear, should one come.
        time.sleep(1.0)
        extra = other_windows(program, wid)
        if extra:
            harness.fail(f"{what}: the program showed more than its window: {extra}")
        method, code = harness.close_program(program, wid)
        harness.log(f"{what}: closed by {method}, exit code {code}")
        if method == "already ended" or code != 0:
            harness.fail(f"{what}: ended by {method} with exit code {code}; output:\n{program.output()}")


def check_link(link: Path, target: str) -> None:
    data = link.read_bytes()
    if len(data) < 0x4C or struct.unpack_from("<I", data, 0)[0] != 0x4C:
        harness.fail(f"{link} is not a shell link ({len(data)} bytes)")
    flags, = struct.unpack_from("<I", data, 0x14)
    show, = struct.unpack_from("<I", data, 0x3C)
    hot_key, = struct.unpack_from("<H", data, 0x40)
    harness.log(f"link flags 0x{flags:08x}, show command {show}, hot key 0x{hot_key:04x}")
    if show != SW_SHOW:
        harness.fail(f"show command {show}, expected {SW_SHOW}")
    if hot_key != 0:
        harness.fail(f"the link has a hot key: 0x{hot_key:04x}")
    for bit, field in ((HAS_NAME, "a description"), (HAS_WORKING_DIR, "a working directory"),
                       (HAS_ARGUMENTS, "arguments"), (HAS_ICON_LOCATION, "an icon location")):
        if flags & bit:
            harness.fail(f"the link has {field} (flags 0x{flags:08x})")

    info = harness.run(["lnkinfo", "-c", "windows-936", str(link)], timeout=30).stdout.decode(errors="replace")
    harness.log("lnkinfo:\n" + info)
    paths = [line.split(":", 1)[1].strip() for line in info.splitlines()
             if line.strip().startswith("Local path")]
    if not paths:
        harness.fail(f"lnkinfo shows no local path:\n{info}")
    if paths[0].lower() != target.lower():
        harness.fail(f"the link points at {paths[0]!r}, expected {target!r}")
    for field in ("Command line arguments", "Working directory", "Description", "Icon location"):
        if any(line.strip().startswith(field) for line in info.splitlines()):
            harness.fail(f"lnkinfo shows a {field.lower()}:\n{info}")


def check(exe: str) -> None:
    desktop = desktop_folder()
    link = desktop / LINK_NAME
    target = windows_path(exe)
    harness.log(f"desktop {desktop}, program {target}")
    saved = tempfile.mkdtemp(prefix="thornvale-desktop-")
    cwd = tempfile.mkdtemp(prefix="thornvale-cwd-")
    shutil.copytree(desktop, saved, dirs_exist_ok=True, symlinks=True)
    try:
        # Start from a desktop without the link.
        if link.is_dir():
            shutil.rmtree(link)
        elif link.exists() or link.is_symlink():
            link.unlink()

        run_once(exe, cwd, "first start")
        if not link.is_file():
            harness.fail(f"the first start wrote no {LINK_NAME}; desktop holds {sorted(os.listdir(desktop))}")
        check_link(link, target)

        # A second start finds it and leaves it as it was.
        before = link.stat().st_mtime_ns, link.read_bytes()
        time.sleep(1.1)
        run_once(exe, cwd, "second start")
        if (link.stat().st_mtime_ns, link.read_bytes()) != before:
            harness.fail("the second start rewrote the link")

        # A folder of that name counts as present.
        link.unlink()
        link.mkdir()
        listing = sorted(os.listdir(desktop))
        run_once(exe, cwd, "start with a folder of that name")
        if not link.is_dir() or os.listdir(link):
            harness.fail("the folder named like the link was changed")
        if sorted(os.listdir(desktop)) != listing:
            harness.fail(f"the desktop changed: {listing} -> {sorted(os.listdir(desktop))}")
        link.rmdir()

        # A desktop that cannot be written: a plain file where the folder should be (root writes anywhere).
        shutil.rmtree(desktop)
        desktop.write_text("not a folder\n")
        run_once(exe, cwd, "start with an unwritable desktop")
        if not desktop.is_file() or desktop.read_text() != "not a folder\n":
            harness.fail("the file standing in for the desktop was changed")
        # Nothing lands in the current directory or beside the program instead.
        if os.listdir(cwd):
            harness.fail(f"files appeared in the current directory: {os.listdir(cwd)}")
        if (Path(exe).resolve().parent / LINK_NAME).exists():
            harness.fail("a link appeared beside the program")
    finally:
        if desktop.is_file() or desktop.is_symlink():
            desktop.unlink()
        elif desktop.is_dir():
            shutil.rmtree(desktop)
        shutil.copytree(saved, desktop, symlinks=True)
        shutil.rmtree(saved, ignore_errors=True)
        shutil.rmtree(cwd, ignore_errors=True)


harness.main(check)
