#!/usr/bin/env bash
# Compares the shared library's dynamic symbol table with the functions the
# public header declares: every exported name must be declared, and every
# declared name must be exported.
set -euo pipefail
lib=$1
header=$2
declared=$(grep -oE 'KOVA_API [^;]*\b(kova_[a-z0-9_]+|rtchk_get)\(' "$header" |
           grep -oE '(kova_[a-z0-9_]+|rtchk_get)\($' | tr -d '(' | sort -u)
exported=$(nm -D --defined-only "$lib" | awk '$2 ~ /^[TtWwDdBbRr]$/ {print $3}' |
           sed 's/@.*//' | grep -v '^KOVA_1.0$' | sort -u)
extra=$(comm -13 <(echo "$declared") <(echo "$exported"))
missing=$(comm -23 <(echo "$declared") <(echo "$exported"))
status=0
if [ -n "$extra" ]; then echo "exported but not declared:"; echo "$extra"; status=1; fi
if [ -n "$missing" ]; then echo "declared but not exported:"; echo "$missing"; fi
n_decl=$(echo "$declared" | grep -c .)
n_exp=$(echo "$exported" | grep -c . || true)
echo "declared $n_decl, exported $n_exp"
if [ "${KOVA_EXPORTS_COMPLETE:-1}" = 1 ] && [ -n "$missing" ]; then status=1; fi
exit $status
