"""The boss key on the real launcher, with a window manager (openbox) on the display: F10 minimises the launcher
(the window manager unmaps it and marks it iconic); once it is restored, shift+F10, ctrl+F10 and alt+F10 leave it
alone, and plain F10 still works after them. The program ends with exit code 0 when closed."""

import time

import harness

KEY_TIMEOUT = 10.0
# How long a key that must do nothing is given to show an effect.
QUIET = 1.5


def minimised(wid: int) -> bool:
    return harness.map_state(wid) != "viewable" and harness.wm_state(wid) == "iconic"


def shown(wid: int) -> bool:
    return harness.map_state(wid) == "viewable" and harness.wm_state(wid) == "normal"


def press(wid: int, keys: str) -> None:
    """Activates the window through the window manager, then sends the keys."""
    harness.activate(wid)
    time.sleep(0.3)
    harness.run(["xdotool", "key", keys], timeout=10)


def restore(wid: int) -> None:
    harness.activate(wid)
    harness.wait_until(lambda: shown(wid), KEY_TIMEOUT, "the launcher to be restored")


def check(exe: str) -> None:
    with harness.WindowManager(), harness.start(exe) as program:
        wid = harness.wait_for_window(program=program)
        harness.wait_until(lambda: shown(wid), KEY_TIMEOUT, "the launcher to be managed")

        press(wid, "F10")
        harness.wait_until(lambda: minimised(wid), KEY_TIMEOUT, "F10 to minimise the launcher")
        harness.log(f"F10: {harness.map_state(wid)}, WM_STATE {harness.wm_state(wid)}")

        restore(wid)
        for keys in ("shift+F10", "ctrl+F10", "alt+F10"):
            press(wid, keys)
            time.sleep(QUIET)
            if not shown(wid):
                harness.fail(f"{keys} changed the launcher: {harness.map_state(wid)}, WM_STATE "
                             f"{harness.wm_state(wid)}")
            harness.log(f"{keys}: still shown")

        # The key still reaches the program after those: the checks above were not vacuous.
        press(wid, "F10")
        harness.wait_until(lambda: minimised(wid), KEY_TIMEOUT, "F10 to minimise the launcher again")

        restore(wid)
        method, code = harness.close_program(program, wid)
        harness.log(f"closed by {method}: exit code {code}")
        if method == "already ended" or code != 0:
            harness.fail(f"ended by {method} with exit code {code}; output:\n{program.output()}")


harness.main(check)
