#!/usr/bin/env bash
# Compares a shared library's exported names with the functions its public
# header declares: every exported name must be declared, and every declared
# name must be exported.
#
#   check_exports.sh [--pe] [--api MACRO] [--import DLL]... LIBRARY HEADER
#   check_exports.sh --pe --imports-only [--import DLL]... PROGRAM
#
# ELF (default): the dynamic symbol table, read with nm -D.
# PE (--pe, a Windows DLL): the export table, read with $OBJDUMP -p; the DLL
# must also import nothing but system DLLs (and the --import DLLs named), so
# that it runs on a bare Windows: libgcc, libstdc++ and winpthread are linked
# in statically.
# --api names the header's export macro (default KOVA_API). --imports-only
# checks a program's imports alone.
set -euo pipefail
pe=0
api=KOVA_API
imports_only=0
allowed_imports=()
while [ $# -gt 1 ]; do
  case $1 in
    --pe) pe=1; shift ;;
    --api) api=$2; shift 2 ;;
    --import) allowed_imports+=("$2"); shift 2 ;;
    --imports-only) imports_only=1; shift ;;
    *) break ;;
  esac
done
lib=$1
header=${2:-}
status=0

if [ "$pe" = 1 ]; then
  objdump=${OBJDUMP:-x86_64-w64-mingw32-objdump}
  dump=$("$objdump" -p "$lib")
  # The rows of "[Ordinal/Name Pointer] Table": "\t[   0] kova_version".
  exported=$(echo "$dump" | awk '/\[Ordinal\/Name Pointer\] Table/ {t = 1; next}
                                 t && /^\t\[ *[0-9]+\] / {print $NF; next}
                                 t {t = 0}' | sort -u)
  # System DLLs a Windows installation always has.
  system_dlls='^(kernel32|msvcrt|bcrypt|advapi32|user32|ws2_32|winhttp|shell32|ntdll|version|crypt32|secur32|api-ms-win-[a-z0-9-]+)\.dll$'
  bad_imports=""
  while read -r dll; do
    [ -n "$dll" ] || continue
    lower=$(echo "$dll" | tr 'A-Z' 'a-z')
    ok=0
    [[ $lower =~ $system_dlls ]] && ok=1
    for a in "${allowed_imports[@]+"${allowed_imports[@]}"}"; do
      [ "$lower" = "$(echo "$a" | tr 'A-Z' 'a-z')" ] && ok=1
    done
    [ "$ok" = 1 ] || bad_imports+="$dll"$'\n'
  done < <(echo "$dump" | awk '/DLL Name:/ {print $3}')
  echo "imports: $(echo "$dump" | awk '/DLL Name:/ {printf "%s ", $3}')"
  if [ -n "$bad_imports" ]; then echo "imports a DLL that is not a system DLL:"; printf '%s' "$bad_imports"; status=1; fi
  [ "$imports_only" = 0 ] || exit $status
else
  exported=$(nm -D --defined-only "$lib" | awk '$2 ~ /^[TtWwDdBbRr]$/ {print $3}' |
             sed 's/@.*//' | grep -v '^KOVA_1\.[0-9]*$' | sort -u)
fi
declared=$(grep -oE "$api [^;]*\b(kova_[a-z0-9_]+|rtchk_get)\(" "$header" |
           grep -oE '(kova_[a-z0-9_]+|rtchk_get)\($' | tr -d '(' | sort -u)

# kova's functions after the first 99: declared in the header's section
# "Extensions (KOVA_1.N)" and, on ELF, exported in the version node KOVA_1.N
# of exports/kova.map, while every other function stays in KOVA_1.0. (On
# Windows the same declared set is exported by dllexport; the comparison
# below covers it.)
declare -A ext
ext[1]="kova_radarr_grab_release
kova_set_url_base
kova_sonarr_grab_release"
ext[2]="kova_parse_jackett_take"
ext[3]="kova_configure_url
kova_get_added
kova_get_fallback
kova_get_library_id
kova_get_path
kova_get_profile_id
kova_get_root
kova_last_transport_error
kova_quality_profile_find
kova_radarr_get
kova_result_approved
kova_result_custom_format_score
kova_result_indexer_id
kova_result_languages
kova_result_path
kova_result_protocol
kova_result_quality
kova_result_rejection
kova_result_rejection_count
kova_result_resolution
kova_rootfolder_count
kova_rootfolder_find
kova_rootfolder_free_space
kova_rootfolder_path
kova_sonarr_get
kova_sonarr_releases_exact"
ext[4]="kova_parse_prowlarr
kova_prowlarr_configure
kova_prowlarr_grab_release
kova_prowlarr_search
kova_prowlarr_test"
ext[5]="kova_session_bind
kova_session_current
kova_session_free
kova_session_new"
ext[6]="kova_calendar_count
kova_calendar_date
kova_calendar_episode
kova_calendar_has_file
kova_calendar_imdb
kova_calendar_kind
kova_calendar_library_id
kova_calendar_monitored
kova_calendar_season
kova_calendar_series
kova_calendar_title
kova_queue_client
kova_queue_count
kova_queue_episode
kova_queue_eta
kova_queue_id
kova_queue_left
kova_queue_library_id
kova_queue_message
kova_queue_progress
kova_queue_protocol
kova_queue_season
kova_queue_size
kova_queue_status
kova_queue_title
kova_radarr_calendar
kova_radarr_queue
kova_sonarr_calendar
kova_sonarr_queue"
if [ "$api" = KOVA_API ] && [ "$imports_only" = 0 ]; then
  for v in "${!ext[@]}"; do
    want_names=${ext[$v]}
    # From the version's banner to the next banner of extensions or the named values.
    in_section=$(awk -v v="$v" '$0 ~ "Extensions \\(KOVA_1\\." v "\\)" {s = 1; next}
                                /Extensions \(KOVA_1\.[0-9]+\)|Named values/ {s = 0} s' "$header" |
                 grep -oE "$api [^;]*\bkova_[a-z0-9_]+\(" | grep -oE 'kova_[a-z0-9_]+\($' | tr -d '(' | sort -u)
    if [ "$in_section" != "$(sort -u <<<"$want_names")" ]; then
      echo "the header's KOVA_1.$v section declares:"; echo "$in_section"; echo "expected:"; echo "$want_names"; status=1
    fi
  done
  if [ "$pe" = 0 ]; then
    while read -r name version; do
      [ -n "$name" ] || continue
      want=KOVA_1.0
      for v in "${!ext[@]}"; do grep -qx "$name" <<<"${ext[$v]}" && want=KOVA_1.$v; done
      if [ "$version" != "$want" ]; then echo "$name is in version node '${version:-none}', not $want"; status=1; fi
    done < <(nm -D --defined-only "$lib" | awk '$2 ~ /^[TtWwDdBbRr]$/ {print $3}' |
             grep -v '^KOVA_1\.[0-9]*@' | sed -E 's/^([^@]*)(@@?(.*))?$/\1 \3/')
  fi
fi
extra=$(comm -13 <(echo "$declared") <(echo "$exported"))
missing=$(comm -23 <(echo "$declared") <(echo "$exported"))
if [ -n "$extra" ]; then echo "exported but not declared:"; echo "$extra"; status=1; fi
if [ -n "$missing" ]; then echo "declared but not exported:"; echo "$missing"; fi
n_decl=$(echo "$declared" | grep -c . || true)
n_exp=$(echo "$exported" | grep -c . || true)
echo "declared $n_decl, exported $n_exp"
if [ "${KOVA_EXPORTS_COMPLETE:-1}" = 1 ] && [ -n "$missing" ]; then status=1; fi
exit $status
