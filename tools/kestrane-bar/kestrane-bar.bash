# bash completion for kestrane-bar: its commands, then archives (list, extract, info) and the
# folder to extract into.
_kestrane_bar() {
  local cur=${COMP_WORDS[COMP_CWORD]}
  COMPREPLY=()
  if [ "$COMP_CWORD" -eq 1 ]; then
    mapfile -t COMPREPLY < <(compgen -W "list extract info" -- "$cur")
    return
  fi
  case ${COMP_WORDS[1]} in
  list)
    [ "$COMP_CWORD" -eq 2 ] || return
    ;;
  extract)
    # ARCHIVE MASK DIR: the mask is free text, the folder a folder.
    case $COMP_CWORD in
    2) ;;
    4)
      compopt -o filenames 2>/dev/null
      mapfile -t COMPREPLY < <(compgen -d -- "$cur")
      return
      ;;
    *) return ;;
    esac
    ;;
  info) ;;
  *) return ;;
  esac
  compopt -o filenames 2>/dev/null
  mapfile -t COMPREPLY < <(compgen -f -- "$cur")
}
complete -F _kestrane_bar kestrane-bar
