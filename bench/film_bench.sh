#!/usr/bin/env bash
# A film-sized build: two generated two-hour scripts (1,500 Chinese lines
# on top, 1,500 English lines at the bottom) built to SUP at 1920 x 1080,
# 23.976, with the wall time and peak memory of the whole command.
#
#   bench/film_bench.sh [build-release]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build-release}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

python3 "$root/bench/make_film_scripts.py" "$work"
: > "$work/settings.ini"
/usr/bin/time -v "$build/bin/tandeo" build --top "$work/film-zh.srt" --bottom "$work/film-en.srt" \
    -o "$work/film.sup" --settings "$work/settings.ini" --quiet 2> "$work/time.txt" || {
    cat "$work/time.txt" >&2
    exit 1
}
grep -E 'Elapsed \(wall clock\)|Maximum resident set size' "$work/time.txt"
echo "output: $(stat -c %s "$work/film.sup") bytes"
"$build/bin/tandeo" inspect "$work/film.sup" | tail -n 1
# The stream must hold in a player's decoder; the model's figures follow.
"$build/bin/tandeo" verify --strict "$work/film.sup" | sed -n '/^display sets/,$p'
