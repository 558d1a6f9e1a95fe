#!/usr/bin/env bash
# The host's keys pressed on the real window, as a clerk presses them: vnd-host on an X
# display of its own (Xvfb), every key a real key event through the X server's XTEST
# extension (xdotool), a real vnd-server over a demo database on a free loopback port.
# The effects are read where a person or the chain would see them: the main window's
# title names the screen in front, the server's database holds the rules.
#
#   host_keys_test.sh BUILD_DIR
#
# Exits 77 (skipped, saying why) where Xvfb, xdotool or sqlite3 is missing.
set -euo pipefail
build=$1
bin=$build/bin

for tool in Xvfb xdotool sqlite3; do
  command -v "$tool" >/dev/null || { echo "host keys test skipped: $tool is not installed"; exit 77; }
done

work=$(mktemp -d /tmp/vnd-host-keys.XXXXXX)
xvfb_pid=""
server_pid=""
host_pid=""
# Ends only what this test started, by pid, with a bounded wait for each.
stop() {
  local pid=$1
  [[ -n $pid ]] || return 0
  kill "$pid" 2>/dev/null || return 0
  for _ in $(seq 1 50); do kill -0 "$pid" 2>/dev/null || return 0; sleep 0.1; done
  kill -9 "$pid" 2>/dev/null || true
}
finish() {
  stop "$host_pid"
  stop "$server_pid"
  stop "$xvfb_pid"
  rm -rf "$work"
}
trap finish EXIT
fail() {
  echo "host keys test: $*" >&2
  [[ -f $work/host.log ]] && sed 's/^/  host: /' "$work/host.log" >&2
  exit 1
}

# The display: Xvfb picks a free display number and writes it once it accepts clients.
Xvfb -displayfd 3 -screen 0 1280x800x24 -dpi 96 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 1 100); do [[ -s $work/display ]] && break; sleep 0.1; done
[[ -s $work/display ]] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=:$(head -n1 "$work/display")

# The server over a fresh demo database, on a port of its own choosing.
db=$work/server.db
"$bin/vnd-server" init --db "sqlite:$db" --demo >/dev/null
"$bin/vnd-script" make-localdb "$work/local.db" >/dev/null
coproc SERVER { exec "$bin/vnd-server" serve --no-config --db "sqlite:$db" --listen 127.0.0.1:0 2>"$work/server.log"; }
server_pid=$SERVER_PID
read -r -t 60 first <&"${SERVER[0]}" || fail "the server did not start: $(cat "$work/server.log")"
port=$(sed -n 's/.* em 127\.0\.0\.1:\([0-9]*\) .*/\1/p' <<<"$first")
[[ -n $port ]] || fail "no port in the server's first line: $first"

echo "leak:libdbus-1.so" >"$work/lsan.supp"
export LSAN_OPTIONS="suppressions=$work/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
QT_QPA_PLATFORM=xcb "$bin/vnd-host" --server "127.0.0.1:$port" --branch 0001 --localdb "$work/local.db" \
  --modules "$build/lib" --open >"$work/host.log" 2>&1 &
host_pid=$!

base="Retaguarda de Vendas"
registration="Cadastro Automático de Preços Diferenciados - $base"
inquiry="Consulta de Preços Diferenciados - $base"
window=""
for _ in $(seq 1 300); do
  window=$(xdotool search --onlyvisible --name "$base" 2>/dev/null | head -n1 || true)
  [[ -n $window ]] && break
  kill -0 "$host_pid" 2>/dev/null || fail "vnd-host stopped at start"
  sleep 0.1
done
[[ -n $window ]] || fail "vnd-host showed no window"
# No window manager: the keyboard goes to the window given the input focus.
xdotool windowfocus "$window"

