#!/usr/bin/env bash
# The set-up contract of scripts/configure.sh: its callers take its standard
# output as the build folder, so it prints that folder and nothing else, even
# while it installs a missing tool; progress and the package manager's own
# output go to standard error as they happen.
#
# The run sees a PATH of links to the real tools with one tool (zip) left
# out, and a stand-in apt-get in front of it that records its arguments,
# fails the first installation as stale package lists do, and "installs" by
# linking the real tool back. Nothing is installed on or removed from this
# machine. Arguments: the source root, a scratch folder.
set -uo pipefail
root="$1" scratch="$2"
missing=zip

fail() {
  echo "FAILED: $*"
  echo "--- standard output"; cat "$scratch/stdout"
  echo "--- standard error"; cat "$scratch/stderr"
  echo "--- stand-in apt-get calls"; cat "$scratch/apt-calls" 2>/dev/null
  exit 1
}

real_tool="$(command -v "$missing")" || { echo "the real $missing is needed for this test"; exit 1; }
rm -rf "$scratch"
mkdir -p "$scratch/tools" "$scratch/standin"

# Links to every tool on PATH, the first of a name winning as PATH would.
IFS=: read -ra dirs <<<"$PATH"
for d in "${dirs[@]}"; do
  [[ "$d" == /* && -d "$d" ]] || continue
  shopt -s nullglob
  entries=("$d"/*)
  shopt -u nullglob
  [ ${#entries[@]} -gt 0 ] && ln -s -- "${entries[@]}" "$scratch/tools/" 2>/dev/null
done
rm -f "$scratch/tools/$missing" "$scratch/tools/apt-get"
PATH="$scratch/tools" command -v "$missing" >/dev/null && { echo "$missing is still reachable"; exit 1; }

cat >"$scratch/standin/apt-get" <<STANDIN
#!/bin/bash
echo "\$*" >>"$scratch/apt-calls"
echo "Reading package lists... (stand-in)"
case "\$1" in
  update)
    touch "$scratch/updated"
    echo "Fetched package lists (stand-in)";;
  install)
    if [ ! -f "$scratch/updated" ]; then
      echo "E: Unable to locate package $missing (stand-in)" >&2
      exit 100
    fi
    for p in "\$@"; do
      [ "\$p" = "$missing" ] && ln -s "$real_tool" "$scratch/tools/$missing" && echo "Setting up $missing (stand-in)"
    done;;
esac
exit 0
STANDIN
chmod +x "$scratch/standin/apt-get"

build="$scratch/build"
run_configure() {
  EK_BUILD="$build" PATH="$scratch/standin:$scratch/tools" \
    bash "$root/scripts/configure.sh" >"$scratch/stdout" 2>"$scratch/stderr"
}

# First run: the tool is missing.
run_configure || fail "configure.sh ended with code $?"
[ "$(cat "$scratch/stdout")" = "$build" ] || fail "standard output is not exactly the build folder"
[ "$(wc -l <"$scratch/stdout")" -eq 1 ] || fail "standard output is not one line"
[ -f "$build/build.ninja" ] || fail "the build folder was not configured"
expected_calls="install -y -q $missing
update -q
install -y -q $missing"
[ "$(cat "$scratch/apt-calls")" = "$expected_calls" ] || fail "apt-get was not asked for $missing, then updated, then asked again"
[ -L "$scratch/tools/$missing" ] || fail "the stand-in did not install $missing"
# Everything else went to standard error, in the order it happened.
last=0
for line in "Installing: $missing" "Reading package lists... (stand-in)" \
            "E: Unable to locate package $missing (stand-in)" "Updating the package lists, then installing again" \
            "Fetched package lists (stand-in)" "Setting up $missing (stand-in)" "-- Build files have been written to: $build"; do
  n="$(awk -v after="$last" -v want="$line" 'NR > after && $0 == want { print NR; exit }' "$scratch/stderr")"
  [ -n "$n" ] || fail "standard error lacks, or has out of order: $line"
  last="$n"
done

# Second run: nothing is missing now, so nothing is installed.
rm -f "$scratch/apt-calls"
run_configure || fail "the second configure.sh ended with code $?"
[ "$(cat "$scratch/stdout")" = "$build" ] || fail "second run: standard output is not exactly the build folder"
[ ! -e "$scratch/apt-calls" ] || fail "second run: apt-get was called although nothing was missing"
grep -q "^Installing:" "$scratch/stderr" && fail "second run: it announced an installation"

rm -rf "$scratch"
echo "configure.sh: only the build folder on standard output; $missing requested, installed after an update"
