#!/bin/sh
# Stands in for xdg-open in the Win32 tests: records each address it is asked to open instead of opening it.
printf '%s\n' "$1" >> "${TMPDIR:-/tmp}/thornvale-opened-addresses.log"
