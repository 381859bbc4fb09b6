#!/usr/bin/env bash
# velmo-solve ($1) under GNU parallel, the input cut into blocks that run at once, locally
# and through --sshlogin (":" stands for a host), gives byte for byte what one run gives
# on files of one-line puzzles ($2...).
set -euo pipefail
solve=$1
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Invalid lines and comments among the puzzles, so that every kind of answer is cut across.
{ cat "$@"; printf '12\n%s # comment\n' "$(printf '.%.0s' {1..81})"; cat "$@"; } > "$work/input.txt"

"$solve" "$work/input.txt" > "$work/one-run.txt" 2> /dev/null || true
[ -s "$work/one-run.txt" ]
for hosts in "" "--sshlogin 2/:"; do
    # shellcheck disable=SC2086
    parallel --will-cite --pipe --keep-order --block 4k $hosts "$solve" -j 1 \
        < "$work/input.txt" > "$work/parallel.txt" 2> /dev/null || true
    cmp "$work/one-run.txt" "$work/parallel.txt" || { echo "differs with: ${hosts:-local}" >&2; exit 1; }
done
