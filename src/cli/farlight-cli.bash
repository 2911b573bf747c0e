# bash completion for farlight-cli: its commands, each command's options, the values of
# --format and --adapter, and file names where a file is expected. Devices are not completed:
# knowing them takes a search of the network.

_farlight_cli()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local command=${COMP_WORDS[1]:-} common='--help --adapter --search-time'
    local options files='' formats='table json'

    if [ "$COMP_CWORD" -eq 1 ]; then
        COMPREPLY=($(compgen -W 'search set-ip upgrade filter apply doctor --help --version' -- "$cur"))
        return
    fi
    case $command in
    search) options="$common --format"; formats='table json csv' ;;
    set-ip) options="$common --ip --mask --gateway --dhcp --all --jobs --password-file --credentials --format" ;;
    upgrade) options="$common --all --jobs --retries --force --format"; files='bin' ;;
    filter)
        if [ "$COMP_CWORD" -eq 2 ]; then
            COMPREPLY=($(compgen -W 'get set' -- "$cur"))
            return
        fi
        if [ "${COMP_WORDS[2]}" = get ]; then
            options="$common --out --password-file --credentials"
        else
            options="$common --all --jobs --verify --password-file --credentials --format"
            files='any'
        fi
        ;;
    apply) options="$common --dry-run --yes --jobs --password-file --credentials --format"; files='any' ;;
    doctor) options='--help --adapter --format'; formats='text json' ;;
    *) return ;;
    esac

    case $prev in
    --format) COMPREPLY=($(compgen -W "$formats" -- "$cur")); return ;;
    --adapter) COMPREPLY=($(compgen -W "$(ls /sys/class/net 2>/dev/null)" -- "$cur")); return ;;
    --password-file | --credentials | --out) COMPREPLY=($(compgen -f -- "$cur")); return ;;
    --ip | --mask | --gateway | --jobs | --retries | --search-time) return ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    elif [ "$files" = bin ]; then
        COMPREPLY=($(compgen -f -X '!*.[bB][iI][nN]' -- "$cur") $(compgen -d -- "$cur"))
    elif [ -n "$files" ]; then
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
}
complete -o filenames -F _farlight_cli farlight-cli
