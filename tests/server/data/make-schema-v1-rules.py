#!/usr/bin/env python3
"""Stores two rules into a running vnd-server over JSON-RPC (one line per message)."""
import json, socket, sys

port = int(sys.argv[1])
base = [False, False, False, False, True, False, False, False, False, False,
        False, True, False, 0, 0, "0001", "001", "", "", "0001", "2359",
        {"$date": "2026-02-01"}, {"$date": "2026-02-28"}, {"$date": "2026-01-01"},
        1.5, "", None, "T", 1]

def arg(rule, position, value):
    rule[position - 1] = value

# Products 1..10 (tree codes 0101001..0101010), Mondays, 1.50 off, every consumer type.
ranged = list(base)
arg(ranged, 12, False); arg(ranged, 13, True)
arg(ranged, 19, "0101001"); arg(ranged, 18, "0101010")

# Products 1 and 2 in the wholesale table, Saturdays and holidays, 12.5 % more for
# consumer type 01 from 08:30 to 17:45 in March 2026.
listed = list(base)
arg(listed, 5, False); arg(listed, 10, True); arg(listed, 3, True)
arg(listed, 11, True); arg(listed, 12, False)
arg(listed, 14, 1); arg(listed, 15, 1); arg(listed, 17, "002")
arg(listed, 20, "0830"); arg(listed, 21, "1745")
arg(listed, 22, {"$date": "2026-03-01"}); arg(listed, 23, {"$date": "2026-03-31"})
arg(listed, 25, 12.5); arg(listed, 28, "01"); arg(listed, 29, 0)
fields = [{"name": "IDMARCADO", "type": "string", "size": 1},
          {"name": "CDPRODUTO", "type": "string", "size": 10},
          {"name": "CDARVPROD", "type": "string", "size": 20},
          {"name": "NMPRODUTO", "type": "string", "size": 50}]
arg(listed, 27, {"$packet": {"fields": fields,
                             "rows": [[None, "0000000001", None, None],
                                      [None, "0000000002", None, None]]}})

with socket.create_connection(("127.0.0.1", port), timeout=30) as s:
    f = s.makefile("rw", encoding="utf-8", newline="\n")
    for i, rule in enumerate([ranged, listed], 1):
        f.write(json.dumps({"jsonrpc": "2.0", "id": i,
                            "method": "Vnd42400.rdmTabePreco.SetPrecDif",
                            "params": rule}) + "\n")
        f.flush()
        answer = json.loads(f.readline())
        print(answer)
        if "result" not in answer:
            sys.exit(1)
