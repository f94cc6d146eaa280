# bash completion for kavo3cli                                  -*- shell-script -*-
# tests/help checks that it names every subcommand and option kavo3cli's --help names.

_kavo3cli() {
    local cur prev words cword
    _init_completion || return

    local global="--help --version --sim --trace --device --tick-ms --json --quiet -q"
    local subcommands="list status download verify timing capture key freeze doctor help"

    # The subcommand (and timing's own) given so far.
    local sub="" timingsub="" i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            --trace | --device | --tick-ms | --address | --flash-size) ((i++)) ;;
            -*) ;;
            *)
                if [[ -z $sub ]]; then
                    sub=${words[i]}
                elif [[ $sub == timing && -z $timingsub ]]; then
                    timingsub=${words[i]}
                fi
                ;;
        esac
    done

    case $prev in
        --trace)
            _filedir
            return
            ;;
        --device | --tick-ms | --address | --flash-size)
            return
            ;;
    esac

    local options=""
    case $sub in
        "") options="$subcommands" ;;
        list) options="--check" ;;
        status) options="--list" ;;
        download) options="--address --flash-size --all --first-mib" ;;
        verify) options="--address --flash-size --all --first-mib" ;;
        timing)
            [[ -z $timingsub ]] && options="show set save load diff"
            if [[ $timingsub == set ]]; then
                options="h2pos= v2pos= h2size= v2size= clamp_start= clamp_width= hst= vst= hsw= vsw= ph1pos= pv1pos= ph1size= pv1size="
                compopt -o nospace
            fi
            ;;
        capture) options="--leave-frozen" ;;
        key) options="--list" ;;
        freeze) options="on off" ;;
        help) options="list status download verify timing capture key freeze doctor" ;;
    esac

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options $global" -- "$cur"))
    elif [[ -n $sub && $sub != help && $sub != freeze && ! ($sub == timing && ($timingsub == "" || $timingsub == set)) ]]; then
        _filedir
        COMPREPLY+=($(compgen -W "${options//--*/}" -- "$cur"))
    else
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    fi
} &&
    complete -F _kavo3cli kavo3cli

# ex: filetype=sh
