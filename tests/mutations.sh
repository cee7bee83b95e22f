#!/bin/sh
# Every breakage that scripts/mutate applies still changes its file: one that no
# longer matches the code breaks nothing, and would prove nothing.
# Usage: mutations.sh SOURCE_DIR
cd "$1" || exit 1
grep -v '^#' scripts/mutations | grep -v '^$' | while IFS='|' read -r name file expr; do
  if [ ! -f "$file" ]; then
    echo "scripts/mutations: $name names $file, which is not there"
    exit 1
  fi
  if sed "$expr" "$file" | cmp -s - "$file"; then
    echo "scripts/mutations: $name changes nothing in $file"
    exit 1
  fi
done
