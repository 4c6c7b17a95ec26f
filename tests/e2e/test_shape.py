"""The launcher opens centred on the screen, cut to its artwork: the white margin of its background picture is not
part of the window (the screen's own background shows there), and the program ends with exit code 0 when closed."""

import os
import tempfile

import harness

WIDTH, HEIGHT = 1103, 756
# Window-relative points and the colours assets/LauncherBackground.gif has there.
ARTWORK = {(200, 20): (108, 65, 30), (200, 60): (128, 25, 24), (30, 400): (135, 29, 26)}
# Points in the cut-away margin: (1, 1) is white in the picture, (1100, 400) lies beyond its 1100 columns.
CUT_AWAY = [(1, 1), (1100, 400)]
# The screen's background during the check, a colour the artwork has at none of the points above.
ROOT_COLOUR = (32, 128, 200)


def centred_origin(screen: int, size: int) -> int:
    return int((screen - size) / 2)  # truncated toward zero, as the program does


def set_root_background(colour) -> None:
    d = harness.x()
    root = d.screen().root
    if colour is None:
        root.change_attributes(background_pixmap=0)  # None: the server's default background again
    else:
        pixel = d.screen().default_colormap.alloc_color(*(c * 257 for c in colour)).pixel
        root.change_attributes(background_pixel=pixel)
    root.clear_area()
    d.sync()


def check_shape(wid: int) -> None:
    if not harness.is_shaped(wid):
        harness.fail("the launcher window has no X shape")
    rects = harness.shape_rectangles(wid)
    for r in rects:
        if r.y < 3 or r.y + r.height > 742 or r.x < 5 or r.x + r.width > 1098:
            harness.fail(f"the shape reaches into the white margin: {r}")
    if not harness.shape_contains(rects, 551, 378):
        harness.fail("the middle of the window (the browser panel) is not in the shape")
    for point in ARTWORK:
        if not harness.shape_contains(rects, *point):
            harness.fail(f"the artwork point {point} is not in the shape")
    harness.log(f"shape: {len(rects)} rectangles, {harness.shape_area(rects)} pixels")


def check_screen(wid: int) -> None:
    handle, path = tempfile.mkstemp(prefix="thornvale-shape-", suffix=".png")
    os.close(handle)
    try:
        def drawn():
            img = harness.screenshot_window(wid, path)
            return img if all(harness.colour_close(img.pixel(*p), c) for p, c in ARTWORK.items()) else None

        try:
            img = harness.wait_until(drawn, 20.0, "the artwork to be drawn", interval=0.3)
        except harness.Failure:
            img = harness.screenshot_window(wid, path)
            seen = {p: img.pixel(*p) for p in ARTWORK}
            harness.fail(f"the artwork is not on the screen: expected {ARTWORK}, seen {seen}")
        for point in CUT_AWAY:
            seen = img.pixel(*point)
            if not harness.colour_close(seen, ROOT_COLOUR):
                harness.fail(f"at {point} the screen shows {seen}, not its own background {ROOT_COLOUR}")
    finally:
        os.unlink(path)


def check(exe: str) -> None:
    set_root_background(ROOT_COLOUR)
    try:
        with harness.start(exe) as program:
            wid = harness.wait_for_window("Thornvale", program=program)
            screen = harness.x().screen()
            expected = (centred_origin(screen.width_in_pixels, WIDTH), centred_origin(screen.height_in_pixels, HEIGHT))
            g = harness.geometry(wid)
            harness.log(f"window 0x{wid:x} at {g.x},{g.y} {g.width}x{g.height} on a "
                        f"{screen.width_in_pixels}x{screen.height_in_pixels} screen")
            if (g.x, g.y, g.width, g.height) != (*expected, WIDTH, HEIGHT):
                harness.fail(f"the window is at {g.x},{g.y} {g.width}x{g.height}, "
                             f"expected {expected[0]},{expected[1]} {WIDTH}x{HEIGHT}")
            check_shape(wid)
            check_screen(wid)

            method, code = harness.close_program(program, wid)
            harness.log(f"closed by {method}: exit code {code}")
            if code != 0:
                harness.fail(f"the program ended with exit code {code} (expected 0); its output:\n{program.output()}")
            harness.wait_for_no_window("Thornvale", timeout=5)
    finally:
        set_root_background(None)


harness.main(check)
