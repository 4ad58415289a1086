# bash completion for kestrane-device: options, commands, BAR files for install, folders for
# --deploy-tool, files for --password-file, --network after discover, --follow after log, local
# files where get and put take them (get's DEST, put's FILE). Package names are not
# completed (asking the device would need its password), nor networks.
_kestrane_device() {
  local cur prev
  cur=${COMP_WORDS[COMP_CWORD]}
  prev=
  [ "$COMP_CWORD" -gt 0 ] && prev=${COMP_WORDS[COMP_CWORD - 1]}
  local commands="info apps install status launch terminate uninstall log exit-code get put discover forget-password"
  local options="--device --json --password-file --deploy-tool --spend-last-attempt --help"
  COMPREPLY=()

  case $prev in
  --device | --network)
    return
    ;;
  --password-file)
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    return
    ;;
  --deploy-tool)
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -d -- "$cur")
    return
    ;;
  esac

  # The command given so far, if any (skipping the options' values).
  local i command=
  for ((i = 1; i < COMP_CWORD; i++)); do
    case ${COMP_WORDS[i]} in
    --device | --password-file | --deploy-tool | --network) ((i++)) ;;
    -*) ;;
    *)
      command=${COMP_WORDS[i]}
      break
      ;;
    esac
  done

  if [ -z "$command" ]; then
    if [[ $cur == -* ]]; then
      mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
    else
      mapfile -t COMPREPLY < <(compgen -W "$commands" -- "$cur")
    fi
    return
  fi
  case $command in
  install)
    if [[ $cur == -* ]]; then
      mapfile -t COMPREPLY < <(compgen -W "--launch $options" -- "$cur")
    else
      # BAR files (any letter case) and folders to find them in.
      compopt -o filenames 2>/dev/null
      local bar
      mapfile -t COMPREPLY < <(compgen -d -- "$cur")
      while IFS= read -r bar; do
        [[ ${bar,,} == *.bar ]] && COMPREPLY+=("$bar")
      done < <(compgen -f -- "$cur")
    fi
    ;;
  log)
    [[ $cur == -* ]] && mapfile -t COMPREPLY < <(compgen -W "--follow $options" -- "$cur")
    ;;
  get | put)
    if [[ $cur == -* ]]; then
      mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
      return
    fi
    # The words after the command: PACKAGE and PATH are the device's, get's DEST (third) and
    # put's FILE (second) are this computer's.
    local n=0
    for ((i = i + 1; i < COMP_CWORD; i++)); do
      [[ ${COMP_WORDS[i]} == -* ]] || ((n++))
    done
    if { [ "$command" = get ] && [ "$n" = 2 ]; } || { [ "$command" = put ] && [ "$n" = 1 ]; }; then
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    fi
    ;;
  forget-password)
    [[ $cur == -* ]] && mapfile -t COMPREPLY < <(compgen -W "--device" -- "$cur")
    ;;
  discover)
    [[ $cur == -* ]] && mapfile -t COMPREPLY < <(compgen -W "--network --json --help" -- "$cur")
    ;;
  *)
    [[ $cur == -* ]] && mapfile -t COMPREPLY < <(compgen -W "$options" -- "$cur")
    ;;
  esac
}
complete -F _kestrane_device kestrane-device
