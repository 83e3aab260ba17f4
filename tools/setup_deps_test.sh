#!/usr/bin/env bash
# Checks what scripts/setup-deps asks of dpkg and apt on machines in
# different states, with stand-ins for dpkg, dpkg-query, apt-get, id and sudo
# that record their calls: a fresh machine gets the i386 architecture, a
# package list update and every package, without a question from apt; a
# complete one gets nothing at all.
#
# setup_deps_test.sh SETUP_DEPS
set -u
[ $# -eq 1 ] || { echo "usage: $0 SETUP_DEPS" >&2; exit 2; }
setup_deps=$1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

all_packages="cmake ninja-build g++ googletest libgtest-dev clang libclang-rt-14-dev g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 wine32:i386 tmux locales clang-format zip unzip"

# The stand-ins keep the machine's state in $WS_STATE: installed (one
# package a line), arches (foreign architectures), uid; calls go to log.
bin=$work/bin
mkdir -p "$bin"
cat >"$bin/dpkg-query" <<'EOF'
#!/usr/bin/env bash
package=${!#}
grep -qxF -- "$package" "$WS_STATE/installed" || exit 1
printf installed
EOF
cat >"$bin/dpkg" <<'EOF'
#!/usr/bin/env bash
case "$1" in
  --print-foreign-architectures) cat "$WS_STATE/arches" ;;
  --add-architecture)
    echo "dpkg $* [${DEBIAN_FRONTEND:-}]" >>"$WS_STATE/log"
    echo "$2" >>"$WS_STATE/arches" ;;
  *) exit 2 ;;
esac
EOF
cat >"$bin/apt-get" <<'EOF'
#!/usr/bin/env bash
echo "apt-get $* [${DEBIAN_FRONTEND:-}]" >>"$WS_STATE/log"
[ "$(cat "$WS_STATE/uid")" = 0 ] || { echo "apt-get: not root" >&2; exit 100; }
[ "$1" = install ] || exit 0
for argument in "$@"; do
  case "$argument" in -*|install) ;; *) echo "$argument" >>"$WS_STATE/installed" ;; esac
done
EOF
cat >"$bin/id" <<'EOF'
#!/usr/bin/env bash
cat "$WS_STATE/uid"
EOF
# Like the real one, it runs the command as root with a cleared environment.
# setup-deps asks for its user id before anything else, so from here on the
# machine may well report root.
cat >"$bin/sudo" <<'EOF'
#!/usr/bin/env bash
echo 0 >"$WS_STATE/uid"
exec env -i PATH="$PATH" WS_STATE="$WS_STATE" "$@"
EOF
chmod +x "$bin"/*

# machine NAME UID ARCHES INSTALLED...: a fresh state.
machine() {
  export WS_STATE=$work/$1
  mkdir -p "$WS_STATE"
  echo "$2" >"$WS_STATE/uid"
  printf '%s' "$3" >"$WS_STATE/arches"
  shift 3
  : >"$WS_STATE/installed"
  [ $# -eq 0 ] || printf '%s\n' "$@" >"$WS_STATE/installed"
  : >"$WS_STATE/log"
}

run_setup() {
  PATH="$bin:$PATH" "$setup_deps" </dev/null >"$WS_STATE/out" 2>&1
}

expect_log() {  # WHAT EXPECTED
  local actual
  actual=$(cat "$WS_STATE/log")
  if [ "$actual" = "$2" ]; then
    echo "ok: $1"
  else
    fail "$1: expected calls:"$'\n'"$2"$'\n'"got:"$'\n'"$actual"$'\n'"output: $(cat "$WS_STATE/out")"
  fi
}

fresh_root_calls="dpkg --add-architecture i386 [noninteractive]
apt-get update -q [noninteractive]
apt-get install -y -q --no-install-recommends $all_packages [noninteractive]"

machine fresh_root 0 ""
run_setup || fail "fresh machine as root: exit status $?: $(cat "$WS_STATE/out")"
expect_log "fresh machine as root" "$fresh_root_calls"

machine fresh_user 1000 ""
run_setup || fail "fresh machine as a user: exit status $?: $(cat "$WS_STATE/out")"
expect_log "fresh machine as a user, through sudo" "$fresh_root_calls"

machine only_tmux_missing 0 "i386
" cmake ninja-build g++ googletest libgtest-dev clang libclang-rt-14-dev g++-mingw-w64-i686 g++-mingw-w64-x86-64 wine wine64 wine32:i386 locales clang-format zip unzip
run_setup || fail "one package missing: exit status $?: $(cat "$WS_STATE/out")"
expect_log "one package missing, i386 already there" \
  "apt-get update -q [noninteractive]
apt-get install -y -q --no-install-recommends tmux [noninteractive]"

machine complete 0 "i386
" $all_packages
run_setup || fail "complete machine: exit status $?"
expect_log "complete machine" ""
[ -s "$WS_STATE/out" ] && fail "complete machine: said: $(cat "$WS_STATE/out")"

if [ "$failures" -gt 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
