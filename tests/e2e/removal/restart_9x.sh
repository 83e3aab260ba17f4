#!/usr/bin/env bash
# Files in use are deleted and renamed at the next start of the system, on
# the 9x line through wininit.ini alone.
#   restart_9x.sh EXE LIB
set -u
source "$2"
line=9x
source "$(dirname "${BASH_SOURCE[0]}")/scenario.bash"
