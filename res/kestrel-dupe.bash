# bash completion for kestrel-dupe: its options and the values of --order. Masks and names are
# the user's own, so nothing is offered for them.
_kestrel_dupe() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]} i
  COMPREPLY=()
  for ((i = 1; i < COMP_CWORD; i++)); do
    [[ ${COMP_WORDS[i]} == -- ]] && return
  done
  case $prev in
    -o | --order)
      mapfile -t COMPREPLY < <(compgen -W 'first last' -- "$cur")
      return
      ;;
    -n | --limit | -b | --between) return ;;
  esac
  # The second date of --between.
  if ((COMP_CWORD >= 2)) && [[ ${COMP_WORDS[COMP_CWORD - 2]} == @(-b|--between) ]]; then
    return
  fi
  if [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W '--limit --all --order --between --count --json --verbose
      --exact --server --local --sync --help --version' -- "$cur")
  fi
}
complete -F _kestrel_dupe kestrel-dupe
