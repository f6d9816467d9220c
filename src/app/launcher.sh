#!/bin/sh
# Starts Tarvell from its program folder beside this launcher's bin/, wherever it was installed.
here=$(dirname "$(readlink -f "$0")")
exec "$here/../lib/tarvell/tarvell" "$@"
