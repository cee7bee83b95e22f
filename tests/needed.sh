#!/bin/sh
# A program that needs only the C library: its one NEEDED entry is LIBC.
# Usage: needed.sh READELF PROGRAM LIBC   (LIBC: libc.so.6 on Linux, libc.so.7 on FreeBSD)
needed=$("$1" -d "$2" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
echo "$2 needs: $needed"
[ "$needed" = "$3" ]
