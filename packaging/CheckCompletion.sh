#!/usr/bin/env bash
# Checks the bash completion of orbizo3-cli: what it offers after a few command lines.
#   CheckCompletion.sh <bash_completion framework> <orbizo3-cli completion file>
set -uo pipefail
source "$1"
source "$2"

failures=0
# expect "<words of the line, the last one being completed>" "<offered, sorted>"
expect() {
    read -r -a COMP_WORDS <<<"$1"
    [[ $1 == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE=$1
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _orbizo3_cli
    local offered
    offered=$(printf '%s\n' "${COMPREPLY[@]}" | sort | xargs)
    if [[ $offered != "$2" ]]; then
        echo "'$1': offered '$offered', expected '$2'"
        failures=$((failures + 1))
    fi
}

expect "orbizo3-cli " "check history info list update verify"
expect "orbizo3-cli ve" "verify"
expect "orbizo3-cli --device OZ3S000001 in" "info"
expect "orbizo3-cli --js" "--json"
expect "orbizo3-cli verify --y" "--yes"
expect "orbizo3-cli update --a" "--all"
expect "orbizo3-cli check --a" ""
expect "orbizo3-cli history --c" "--csv"
exit $((failures > 0))
