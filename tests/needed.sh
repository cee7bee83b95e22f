#!/bin/sh
# VemiCmd needs only the C library: its one NEEDED entry is LIBC.
# Usage: needed.sh READELF VEMICMD LIBC   (LIBC: libc.so.6 on Linux, libc.so.7 on FreeBSD)
needed=$("$1" -d "$2" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
echo "VemiCmd needs: $needed"
[ "$needed" = "$3" ]
