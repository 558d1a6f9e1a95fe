#!/usr/bin/env bash
# A server database made only from the guide's example files (vnd-server import), a
# station's local database made from it (vnd-server localdb), and a scenario run over
# both by vnd-script --db:
#   run_imported_chain.sh VND_SERVER VND_SCRIPT EXAMPLES_DIR SCENARIO [vnd-script options]
set -euo pipefail
server=$1 script=$2 examples=$3 scenario=$4
shift 4
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
db=sqlite:$dir/vnd.db
"$server" init --db "$db"
for kind in filiais tabelas vigencias produtos sortimento tipos tipos-filial precos; do
  "$server" import --db "$db" "$kind" "$examples/$kind.csv"
done
"$server" localdb --db "$db" --branch 0101 "$dir/local.db"
"$script" --db "$db" --localdb "$dir/local.db" "$@" "$scenario"
