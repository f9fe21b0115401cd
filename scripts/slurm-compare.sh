#!/usr/bin/env bash
# Runs one orvid-compare comparison on a Slurm cluster in shards: plans it here (headers and a sample of
# the keys), submits the partitions as a job array (each reads a share of both inputs once and splits
# it by shard into WORK/parts), the shards as a job array that starts once every partition succeeded
# (each reads only its records from WORK/parts) and the merge as a job that starts once every shard
# succeeded; the merge removes WORK/parts.
#
#   scripts/slurm-compare.sh -n SHARDS -w WORK [options] REFERENCE TEST [comparison flags] [-- merge flags]
#
#   -n SHARDS     shards (tasks of each array) to cut the comparison into
#   -w WORK       a folder on storage that every node reads: the plan, the partitions, the shards'
#                 folders, the logs
#   -b BINARY     orvid-compare as the nodes run it (default: the one on the PATH)
#   -s ARGS       more arguments for sbatch, for every job (e.g. "--partition=long --mem=8G")
#   --wait        wait for the merge and exit with its status (0 same, 1 different, 2 error)
# Comparison flags (--epsilon, --pair-by-channel, ...) go to the plan; merge flags (--json, --html,
# --out) to the merge, relative paths against the current folder. Prints the arrays' and the merge's job
# ids.
set -euo pipefail

usage() {
    sed -n '2,/^set -euo/p' "$0" | sed '$d' | sed 's/^# \{0,1\}//' >&2
    exit 2
}

shards=""
work=""
binary=orvid-compare
sbatchArgs=""
wait=false
while [ $# -gt 0 ]; do
    case "$1" in
    -n) shards=$2; shift 2 ;;
    -w) work=$2; shift 2 ;;
    -b) binary=$2; shift 2 ;;
    -s) sbatchArgs=$2; shift 2 ;;
    --wait) wait=true; shift ;;
    -h | --help) usage ;;
    *) break ;;
    esac
done
[ -n "$shards" ] && [ -n "$work" ] && [ $# -ge 2 ] || usage

compareFlags=()
mergeFlags=()
while [ $# -gt 0 ] && [ "$1" != "--" ]; do
    compareFlags+=("$1")
    shift
done
if [ $# -gt 0 ]; then
    shift
    mergeFlags=("$@")
fi

binary=$(command -v "$binary" || true)
[ -n "$binary" ] || { echo "$0: orvid-compare not found (give it with -b)" >&2; exit 2; }
mkdir -p "$work"
work=$(realpath "$work")
plan="$work/plan.json"

"$binary" plan --shards "$shards" -o "$plan" "${compareFlags[@]}"

# Every shard's folder, named now so that the merge lists them all, missing ones included.
folders=()
for ((shard = 0; shard < shards; ++shard)); do
    folders+=("$work/shard-$shard")
done
quoted() { printf '%q ' "$@"; }
parts="$work/parts"
# shellcheck disable=SC2016 # expanded by the task's shell on its node, not here
task='"$SLURM_ARRAY_TASK_ID"'

# shellcheck disable=SC2086 # sbatchArgs holds several arguments
partitions=$(sbatch --parsable $sbatchArgs --job-name=orvid-partition --array="0-$((shards - 1))" \
    --chdir="$PWD" --output="$work/partition-%a.log" \
    --wrap="$(quoted "$binary" partition "$plan")$task --parts $(printf '%q' "$parts") -q")
partitions=${partitions%%;*}
echo "partitions: job array $partitions"

# shellcheck disable=SC2086
array=$(sbatch --parsable $sbatchArgs --job-name=orvid-shard --array="0-$((shards - 1))" \
    --dependency="afterok:$partitions" --kill-on-invalid-dep=yes \
    --chdir="$PWD" --output="$work/shard-%a.log" \
    --wrap="$(quoted "$binary" shard "$plan")$task --parts $(printf '%q' "$parts") -o $(printf '%q' "$work")/shard-$task -q")
array=${array%%;*}
echo "shards: job array $array"

mergeCommand="$(quoted "$binary" merge "$plan" "${folders[@]}" --parts "$parts" "${mergeFlags[@]}")"
waitFlag=()
$wait && waitFlag=(--wait)
status=0
# shellcheck disable=SC2086
merge=$(sbatch --parsable $sbatchArgs "${waitFlag[@]}" --job-name=orvid-merge --dependency="afterok:$array" \
    --kill-on-invalid-dep=yes --chdir="$PWD" --output="$work/merge.log" --wrap="$mergeCommand") || status=$?
echo "merge: job ${merge%%;*}"
# A merge cancelled because a partition or a shard failed never ran, yet sbatch --wait may report
# success.
if $wait && [ "$status" -eq 0 ] && [ ! -e "$work/merge.log" ]; then
    echo "$0: the merge did not run, a partition or a shard failed: see $work/partition-*.log and" \
        "$work/shard-*.log" >&2
    status=2
fi
exit "$status"
