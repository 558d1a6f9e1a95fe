#!/usr/bin/env bash
# Builds the .deb files from the build tree given, unpacks them into a throw-away root and
# runs what they hold from there: the server from its packaged configuration file (a
# store answered, seen in /metrics, a clean stop), then the host, headless, finding its
# screen modules in its own prefix. Nothing is installed on the machine.
set -euo pipefail
build=$1
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
echo "package test: built $(basename "$server_deb") and $(basename "$host_deb")"

# Declared dependencies: apt pulls in the runtime libraries.
depends=$(dpkg-deb -f "$server_deb" Depends)
for lib in libsqlite3 libpq5 libssl adduser; do
  [[ $depends == *$lib* ]] || fail "vnd-server does not depend on $lib: $depends"
done
[[ $(dpkg-deb -f "$host_deb" Depends) == *libqt6widgets6* ]] || fail "vnd-host does not depend on Qt"
[[ $(dpkg-deb --ctrl-tarfile "$server_deb" | tar -xO ./conffiles) == /etc/vnd-server/vnd-server.conf ]] \
  || fail "the configuration file is not a conffile"

root=$work/root
dpkg-deb -x "$server_deb" "$root"
dpkg-deb -x "$host_deb" "$root"
for f in usr/bin/vnd-server etc/vnd-server/vnd-server.conf lib/systemd/system/vnd-server.service \
         usr/share/man/man1/vnd-server.1.gz usr/bin/vnd-host usr/lib/vnd/lib/libvol.so \
         usr/lib/vnd/modules/libvnd42407.so usr/share/applications/vnd-host.desktop \
         usr/share/icons/hicolor/48x48/apps/vnd-host.png usr/share/man/man1/vnd-host.1.gz; do
  [[ -e $root/$f ]] || fail "missing /$f"
done
grep -q '^ProtectSystem=strict' "$root/lib/systemd/system/vnd-server.service" || fail "unit not hardened"
# The unpacked binaries must not reach back into the build tree.
if readelf -d "$root/usr/bin/vnd-host" "$root"/usr/lib/vnd/modules/*.so | grep -q "$build"; then
  fail "an unpacked binary still names the build tree"
fi

export ASAN_OPTIONS=detect_leaks=0
bin=$root/usr/bin
"$bin/vnd-server" --version | grep -q '^vnd-server [0-9]' || fail "--version"
"$bin/vnd-server" init --db "sqlite:$work/vnd.db" --demo --products 20 >/dev/null

# The packaged file, every key commented out, with the few settings a site makes.
config=$work/vnd-server.conf
cp "$root/etc/vnd-server/vnd-server.conf" "$config"
printf 'db = sqlite:%s\nlisten = 127.0.0.1:0\nmetrics = 127.0.0.1:0\n' "$work/vnd.db" >>"$config"
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

# The host, headless, from the unpacked root: its modules from its own prefix.
QT_QPA_PLATFORM=offscreen timeout 120 "$bin/vnd-host" --server "127.0.0.1:$port" --branch 0001 \
  --screenshot "$work/screen.png" >"$work/host.log" 2>&1 || fail "vnd-host failed: $(cat "$work/host.log")"
[[ -s $work/screen.png ]] || fail "vnd-host made no picture"

kill -TERM "$server_pid"
status=0
wait "$server_pid" || status=$?
server_pid=""
[[ $status -eq 0 ]] || fail "the server stopped with status $status"
grep -q ' event=stop ' "$work/server.log" || fail "no stop in the log: $(cat "$work/server.log")"
echo "package test: the unpacked server stored, showed in /metrics and stopped; the host found its modules"
