#!/usr/bin/env bash
# Fits many data files as a Slurm job array: task K fits the K-th chunk of CHUNK
# files (default 50) named in LIST, one path per line, and writes OUTDIR/chunk-K.json.
#
#   find plates -name '*.in' | sort > files.txt
#   tasks=$(( ($(wc -l < files.txt) + 49) / 50 ))
#   sbatch --array=0-$((tasks - 1)) scripts/slurm-fit.sh files.txt results
#   jq -s '{files: (map(.files[]) | sort_by(.file))}' results/chunk-*.json > all.json
#
# Paths in LIST are taken from the folder sbatch was called in. Each task fits its
# files on the cores Slurm gives it (--cpus-per-task) and exits with inhibra-fit's
# status: the largest run status of its files, each of which is also in the JSON.
# INHIBRA_FIT names the program (default: inhibra-fit on the PATH). Outside Slurm,
# SLURM_ARRAY_TASK_ID=K runs task K by hand.
#SBATCH --job-name=inhibra-fit
#SBATCH --cpus-per-task=4
#SBATCH --mem-per-cpu=200M
#SBATCH --time=01:00:00
#SBATCH --output=inhibra-fit-%A_%a.log
set -euo pipefail

list=${1:?usage: slurm-fit.sh LIST OUTDIR}
outdir=${2:?usage: slurm-fit.sh LIST OUTDIR}
chunk=${CHUNK:-50}
task=${SLURM_ARRAY_TASK_ID:?not a job array task: SLURM_ARRAY_TASK_ID is unset}

first=$((task * chunk + 1))
mapfile -t files < <(sed -n "${first},$((first + chunk - 1))p" "$list")
if [ ${#files[@]} -eq 0 ]; then
  echo "slurm-fit: task $task: no files (LIST has fewer than $first lines)" >&2
  exit 0
fi
mkdir -p "$outdir"
exec "${INHIBRA_FIT:-inhibra-fit}" -q -j "${SLURM_CPUS_PER_TASK:-1}" \
  --json "$outdir/chunk-$task.json" "${files[@]}"
