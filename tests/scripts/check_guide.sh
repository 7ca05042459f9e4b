#!/usr/bin/env bash
# check_guide.sh <guide.pdf> <guide.md> [guidepdf]
# The guide PDF holds every heading of the Markdown guide and every picture
# it shows, each at the picture's own size; each line of its text stands in
# it once, and no page ends with a heading. Given the guide maker, the last
# two also hold for a made-up guide with page breaks in many places.
set -euo pipefail
pdf=$1
md=$2
for tool in pdftotext pdfimages; do
  command -v "$tool" >/dev/null || { echo "$tool not installed (poppler-utils)"; exit 77; }
done
[ -s "$pdf" ] || { echo "no guide at $pdf"; exit 1; }

status=0
# The PDF's text with all white space as single spaces, headings included.
text=$(pdftotext "$pdf" - | tr -s '[:space:]' ' ')
# Headings outside fenced code blocks.
mapfile -t headings < <(awk '/^```/ { code = !code; next } !code && /^#+ / { sub(/^#+ /, ""); print }' "$md")
[ ${#headings[@]} -ge 10 ] || { echo "only ${#headings[@]} headings found in $md"; exit 1; }
for heading in "${headings[@]}"; do
  [[ $text == *"$heading"* ]] || { echo "heading missing from the PDF: $heading"; status=1; }
done

# Width and height of a PNG file, from its header.
png_size() {
  od -An -tu1 -j16 -N8 "$1" | awk '{ printf "%d %d\n", $1 * 16777216 + $2 * 65536 + $3 * 256 + $4, $5 * 16777216 + $6 * 65536 + $7 * 256 + $8 }'
}
images=$(pdfimages -list "$pdf" | awk 'NR > 2 && $3 == "image" { print $4, $5 }')
mapfile -t pictures < <(grep -o '!\[[^]]*\]([^)]*)' "$md" | sed 's/.*(\(.*\))/\1/' | sort -u)
[ ${#pictures[@]} -ge 4 ] || { echo "only ${#pictures[@]} pictures found in $md"; exit 1; }
for picture in "${pictures[@]}"; do
  size=$(png_size "$(dirname "$md")/$picture")
  grep -qx "$size" <<<"$images" || { echo "picture missing from the PDF: $picture ($size)"; status=1; }
done

# Each line of text is drawn once: no line of some length comes twice (short
# lines, such as table cells, may), and no page's last line before its
# number is a heading.
check_pages() { # <pdf> <file of headings>
  local repeated ends
  repeated=$(pdftotext "$1" - | tr -d '\f' | sed 's/^[[:space:]]*//; s/[[:space:]]*$//' | awk 'length >= 20' | sort | uniq -d)
  [ -z "$repeated" ] || { echo "lines drawn twice in $1:"; echo "$repeated"; status=1; }
  ends=$(pdftotext "$1" - | awk 'BEGIN { RS = "\f" } { n = split($0, l, "\n"); k = 0
    for (i = n; i > 0; i--) if (l[i] ~ /[^[:space:]]/ && ++k == 2) { print l[i]; break } }' | grep -Fxf "$2" || true)
  [ -z "$ends" ] || { echo "pages ending with a heading in $1:"; echo "$ends"; status=1; }
}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf '%s\n' "${headings[@]}" >"$work/headings"
check_pages "$pdf" "$work/headings"

# A made-up guide: sections under two headings each, with paragraphs from a
# line to a third of a page, every word its own, so breaks fall between and
# inside paragraphs and right after headings.
if [ $# -ge 3 ]; then
  for s in $(seq 1 40); do
    printf '## Part %d\n\n### Section %d\n\n' "$s" "$s"
    for p in 1 2; do
      for w in $(seq 1 $(((s * p * 7) % 120 + 12))); do printf 'w%dp%dx%d ' "$s" "$p" "$w"; done
      printf '\n\n'
    done
  done >"$work/made.md"
  QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 "$3" "$work/made.md" "$work/made.pdf" || { echo "the guide maker failed"; exit 1; }
  for s in $(seq 1 40); do printf 'Part %d\nSection %d\n' "$s" "$s"; done >"$work/made_headings"
  check_pages "$work/made.pdf" "$work/made_headings"
fi
exit $status
