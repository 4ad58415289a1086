# Sourced by the command-line tests: counts failures and checks one case.
failures=0

# check NAME EXPECTED_CODE PATTERN -- COMMAND...: runs COMMAND, wants its exit code and its
# output (standard output and error together) to match the extended regular expression.
check() {
  local name=$1 want=$2 pattern=$3
  shift 4
  local out code
  out=$("$@" 2>&1)
  code=$?
  if [ "$code" != "$want" ] || ! grep -Eq -- "$pattern" <<<"$out"; then
    echo "FAIL $name: exit code $code (wanted $want), output:"
    sed 's/^/    /' <<<"$out"
    failures=$((failures + 1))
  else
    echo "ok   $name"
  fi
}
