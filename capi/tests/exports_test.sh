#!/usr/bin/env bash
# The shared library $1 exports exactly the symbols the version script $2 lists, under
# its version node, and its SONAME is libvelmo.so.<number>.
set -euo pipefail
listed=$(sed -n 's/^ *\(velmo_[a-z_]*\);$/\1@@VELMO_1/p' "$2" | sort)
exported=$(nm -D --defined-only "$1" | awk '$2 != "A" {print $3}' | sort)
[ "$listed" = "$exported" ] || { diff <(echo "$listed") <(echo "$exported") >&2; exit 1; }
readelf -d "$1" | grep -Eq 'SONAME.*\[libvelmo\.so\.[0-9]+\]'
