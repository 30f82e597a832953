# fish completion for tessaly-cli: verbs, each verb's options, and archive files where a verb
# takes them.
set -l verbs unpack pack list verify info export import status help
complete -c tessaly-cli -f
complete -c tessaly-cli -n "not __fish_seen_subcommand_from $verbs" -a unpack -d 'Write every stream of an archive pair into a folder'
complete -c tessaly-cli -n "not __fish_seen_subcommand_from $verbs" -a pack -d 'Rebuild an archive pair from an unpacked folder'
complete -c tessaly-cli -n "not __fish_seen_subcommand_from $verbs" -a list -d 'Print the entry table of an archive pair'
complete -c tessaly-cli -n "not __fish_seen_subcommand_from $verbs" -a verify -d 'Check that an archive pair can be unpacked'
complete -c tessaly-cli -n "not __fish_seen_subcommand_from $verbs" -a info -d "Print every clip's codec, channels, rate and duration"
complete -c tessaly-cli -n "not __fish_seen_subcommand_from $verbs" -a export -d 'Write clips as 16-bit WAV files'
complete -c tessaly-cli -n "not __fish_seen_subcommand_from $verbs" -a import -d 'Replace clips of an unpacked folder with audio files'
complete -c tessaly-cli -n "not __fish_seen_subcommand_from $verbs" -a status -d 'List the changed entries of an unpacked folder'
complete -c tessaly-cli -n "not __fish_seen_subcommand_from $verbs" -a help -d 'Show the help'
complete -c tessaly-cli -n "not __fish_seen_subcommand_from $verbs" -s V -l version -d 'Show the version'
complete -c tessaly-cli -s h -l help -d 'Show the help'
complete -c tessaly-cli -s q -l quiet -d 'Draw no progress bar'
complete -c tessaly-cli -n "__fish_seen_subcommand_from list verify info status" -l json -d 'Print one JSON document'
complete -c tessaly-cli -n "__fish_seen_subcommand_from pack" -l force -d 'Pack even when replaced entries have problems'
complete -c tessaly-cli -n "__fish_seen_subcommand_from unpack" -l to -x -a '(__fish_complete_directories)' -d 'The folder to write the unpacked folder in'
complete -c tessaly-cli -n "__fish_seen_subcommand_from unpack; and not __fish_seen_argument -l keep-changed" -l overwrite -d 'Write over entry files changed since the unpack'
complete -c tessaly-cli -n "__fish_seen_subcommand_from unpack; and not __fish_seen_argument -l overwrite" -l keep-changed -d 'Keep entry files changed since the unpack'
complete -c tessaly-cli -n "__fish_seen_subcommand_from pack" -l to -x -a '(__fish_complete_directories)' -d 'The folder to write the new pair in'
complete -c tessaly-cli -n "__fish_seen_subcommand_from export" -l entries -x -d 'Numbers, ranges and names'
complete -c tessaly-cli -n "__fish_seen_subcommand_from export" -l to -x -a '(__fish_complete_directories)' -d 'The folder for the WAV files'
complete -c tessaly-cli -n "__fish_seen_subcommand_from import" -l from -x -a '(__fish_complete_directories)' -d 'Replace the entries a folder names'
complete -c tessaly-cli -n "__fish_seen_subcommand_from import" -l loudness -x -a match -d 'Match the loudness of the clip replaced'
complete -c tessaly-cli -n "__fish_seen_subcommand_from unpack list verify" -k -a '(__fish_complete_suffix .idx; __fish_complete_suffix .big)'
complete -c tessaly-cli -n "__fish_seen_subcommand_from info export" -k -a '(__fish_complete_suffix .idx; __fish_complete_suffix .big; __fish_complete_suffix .asf)'
complete -c tessaly-cli -n "__fish_seen_subcommand_from pack status" -a '(__fish_complete_directories)'
complete -c tessaly-cli -n "__fish_seen_subcommand_from import" -F
