"""Dragging the launcher: a press on its artwork moves the window; a press on a picture button or in the browser
does not."""

import time

import harness


def drag(x0: int, y0: int, dx: int, dy: int) -> None:
    # Step by step, as a hand would, so that the system's move follows the pointer.
    harness.run(["xdotool", "mousemove", str(x0), str(y0), "mousedown", "1"])
    time.sleep(0.3)
    for step in (1, 2):
        harness.run(["xdotool", "mousemove", str(x0 + dx * step // 2), str(y0 + dy * step // 2)])
        time.sleep(0.2)
    harness.run(["xdotool", "mouseup", "1"])
    time.sleep(0.8)


def check(exe: str) -> None:
    with harness.start(exe) as program:
        wid = harness.wait_for_window("Thornvale", program=program)
        harness.wait_until_drawn(wid)
        g = harness.geometry(wid)
        harness.log(f"launcher at {g.x},{g.y}")

        # The frame above the panel, away from every button.
        drag(g.x + 300, g.y + 60, 100, 50)
        moved = harness.geometry(wid)
        if (moved.x, moved.y) != (g.x + 100, g.y + 50):
            harness.fail(f"a drag on the artwork moved the launcher to {moved.x},{moved.y}, "
                         f"expected {g.x + 100},{g.y + 50}")

        # The official-site button and the browser keep their presses.
        for name, rx, ry in (("picture button", 110 + 78, 100 + 17), ("browser", 500, 400)):
            drag(moved.x + rx, moved.y + ry, 80, 40)
            now = harness.geometry(wid)
            if (now.x, now.y) != (moved.x, moved.y):
                harness.fail(f"a drag on the {name} moved the launcher to {now.x},{now.y}")

        method, code = harness.close_program(program, wid)
        if code != 0:
            harness.fail(f"exit code {code} after closing by {method}")


harness.main(check)
