#!/usr/bin/env bash
# The shared library's dynamic symbol table must hold exactly the names of the export map.
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
echo "exports ok: $(echo "$actual" | wc -l) names"
