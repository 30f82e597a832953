# bash completion for tessaly-cli: verbs, each verb's options, and archive files (.idx, .big),
# folders or audio files where a verb takes them.
_tessaly_cli() {
  local cur prev words cword
  _init_completion || return
  local verbs="unpack pack list verify info export import status help"
  local verb="" i
  for ((i = 1; i < cword; i++)); do
    case ${words[i]} in -*) ;; *) verb=${words[i]}; break ;; esac
  done
  case $prev in
    --to|--from) _filedir -d; return ;;
    --loudness) COMPREPLY=($(compgen -W "match" -- "$cur")); return ;;
    --entries) return ;;
  esac
  local options="-h --help -q --quiet"
  case $verb in
    "") COMPREPLY=($(compgen -W "$verbs -V --version $options" -- "$cur")); return ;;
    unpack) options+=" --to --overwrite --keep-changed" ;;
    pack) options+=" --force --to" ;;
    list|verify|info|status) options+=" --json" ;;
    export) options+=" --entries --to" ;;
    import) options+=" --from --loudness" ;;
  esac
  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
    return
  fi
  case $verb in
    unpack|list|verify) _filedir '@(idx|big|IDX|BIG)' ;;
    info|export) _filedir '@(idx|big|asf|IDX|BIG|ASF)' ;;
    pack|status) _filedir -d ;;
    import) _filedir ;;
  esac
}
complete -F _tessaly_cli tessaly-cli
