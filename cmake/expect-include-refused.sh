#!/usr/bin/env bash
# Builds one layer probe and passes only when the compiler refused it because
# the included header of a higher layer was not found.
build="$1" target="$2" header="$3"
out="$(cmake --build "$build" --target "$target" 2>&1)"
if [ $? -eq 0 ]; then
  echo "The probe compiled: a lower layer can include $header"
  exit 1
fi
if ! grep -q "$header: No such file" <<<"$out"; then
  echo "The probe failed for another reason than the missing header:"
  echo "$out" | tail -n 20
  exit 1
fi
echo "refused as expected: $header"
