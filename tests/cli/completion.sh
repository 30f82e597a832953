#!/usr/bin/env bash
# The bash completion offers the verbs, each verb's own options and the words an option takes.
# bash-completion's helpers are stood in for: files are not what is checked here.
# Usage: completion.sh PATH_TO_tessaly-cli.bash
set -uo pipefail
_init_completion() {
  words=("${COMP_WORDS[@]}") cword=$COMP_CWORD cur=${COMP_WORDS[COMP_CWORD]}
  prev=${COMP_WORDS[COMP_CWORD - 1]}
}
_filedir() { COMPREPLY=("<files ${1:-}>"); }
source "$1"
failed=0
# the command line typed so far | the offers expected
cases=(
  "tessaly-cli unp|unpack"
  "tessaly-cli s|status"
  "tessaly-cli -|-V --version -h --help -q --quiet"
  "tessaly-cli list --|--help --quiet --json"
  "tessaly-cli export speech.idx --|--help --quiet --entries --to"
  "tessaly-cli pack --f|--force"
  "tessaly-cli unpack speech.idx --|--help --quiet --to --overwrite --keep-changed"
  "tessaly-cli pack speech_ --t|--to"
  "tessaly-cli unpack speech.idx --k|--keep-changed"
  "tessaly-cli unpack speech.idx --to |<files -d>"
  "tessaly-cli import speech_ --loudness |match"
  "tessaly-cli export speech.idx --to |<files -d>"
  "tessaly-cli unpack |<files @(idx|big|IDX|BIG)>"
)
for case in "${cases[@]}"; do
  IFS='|' read -r line expected <<<"$case"
  read -ra COMP_WORDS <<<"$line"
  [[ $line == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  COMPREPLY=()
  _tessaly_cli
  if [ "${COMPREPLY[*]}" != "$expected" ]; then
    echo "FAILED: '$line' offers '${COMPREPLY[*]}', expected '$expected'"
    failed=1
  fi
done
exit $failed
