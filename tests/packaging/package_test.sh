#!/usr/bin/env bash
# Builds the .deb files from the build tree given and installs them with dpkg into a
# throw-away root, maintainer scripts and all: the system tools the scripts call stand in
# by fake-system, acting on that root (nothing is installed on the machine, no user made on
# it). From there it runs what they hold: the server from its packaged configuration file
# (a store answered, seen in /metrics), the host, headless, finding its screen modules in
# its own prefix; the till, synced from that server, its status and a price from its file
# the server's. Then it checks what the packages promise: the state folder made for the
# service user, the service stopped on removal and only then, the data kept on removal and
# on purge what the operations guide says; the man pages listing every command and option;
# the binaries hardened; the guide naming the files the build makes; the guide's import of
# the example files of a chain's data and a station's local database made from them.
#
#   package_test.sh BUILD_DIR SOURCE_DIR
#
# dpkg --root needs root: as any other user the maintainer scripts are not run and the test
# ends as skipped (77) after the rest.
set -euo pipefail
build=$1
source=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d /tmp/vnd-package-test.XXXXXX)
server_pid=""
finish() {
  [[ -n $server_pid ]] && kill -9 "$server_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap finish EXIT
fail() { echo "package test: $*" >&2; exit 1; }

# Fast compression: the packages are thrown away.
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" \
  -D CPACK_DEBIAN_COMPRESSION_TYPE=gzip >"$work/cpack.log" 2>&1 || { cat "$work/cpack.log"; fail "cpack failed"; }
server_deb=$(ls "$work"/out/vnd-server_*.deb)
host_deb=$(ls "$work"/out/vnd-host_*.deb)
till_deb=$(ls "$work"/out/vnd-till_*.deb)
echo "package test: built $(basename "$server_deb"), $(basename "$host_deb") and $(basename "$till_deb")"

# --- What the packages declare ---
depends=$(dpkg-deb -f "$server_deb" Depends)
for lib in libsqlite3 libpq5 libssl adduser; do
  [[ $depends == *$lib* ]] || fail "vnd-server does not depend on $lib: $depends"
done
[[ $(dpkg-deb -f "$host_deb" Depends) == *libqt6widgets6* ]] || fail "vnd-host does not depend on Qt"
# A till machine needs neither the server nor Qt.
depends=$(dpkg-deb -f "$till_deb" Depends)
[[ $depends == *libsqlite3* && $depends == *adduser* ]] || fail "vnd-till depends on: $depends"
[[ $depends != *vnd-server* && $depends != *libqt* && $depends != *libpq* ]] || fail "vnd-till depends on: $depends"
dpkg-deb -e "$till_deb" "$work/till-control"
[[ $(cat "$work/till-control/conffiles") == /etc/vnd-till/vnd-till.conf ]] || fail "the till's configuration file is not a conffile"
dpkg-deb -e "$server_deb" "$work/control"
[[ $(cat "$work/control/conffiles") == /etc/vnd-server/vnd-server.conf ]] || fail "the configuration file is not a conffile"
for script in postinst prerm postrm; do
  [[ -x $work/control/$script ]] || fail "no $script in vnd-server"
done

# The guide's install commands name the files the build makes.
for named in $(grep -ohE 'vnd-(server|host|till)_[0-9][^ ]*\.deb' "$source"/docs/*.md | sort -u); do
  [[ -e $work/out/$named ]] || fail "docs name $named; the build makes $(cd "$work/out" && echo *.deb)"
done

# --- Installed into a throw-away root ---
root=$work/root
fake=$work/fake-system
mkdir -p "$root/etc" "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$fake"
touch "$root/var/lib/dpkg/status" "$root/var/lib/dpkg/available"
echo 'root:x:0:0:root:/root:/bin/sh' >"$root/etc/passwd"
echo 'root:x:0:' >"$root/etc/group"
for tool in getent addgroup adduser deluser delgroup chown deb-systemd-invoke; do
  ln -s "$here/fake-system" "$fake/$tool"
done
export VND_TEST_CALLS=$work/calls
# The dependencies are the machine's, not the root's: --force-depends.
in_root() {
  PATH="$fake:$PATH" dpkg --root="$root" --force-script-chrootless --force-depends --log=/dev/null "$@" \
    >"$work/dpkg.log" 2>&1 || { cat "$work/dpkg.log"; fail "dpkg $*"; }
}
as_root=no
[[ $(id -u) -eq 0 ]] && as_root=yes
if [[ $as_root == yes ]]; then
  in_root -i "$server_deb" "$host_deb" "$till_deb"
else
  echo "package test: not root: the packages are unpacked, their maintainer scripts not run"
  dpkg-deb -x "$server_deb" "$root"
  dpkg-deb -x "$host_deb" "$root"
  dpkg-deb -x "$till_deb" "$root"
fi
for f in usr/bin/vnd-server etc/vnd-server/vnd-server.conf lib/systemd/system/vnd-server.service \
         usr/share/man/man1/vnd-server.1.gz usr/bin/vnd-host usr/lib/vnd/lib/libvol.so \
         usr/lib/vnd/modules/libvnd42407.so usr/share/applications/vnd-host.desktop \
         usr/share/icons/hicolor/48x48/apps/vnd-host.png usr/share/man/man1/vnd-host.1.gz \
         usr/bin/vnd-till etc/vnd-till/vnd-till.conf lib/systemd/system/vnd-till.service \
         usr/share/man/man1/vnd-till.1.gz; do
  [[ -e $root/$f ]] || fail "missing /$f"
done
for unit in vnd-server vnd-till; do
  grep -q '^ProtectSystem=strict' "$root/lib/systemd/system/$unit.service" || fail "$unit.service not hardened"
done
# The till's unit runs what its configuration file names.
grep -q '^ExecStart=/usr/bin/vnd-till sync --follow --server ${SERVER} --branch ${BRANCH} --table ${TABLE} --db ${DB}$' \
  "$root/lib/systemd/system/vnd-till.service" || fail "vnd-till.service does not follow the configured till"
for key in SERVER BRANCH TABLE DB; do
  grep -q "^$key=" "$root/etc/vnd-till/vnd-till.conf" || fail "vnd-till.conf sets no $key"
done
# The unpacked binaries must not reach back into the build tree.
if readelf -d "$root/usr/bin/vnd-host" "$root"/usr/lib/vnd/modules/*.so | grep -q "$build"; then
  fail "an unpacked binary still names the build tree"
fi

# Every program and library: relocations read-only after start (relro) and bound at once
# (bindnow), as Debian's hardening flags make them.
elves=0
while IFS= read -r -d '' file; do
  cmp -s -n 4 "$file" <(printf '\177ELF') || continue
  elves=$((elves + 1))
  [[ $(readelf -lW "$file") == *GNU_RELRO* ]] || fail "${file#"$root"} is not linked with -z relro"
  grep -Eq 'BIND_NOW|FLAGS_1.* NOW' <<<"$(readelf -dW "$file")" || fail "${file#"$root"} is not linked with -z now"
done < <(find "$root/usr" -type f -print0)
[[ $elves -ge 5 ]] || fail "only $elves ELF files in the packages"

# The service user and its state folder, made by the postinst.
state=$root/var/lib/vnd-server
owner() { stat -c '%u:%g %a' "$1"; }
service_ids() { echo "$(awk -F: '$1 == "vnd-server" { print $3 ":" $4 }' "$root/etc/passwd")"; }
if [[ $as_root == yes ]]; then
  [[ $(awk -F: '$1 == "vnd-server" { print $6 ":" $7 }' "$root/etc/passwd") == /var/lib/vnd-server:/usr/sbin/nologin ]] \
    || fail "no system user vnd-server at home in /var/lib/vnd-server: $(cat "$root/etc/passwd")"
  [[ -d $state && $(owner "$state") == "$(service_ids) 700" ]] \
    || fail "the state folder is not the service user's, 0700: $(ls -ldn "$state" 2>&1)"
  till_ids=$(awk -F: '$1 == "vnd-till" { print $3 ":" $4 }' "$root/etc/passwd")
  [[ $(awk -F: '$1 == "vnd-till" { print $6 }' "$root/etc/passwd") == /var/lib/vnd-till &&
     $(owner "$root/var/lib/vnd-till") == "$till_ids 750" ]] \
    || fail "no user vnd-till owning /var/lib/vnd-till, 0750: $(ls -ldn "$root/var/lib/vnd-till" 2>&1)"
fi

export ASAN_OPTIONS=detect_leaks=0
bin=$root/usr/bin

# --- The man pages list every command, its arguments and options, and every host option ---
server_page=$(gzip -dc "$root/usr/share/man/man1/vnd-server.1.gz")
host_page=$(gzip -dc "$root/usr/share/man/man1/vnd-host.1.gz")
roff_name() { sed 's/-/\\-/g' <<<"$1"; }
names_in_help() {  # the option names and entry names of a help text, one a line
  awk '/^  [^ ]/ { sub(/^  /, ""); split($0, part, /  +/); n = split(part[1], word, /[ ,]+/)
                    for (i = 1; i <= n; i++) if (i == 1 || word[i] ~ /^-/) print word[i] }'
}
# The subsection of the command at the words given: from its heading to the next one.
section_of() { awk -v heading=".SS \"$*\"" '$0 == heading { on = 1; next } /^\.S[SH] / { on = 0 } on' <<<"$server_page"; }
check_command() {
  local help name section
  help=$("$bin/vnd-server" "$@" --help)
  if [[ $# -gt 0 ]]; then
    section=$(section_of "$@")
    [[ -n $section ]] || fail "vnd-server(1) has no section for \"$*\""
  fi
  for name in $(names_in_help <<<"$help"); do
    if [[ $name != -* ]] && "$bin/vnd-server" "$@" "$name" --help 2>/dev/null | grep -q "^uso: vnd-server${*:+ $*} $name"; then
      check_command "$@" "$name"
    elif [[ $# -gt 0 && $name != -h && $name != --help && $name != --version ]]; then
      grep -qF -- "$(roff_name "$name")" <<<"$section" || fail "vnd-server(1) does not show $name under \"$*\""
    fi
  done
}
check_command
[[ $(grep -c '^\.SS ' <<<"$server_page") -ge 7 ]] || fail "vnd-server(1) lists too few commands"
for name in $(names_in_help <<<"$("$bin/vnd-host" --help)") VND42407 VND42408; do
  grep -qF -- "$(roff_name "$name")" <<<"$host_page" || fail "vnd-host(1) does not show $name"
done
till_page=$(gzip -dc "$root/usr/share/man/man1/vnd-till.1.gz")
for command in "" sync price prices status; do
  for name in $(names_in_help <<<"$("$bin/vnd-till" $command --help)"); do
    grep -qF -- "$(roff_name "$name")" <<<"$till_page" || fail "vnd-till(1) does not show $name${command:+ of $command}"
  done
done
if command -v man >/dev/null; then  # what lintian asks of a man page
  for page in vnd-server vnd-host vnd-till; do
    warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z \
      "$root/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
    [[ -z $warnings ]] || fail "$page(1): $warnings"
  done
fi

# --- The server, from the installed root ---
"$bin/vnd-server" --version | grep -q '^vnd-server [0-9]' || fail "--version"
mkdir -p "$state"
"$bin/vnd-server" init --db "sqlite:$state/vnd.db" --demo --products 20 >/dev/null

# The guide's loading of a chain's data (operations guide, section 11) with the installed
# example files: every kind imported, exported as it came in, and a station's local
# database written for a branch.
chain_examples=$root/usr/share/doc/vnd-server/exemplos
chain=sqlite:$work/chain.db
"$bin/vnd-server" init --db "$chain" >/dev/null
for kind in filiais tabelas vigencias produtos sortimento tipos tipos-filial precos; do
  [[ -s $chain_examples/$kind.csv ]] || fail "missing the example file $kind.csv"
  "$bin/vnd-server" import --db "$chain" "$kind" "$chain_examples/$kind.csv" >"$work/import.log" 2>&1 ||
    fail "import $kind: $(cat "$work/import.log")"
done
[[ $("$bin/vnd-server" export --db "$chain" precos) == "$(cat "$chain_examples/precos.csv")" ]] ||
  fail "export precos differs from the example file"
"$bin/vnd-server" localdb --db "$chain" --branch 0101 "$work/local-0101.db" >"$work/import.log" 2>&1 ||
  fail "localdb: $(cat "$work/import.log")"
[[ -s $work/local-0101.db ]] || fail "localdb wrote no file"

# The packaged file, every key commented out, with the few settings a site makes.
config=$work/vnd-server.conf
cp "$root/etc/vnd-server/vnd-server.conf" "$config"
printf 'db = sqlite:%s\nlisten = 127.0.0.1:0\nmetrics = 127.0.0.1:0\n' "$state/vnd.db" >>"$config"
coproc SERVER { exec "$bin/vnd-server" serve --config "$config" 2>"$work/server.log"; }
server_pid=$SERVER_PID
read -r -t 60 first <&"${SERVER[0]}" || fail "the server did not start: $(cat "$work/server.log")"
port=$(sed -n 's/.* em 127\.0\.0\.1:\([0-9]*\) .*/\1/p' <<<"$first")
metrics=$(sed -n 's/.*métricas em 127\.0\.0\.1:\([0-9]*\).*/\1/p' <<<"$first")
[[ -n $port && -n $metrics ]] || fail "no ports in: $first"

rpc() {
  exec 3<>"/dev/tcp/127.0.0.1/$port"
  printf '%s\n' "$1" >&3
  local answer
  read -r -t 30 answer <&3 || answer=""
  exec 3>&-
  printf '%s' "$answer"
}
store='{"jsonrpc":"2.0","id":1,"method":"Vnd42400.rdmTabePreco.SetPrecDif","params":[false,false,false,false,true,false,false,false,false,false,false,true,false,0,0,"0001","001","","","0001","2359",{"$date":"2026-02-01"},{"$date":"2026-02-28"},{"$date":"2026-01-01"},1.5,"",null,"T",1]}'
answer=$(rpc "$store")
[[ $answer == *'"stored":20'* ]] || fail "store not answered: $answer"

http_get() {
  exec 4<>"/dev/tcp/127.0.0.1/$metrics"
  printf 'GET %s HTTP/1.0\r\n\r\n' "$1" >&4
  timeout 10 cat <&4 || true
  exec 4>&-
}
page=$(http_get /metrics)
[[ $page == *'vnd_calls_total{method="SetPrecDif",result="ok"} 1'* ]] || fail "store not in /metrics: $page"
[[ $page == *'vnd_rows_stored_total 20'* ]] || fail "rows not in /metrics"
[[ $(http_get /healthz) == "HTTP/1.0 200"* ]] || fail "/healthz"

# The host, headless, from the installed root: its modules from its own prefix.
QT_QPA_PLATFORM=offscreen timeout 120 "$bin/vnd-host" --server "127.0.0.1:$port" --branch 0001 \
  --screenshot "$work/screen.png" >"$work/host.log" 2>&1 || fail "vnd-host failed: $(cat "$work/host.log")"
[[ -s $work/screen.png ]] || fail "vnd-host made no picture"

# The till, from the installed root: loaded from the server, then its status and a price
# from its file alone, the server's own.
"$bin/vnd-till" --help | grep -q '^uso: vnd-till' || fail "vnd-till --help"
till_db=$work/caixa.db
"$bin/vnd-till" sync --server "127.0.0.1:$port" --branch 0001 --table 001 --db "$till_db" >"$work/till.log" 2>&1 ||
  fail "vnd-till sync: $(cat "$work/till.log")"
till_status=$("$bin/vnd-till" status --db "$till_db")
[[ $till_status == "filial: 0001"$'\n'"tabela: 001"$'\n'alteracao:* && $till_status == *"produtos: 20"* ]] ||
  fail "vnd-till status: $till_status"
ask=(--product 0000000001 --at "2026-02-10 12:00")
till_price=$("$bin/vnd-till" price --db "$till_db" "${ask[@]}" 2>/dev/null)
server_price=$("$bin/vnd-server" price --db "sqlite:$state/vnd.db" --branch 0001 --table 001 "${ask[@]}")
[[ -n $till_price && $till_price == "$server_price" ]] || fail "vnd-till price: $till_price; vnd-server price: $server_price"

# --- The prerm stops the running service on removal, and only then ---
# It is run as dpkg runs it on a live machine (dpkg --root skips services, as it should);
# systemd "runs" where a private /run holds /run/systemd/system, and the stand-in
# deb-systemd-invoke stops the server as systemctl would. Without systemd, or without its
# tools, nothing is stopped and nothing fails. The last row stops the server.
prerm_stops=skipped
if unshare --mount true 2>/dev/null; then
  prerm_stops=checked
  while read -r systemd tools action expected; do
    [[ $tools == yes ]] && path="$fake:$PATH" || path=/nonexistent
    : >"$VND_TEST_CALLS"
    script="exec env -u DPKG_ROOT PATH='$path' VND_TEST_SERVICE_PID=$server_pid /bin/sh '$work/control/prerm' $action"
    [[ $systemd == yes ]] && script="mount -t tmpfs tmpfs /run && mkdir -p /run/systemd/system && $script"
    unshare --mount /bin/sh -c "$script" || fail "prerm $action failed (systemd $systemd, tools $tools)"
    called=no
    grep -qx 'deb-systemd-invoke stop vnd-server.service' "$VND_TEST_CALLS" && called=yes
    [[ $called == "$expected" ]] || fail "prerm $action, systemd $systemd, tools $tools: stop called: $called"
    if [[ $expected == no ]]; then
      kill -0 "$server_pid" || fail "the server ended after prerm $action (systemd $systemd, tools $tools)"
    fi
  done <<'ROWS'
no  yes remove  no
yes no  remove  no
yes yes upgrade no
yes yes remove  yes
ROWS
else
  echo "package test: no private mount namespace (unshare): the prerm's stop is not checked"
  kill -TERM "$server_pid"
fi
status=0
wait "$server_pid" || status=$?
server_pid=""
[[ $status -eq 0 ]] || fail "the server stopped with status $status"
grep -q ' event=stop ' "$work/server.log" || fail "no stop in the log: $(cat "$work/server.log")"
echo "package test: the installed server stored, showed in /metrics and stopped; the host found its modules; the till priced as the server"

[[ $as_root == yes ]] || exit 77

# --- Removal keeps everything; purge removes what the guide says ---
# As the administrator would have it: the service enabled, a token beside the
# configuration, the PostgreSQL password file in the state folder.
set_up_site() {
  mkdir -p "$root/etc/systemd/system/multi-user.target.wants"
  ln -sfn /lib/systemd/system/vnd-server.service "$root/etc/systemd/system/multi-user.target.wants/vnd-server.service"
  echo 0123456789abcdef >"$root/etc/vnd-server/token"
  echo 'db.rede:5432:vnd:vnd_app:a-senha' >"$state/.pgpass"
}
set_up_site
in_root -r vnd-server
[[ ! -e $root/usr/bin/vnd-server ]] || fail "remove left the program"
for kept in etc/vnd-server/vnd-server.conf etc/vnd-server/token var/lib/vnd-server/vnd.db var/lib/vnd-server/.pgpass; do
  [[ -e $root/$kept ]] || fail "remove took /$kept"
done
[[ -n $(service_ids) ]] || fail "remove took the user"

# Each row: what the state folder holds before the purge, then whether the folder (with
# the databases) and the user are left. A purge keeps the databases and, while they are
# there, the user owning them; a folder left with nothing goes, and the user with it.
while read -r holds left; do
  # Installed again over a folder an administrator made as root: the postinst gives it
  # back to the service user.
  chown 0:0 "$state" && chmod 0755 "$state"
  in_root -i "$server_deb"
  [[ $(owner "$state") == "$(service_ids) 700" ]] || fail "reinstall left the state folder $(owner "$state")"
  set_up_site
  [[ $holds == *vnd.db* ]] || rm -f "$state"/vnd.db*
  in_root -P vnd-server
  for gone in etc/vnd-server etc/systemd/system/multi-user.target.wants/vnd-server.service var/lib/vnd-server/.pgpass; do
    [[ ! -e $root/$gone && ! -L $root/$gone ]] || fail "purge left /$gone (state folder held: $holds)"
  done
  if [[ $left == yes ]]; then
    [[ -e $state/vnd.db ]] || fail "purge took the database"
    [[ -n $(service_ids) ]] || fail "purge took the user that owns the kept database"
    grep -q '^vnd-server:' "$root/etc/group" || fail "purge took the group that owns the kept database"
  else
    [[ ! -e $state ]] || fail "purge left the state folder: $(ls -A "$state")"
    [[ -z $(service_ids) ]] || fail "purge left the user"
    ! grep -q '^vnd-server:' "$root/etc/group" || fail "purge left the group"
  fi
done <<'ROWS'
vnd.db,.pgpass yes
.pgpass        no
ROWS

# The till: removal keeps its configuration and its file; purge takes them and its user.
cp "$till_db" "$root/var/lib/vnd-till/caixa.db"
echo 0123456789abcdef >"$root/etc/vnd-till/token"
in_root -r vnd-till
[[ ! -e $root/usr/bin/vnd-till && -e $root/etc/vnd-till/token && -e $root/var/lib/vnd-till/caixa.db ]] ||
  fail "remove of vnd-till did not keep its configuration and file"
in_root -P vnd-till
for gone in etc/vnd-till var/lib/vnd-till; do
  [[ ! -e $root/$gone ]] || fail "purge of vnd-till left /$gone"
done
! grep -q '^vnd-till:' "$root/etc/passwd" "$root/etc/group" || fail "purge of vnd-till left its user or group"
echo "package test: postinst made the services' folders, prerm stopped the service ($prerm_stops), remove kept and purge removed what the guide says"
