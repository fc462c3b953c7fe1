# Bash completion of quarrix-cli: its commands, each command's options, the
# values of --method, --format and --types, and files or folders where a
# command takes them. Plain bash: it needs nothing from the bash-completion
# package, which loads it from share/bash-completion/completions/.

_quarrix_cli_options() {
    case $1 in
        list | test) echo "--json" ;;
        cat) ;;
        scan) echo "-r --recursive --types --json" ;;
        extract) echo "-o --output --here -q --quiet --json" ;;
        pack) echo "-o --output --method --level --threads --format -q --quiet" ;;
        dump) echo "-o --output -r --recursive --types --consolidated -q --quiet --json" ;;
        conflicts) echo "-r --recursive --types --json" ;;
        mount) echo "-r --recursive --types -f --foreground" ;;
    esac
    echo "-h --help"
}

# Completes $cur as a file, or with "dirs" as a folder only.
_quarrix_cli_paths() {
    compopt -o filenames 2>/dev/null
    if [[ ${1-} == dirs ]]; then
        mapfile -t COMPREPLY < <(compgen -d -- "$cur")
    else
        mapfile -t COMPREPLY < <(compgen -f -- "$cur")
    fi
}

# --types takes a list separated by "," or "|": the last piece is completed.
_quarrix_cli_types() {
    local last=${cur##*[,|]}
    mapfile -t COMPREPLY < <(compgen -P "${cur%"$last"}" -W "hpi ufo gp3 gp4 ccx" -- "$last")
    compopt -o nospace 2>/dev/null
}

_quarrix_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    COMPREPLY=()

    local command= i
    for ((i = 1; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
            -*) ;;
            *) command=${COMP_WORDS[i]}; break ;;
        esac
    done
    if [[ -z $command ]]; then
        mapfile -t COMPREPLY < <(compgen -W "list cat test scan extract pack dump conflicts mount --help --version" -- "$cur")
        return
    fi

    case $prev in
        --method) mapfile -t COMPREPLY < <(compgen -W "zlib lz77 store" -- "$cur"); return ;;
        --format) mapfile -t COMPREPLY < <(compgen -W "1 2" -- "$cur"); return ;;
        --level) mapfile -t COMPREPLY < <(compgen -W "$(seq 1 12)" -- "$cur"); return ;;
        --threads | --consolidated) return ;;
        --types) _quarrix_cli_types; return ;;
        -o | --output)
            # pack writes an archive; extract and dump write into a folder.
            if [[ $command == pack ]]; then _quarrix_cli_paths; else _quarrix_cli_paths dirs; fi
            return ;;
    esac

    if [[ $cur == -* ]]; then
        mapfile -t COMPREPLY < <(compgen -W "$(_quarrix_cli_options "$command")" -- "$cur")
        return
    fi
    case $command in
        scan | pack | dump) _quarrix_cli_paths dirs ;;
        # conflicts and mount take archives or folders (mount a folder last).
        list | test | extract | conflicts | mount) _quarrix_cli_paths ;;
        cat)
            # The archive only; the path inside it is the person's to type.
            for ((i++; i < COMP_CWORD; i++)); do [[ ${COMP_WORDS[i]} == -* ]] || return; done
            _quarrix_cli_paths ;;
    esac
}

complete -F _quarrix_cli quarrix-cli
