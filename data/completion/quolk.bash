# bash completion for quolk
# Self-contained (nothing from the bash-completion package), so that sourcing it is enough.

_quolk_record_options="--interval --duration --csv --profile --growth-limit --streak
    --max-footprint --max-growth --include-children --children-csv --json --fail-on-leak --plot --plot-size --quiet --stacks
    --sample-bytes --stacks-out --"
_quolk_serve_options="--listen --match --pid --interval --window --profile --growth-limit --streak"
_quolk_compare_options="--json --plot --plot-size --fail-on-regression"

# Fills COMPREPLY with the lines a command prints, one candidate a line (names may hold blanks).
_quolk_reply() {
    mapfile -t COMPREPLY < <("$@")
}

# The PIDs of the running processes: the numeric entries of /proc.
_quolk_pids() {
    local entry pids=()
    for entry in /proc/[0-9]*; do
        pids+=("${entry#/proc/}")
    done
    _quolk_reply compgen -W "${pids[*]}" -- "$1"
}

_quolk_files() {
    compopt -o filenames 2>/dev/null
    _quolk_reply compgen -f -- "$1"
}

_quolk() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local i options
    COMPREPLY=()

    # After "--" come the command that --record starts and its arguments.
    for ((i = 1; i < COMP_CWORD; i++)); do
        if [[ ${COMP_WORDS[i]} == -- ]]; then
            if ((i == COMP_CWORD - 1)); then
                _quolk_reply eval 'compgen -c -- "$cur" | sort -u'
            else
                _quolk_files "$cur"
            fi
            return
        fi
    done

    # The two logs of --compare.
    if ((COMP_CWORD > 2)) && [[ ${COMP_WORDS[COMP_CWORD-2]} == --compare ]]; then
        _quolk_files "$cur"
        return
    fi
    case $prev in
        --analyze | --csv | --children-csv | --stacks-out | --plot | --compare)
            _quolk_files "$cur"
            return
            ;;
        --pid)
            _quolk_pids "$cur"
            return
            ;;
        --match)
            # The command names of the running processes.
            _quolk_reply eval 'cat /proc/[0-9]*/comm 2>/dev/null | sort -u | grep -F -- "$cur"'
            return
            ;;
        --record)
            # A running process by its PID; or options, "--" and a command to start.
            if [[ $cur == -* ]]; then
                _quolk_reply compgen -W "$_quolk_record_options" -- "$cur"
            else
                _quolk_pids "$cur"
            fi
            return
            ;;
        --profile)
            _quolk_reply compgen -W "default menu-bar file-converter" -- "$cur"
            return
            ;;
        --interval | --duration | --growth-limit | --streak | --sample-bytes | --max-footprint | --max-growth | --listen | --window | --plot-size)
            return  # a number of the user's choosing
            ;;
    esac

    # Options may come in any order: the mode is whichever of --record, --analyze, --serve and --compare
    # was given.
    options="--analyze --record --serve --compare --help --version"
    if ((COMP_CWORD > 1)); then
        options="--analyze --record --serve --compare ${_quolk_record_options% --}"
        for ((i = 1; i < COMP_CWORD; i++)); do
            case ${COMP_WORDS[i]} in
                --record) options=$_quolk_record_options ;;
                --analyze) options="--json --fail-on-leak --plot --plot-size" ;;
                --serve) options=$_quolk_serve_options ;;
                --compare) options=$_quolk_compare_options ;;
            esac
        done
    fi
    _quolk_reply compgen -W "$options" -- "$cur"
} && complete -F _quolk quolk
