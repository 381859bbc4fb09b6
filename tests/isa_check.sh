#!/usr/bin/env bash
# Checks that a program runs on any x86-64 and that each version of the solver's engine
# keeps to its own instruction set: outside the AVX-512 version no AVX-512 instruction
# (EVEX-encoded, or on the mask registers or zmm registers); outside it and the AVX2 version
# no AVX (VEX) or BMI instruction; outside those and the SSE4 version none from SSSE3, SSE4
# or POPCNT. A function that another version's flags compiled, and that the linker then
# shared with the portable code or a lesser version, would show up here. (tzcnt is left
# out: compilers write bsf with a rep prefix, which disassembles as tzcnt and runs as bsf
# on older processors, with the same result for the nonzero values it is given.)
#
#   isa_check.sh PROGRAM...
set -euo pipefail
status=0
for program in "$@"; do
    # Fields split at tabs: address, the instruction's bytes, the instruction. EVEX, the
    # encoding of every AVX-512 instruction, begins with byte 62 (after an address-size
    # prefix at most), which outside 64-bit mode was BOUND and in it is nothing else.
    found=$(objdump -d -C "$program" | awk -F '\t' '
        /^[0-9a-f]+ <.*>:$/ { fn = $0; next }
        NF < 3 { next }
        {
            split($3, words, " ")
            op = words[1]
            # Bytes objdump cannot read as an instruction (data among the code) come as
            # .byte: no instruction at all, though one may be 62 as EVEX begins.
            if (op ~ /^\./ || op == "(bad)") next
            if (fn ~ /isa_avx512::/) next
            if ($2 ~ /^(67 )?62 / || $3 ~ /%zmm|%k[0-7]|%[xy]mm(1[6-9]|2[0-9]|3[01])/ ||
                op ~ /^k(add|and|andn|mov|not|or|ortest|shiftl|shiftr|test|unpck|xnor|xor)[bwdq]$/) {
                print fn ": " $3; next
            }
            if (fn ~ /isa_avx2::/) next
            if (op ~ /^v/ || $3 ~ /%ymm/ ||
                op ~ /^(andn|bextr|blsi|blsmsk|blsr|bzhi|mulx|pdep|pext|rorx|sarx|shlx|shrx|lzcnt)$/) {
                print fn ": " $3; next
            }
            if (fn ~ /isa_sse4::/) next
            if (op ~ /^(popcnt|pshufb|phminposuw|pminuw|pmaxuw|pminsd|pmaxsd|pminud|pmaxud|ptest|pblendw|pblendvb|pmulld|pcmpeqq|pcmpgtq|packusdw|pextrb|pextrd|pextrq|pinsrb|pinsrd|pinsrq|pmovzx.*|pmovsx.*|palignr|phaddw|phaddd|pabsb|pabsw|pabsd|pmaddubsw|pmulhrsw|psignb|psignw|psignd)$/) {
                print fn ": " $3
            }
        }' | sed -n '1,20p')
    if [ -n "$found" ]; then
        echo "$program: instructions beyond their version's set outside the versions built for them:"
        echo "$found"
        status=1
    else
        echo "$program: runs on any x86-64"
    fi
done
exit $status
