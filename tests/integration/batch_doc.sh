#!/usr/bin/env bash
# Runs the GNU parallel recipe of docs/batch.md as written, on a small
# library tree, with the built quillfer-cli first on PATH; then again, which
# must convert nothing; then the library in one process, whose summary
# counts what the joblog counts.
# usage: batch_doc.sh PROGRAM_DIR WORK_DIR DOC
set -euo pipefail
program_dir=$1 work=$2 doc=$3

command -v parallel >/dev/null || { echo "GNU parallel is not installed (scripts/install-deps.sh)" >&2; exit 1; }
rm -rf "$work"
# $OUT does not exist yet: the recipe makes it.
mkdir -p "$work/library/a/b" "$work/library/c"
export LIBRARY=$work/library OUT=$work/out PATH="$program_dir:$PATH"

ffmpeg -nostdin -loglevel error -f lavfi -i testsrc=size=160x120:rate=25:duration=1 \
  -f lavfi -i sine=frequency=440:duration=1 -ac 2 -c:v mpeg4 -c:a mp3 "$work/clip.avi"
for f in x.avi a/x.avi a/b/y.avi c/x.avi; do cp "$work/clip.avi" "$LIBRARY/$f"; done
echo "not media" > "$LIBRARY/a/notes.txt"

# The block after the recipe marker, exactly as the reader copies it.
awk '/<!-- recipe: parallel -->/ {found=1; next}
     found && /^```sh$/ {inside=1; next}
     inside && /^```$/ {exit}
     inside {print}' "$doc" > "$work/recipe.sh"
[ -s "$work/recipe.sh" ] || { echo "no parallel recipe in $doc" >&2; exit 1; }

(cd "$work" && bash -euo pipefail recipe.sh) || { echo "the recipe failed" >&2; cat "$OUT/joblog.txt" >&2; exit 1; }

expected="./a/b/y.avi-mp3.mp3
./a/x.avi-mp3.mp3
./c/x.avi-mp3.mp3
./x.avi-mp3.mp3"
made=$(cd "$OUT" && find . -name '*.mp3' | sort)
[ "$made" = "$expected" ] || { echo "outputs: $made" >&2; exit 1; }
for f in $made; do
  codec=$(ffprobe -v error -show_entries stream=codec_name -of csv=p=0 "$OUT/$f")
  [ "$codec" = mp3 ] || { echo "$f holds '$codec'" >&2; exit 1; }
done
# Every job ended with 0, and nothing but the outputs and the joblog is there.
[ "$(awk 'NR > 1 && $7 != 0' "$OUT/joblog.txt" | wc -l)" -eq 0 ] || { cat "$OUT/joblog.txt" >&2; exit 1; }
[ "$(cd "$OUT" && find . -type f ! -name '*.mp3' ! -name joblog.txt | wc -l)" -eq 0 ] || { find "$OUT" >&2; exit 1; }

# Again: everything is there already, so nothing is converted or numbered.
before=$(cd "$OUT" && find . -name '*.mp3' -printf '%p %T@\n' | sort)
(cd "$work" && bash -euo pipefail recipe.sh) || { echo "the second run failed" >&2; exit 1; }
after=$(cd "$OUT" && find . -name '*.mp3' -printf '%p %T@\n' | sort)
[ "$before" = "$after" ] || { echo "the second run changed: $after" >&2; exit 1; }
# The same library in one process (--recursive --keep-tree --jobs 2): its
# summary counts what the joblog counts, and names the note it left out.
summary=$(quillfer-cli convert -c 7 -m 默认参数 -f 8 -r --keep-tree -j 2 -q --output-folder "$work/out-tree" "$LIBRARY")
converted=$(awk 'NR > 1 && $7 == 0' "$OUT/joblog.txt" | wc -l)
[ "$summary" = "已转换 $converted，跳过 1，失败 0，停止 0" ] || { echo "summary '$summary', joblog $converted" >&2; exit 1; }
echo "the parallel recipe converted the library, a second run converted nothing, one process counted the same"
