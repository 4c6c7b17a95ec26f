"""The launcher starts, shows a window titled "Thornvale", and ends with exit code 0 when that window is closed."""

import time

import harness


def check(exe: str) -> None:
    with harness.start(exe) as program:
        wid = harness.wait_for_window("Thornvale", program=program)
        to_window = time.monotonic() - program.started_at
        g = harness.geometry(wid)
        harness.log(f"window 0x{wid:x} titled 'Thornvale' after {to_window:.2f} s at {g.x},{g.y} {g.width}x{g.height}")

        closing = time.monotonic()
        method, code = harness.close_program(program, wid)
        harness.log(f"closed by {method}: exit code {code} after {time.monotonic() - closing:.2f} s")
        if method == "already ended":
            harness.fail(f"the program ended by itself (exit code {code}) before it was asked to close")
        if code != 0:
            harness.fail(f"the program ended with exit code {code} (expected 0); its output:\n{program.output()}")
        harness.wait_for_no_window("Thornvale", timeout=5)


harness.main(check)
