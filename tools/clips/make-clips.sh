#!/usr/bin/env bash
# Generates the panel's voice clips from the clip table.
#
#   make-clips.sh TABLE OUTPUT_FOLDER
#
# Every row of TABLE (see clips.tsv) becomes OUTPUT_FOLDER/<name>.wav: 22050 Hz
# mono 16-bit PCM. Speech is synthesised with a fixed voice and speed, trimmed
# of silence at both ends and normalised to the same peak level; silences and
# tones are synthesised directly. The clips are made in parallel. The output
# depends on the table alone: no dither, no timestamps, no metadata.
set -euo pipefail

readonly voice=en-gb
readonly words_per_minute=170
readonly rate=22050
readonly peak_db=-1
# The beep stays below the speech, so it does not startle.
readonly tone_peak_db=-6
# Sound below this level at either end of a spoken clip is cut away; the
# synthesiser pads with digital silence, so a low level keeps the soft ends
# of fricatives ("five", "S").
readonly trim_threshold=0.1%
readonly format=(-r "$rate" -c 1 -b 16 -e signed-integer)

# One clip: make-clips.sh --one NAME KIND VALUE, into $CLIP_OUTPUT.
if [ "${1:-}" = "--one" ]; then
  name=$2 kind=$3 value=$4
  out="$CLIP_OUTPUT/$name.wav"
  work="$CLIP_WORK/$name"
  case "$kind" in
    say)
      espeak-ng -v "$voice" -s "$words_per_minute" -w "$work.speech.wav" -- "$value"
      sox -V1 -D "$work.speech.wav" "${format[@]}" "$work.trimmed.wav" \
        silence 1 0.01 "$trim_threshold" reverse silence 1 0.01 "$trim_threshold" reverse
      # Short fades keep the cut ends from clicking.
      sox -V1 -D "$work.trimmed.wav" "${format[@]}" "$work.wav" fade q 0.005 -0 0.010 norm "$peak_db"
      ;;
    silence)
      samples=$(((value * rate + 500) / 1000))
      sox -V1 -D -r "$rate" -c 1 -n "${format[@]}" "$work.wav" trim 0 "${samples}s"
      ;;
    tone)
      read -r frequency milliseconds <<<"$value"
      samples=$(((milliseconds * rate + 500) / 1000))
      sox -V1 -D -r "$rate" -c 1 -n "${format[@]}" "$work.sine.wav" synth "${samples}s" sine "$frequency"
      sox -V1 -D "$work.sine.wav" "${format[@]}" "$work.wav" fade q 0.005 -0 0.020 norm "$tone_peak_db"
      ;;
    *)
      echo "make-clips: clip $name: unknown kind '$kind'" >&2
      exit 1
      ;;
  esac
  mv -f "$work.wav" "$out"
  exit 0
fi

if [ $# -ne 2 ]; then
  echo "usage: $0 TABLE OUTPUT_FOLDER" >&2
  exit 2
fi
table=$1
output=$2

for tool in espeak-ng sox; do
  if ! command -v "$tool" >/dev/null; then
    echo "make-clips: $tool is missing (scripts/install-deps.sh installs it)" >&2
    exit 1
  fi
done

mkdir -p "$output"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Rows become NUL-separated triples for xargs; the table is checked first so
# that a bad row stops the run before anything is made.
jobs_file="$work/jobs"
: >"$jobs_file"
declare -A seen=()
line_number=0
while IFS= read -r line || [ -n "$line" ]; do
  line_number=$((line_number + 1))
  line=${line%$'\r'}
  case "$line" in '' | '#'*) continue ;; esac
  IFS=$'\t' read -r name kind value extra <<<"$line"
  if [[ ! "$name" =~ ^[a-z0-9]+$ ]] || [ -z "${kind:-}" ] || [ -z "${value:-}" ] || [ -n "${extra:-}" ]; then
    echo "make-clips: $table:$line_number: expected name, kind and value separated by tabs" >&2
    exit 1
  fi
  if [ -n "${seen[$name]:-}" ]; then
    echo "make-clips: $table:$line_number: clip $name listed twice" >&2
    exit 1
  fi
  case "$kind" in
    say) ;;
    silence) [[ "$value" =~ ^[0-9]+$ ]] || { echo "make-clips: $table:$line_number: silence needs milliseconds" >&2; exit 1; } ;;
    tone) [[ "$value" =~ ^[0-9]+\ [0-9]+$ ]] || { echo "make-clips: $table:$line_number: tone needs Hz and milliseconds" >&2; exit 1; } ;;
    *) echo "make-clips: $table:$line_number: unknown kind '$kind'" >&2; exit 1 ;;
  esac
  seen[$name]=1
  printf '%s\0%s\0%s\0' "$name" "$kind" "$value" >>"$jobs_file"
done <"$table"

# Clips no longer in the table go.
for old in "$output"/*.wav; do
  [ -e "$old" ] || continue
  base=$(basename "$old" .wav)
  [ -n "${seen[$base]:-}" ] || rm -f "$old"
done

export CLIP_OUTPUT=$output CLIP_WORK=$work
parallel=$(nproc 2>/dev/null || echo 2)
xargs -0 -n 3 -P "$parallel" bash "$0" --one <"$jobs_file"
echo "make-clips: ${#seen[@]} clips in $output"
