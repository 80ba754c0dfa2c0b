#!/usr/bin/env bash
# The shared library's dynamic symbol table must hold exactly the names of the export map, which
# are the library's sixteen functions.
set -euo pipefail
library=$1
map=$2
expected=$(grep -E '^\s+[A-Za-z_]+;' "$map" | tr -d ' ;\t' | sort)
actual=$(nm -D --defined-only "$library" | awk '{print $3}' | sort)
if [ "$expected" != "$actual" ]; then
    echo "exported names differ from $map:"
    diff <(echo "$expected") <(echo "$actual") || true
    exit 1
fi
count=$(echo "$actual" | wc -l)
if [ "$count" -ne 16 ]; then
    echo "the library exports $count names, not sixteen"
    exit 1
fi
echo "exports ok: $count names"
