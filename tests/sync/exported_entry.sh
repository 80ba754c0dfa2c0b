#!/usr/bin/env bash
# libmirrorpost.so exports its one entry and nothing else.
set -euo pipefail
actual=$(nm -D --defined-only "$1" | awk '{print $3}')
if [ "$actual" != "SendObjlistToRemote" ]; then
    echo "libmirrorpost.so exports:"
    echo "$actual"
    exit 1
fi
echo "exports ok: SendObjlistToRemote"
