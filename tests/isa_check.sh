#!/usr/bin/env bash
# Checks that a program runs on any x86-64: outside the solver's AVX2 version no AVX (VEX)
# or BMI instruction, and outside its AVX2 and SSE4 versions none from SSSE3, SSE4 or
# POPCNT. A function that another version's flags compiled, and that the linker then
# shared with the portable code, would show up here. (tzcnt is left out: compilers write
# bsf with a rep prefix, which disassembles as tzcnt and runs as bsf on older processors,
# with the same result for the nonzero values it is given.)
#
#   isa_check.sh PROGRAM...
set -euo pipefail
status=0
for program in "$@"; do
    found=$(objdump -d --no-show-raw-insn -C "$program" | awk '
        /^[0-9a-f]+ <.*>:$/ { fn = $0; next }
        NF < 2 { next }
        {
            op = $2
            if (fn ~ /isa_avx2::/) next
            if (op ~ /^v/ || $0 ~ /%ymm/ ||
                op ~ /^(andn|bextr|blsi|blsmsk|blsr|bzhi|mulx|pdep|pext|rorx|sarx|shlx|shrx|lzcnt)$/) {
                print fn ": " $0; next
            }
            if (fn ~ /isa_sse4::/) next
            if (op ~ /^(popcnt|pshufb|phminposuw|pminuw|pmaxuw|pminsd|pmaxsd|pminud|pmaxud|ptest|pblendw|pblendvb|pmulld|pcmpeqq|pcmpgtq|packusdw|pextrb|pextrd|pextrq|pinsrb|pinsrd|pinsrq|pmovzx.*|pmovsx.*|palignr|phaddw|phaddd|pabsb|pabsw|pabsd|pmaddubsw|pmulhrsw|psignb|psignw|psignd)$/) {
                print fn ": " $0
            }
        }' | sed -n '1,20p')
    if [ -n "$found" ]; then
        echo "$program: instructions beyond baseline x86-64 outside the versions built for them:"
        echo "$found"
        status=1
    else
        echo "$program: runs on any x86-64"
    fi
done
exit $status
