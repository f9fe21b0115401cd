#!/usr/bin/env bash
# A private single-node Slurm cluster on this machine, for the end-to-end test of sharded comparisons:
#   scripts/slurm-test-cluster.sh start DIR PORT [OWNER]
#                                                  configure it under DIR (config, keys, state, logs),
#                                                  start munged, slurmctld (PORT) and slurmd (PORT+1),
#                                                  and wait until its node takes jobs; with OWNER, a
#                                                  process id, stop them too once that process is gone
#                                                  (a test killed on a timeout, say)
#   scripts/slurm-test-cluster.sh stop DIR         stop the daemons started under DIR, by their pid files
# Clients reach it with SLURM_CONF=DIR/slurm.conf. Runs as root, without cgroups (process tracking by
# /proc, no task plug-in), so that it also runs inside a container. Needs the Debian packages
# slurm-wlm and munge (scripts/setup.sh slurm-wlm munge).
set -euo pipefail

usage() {
    echo "usage: $0 start DIR PORT [OWNER] | stop DIR" >&2
    exit 2
}

[ $# -ge 2 ] || usage
action=$1
dir=$(realpath -m "$2")

stop() {
    local pidfile pid
    for pidfile in "$dir/slurmd.pid" "$dir/slurmctld.pid" "$dir/munge/munged.pid"; do
        [ -s "$pidfile" ] || continue
        pid=$(cat "$pidfile")
        kill "$pid" 2>/dev/null || true
        for _ in $(seq 50); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -9 "$pid" 2>/dev/null || true
        rm -f "$pidfile"
    done
}

start() {
    local port=$1 node=orvidnode cpus memory
    cpus=$(nproc)
    memory=$(awk '/MemTotal/ { print int($2 / 1024 / 2) }' /proc/meminfo)
    mkdir -p "$dir/munge" "$dir/state" "$dir/spool"
    chmod 700 "$dir/munge"

    dd if=/dev/urandom of="$dir/munge/munge.key" bs=1024 count=1 status=none
    chmod 400 "$dir/munge/munge.key"
    # --force: the socket's folder may lie below a world-writable one such as /tmp.
    munged --force --socket="$dir/munge/munge.socket" --key-file="$dir/munge/munge.key" \
        --pid-file="$dir/munge/munged.pid" --log-file="$dir/munge/munged.log" \
        --seed-file="$dir/munge/munged.seed"

    cat >"$dir/slurm.conf" <<CONF
ClusterName=orvidtest
SlurmctldHost=localhost(127.0.0.1)
SlurmctldPort=$port
SlurmdPort=$((port + 1))
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
AuthInfo=socket=$dir/munge/munge.socket
CredType=cred/munge
StateSaveLocation=$dir/state
SlurmdSpoolDir=$dir/spool
SlurmctldPidFile=$dir/slurmctld.pid
SlurmdPidFile=$dir/slurmd.pid
SlurmctldLogFile=$dir/slurmctld.log
SlurmdLogFile=$dir/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
SchedulerType=sched/backfill
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
MpiDefault=none
ReturnToService=2
SlurmctldTimeout=30
SlurmdTimeout=30
NodeName=$node NodeHostname=$(hostname) NodeAddr=127.0.0.1 CPUs=$cpus RealMemory=$memory State=UNKNOWN
PartitionName=orvid Nodes=$node Default=YES MaxTime=INFINITE State=UP
CONF
    export SLURM_CONF="$dir/slurm.conf"
    slurmctld -f "$SLURM_CONF"
    slurmd -f "$SLURM_CONF" -N "$node"
    for _ in $(seq 300); do
        if sinfo -h -o '%t' 2>/dev/null | grep -qx 'idle'; then
            return 0
        fi
        sleep 0.1
    done
    echo "$0: the node did not come up within 30 s; see $dir/slurmctld.log and $dir/slurmd.log" >&2
    return 1
}

case "$action" in
start)
    [ $# -eq 3 ] || [ $# -eq 4 ] || usage
    trap 'stop' ERR
    start "$3"
    if [ $# -eq 4 ]; then
        owner=$4
        (
            while kill -0 "$owner" 2>/dev/null && [ -e "$dir/slurm.conf" ]; do
                sleep 1
            done
            stop
        ) >/dev/null 2>&1 </dev/null &
        disown
    fi
    ;;
stop)
    stop
    ;;
*)
    usage
    ;;
esac
