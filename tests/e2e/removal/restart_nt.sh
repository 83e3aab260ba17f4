#!/usr/bin/env bash
# Files in use are deleted and renamed at the next start of the system, on
# the NT line through the boot-time list alone.
#   restart_nt.sh EXE LIB
set -u
source "$2"
line=nt
source "$(dirname "${BASH_SOURCE[0]}")/scenario.bash"
