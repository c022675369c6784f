# Sourced by the project's shell scripts. corvane_say WORDS... prints "[corvane] WORDS" on
# standard output, the tag in bold only where that output is a terminal and NO_COLOR is unset or
# empty (https://no-color.org), so that logs and pipes get plain text.
corvane_say() {
  if [ -t 1 ] && [ -z "${NO_COLOR:-}" ]; then
    printf '\033[1m[corvane]\033[0m %s\n' "$*"
  else
    printf '[corvane] %s\n' "$*"
  fi
}
