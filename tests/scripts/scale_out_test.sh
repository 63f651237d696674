#!/usr/bin/env bash
# Runs the README's recipes for many files on this machine and checks the merged
# JSON: every file fitted exactly once, a rejected file reported with its status
# and not costing the other files of its chunk.
#   parallel: GNU parallel on the local cores, then over two --sshlogin hosts
#             (an ssh stand-in that runs the job here and notes the host);
#   slurm:    scripts/slurm-fit.sh, task by task, as Slurm would run its array.
# Exits 77 (skipped) when GNU parallel or jq is not installed.
#   scale_out_test.sh parallel|slurm INHIBRA_FIT SOURCE_DIR
set -euo pipefail
mode=$1
fit=$(realpath "$2")
src=$(realpath "$3")

tools=(jq)
[ "$mode" = parallel ] && tools+=(parallel)
for tool in "${tools[@]}"; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done

fail() {
  echo "scale-out test ($mode): $*" >&2
  exit 1
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
# The recipes call inhibra-fit from the PATH; two models keep the test quick.
mkdir bin
printf '#!/bin/sh\nexec "%s" -m 1,3 "$@"\n' "$fit" >bin/inhibra-fit
chmod +x bin/inhibra-fit
export PATH=$work/bin:$PATH SOURCE_DATE_EPOCH=1700000000 LC_ALL=C

mkdir -p plates/day2
for name in A1 A2 'B 1' day2/C1 day2/C2; do
  cp "$src/examples/Data.in" "plates/$name.in"
done
printf '1 0 1\n2 0 2\n3 0 3\n4 0 4\n' >plates/day2/rejected.in
find plates -name '*.in' | sort >files.txt

merge="jq -s '{files: (map(.files[]) | sort_by(.file))}' chunks/*.json > all.json"
# Runs one of the README's command lines with its chunk size of 50 files turned
# into 2, so that six files make three chunks.
run_readme_line() {
  local line=$1
  grep -qF -- "$line" "$src/README.md" || fail "the README no longer shows: $line"
  status=0
  eval "${line//-n 50/-n 2}" || status=$?
}

check_merged() {
  grep -qF -- "$merge" "$src/README.md" || fail "the README no longer shows: $merge"
  eval "$merge"
  diff <(jq -r '.files[].file' all.json) <(sort files.txt) ||
    fail "the merged JSON does not hold each file exactly once"
  jq -e '[.files[] | select(.file == "plates/day2/rejected.in") | .status] == [3]' \
    all.json >/dev/null || fail "the rejected file is not reported with status 3"
  jq -e '[.files[] | select(.file != "plates/day2/rejected.in")]
         | all(.status == 0 and .best_model != null and (.models | length) == 2)' \
    all.json >/dev/null || fail "a good file was not fitted"
  [ -s "plates/B 1.out" ] || fail "no results file beside a name with a space"
  rm -rf chunks all.json plates/*.out plates/day2/*.out
}

case $mode in
  parallel)
    mkdir chunks
    local_line="find plates -name '*.in' | parallel -n 50 inhibra-fit -q -j 1 --json chunks/{#}.json {}"
    run_readme_line "$local_line"
    # parallel's status is the number of failed jobs: the chunk with the rejected file.
    [ "$status" -eq 1 ] || fail "parallel ended with status $status, not 1"
    check_merged

    # ssh HOST -- COMMAND: runs COMMAND here, as the host's shell would.
    cat >bin/ssh <<'SSH'
#!/bin/sh
echo "$1" >>"$HOSTS_LOG"
shift
[ "$1" = -- ] && shift
# sshd names the login shell in SHELL, and parallel's job runner uses it.
export SHELL=/bin/sh
exec sh -c "$*"
SSH
    chmod +x bin/ssh
    export HOSTS_LOG=$work/hosts.log
    mkdir chunks
    ssh_line="find plates -name '*.in' | parallel --sshlogin 4/node1,4/node2 --workdir \"\$PWD\" -n 50 inhibra-fit -q -j 1 --json chunks/{#}.json {}"
    run_readme_line "$ssh_line"
    [ "$status" -eq 1 ] || fail "parallel over ssh ended with status $status, not 1"
    check_merged
    [ "$(sort -u hosts.log | tr '\n' ' ')" = "node1 node2 " ] ||
      fail "the jobs did not go to both hosts: $(sort -u hosts.log | tr '\n' ' ')"
    ;;
  slurm)
    script=$src/scripts/slurm-fit.sh
    bash -n "$script"
    grep -qF "sbatch --array=0-\$((tasks - 1)) scripts/slurm-fit.sh files.txt results" \
      "$src/README.md" || fail "the README no longer shows the sbatch line"
    statuses=
    for task in 0 1 2 3; do
      status=0
      SLURM_ARRAY_TASK_ID=$task CHUNK=2 "$script" files.txt chunks || status=$?
      statuses+="$status "
    done
    # Six files, two a task: the rejected file is the sixth; a fourth task has none.
    [ "$statuses" = "0 0 3 0 " ] || fail "task statuses $statuses, not 0 0 3 0"
    [ ! -e chunks/chunk-3.json ] || fail "an empty task wrote a chunk"
    check_merged
    status=0
    env -u SLURM_ARRAY_TASK_ID "$script" files.txt chunks 2>/dev/null || status=$?
    [ "$status" -ne 0 ] || fail "the script ran outside a job array task"
    ;;
  *)
    fail "unknown mode"
    ;;
esac
echo "scale-out test ($mode): passed"
