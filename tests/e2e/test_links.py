"""The four link buttons of the real launcher open their addresses through the shell (ShellExecute -> winebrowser ->
a fake xdg-open), one per click and in click order; the launcher window stays mapped where it was; the program
ends with exit code 0 when closed. The expected addresses come from the build's configuration header."""

import re
import time
from pathlib import Path

import harness

# Window-relative centres of 图形按钮1..4.
BUTTONS = {
    "图形按钮1": (110 + 78, 100 + 17),
    "图形按钮2": (272 + 78, 100 + 17),
    "图形按钮3": (672 + 78, 100 + 17),
    "图形按钮4": (834 + 78, 96 + 17),
}


def build_config(exe: str) -> dict[str, str]:
    """The string macros of build/<arch>/generated/build_config.h, beside build/<arch>/thornvale.exe."""
    header = Path(exe).resolve().parent / "generated" / "build_config.h"
    if not header.is_file():
        harness.fail(f"no build configuration at {header}")
    return dict(re.findall(r'^#define\s+(\w+)\s+"([^"]*)"', header.read_text(), re.MULTILINE))


def expected_addresses(config: dict[str, str]) -> dict[str, str]:
    official = f"http://{config['THORNVALE_OFFICIAL_HOST']}/"
    return {
        "图形按钮1": official,
        "图形按钮2": f"http://{config['THORNVALE_PLATFORM_HOST']}/pay/",
        "图形按钮3": official,
        "图形按钮4": (f"http://{config['THORNVALE_CHAT_HOST']}/msgrd?v=3&uin={config['THORNVALE_SERVICE_ACCOUNT']}"
                     "&site=qq&menu=yes"),
    }


def check(exe: str) -> None:
    expected = expected_addresses(build_config(exe))
    opened = harness.OpenedAddresses()
    with harness.start(exe, env=opened.env()) as program:
        wid = harness.wait_for_window(program=program)
        harness.wait_until_drawn(wid)
        place = harness.geometry(wid)

        want = []
        for button, centre in BUTTONS.items():
            harness.click_in(wid, *centre)
            want.append(expected[button])
            got = opened.wait_for(len(want))
            harness.log(f"{button} at {centre}: {got[-1]}")
            if got != want:
                harness.fail(f"after clicking {button} the shell opened {got}, expected {want}")
            if harness.map_state(wid) != "viewable" or harness.geometry(wid) != place:
                harness.fail(f"the launcher moved or went away after clicking {button}: "
                             f"{harness.map_state(wid)} at {harness.geometry(wid)}, was at {place}")

        # No late or doubled requests.
        time.sleep(1.5)
        if opened.addresses() != want:
            harness.fail(f"the shell opened {opened.addresses()}, expected {want}")

        method, code = harness.close_program(program, wid)
        harness.log(f"closed by {method}: exit code {code}")
        if method == "already ended" or code != 0:
            harness.fail(f"ended by {method} with exit code {code}; output:\n{program.output()}")


harness.main(check)
