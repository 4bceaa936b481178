#!/usr/bin/env bash
# docs/scale.md's Slurm job array, run as the document writes it on a
# one-node Slurm that this script starts and stops itself:
#   1. the array converts every fax exactly once across its shards, and the
#      document's check finds nothing to run again;
#   2. a second run cancelled with scancel part-way leaves a report that says
#      so and nothing half-written, and the document's check reruns exactly
#      the shards that need it, which convert exactly the missing faxes.
#
#   slurm_array_test.sh TAMARIND MAKE_WINFAX SCALE_MD
#
# Exits 77 (skipped) where Slurm or munge is not installed (scripts/setup
# installs them). The daemons run as root with every file in a private
# temporary folder and private ports; the EXIT trap stops them however the
# script ends.
set -euo pipefail
export PATH="$PATH:/usr/sbin:/sbin"

tamarind=$(realpath "$1")
make_winfax=$(realpath "$2")
doc=$(realpath "$3")
shard_count=4
fax_count=1200

skip() {
  echo "SKIPPED: $*"
  exit 77
}
for tool in munged mungekey slurmctld slurmd sbatch scancel squeue sinfo; do
  command -v "$tool" >/dev/null ||
    skip "$tool is missing: the Slurm test needs Debian's slurmctld, slurmd, slurm-client and munge (scripts/setup)"
done
[ "$(id -u)" -eq 0 ] || skip "the one-node Slurm runs its daemons as root (SlurmUser=root), and this is not root"

fail() {
  echo "FAILED: $*" >&2
  exit 1
}

T=$(mktemp -d "${TMPDIR:-/tmp}/tamarind-slurm.XXXXXX")
chmod 0755 "$T"
export SLURM_CONF="$T/slurm.conf"
daemons=()

# Whether any of these processes still runs (an unreaped child that ended
# is a zombie, which kill -0 still finds).
running() {
  local pid
  for pid; do
    [ -r "/proc/$pid/stat" ] && ! grep -q ') Z ' "/proc/$pid/stat" 2>/dev/null && return 0
  done
  return 1
}

