#!/usr/bin/env bash
# Usage: term_session_test.sh VPANEL_TERM VPANEL_DEVSIM
# vpanel-term as its users run it, against the simulator on a pseudo-terminal: in tmux, F1
# shows the device's menu on the terminal's screen and Ctrl+C ends the program with the stop
# packet on the line; as a script it exits 0 for text the device shows, 1 for text it never
# shows, 2 for a port that does not exist.
set -euo pipefail

term=$1
devsim=$2
work=$(mktemp -d)
socket=vpanel-term-test-$$
sim_pid=

fail() { echo "term session test: $*" >&2; exit 1; }
cleanup() {
  tmux -L "$socket" kill-server 2>/dev/null || true
  [[ -z $sim_pid ]] || { kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; }
  rm -rf "$work"
}
trap cleanup EXIT

# Polls for the condition until a generous bound: a loaded machine is slow, never wrong.
wait_for() {
  local bound_s=$1
  shift
  local deadline=$((SECONDS + bound_s))
  until "$@"; do
    ((SECONDS < deadline)) || return 1
    sleep 0.05
  done
}

export KELCOMM_PORTS_DIR=$work/ports LC_ALL=C.UTF-8
"$devsim" --port COM7 --verbose > "$work/line.log" 2>&1 &
sim_pid=$!
wait_for 20 grep -q 'COM7 ->' "$work/line.log" || fail "the simulator did not publish its port"

# The stop request to address 1: command 0x0012, low byte first.
stops() { grep -c -- '<- 01 12 00' "$work/line.log" || true; }
screen() { tmux -L "$socket" capture-pane -p -t panel; }
shows() { screen | grep -q -- "$1"; }

step() { echo "== $*"; }

step "in tmux: the display, F1 for the menu, Ctrl+C to stop"
tmux -L "$socket" -f /dev/null new-session -d -s panel -x 100 -y 20 \
  "'$term' COM7 1 115200 --lang en; echo \$? > '$work/status'; sleep 600"
wait_for 30 shows 'Device #1' || fail "no device display in the terminal:"$'\n'"$(screen)"
shows 'Connected' || fail "the state line does not say connected:"$'\n'"$(screen)"
tmux -L "$socket" send-keys -t panel F1
wait_for 20 shows 'Menu 1/' || fail "F1 did not bring the menu:"$'\n'"$(screen)"
tmux -L "$socket" send-keys -t panel Down
wait_for 20 shows '▶Console' || fail "Down did not move the menu's pointer:"$'\n'"$(screen)"
before=$(stops)
tmux -L "$socket" send-keys -t panel C-c
wait_for 20 test -s "$work/status" || fail "Ctrl+C did not end the program:"$'\n'"$(screen)"
[[ $(cat "$work/status") == 0 ]] || fail "Ctrl+C ended it with status $(cat "$work/status")"
wait_for 20 test "$(stops)" -gt "$before" || fail "no stop packet reached the device"
shows 'Device #1' && fail "the terminal was not restored:"$'\n'"$(screen)"

step "a terminal that cannot show the panel: refused before the device hears a request"
requests() { grep -c -- '<-' "$work/line.log" || true; }
before=$(requests)
tmux -L "$socket" new-session -d -s dumb \
  "TERM=dumb '$term' COM7 1 115200 2> '$work/err'; echo \$? > '$work/dumb-status'; sleep 600"
wait_for 20 test -s "$work/dumb-status" || fail "TERM=dumb did not end the program"
[[ $(cat "$work/dumb-status") == 2 ]] || fail "TERM=dumb: status $(cat "$work/dumb-status")"
grep -q dumb "$work/err" || fail "TERM=dumb is not named:"$'\n'"$(cat "$work/err")"
[[ $(requests) == "$before" ]] || fail "TERM=dumb still talked to the device"

step "Ctrl+\\ stops it as Ctrl+C does"
before=$(stops)
tmux -L "$socket" new-session -d -s quit -x 100 -y 20 "'$term' COM7 1 115200; echo \$? > '$work/quit-status'; sleep 600"
quit_shows() { tmux -L "$socket" capture-pane -p -t quit | grep -q -- "$1"; }
wait_for 30 quit_shows 'Связь есть' || fail "no display for Ctrl+\\"
tmux -L "$socket" send-keys -t quit 'C-\'
wait_for 20 test -s "$work/quit-status" || fail "Ctrl+\\ did not end the program"
[[ $(cat "$work/quit-status") == 0 ]] || fail "Ctrl+\\ ended it with status $(cat "$work/quit-status")"
wait_for 20 test "$(stops)" -gt "$before" || fail "no stop packet after Ctrl+\\"

step "a terminal that hangs up without a SIGHUP ends it with the stop packet"
before=$(stops)
TERM=xterm python3 - "$term" <<'PYTHON' || fail "the hung-up terminal did not end it at once with status 0"
import os, select, subprocess, sys, time
master, slave = os.openpty()
# Not the program's controlling terminal: closing it sends no SIGHUP.
child = subprocess.Popen([sys.argv[1], "COM7", "1", "115200"], stdin=slave, stdout=slave,
                         stderr=subprocess.DEVNULL, start_new_session=True)
os.close(slave)
# The display's frame (line-drawing "lqq") says the link runs.
seen, deadline = b"", time.monotonic() + 30
while b"lqq" not in seen and time.monotonic() < deadline:
    if select.select([master], [], [], 1)[0]:
        seen += os.read(master, 4096)
os.close(master)
try:
    sys.exit(child.wait(20))
except subprocess.TimeoutExpired:
    child.kill()
    sys.exit(1)
PYTHON
wait_for 20 test "$(stops)" -gt "$before" || fail "no stop packet after the hang-up"

step "script mode"
run_script() {
  local expected_status=$1
  shift
  local status=0
  "$term" "$@" > "$work/out" 2> "$work/err" < /dev/null || status=$?
  [[ $status == "$expected_status" ]] ||
    fail "vpanel-term $*: status $status, $expected_status expected"$'\n'"$(cat "$work/out" "$work/err")"
}
before=$(stops)
# From the menu the session above left open, to the device's "About" screen.
run_script 0 COM7 1 115200 --keys "Esc F1 Down Down Enter" --expect "Версия ПО" --timeout 20
grep -q 'Адрес: 1' "$work/out" || fail "the printed display misses the screen:"$'\n'"$(cat "$work/out")"
wait_for 20 test "$(stops)" -gt "$before" || fail "the script left without the stop packet"
started=$SECONDS
run_script 1 COM7 1 115200 --expect "never on the display" --timeout 1
((SECONDS - started < 20)) || fail "the text that never came kept it $((SECONDS - started)) s"
[[ $(wc -l < "$work/out") == 4 ]] || fail "the display's four rows were not printed:"$'\n'"$(cat "$work/out")"
run_script 2 COM98 1 115200 --expect "anything" --timeout 1
grep -q 'COM98' "$work/err" || fail "a port that does not exist is not named:"$'\n'"$(cat "$work/err")"
echo "term session test: passed"