title() { xdotool getwindowname "$window"; }
# Waits (bounded) until the main window's title is the text, then lets the screen in
# front finish opening or closing, as a person looks before typing on.
expect_title() {
  for _ in $(seq 1 150); do
    if [[ $(title) == "$1" ]]; then sleep 0.5; return 0; fi
    sleep 0.1
  done
  fail "${2:-after the keys} the title is \"$(title)\", not \"$1\""
}
rules() { sqlite3 "$db" "SELECT COUNT(*) FROM PRECDIF"; }
expect_rules() {
  for _ in $(seq 1 100); do [[ $(rules) == "$1" ]] && return 0; sleep 0.1; done
  fail "$2: $(rules) rules stored, not $1"
}
# Real key presses, one after another, each given time to run (the sanitizer build is slow).
press() {
  local k
  for k in "$@"; do
    xdotool key "$k"
    sleep 0.25
  done
}
typed() { xdotool type --delay 60 "$1"; sleep 0.25; }
# The host's dialogs carry its name too: the main window and one dialog make two windows.
windows() { xdotool search --onlyvisible --name "$base" 2>/dev/null | wc -l; }
# Waits (bounded) until a dialog is up (1) or none is (0), so that the next key goes to
# the window meant for it. With no window manager to give the keyboard back to the main
# window once a dialog has gone, the test does it.
expect_dialog() {
  for _ in $(seq 1 150); do
    if [[ $(($(windows) - 1)) == "$1" ]]; then
      [[ $1 == 0 ]] && xdotool windowfocus "$window"
      sleep 0.3
      return 0
    fi
    sleep 0.1
  done
  fail "$2: $(($(windows) - 1)) dialogs open, not $1"
}

expect_title "$registration" "at start"

# Ctrl+F4 closes the screen in front; the menu's shortcut opens it again.
press ctrl+F4
expect_title "$base" "after Ctrl+F4"
press ctrl+F7
expect_title "$registration" "after Ctrl+F7"

# Ctrl+Tab and Ctrl+Shift+Tab move between the open screens.
press ctrl+F8
expect_title "$inquiry" "after Ctrl+F8"
press ctrl+Tab
expect_title "$registration" "after Ctrl+Tab"
press ctrl+shift+Tab
expect_title "$inquiry" "after Ctrl+Shift+Tab"
press ctrl+F4
expect_title "$registration" "after Ctrl+F4 on the inquiry"

# A rule for every product, keyboard only, stored with F10 and Enter on the question.
press Tab; typed 1; press Return
typed 01012026; press Return
press Tab Tab Tab Tab space Tab Tab Tab
typed 7,5
press Tab Tab Tab
typed 01022026; press Tab
typed 28022026
press F10
expect_dialog 1 "after F10"
press Return
expect_rules 200 "after F10 and Enter"
expect_dialog 0 "once the rule is stored"
expect_title "$base" "once the rule is stored"

# The inquiry: F5 lists the rules, and Del removes only a rule the clerk highlighted.
press ctrl+F8
expect_title "$inquiry" "after Ctrl+F8"
press Tab; typed 1; press Tab
typed 01012026; press Tab
press F5 Tab Tab Tab Tab Tab Down
# Enter on the question is "Não": nothing goes.
press Delete
expect_dialog 1 "after Del on a highlighted rule"
press Return
expect_dialog 0 "after Enter on the question"
expect_rules 200 "after Del and Enter"
# "S" is "Sim": the highlighted rule goes.
press Delete
expect_dialog 1 "after Del again"
press s
expect_rules 199 "after Del and S"
expect_dialog 0 "once the rule is removed"
# The list is read again with nothing highlighted: Del removes nothing, even when the
# next key is "S"; it asks for a rule, and Enter closes the message.
press Delete
expect_dialog 1 "after Del with no rule highlighted"
press s
press Return
expect_dialog 0 "after Enter on the message"
expect_rules 199 "after Del with no rule highlighted"

# Alt+F4 ends the host, cleanly.
press alt+F4
for _ in $(seq 1 100); do kill -0 "$host_pid" 2>/dev/null || break; sleep 0.1; done
kill -0 "$host_pid" 2>/dev/null && fail "vnd-host still runs after Alt+F4"
rc=0
wait "$host_pid" || rc=$?
host_pid=""
[[ $rc == 0 ]] || fail "vnd-host ended with status $rc"
echo "host keys test: passed"
