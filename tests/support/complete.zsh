# Prints the screen that zsh shows when Tab is pressed after the words $2,
# with the completion functions of the folder $1 first on fpath. Runs an
# interactive zsh on a pseudo-terminal, since completion works only in the
# line editor; waits for the completion system to be ready, then stops
# reading once the screen has been quiet for half a second.
zmodload zsh/zpty
zpty -b shell 'zsh -f -i'
zpty -w shell "PS1='> '; fpath=(${(q)1} \$fpath); autoload -Uz compinit; compinit -u -D;"\
" LISTMAX=1000; print \${(U):-ready}"
local screen line quiet=0
for i in {1..300}; do
  zpty -r -t shell line && [[ $line == *READY* ]] && break
  sleep 0.1
done
zpty -w -n shell "$2"$'\t'
for i in {1..100}; do
  if zpty -r -t shell line; then
    screen+=$line
    quiet=0
  else
    (( ++quiet > 5 && ${#screen} > 0 )) && break
    sleep 0.1
  fi
done
zpty -d shell
print -r -- ${screen//$'\r'/}
