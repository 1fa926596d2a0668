#!/usr/bin/env bash
# Usage: help_pages_test.sh MAN_DIR PROGRAM...
# Each program's help lists, in both its languages, exactly the options its manual page
# (MAN_DIR/PROGRAM.1.in) describes, and speaks the language --lang or the locale asks for.
set -euo pipefail

man_dir=$1
shift
fail() { echo "help pages test: $*" >&2; exit 1; }

# Program, environment and arguments in one word each, as a row below gives them.
run() {
  local program=$1 environment=$2 arguments=$3
  # shellcheck disable=SC2086
  env -i PATH=/usr/bin:/bin HOME="${TMPDIR:-/tmp}" QT_QPA_PLATFORM=offscreen $environment \
    "$program" $arguments 2>&1 || true
}
# The options that open the help's lines (continued descriptions are indented deeper).
help_options() { grep -oE '^  --[a-z-]+' | tr -d ' ' | sort -u; }
# The options that open the page's tagged paragraphs.
page_options() { grep -A1 '^\.TP' "$1" | grep -oE '\\-\\-[-a-z\\]+' | tr -d '\\' | sort -u; }

# Expected language | environment | arguments.
rows=(
  "ru|LC_ALL=C.UTF-8|--help"
  "ru||--help"
  "en|LC_ALL=en_US.UTF-8|--help"
  "en|LANG=en_GB.UTF-8|--help"
  "ru|LC_ALL=ru_RU.UTF-8 LANG=en_US.UTF-8|--help"
  "en|LC_MESSAGES=en LANG=ru_RU.UTF-8|--help"
  "ru|LANG=english_but_not_en|--help"
  "en|LC_ALL=C.UTF-8|--lang en --help"
  "ru|LC_ALL=en_US.UTF-8|--help --lang ru"
  "en|LC_ALL=C.UTF-8|--no-such-option --lang en"
)

for program in "$@"; do
  name=$(basename "$program")
  page=$man_dir/$name.1.in
  documented=$(page_options "$page")
  [[ -n $documented ]] || fail "$page describes no options"
  for row in "${rows[@]}"; do
    IFS='|' read -r language environment arguments <<< "$row"
    output=$(run "$program" "$environment" "$arguments")
    if [[ $output == *"Usage: $name "* ]]; then said=en
    elif [[ $output == *"Использование: $name "* ]]; then said=ru
    else fail "$name $arguments under '$environment' printed no usage: $output"
    fi
    [[ $said == "$language" ]] || fail "$name $arguments under '$environment': $said help, $language expected"
    [[ $arguments == *--help* ]] || continue
    listed=$(help_options <<< "$output")
    [[ $listed == "$documented" ]] ||
      fail "$name ($language): help and $page differ:"$'\n'"$(diff <(echo "$listed") <(echo "$documented") || true)"
  done
done
echo "help pages test: passed"
