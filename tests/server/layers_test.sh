#!/usr/bin/env bash
# The server's layers, each a folder: a file includes its own layer's headers and those of
# the layers below it, never one above; ops/ is included from anywhere and includes none of
# the others. No source file of the server grows past the size a reader takes in at once.
set -uo pipefail
root=${1:?usage: layers_test.sh SOURCE_DIR}
cd "$root/server" || exit 2

rank() {
  case $1 in
    cli) echo 0 ;; net) echo 1 ;; rpc) echo 2 ;; methods) echo 3 ;; service) echo 4 ;;
    store) echo 5 ;; pricing) echo 6 ;; ops) echo 7 ;; *) echo -1 ;;
  esac
}

status=0
while IFS= read -r file; do
  from=${file%%/*}
  from_rank=$(rank "$from")
  while IFS= read -r to; do
    to_rank=$(rank "$to")
    if [ "$to" = ops ] || [ "$to" = "$from" ]; then
      continue
    fi
    if [ "$from" = ops ] || [ "$to_rank" -lt 0 ] || [ "$to_rank" -lt "$from_rank" ]; then
      echo "layers: server/$file includes server/$to/, a layer above or beside it"
      status=1
    fi
  done < <(sed -n 's|^#include "server/\([a-z]*\)/.*|\1|p' "$file")
  lines=$(wc -l < "$file")
  if [ "$lines" -gt 450 ]; then
    echo "layers: server/$file has $lines lines; split it by job"
    status=1
  fi
done < <(find . -mindepth 2 -name '*.h' -o -mindepth 2 -name '*.cpp' | sed 's|^\./||' | sort)

# The pricing core knows no storage, no JSON, no sockets and no demo data.
if grep -n -E '#include ("demodata/|<nlohmann/|<sqlite3|<libpq|"protocol/(JsonRpc|ValueCodec|Asio))' pricing/*.h pricing/*.cpp; then
  echo "layers: the pricing core includes storage, JSON, sockets or demo data (above)"
  status=1
fi

# The till replica links the pricing core and the protocol library, nothing else of the
# server and nothing of the screens.
if [ -d ../till ] && grep -n -E '#include "(server/[a-z]+/|framework/|modules/|demodata/)' ../till/*.h ../till/*.cpp |
    grep -v '"server/pricing/'; then
  echo "layers: the till replica includes the server beyond its pricing core, or the screens (above)"
  status=1
fi

if [ -n "$(find . -maxdepth 1 -name '*.cpp' -o -maxdepth 1 -name '*.h')" ]; then
  echo "layers: sources directly in server/; each belongs to a layer folder"
  status=1
fi
exit $status
