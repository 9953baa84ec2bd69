#!/usr/bin/env bash
# The platform layer is closed: above Platform/ no file includes SDL, GL, EGL or
# a platform header that is not public. A header of Platform/ is public when
# its lead comment says "Public header of the platform layer"; every other one
# is internal to the platform layer and its own tests.
#
# Only the platform's own tests (tests/Platform/), the checks on a real X server
# (Xvfb in their path) and the benchmarks may name SDL and GL themselves; only
# the platform's own tests and the benchmarks may include internal headers.
#
# Every header of Platform/ says which it is, so that a new one is public or
# internal by choice: "Internal header of the platform layer" marks the others.
#
# Usage: check_platform_boundary.sh [SOURCE_ROOT]. Prints each offending
# include as file:line: reason and exits 1 when there is any.
set -euo pipefail
cd "${1:-$(dirname "$0")/..}"

public_headers=$(grep -rl --include='*.h' "Public header of the platform layer" Platform | sort | tr '\n' ' ')
unmarked=$(grep -rL --include='*.h' -e "Public header of the platform layer" \
    -e "Internal header of the platform layer" Platform || true)
for header in $unmarked; do
    echo "$header: says neither \"Public header of the platform layer\" nor \"Internal header of the platform layer\""
done

directories=""
for directory in Engine Source tools tests bench demo; do
    [ -d "$directory" ] && directories="$directories $directory"
done

# shellcheck disable=SC2086
grep -rnE --include='*.h' --include='*.hpp' --include='*.c' --include='*.cpp' \
    '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]' $directories |
awk -v public=" $public_headers" -v unmarked="$(echo $unmarked | wc -w)" '
{
    split($0, part, ":")
    file = part[1]
    line = part[2]
    header = $0
    sub(/^[^<"]*[<"]/, "", header)
    sub(/[>"].*$/, "", header)

    may_name_sdl = file ~ /^(tests\/Platform|bench)\// || file ~ /Xvfb/
    may_use_internal = file ~ /^(tests\/Platform|bench)\//

    if (header ~ /^(SDL\.h|SDL_|SDL2\/|GL\/|GLES[0-9]*\/|EGL\/|KHR\/)/ && !may_name_sdl) {
        print file ":" line ": includes " header ": only Platform/ talks to SDL and GL"
        failures++
    } else if (header ~ /^Platform\// && !may_use_internal && index(public, " " header " ") == 0) {
        print file ":" line ": includes " header ", which is internal to the platform layer" \
              " (a public header says \"Public header of the platform layer\")"
        failures++
    }
}
END {
    failures += unmarked
    if (failures) {
        print failures " problem(s) at the platform boundary"
        exit 1
    }
    print "The platform boundary holds"
}'
