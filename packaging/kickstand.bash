# bash completion for kickstand(8)

# Every option: those of the usage text in its order, then the two it leaves
# out. A trailing "=" marks an option that needs a value. A new option goes
# here, and its values, when the completion can know them, into
# _kickstand_values.
_kickstand_options=(-h --help --init --invoke --method= --plugin= --trace --verbose
  --randomize --parallel --plugin-flags= --interactive --disable-plugins=
  --dump-dependency-tree --interactive-mode-requires= --daemon --daemon-wait-timeout=
  --plugin-timeout= --order= --plugin-directory= --run-once=)

# The plugin files: their file names (as --plugin takes them), or with -n
# their plugin names (without the extension and a leading "lib").
_kickstand_plugins() {
  local dir=${KICKSTAND_ROOT%/}/usr/libexec/kickstand/plugins words word file name
  read -ra words <<<"${COMP_LINE:0:COMP_POINT}"
  for word in "${words[@]}"; do
    [[ $word == --plugin-directory=* ]] && dir=${word#*=}
  done
  for file in "$dir"/*.so "$dir"/*.json "$dir"/*.debug; do
    [[ -e $file ]] || continue
    name=${file##*/}
    [[ $1 == -n ]] && name=${name%.*} name=${name#lib}
    printf '%s\n' "$name"
  done
}

# The candidates for the value of option $1 that start with $2.
_kickstand_values() {
  local head='' tail=$2
  case $1 in
    --method) compgen -W 'start apply_host_profile stop' -- "$tail" ;;
    --daemon) compgen -W 'wait nowait' -- "$tail" ;;
    --order) compgen -W 'height history' -- "$tail" ;;
    --plugin-directory) compgen -d -- "$tail" ;;
    --dump-dependency-tree) compgen -f -- "$tail" ;;
    --plugin | --disable-plugins | --interactive-mode-requires)
      # Comma lists: complete the last item, keep the ones before it.
      [[ $tail == *,* ]] && head=${tail%,*}, tail=${tail##*,}
      local names=-n
      [[ $1 == --plugin ]] && names=
      compgen -P "$head" -W "$(_kickstand_plugins $names)" -- "$tail" ;;
  esac
}

_kickstand() {
  # The word up to the cursor, with any "=" in it (bash may split there).
  local line=${COMP_LINE:0:COMP_POINT}
  local cur=${line##*[[:space:]]}
  if [[ $cur == --*=* ]]; then
    local option=${cur%%=*} prefix=''
    [[ $COMP_WORDBREAKS == *=* ]] || prefix=$option=
    mapfile -t COMPREPLY < <(_kickstand_values "$option" "${cur#*=}")
    COMPREPLY=("${COMPREPLY[@]/#/$prefix}")
    case $option in
      --plugin-directory | --dump-dependency-tree) compopt -o filenames ;;
    esac
    return
  fi
  mapfile -t COMPREPLY < <(compgen -W "${_kickstand_options[*]}" -- "$cur")
  [[ ${#COMPREPLY[@]} -eq 1 && ${COMPREPLY[0]} == *= ]] && compopt -o nospace
}
complete -F _kickstand kickstand
