#!/usr/bin/env bash
# The plug-in runs on any x86-64 processor: instructions beyond the baseline (here the bit manipulation
# ones) may appear only in the decoder build that is chosen when the processor has them. A function of
# the portable code that the linker took from that build's objects would break this.
set -euo pipefail
library="$1"
extended='(lzcnt|tzcnt|shlx|shrx|sarx|rorx|andn|bzhi|bextr|blsr|blsi|blsmsk|pdep|pext|mulx)'
offenders=$(objdump -d --no-show-raw-insn -C "$library" |
    awk -v extended="^${extended}\$" '/^[0-9a-f]+ <.*>:$/ { name = $0; next }
        { split($0, fields, "\t"); split(fields[2], words, " ") }
        words[1] ~ extended && name !~ /::BitManipulation::/ { print name }' | sort -u)
if [ -n "$offenders" ]; then
    echo "bit manipulation instructions outside the decoder build that is chosen for them:"
    echo "$offenders"
    exit 1
fi
used=$(objdump -d --no-show-raw-insn "$library" | grep -cE "\s${extended}\s" || true)
echo "portable: the $used bit manipulation instructions all lie in the build chosen for them"
