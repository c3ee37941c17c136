# bash completion for nembit: its options, then file names.
_nembit() {
  local cur=${COMP_WORDS[COMP_CWORD]} i
  for ((i = 1; i < COMP_CWORD; i++)); do
    [[ ${COMP_WORDS[i]} == -- ]] && break
  done
  if ((i == COMP_CWORD)) && [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W '-h --help --version --debug' -- "$cur")
  else
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -f -- "$cur")
  fi
}
complete -F _nembit nembit
