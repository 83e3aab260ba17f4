#!/usr/bin/env bash
# Files in use are deleted and renamed at the next start of the system on an
# NT system that reports the 9x line (Wine's win98, as a compatibility mode
# makes Windows NT): through the boot-time list the system keeps.
#   restart_9x.sh EXE LIB
set -u
source "$2"
line=9x
source "$(dirname "${BASH_SOURCE[0]}")/scenario.bash"