# Daemons, then any job step they left. Jobs are cancelled first, so that
# slurmd does not stop in the middle of ending them.
stop_slurm() {
  if [ -n "$(squeue -h -o %A 2>/dev/null)" ]; then
    scancel --quiet --user=root 2>/dev/null || true
    for _ in $(seq 50); do
      [ -z "$(squeue -h -o %A 2>/dev/null)" ] && break
      sleep 0.1
    done
  fi
  ((${#daemons[@]})) || return 0
  kill -TERM "${daemons[@]}" 2>/dev/null || true
  for _ in $(seq 50); do
    running "${daemons[@]}" || break
    sleep 0.1
  done
  kill -KILL "${daemons[@]}" 2>/dev/null || true
  wait 2>/dev/null || true
  # A step daemon belongs to this cluster when it has its configuration.
  for pid in $(pgrep -x slurmstepd); do
    if tr '\0' '\n' 2>/dev/null <"/proc/$pid/environ" | grep -qxF "SLURM_CONF=$SLURM_CONF"; then
      kill -KILL "$pid" 2>/dev/null || true
    fi
  done
  return 0
}
finish() {
  local status=$?
  trap - EXIT
  stop_slurm
  if [ "$status" -ne 0 ] && [ "$status" -ne 77 ]; then
    for log in "$T"/log/*.log "$T"/submit/*.out; do
      [ -f "$log" ] && { echo "== $log"; tail -n 15 "$log"; }
    done
  fi
  if [ -n "${KEEP_SLURM_TEST:-}" ]; then echo "kept $T"; else rm -rf "$T"; fi
  exit "$status"
}
trap finish EXIT
trap 'exit 1' INT TERM HUP

# Two neighbouring ports that no socket uses, below the ephemeral range.
free_ports() {
  local used port
  used=$(awk 'NR > 1 { split($2, a, ":"); print a[2] }' /proc/net/tcp /proc/net/tcp6 2>/dev/null | sort -u)
  for _ in $(seq 100); do
    port=$((20000 + RANDOM % 12000))
    if ! grep -qx "$(printf '%04X' "$port")" <<<"$used" && ! grep -qx "$(printf '%04X' $((port + 1)))" <<<"$used"; then
      echo "$port"
      return
    fi
  done
  fail "no free port pair found"
}

start_slurm() {
  rm -rf "$T/state" "$T/spool"  # a node drained by an earlier start stays drained
  mkdir -p "$T"/{munge/key,munge/sock,munge/run,log,state,spool,submit,home}
  chmod 0700 "$T/munge/key"
  chmod 0755 "$T/munge/sock"
  mungekey --create --keyfile="$T/munge/key/munge.key"
  local socket="$T/munge/sock/munge.socket"
  munged --foreground --socket="$socket" --key-file="$T/munge/key/munge.key" --log-file="$T/log/munged.log" \
    --pid-file="$T/munge/run/munged.pid" --seed-file="$T/munge/run/munged.seed" 2>>"$T/log/munged.out" &
  daemons+=($!)
  for _ in $(seq 50); do
    [ -S "$socket" ] && break
    sleep 0.1
  done
  [ -S "$socket" ] || fail "munged did not start"

  local port cpus memory
  port=$(free_ports)
  # The doc's tasks ask for 2 CPUs; a one-CPU machine is said to have two.
  cpus=$(nproc)
  ((cpus >= 2)) || cpus=2
  memory=$(($(awk '/^MemTotal:/ { print $2 }' /proc/meminfo) / 1024 * 9 / 10))
  cat >"$SLURM_CONF" <<EOF
ClusterName=tamarindtest
SlurmctldHost=$(hostname -s)(127.0.0.1)
SlurmctldPort=$port
SlurmdPort=$((port + 1))
SlurmUser=root
SlurmdUser=root
AuthType=auth/munge
CredType=cred/munge
AuthInfo=socket=$socket
StateSaveLocation=$T/state
SlurmdSpoolDir=$T/spool
SlurmctldPidFile=$T/run-slurmctld.pid
SlurmdPidFile=$T/run-slurmd.pid
SlurmctldLogFile=$T/log/slurmctld.log
SlurmdLogFile=$T/log/slurmd.log
ProctrackType=proctrack/linuxproc
TaskPlugin=task/none
JobAcctGatherType=jobacct_gather/none
AccountingStorageType=accounting_storage/none
MpiDefault=none
SelectType=select/cons_tres
SelectTypeParameters=CR_Core_Memory
SlurmdParameters=config_overrides
ReturnToService=2
MinJobAge=4
SchedulerParameters=batch_sched_delay=0
NodeName=localhost NodeAddr=127.0.0.1 CPUs=$cpus RealMemory=$memory State=UNKNOWN
PartitionName=test Nodes=localhost Default=YES MaxTime=INFINITE State=UP
EOF
  slurmctld -D -f "$SLURM_CONF" >>"$T/log/slurmctld.out" 2>&1 &
  daemons+=($!)
  slurmd -D -f "$SLURM_CONF" -N localhost >>"$T/log/slurmd.out" 2>&1 &
  daemons+=($!)
  for _ in $(seq 150); do
    [ "$(sinfo -h -o %T 2>/dev/null)" = idle ] && return
    sleep 0.1
  done
  fail "the node did not become idle: $(sinfo -h -o '%T %E' 2>&1)"
}

# The fenced blocks of the Slurm section of docs/scale.md: the job script,
# then the check that reruns what needs it.
doc_block() {
  awk -v want="$1" '
    /^## / { in_section = ($0 == "## Slurm job array") }
    in_section && /^```sh$/ { ++block; inside = 1; next }
    inside && /^```$/ { inside = 0; next }
    inside && block == want { print }' "$doc"
}
# The document's folders and array size, replaced by this test's.
localise() {
  sed -e "s|/srv/fax|$T/fax|g" -e "s|/srv/jpeg|$T/jpeg|g" \
    -e "s|--array=0-63|--array=0-$((shard_count - 1))|" -e "s|^shards=64 |shards=$shard_count |"
}

# Faxes of one page of text, in three folders (the doc's /i /kh).
make_faxes() {
  mkdir -p "$T/fax/a" "$T/fax/b/c" "$T/fax/d"
  (for i in $(seq 60); do echo "line $i of a fax page sent to the archive, long enough to fill it"; done) | pbmtext |
    pnmpad -width=1728 -height=1100 | pbmtog3 -nofixedwidth >"$T/page.g3"
  "$make_winfax" -o "$T/page.fxd" --msb --res 1 "$T/page.g3"
  local names=()
  for i in $(seq 0 $((fax_count - 1))); do
    case $((i % 3)) in
      0) names+=("$T/fax/a/f$i.fxd") ;;
      1) names+=("$T/fax/b/c/f$i.fxd") ;;
      2) names+=("$T/fax/d/f$i.fxd") ;;
    esac
  done
  tee "${names[@]}" <"$T/page.fxd" >/dev/null
  find "$T/fax" -name '*.fxd' | sort >"$T/sources"
  sed -e "s|^$T/fax/|$T/jpeg/|" -e 's|\.fxd$|.jpg|' "$T/sources" >"$T/outputs"
}

# Waits for every task of array job $1 to end: true when all completed
# (exit status 0). Polled here rather than with sbatch --wait, which looks
# only every 2 seconds, as often as the whole array takes.
final_states='^(COMPLETED|FAILED|CANCELLED|TIMEOUT|OUT_OF_MEMORY|NODE_FAIL|PREEMPTED|BOOT_FAIL|DEADLINE)$'
wait_job() {
  local states
  for _ in $(seq 600); do
    states=$(squeue -h -r -t all -j "$1" -o %T 2>/dev/null)
    if [ -n "$states" ] && ! grep -qvE "$final_states" <<<"$states"; then
      ! grep -qvx COMPLETED <<<"$states"
      return
    fi
    sleep 0.1
  done
  fail "job $1 still runs after a minute: $states"
}
# sbatch as the document's check runs it: each call waits for its array and
# is logged with the result, so that a check that should submit nothing, or
# a rerun that failed, shows.
sbatch_program=$(command -v sbatch)
sbatch() {
  local job status=0
  job=$("$sbatch_program" --parsable "$@") && wait_job "$job" || status=$?
  echo "sbatch $* -> $status" >>"$T/sbatch-calls"
}
# The check as a user's shell runs it: without this script's -e, -u and
# pipefail.
run_check() {
  (
    set +e +u +o pipefail
    cd "$T/submit" && source "$T/check.sh"
  )
}

# The sources that the reports of shards $2... list with status $1, sorted.
reported() {
  local status=$1 i
  shift
  for i in "$@"; do cat "$T/jpeg/reports/shard-$i.jsonl"; done |
    jq -r --arg status "$status" 'select(.status == $status) | .source' | sort
}

# Every JPEG the run should make is there once, and nothing else is (no
# temporary file either).
expect_all_outputs() {
  find "$T/jpeg" -path "$T/jpeg/reports" -prune -o -type f -print | sort >"$T/found"
  diff "$T/found" "$T/outputs" >"$T/outputs.diff" ||
    fail "the outputs are not exactly one JPEG per fax: $(head -n 5 "$T/outputs.diff")"
}

start=$SECONDS
start_slurm
echo "slurm up after $((SECONDS - start)) s"
make_faxes
export HOME="$T/home" XDG_STATE_HOME="$T/home/state"
PATH="$(dirname "$tamarind"):$PATH"
doc_block 1 | localise >"$T/submit/convert.sbatch"
doc_block 2 | localise >"$T/check.sh"
grep -q -- "--array=0-$((shard_count - 1))$" "$T/submit/convert.sbatch" || fail "no --array=0-63 in the doc's job script"
grep -q "^shards=$shard_count " "$T/check.sh" || fail "no shards=64 in the doc's check"
grep -qF "$T/fax" "$T/submit/convert.sbatch" || fail "no /srv/fax in the doc's job script"

# 1. The whole array: each fax converted by exactly one shard.
wait_job "$(cd "$T/submit" && "$sbatch_program" --parsable convert.sbatch)" || fail "a task of the array failed"
expect_all_outputs
cat "$T"/jpeg/reports/shard-*.jsonl | jq -r 'select(.source) | .source' | sort >"$T/reported"
diff -q "$T/reported" "$T/sources" >/dev/null || fail "the reports do not name every fax exactly once"
[ "$(reported converted $(seq 0 $((shard_count - 1))) | wc -l)" -eq "$fax_count" ] || fail "not every fax was converted"
[ "$(run_check)" = "shards to run again: none" ] || fail "the check wants a rerun of a complete array: $(run_check)"
[ ! -e "$T/sbatch-calls" ] || fail "the check submitted a job for a complete array"
echo "array of $shard_count shards done after $((SECONDS - start)) s"

# Which shard each output belongs to, from these reports.
for i in $(seq 0 $((shard_count - 1))); do
  jq -r 'select(.outputs) | .outputs[]' "$T/jpeg/reports/shard-$i.jsonl" >"$T/shard-$i.outputs"
done

# 2. Again from nothing, cancelled while a shard is part-way through.
rm -rf "$T/jpeg"
job=$(cd "$T/submit" && "$sbatch_program" --parsable convert.sbatch)
part_way() {
  local i present total
  for i in $(seq 0 $((shard_count - 1))); do
    [ -e "$T/jpeg/reports/shard-$i.jsonl" ] && continue
    present=0
    while read -r jpeg; do [ -e "$jpeg" ] && present=$((present + 1)); done <"$T/shard-$i.outputs"
    total=$(wc -l <"$T/shard-$i.outputs")
    ((present > 0 && present <= total / 2)) && return 0
  done
  return 1
}
for _ in $(seq 3000); do
  part_way && break
  sleep 0.01
done
part_way || fail "no shard was seen part-way"
scancel "$job"
wait_job "$job" && fail "the cancelled array says it completed"
while read -r jpeg; do [ -e "$jpeg" ] || echo "$jpeg"; done <"$T/outputs" >"$T/missing"
[ -s "$T/missing" ] || fail "the cancelled array converted every fax"
leftovers=$(find "$T/jpeg" -name '*.tmp' | head -3)
[ -z "$leftovers" ] || fail "the cancel left temporary files: $leftovers"
expected_again=()
interrupted=0
for i in $(seq 0 $((shard_count - 1))); do
  report="$T/jpeg/reports/shard-$i.jsonl"
  [ -e "$report" ] || { expected_again+=("$i"); continue; }
  summary=$(tail -n 1 "$report")
  [ "$(jq -r .summary.complete <<<"$summary")" = true ] && continue
  expected_again+=("$i")
  [ "$(jq -r .summary.signal <<<"$summary")" = SIGTERM ] || fail "shard $i: not said to be ended by SIGTERM: $summary"
  interrupted=$((interrupted + 1))
done
((interrupted == 1)) || fail "$interrupted reports say their shard was interrupted, not 1"
grep -q "Interrupted by SIGTERM: [0-9]* of [0-9]* files done" "$XDG_STATE_HOME/tamarind/log/tmdlog.txt" ||
  fail "the log does not say that a run was interrupted"
echo "cancelled after $((SECONDS - start)) s, $(wc -l <"$T/missing") faxes missing"

# The check reruns exactly the shards that need it, and /skip keeps them to
# the missing faxes.
again=$(IFS=,; echo "${expected_again[*]}")
[ "$(run_check)" = "shards to run again: $again" ] || fail "the check lists other shards than $again"
[ "$(cat "$T/sbatch-calls")" = "sbatch --array=$again convert.sbatch -> 0" ] ||
  fail "the check did not submit one rerun of $again that succeeded: $(cat "$T/sbatch-calls")"
expect_all_outputs
xargs -d '\n' -n 1 -P 2 djpeg -outfile /dev/null <"$T/outputs" 2>"$T/djpeg.err" ||
  fail "not every JPEG decodes whole: $(head -n 3 "$T/djpeg.err")"
sed -e "s|^$T/jpeg/|$T/fax/|" -e 's|\.jpg$|.fxd|' "$T/missing" | sort >"$T/missing-sources"
diff -q <(reported converted "${expected_again[@]}") "$T/missing-sources" >/dev/null ||
  fail "the rerun converted other faxes than the missing ones"
[ "$(run_check)" = "shards to run again: none" ] || fail "the check still lists shards after the rerun"
echo "rerun done after $((SECONDS - start)) s"
