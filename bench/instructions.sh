#!/usr/bin/env bash
# Instructions per command of vexmor and its two session floors, counted by
# valgrind's callgrind: the count of a session of 20,000 commands less that of
# one of 10,000, divided by 10,000, so that start-up drops out. Unlike CPU time
# it is the same from run to run, on a busy machine too.
#
#   bench/instructions.sh [BUILD_FOLDER] [VEXMOR]
#
# BUILD_FOLDER is the benchmark's build (build-bench); VEXMOR another build of
# the program to count instead of the one in it.
set -euo pipefail
build=$(cd "${1:-build-bench}" && pwd)
program=${2:-$build/double/vexmor}
library=$build/double/libvelmora.so
command -v valgrind >/dev/null || { echo "instructions.sh: needs valgrind" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
echo 'default 0 Server Srv: Pellomar 5.1, up 3 days 04:11, 12 users, 4 tasks' > "$work/script"
for n in 10000 20000; do
  awk -v n=$n 'BEGIN { for (i = 0; i < n; i++) print "show server" }' > "$work/in$n"
done
export VELMORA_DOUBLE_SCRIPT=$work/script
unset VELMORA_DOUBLE_LOG

# Instructions of one run: count ARGS...
count() {
  valgrind --tool=callgrind --callgrind-out-file=/dev/null "${@:2}" \
    < "$work/in$1" 2>&1 >/dev/null | awk '/refs:/ { gsub(",", "", $4); print $4 }'
}

per_command() {
  echo $(( ($(count 20000 "$@") - $(count 10000 "$@")) / 10000 ))
}

for transcript in without with; do
  if [ $transcript = with ]; then
    option=("/o:$work/vexmor.txt"); file=("$work/floor.txt")
  else
    option=(); file=()
  fi
  printf '%-7s transcript: vexmor %5d, floor %5d, stdio floor %5d instructions per command\n' \
    $transcript "$(per_command "$program" Srv "${option[@]}")" \
    "$(per_command "$build/vexmor_floor" "$library" Srv "${file[@]}")" \
    "$(per_command "$build/vexmor_floor_stdio" "$library" Srv "${file[@]}")"
done
