#!/usr/bin/env bash
# Runs every probe-host command of the README's sh code blocks as a user
# would, from a directory laid out as the repository is (examples/ and
# cmake/ from the sources, build/<preset> the build under test), each with
# --seconds 1 added after its own options, so a run stays short; a later
# --seconds overrides an earlier one. Fails when a command exits with other
# than 0, or when the README holds no such command for this build.
# Usage: readme_commands.sh SOURCE_DIR BUILD_DIR native|windows
set -uo pipefail
source_dir=$1
build_dir=$(cd "$2" && pwd)
kind=$3
case $kind in
  native) program='build/native/bin/probe-host' ;;
  windows) program='cmake/wine-run build/windows/bin/probe-host.exe' ;;
  *) echo "unknown build kind $kind" >&2; exit 2 ;;
esac

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/build"
ln -s "$source_dir/examples" "$work/examples"
ln -s "$source_dir/cmake" "$work/cmake"
ln -s "$build_dir" "$work/build/$kind"

# The lines of the README's sh blocks that start with the program, their
# trailing comments left out.
commands=$(awk -v program="$program " '
  /^```/ { inside = ($0 == "```sh"); next }
  inside && index($0, program) == 1 { sub(/[ \t]+#.*$/, ""); print }
' "$source_dir/README.md")
if [ -z "$commands" ]; then
  echo "no '$program' command in $source_dir/README.md" >&2
  exit 1
fi

failed=0
while IFS= read -r command; do
  (cd "$work" && bash -c "$command --seconds 1" >"$work/out.txt" 2>&1 </dev/null)
  status=$?
  echo "exit $status: $command"
  if [ $status -ne 0 ]; then
    failed=1
    tail -n 20 "$work/out.txt"
  fi
done <<<"$commands"
exit $failed
