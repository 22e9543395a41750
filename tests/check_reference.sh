#!/usr/bin/env bash
# Keeps docs/reference.md in step with the public headers:
#  - every function a header declares (a line starting with its export macro,
#    KOVA_API, KOVA_CURL_API, ...) has an entry: a level-3 heading that is
#    exactly its name;
#  - every level-3 heading names a declared function, once;
#  - the first C block of an entry (its synopsis) is the declaration as the
#    header has it, without the export macro;
#  - with --cc, every other C block (the examples) compiles against the
#    headers as statements of a function body, so that a renamed function or
#    a changed argument list breaks this test rather than a reader's build.
#
#   check_reference.sh [--cc COMPILER] REFERENCE HEADER...
set -euo pipefail
cc=""
if [ "${1:-}" = --cc ]; then cc=$2; shift 2; fi
doc=$1
shift
status=0

# "name<TAB>declaration" for every function the headers declare.
declared=$(for h in "$@"; do
  grep -E '^[A-Z][A-Z0-9_]*_API ' "$h" | sed -E 's/^[A-Z][A-Z0-9_]*_API //' |
    awk '{ decl = $0; sub(/\(.*/, ""); n = split($0, w, /[ *]+/); printf "%s\t%s\n", w[n], decl }'
done | sort)

# "name<TAB>synopsis" for every entry of the reference, in its order; an
# entry without a C block has an empty synopsis.
entries=$(awk '
  function flush() { if (name != "") printf "%s\t%s\n", name, syn; name = "" }
  /^```/ { if (in_block) { in_block = 0; next } in_block = 1; first = 1; lang = substr($0, 4)
           if (lang == "c" && name != "" && !seen_block) { want_syn = 1 } else { want_syn = 0 }
           seen_block = 1; next }
  in_block { if (want_syn && first) syn = $0; first = 0; next }
  /^### / { flush(); name = substr($0, 5); syn = ""; seen_block = 0; next }
  /^## / { flush(); seen_block = 1 }
  END { flush() }' "$doc")

names_declared=$(cut -f1 <<<"$declared")
names_doc=$(cut -f1 <<<"$entries" | sort)
missing=$(comm -23 <(echo "$names_declared") <(sort -u <<<"$names_doc"))
extra=$(comm -13 <(echo "$names_declared") <(sort -u <<<"$names_doc"))
twice=$(uniq -d <<<"$names_doc")
if [ -n "$missing" ]; then
  echo "declared but without an entry (### name) in $doc:"; sed 's/^/  /' <<<"$missing"; status=1
fi
if [ -n "$extra" ]; then
  echo "entries of $doc that name no declared function:"; sed 's/^/  /' <<<"$extra"; status=1
fi
if [ -n "$twice" ]; then
  echo "entries of $doc that appear more than once:"; sed 's/^/  /' <<<"$twice"; status=1
fi

# Synopses: compared for the names present on both sides.
while IFS=$'\t' read -r name syn; do
  [ -n "$name" ] || continue
  want=$(awk -F'\t' -v n="$name" '$1 == n { print $2 }' <<<"$declared")
  [ -n "$want" ] || continue
  if [ "$syn" != "$want" ]; then
    echo "synopsis of $name differs from its declaration:"
    echo "  reference: ${syn:-(no C block)}"
    echo "  header:    $want"
    status=1
  fi
done <<<"$entries"

# Examples: every C block that is not a synopsis, each as the body of a
# function of one translation unit, with #line pointing into the reference.
if [ -n "$cc" ]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
  {
    echo '#include <inttypes.h>'
    echo '#include <stdio.h>'
    echo '#include <stdlib.h>'
    echo '#include <string.h>'
    for h in "$@"; do echo "#include \"$(cd "$(dirname "$h")" && pwd)/$(basename "$h")\""; done
    awk -v doc="$doc" '
      /^```/ { if (in_ex) { print "}"; in_ex = 0; in_block = 0; next }
               if (in_block) { in_block = 0; next }
               if ($0 == "```c" && !(entry && !seen_block)) {
                 in_ex = 1; ++n
                 printf "static void example_%d(void) {\n#line %d \"%s\"\n", n, NR + 1, doc
               } else in_block = 1
               seen_block = 1; next }
      in_ex { print; next }
      /^### / { entry = 1; seen_block = 0; next }
      /^## / { entry = 0; seen_block = 1 }
      END { if (in_ex) print "}" }' "$doc"
  } >"$work/examples.c"
  n_examples=$(grep -c '^static void example_' "$work/examples.c" || true)
  if ! "$cc" -std=c11 -pedantic-errors -Wall -Wextra -Werror -Wno-unused-variable -Wno-unused-function \
       -fsyntax-only "$work/examples.c"; then
    echo "an example of $doc does not compile (the messages above point into it)"
    status=1
  fi
  echo "$n_examples examples compiled"
fi

echo "declared $(grep -c . <<<"$names_declared"), entries $(grep -c . <<<"$names_doc")"
exit $status
