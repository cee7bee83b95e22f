#!/usr/bin/env bash
# The shipped VemiCmd loads no C++ runtime: its one shared library is the C library.
set -u
needed=$(readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
echo "VemiCmd needs: $needed"
[ "$needed" = "libc.so.6" ]
