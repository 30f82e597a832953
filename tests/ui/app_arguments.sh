#!/usr/bin/env bash
# The desktop program's command line, each case without a display: --version and --help answer,
# a missing display, a wrong file and an unknown option give a message and their exit code,
# never Qt's abort. Usage: app_arguments.sh PATH_TO_TESSALY
set -uo pipefail
tessaly=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
: >"$work/speech.wav"
mkdir "$work/speech_"
failed=0
# expected exit code | what the output must hold | arguments
cases=(
  "0|tessaly [0-9]+\.[0-9]+\.[0-9]+$|--version"
  "0|tessaly [0-9]+\.[0-9]+\.[0-9]+$|-V"
  "0|^Usage: tessaly \[FILE\]|--help"
  "1|no display found.*tessaly-cli --help|"
  "1|no display found|$work/speech.idx"
  "2|'$work/missing.idx' does not exist|$work/missing.idx"
  "2|speech.wav' is not an archive's index \(.idx\) or data file \(.big\)|$work/speech.wav"
  "2|speech_' is not an archive's index|$work/speech_"
  "2|unknown option '--bogus'|--bogus"
)
: >"$work/speech.idx"
for case in "${cases[@]}"; do
  IFS='|' read -r code pattern args <<<"$case"
  output=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$tessaly" $args 2>&1)
  status=$?
  if [ "$status" -ne "$code" ] || ! grep -Eq "$pattern" <<<"$output"; then
    echo "FAILED: tessaly $args: exit $status (expected $code), output: $output"
    failed=1
  fi
done
exit $failed
