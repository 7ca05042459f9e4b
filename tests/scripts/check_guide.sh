#!/usr/bin/env bash
# check_guide.sh <guide.pdf> <guide.md>
# The guide PDF holds every heading of the Markdown guide and every picture
# it shows, each at the picture's own size.
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
exit $status
