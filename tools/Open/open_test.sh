#!/bin/sh
# Checks the Open helper with a stand-in xdg-open: usage: open_test.sh PATH-TO-Open
set -u
open="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }

mkdir "$work/bin"
mkfifo "$work/args"
# The stand-in hands its arguments back through a pipe, which the test reads as soon as the
# detached stand-in runs (or gives up after 10 seconds).
cat >"$work/bin/xdg-open" <<STANDIN
#!/bin/sh
printf '%s\n' "\$@" >"$work/args"
STANDIN
chmod +x "$work/bin/xdg-open"

address='https://example.org/apps?a=1&b=two words'
PATH="$work/bin:$PATH" "$open" "$address" 2>"$work/err" || fail "exit status $? for a good address"
[ -s "$work/err" ] && fail "messages for a good address: $(cat "$work/err")"
got=$(timeout 10 cat "$work/args")
[ "$got" = "$address" ] || fail "xdg-open got '$got'"

PATH="$work/bin:$PATH" "$open" 2>"$work/err" && fail "no argument accepted"
grep -q usage "$work/err" || fail "no usage message without an argument"
PATH="$work/bin:$PATH" "$open" a b 2>/dev/null && fail "two arguments accepted"
PATH="$work/bin:$PATH" "$open" --help 2>/dev/null && fail "an option-like argument accepted"

# Without xdg-open on the path: a message and a failure.
mkdir "$work/empty"
PATH="$work/empty" /bin/sh "$open" https://example.org 2>"$work/err" && fail "success without xdg-open"
grep -q xdg-open "$work/err" || fail "no message naming xdg-open"

[ $failures -eq 0 ] && echo "Open helper: all checks passed"
exit $failures
