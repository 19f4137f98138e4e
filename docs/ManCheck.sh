#!/usr/bin/env bash
# Each manual page names the same commands and options as its program's --help, so that neither
# changes without the other.
#   ManCheck.sh DORYOU-CLI DORYOU MANDIR
set -euo pipefail
cli=$1 gui=$2 mandir=$3

if ! command -v groff >/dev/null; then
  echo "ManCheck: skipped, groff is not installed (scripts/install-deps.sh installs it)"
  exit 77
fi

# The page as plain text on one long line a paragraph, without hyphenation.
render() { groff -k -man -Tutf8 -rLL=300n -rHY=0 -P-cbou "$1" 2>/dev/null; }
# Options: a dash or two after a blank, a bracket, a bar or a comma.
options() { grep -oE '(^|[][ ,|(])--?[a-zA-Z][a-zA-Z0-9-]*' | sed -E 's/^[][ ,|(]//' | sort -u; }
# Commands: what follows the program's name at the start of a usage line, split at the bars.
commands() { grep -oE "(^|[: ])$1 [a-z-][a-z|-]*" | sed -E "s/^.*$1 //" | tr '|' '\n' | sort -u; }
# The SYNOPSIS section of a rendered page.
synopsis() { sed -n '/^SYNOPSIS/,/^[A-Z]/p'; }

status=0
compare() { # WHAT PROGRAM-LIST PAGE-LIST
  if [ "$2" != "$3" ]; then
    echo "ManCheck: $1 differ"
    diff <(echo "$2") <(echo "$3") | sed 's/^</  --help:/; s/^>/  page:/' | grep -E 'help:|page:' || true
    status=1
  fi
}

help=$("$cli" --help)
page=$(render "$mandir/doryou-cli.1")
compare "doryou-cli's options" "$(options <<<"$help")" "$(options <<<"$page")"
compare "doryou-cli's commands" "$(commands doryou-cli <<<"$help")" \
  "$(synopsis <<<"$page" | commands doryou-cli)"

help=$("$gui" --help)
page=$(render "$mandir/doryou.1")
compare "doryou's options" "$(options <<<"$help")" "$(options <<<"$page")"

[ $status -eq 0 ] && echo "ManCheck: the manual pages match the programs' --help"
exit $status
