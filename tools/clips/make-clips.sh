#!/usr/bin/env bash
# Generates the panel's voice clips from a clip table.
#
#   make-clips.sh [--language LANG] [--same-names-as TABLE] TABLE OUTPUT_FOLDER
#
# Every row of TABLE (see clips.tsv) becomes OUTPUT_FOLDER/<name>.wav: 22050 Hz
# mono 16-bit PCM. Speech is synthesised in LANG (default en) with the voice
# the table of voices below gives it, at a fixed speed, trimmed of silence at
# both ends, faded, and brought to one integrated loudness (EBU R128, measured
# by loudness.py); silences and tones are synthesised directly, the tone a
# little quieter than the speech. With --same-names-as, TABLE must hold
# exactly the clips of that table (none missing, none extra) with the same
# pauses and tones, or nothing is made. The clips are made in parallel. The
# output depends on the table alone: no dither, no timestamps, no metadata.
#
# TALVARO_CLIP_ENGINE=espeak in the environment makes every set with
# espeak-ng, for a machine without Festival.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
readonly here
readonly rate=22050
# Every spoken clip is brought to this integrated loudness, with its sample
# peak at most at the ceiling (a clip that would pass it stays quieter, with a
# warning). Speech peaks stand up to some 19 dB above its loudness (a short
# word with a plosive), so -20 LUFS is the loudest target at which every clip
# of every set fits below the ceiling.
readonly target_lufs=-20
readonly ceiling_db=-1
# The beep stays below the speech, so it does not startle.
readonly tone_below_lu=6
# Sound below this level at either end of a spoken clip is cut away; the
# synthesisers pad with digital silence, so a low level keeps the soft ends
# of fricatives ("five", "S").
readonly trim_threshold=0.1%
readonly format=(-r "$rate" -c 1 -b 16 -e signed-integer)

# The voice of each language, best first: language, engine, voice, speed.
# Festival's speed is the HTS engine's speech rate (1 = as recorded; a
# diphone voice takes its duration stretch, below 1 = faster), espeak-ng's
# is words per minute.
readonly voices="
en festival cmu_us_slt_arctic_hts 1.2
en espeak en-gb 170
de espeak de 165
fr espeak fr-fr 165
es espeak es 165
it festival lp_diphone 0.8
it espeak it 165
"

# Speech of one clip into $1 (any rate). Festival's speech is made before,
# in batches (see below); espeak-ng speaks here.
synthesise() {
  local wav=$1 words=$2
  case "$CLIP_ENGINE" in
    festival)
      [ -s "$wav" ] || {
        echo "make-clips: Festival made no speech for '$words'" >&2
        return 1
      }
      ;;
    espeak)
      espeak-ng -v "$CLIP_VOICE" -s "$CLIP_SPEED" -w "$wav" -- "$words"
      ;;
  esac
}

# Festival takes longer to start (its voice and lexicon) than to speak a
# word, so each parallel job is one Festival process speaking a share of the
# clips: $1 lines of "name TAB words" into $CLIP_WORK/<name>.speech.wav.
festival_speech() {
  local rows=$1 parallel=$2 name words i batch
  local -a load=()
  for ((i = 0; i < parallel; i++)); do
    load[i]=0
    {
      printf '(voice_%s)\n' "$CLIP_VOICE"
      if [[ "$CLIP_VOICE" == *_hts ]]; then
        printf '(set! hts_engine_params (append hts_engine_params (list (list "-r" %s))))\n' "$CLIP_SPEED"
      else
        printf "(Parameter.set 'Duration_Stretch %s)\n" "$CLIP_SPEED"
      fi
    } >"$CLIP_WORK/festival.$i.scm"
  done
  # Longest first, each to the batch with the fewest characters so far.
  while IFS=$'\t' read -r name words; do
    batch=0
    for ((i = 1; i < parallel; i++)); do
      [ "${load[i]}" -lt "${load[batch]}" ] && batch=$i
    done
    load[batch]=$((load[batch] + ${#words}))
    words=${words//\\/\\\\}
    words=${words//\"/\\\"}
    printf '(utt.save.wave (utt.synth (Utterance Text "%s")) "%s" (quote riff))\n' \
      "$words" "$CLIP_WORK/$name.speech.wav" >>"$CLIP_WORK/festival.$batch.scm"
  done < <(awk -F '\t' '{ print length($2) "\t" $0 }' "$rows" | sort -t $'\t' -k1,1nr -k2,2 | cut -f 2-)
  local -a pids=()
  for ((i = 0; i < parallel; i++)); do
    # Festival's lexicons and letter-to-sound rules read Latin-1.
    iconv -f UTF-8 -t ISO-8859-1 "$CLIP_WORK/festival.$i.scm" >"$CLIP_WORK/festival.$i.latin1.scm"
    festival --batch "$CLIP_WORK/festival.$i.latin1.scm" >"$CLIP_WORK/festival.$i.log" 2>&1 &
    pids+=($!)
  done
  local failed=0
  for ((i = 0; i < parallel; i++)); do
    wait "${pids[i]}" || failed=1
  done
  # Festival goes on after an error in a batch (a voice not installed, a
  # word it cannot read), so its output is checked, not its exit status.
  while IFS=$'\t' read -r name words; do
    [ -s "$CLIP_WORK/$name.speech.wav" ] || failed=1
  done <"$rows"
  if [ "$failed" -ne 0 ]; then
    echo "make-clips: Festival (voice $CLIP_VOICE) did not speak every clip:" >&2
    cat "$CLIP_WORK"/festival.*.log >&2
    return 1
  fi
}

# One clip: make-clips.sh --one NAME KIND VALUE. A silence goes straight into
# $CLIP_OUTPUT; speech and tones into $CLIP_WORK/NAME.faded.wav, with the
# loudness they are to be brought to in NAME.target.
if [ "${1:-}" = "--one" ]; then
  name=$2 kind=$3 value=$4
  out="$CLIP_OUTPUT/$name.wav"
  work="$CLIP_WORK/$name"
  case "$kind" in
    say)
      synthesise "$work.speech.wav" "$value"
      sox -V1 -D "$work.speech.wav" "${format[@]}" "$work.trimmed.wav" \
        silence 1 0.01 "$trim_threshold" reverse silence 1 0.01 "$trim_threshold" reverse
      # Short fades keep the cut ends from clicking.
      sox -V1 -D "$work.trimmed.wav" "${format[@]}" "$work.faded.wav" fade q 0.005 -0 0.010
      echo "$target_lufs" >"$work.target"
      ;;
    silence)
      samples=$(((value * rate + 500) / 1000))
      sox -V1 -D -r "$rate" -c 1 -n "${format[@]}" "$work.wav" trim 0 "${samples}s"
      mv -f "$work.wav" "$out"
      ;;
    tone)
      read -r frequency milliseconds <<<"$value"
      samples=$(((milliseconds * rate + 500) / 1000))
      sox -V1 -D -r "$rate" -c 1 -n "${format[@]}" "$work.sine.wav" synth "${samples}s" sine "$frequency"
      sox -V1 -D "$work.sine.wav" "${format[@]}" "$work.faded.wav" fade q 0.005 -0 0.020
      echo "$((target_lufs - tone_below_lu))" >"$work.target"
      ;;
    *)
      echo "make-clips: clip $name: unknown kind '$kind'" >&2
      exit 1
      ;;
  esac
  exit 0
fi

# The gain of one clip: make-clips.sh --level NAME GAIN, from
# $CLIP_WORK/NAME.faded.wav into $CLIP_OUTPUT.
if [ "${1:-}" = "--level" ]; then
  sox -V1 -D "$CLIP_WORK/$2.faded.wav" "${format[@]}" "$CLIP_WORK/$2.wav" gain "$3"
  mv -f "$CLIP_WORK/$2.wav" "$CLIP_OUTPUT/$2.wav"
  exit 0
fi

language=en
reference=""
while [ $# -gt 2 ]; do
  case "$1" in
    --language) language=$2 ;;
    --same-names-as) reference=$2 ;;
    *) break ;;
  esac
  shift 2
done
if [ $# -ne 2 ]; then
  echo "usage: $0 [--language LANG] [--same-names-as TABLE] TABLE OUTPUT_FOLDER" >&2
  exit 2
fi
table=$1
output=$2

# The first voice of the language that the engine switch allows.
engine_wanted=${TALVARO_CLIP_ENGINE:-}
case "$engine_wanted" in
  '' | festival | espeak) ;;
  *)
    echo "make-clips: TALVARO_CLIP_ENGINE is '$engine_wanted': expected festival or espeak" >&2
    exit 1
    ;;
esac
CLIP_ENGINE=""
while read -r row_language row_engine row_voice row_speed; do
  [ "$row_language" = "$language" ] || continue
  [ -z "$engine_wanted" ] || [ "$engine_wanted" = "$row_engine" ] || continue
  CLIP_ENGINE=$row_engine CLIP_VOICE=$row_voice CLIP_SPEED=$row_speed
  break
done <<<"$voices"
if [ -z "$CLIP_ENGINE" ]; then
  echo "make-clips: no voice for language '$language'${engine_wanted:+ with engine $engine_wanted}" >&2
  exit 1
fi

tools=(sox python3)
case "$CLIP_ENGINE" in
  festival) tools+=(festival) ;;
  espeak) tools+=(espeak-ng) ;;
esac
for tool in "${tools[@]}"; do
  if ! command -v "$tool" >/dev/null; then
    echo "make-clips: $tool is missing (scripts/install-deps.sh installs it)" >&2
    [ "$tool" != festival ] || echo "make-clips: or set TALVARO_CLIP_ENGINE=espeak to speak with espeak-ng" >&2
    exit 1
  fi
done

mkdir -p "$output"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Reads a table into NUL-separated triples in $2 (for xargs), one line per
# row in $3 ("name kind" for speech, "name kind value" for the rest, the rows
# that must be the same in every language) and "name TAB words" of the
# speech in $4; a bad row stops the run
# before anything is made.
read_table() {
  local table=$1 jobs_file=$2 rows_file=$3 speech_file=$4 line line_number=0 name kind value extra
  declare -A seen=()
  : >"$jobs_file"
  : >"$rows_file"
  : >"$speech_file"
  while IFS= read -r line || [ -n "$line" ]; do
    line_number=$((line_number + 1))
    line=${line%$'\r'}
    case "$line" in '' | '#'*) continue ;; esac
    IFS=$'\t' read -r name kind value extra <<<"$line"
    if [[ ! "$name" =~ ^[a-z0-9]+$ ]] || [ -z "${kind:-}" ] || [ -z "${value:-}" ] || [ -n "${extra:-}" ]; then
      echo "make-clips: $table:$line_number: expected name, kind and value separated by tabs" >&2
      return 1
    fi
    if [ -n "${seen[$name]:-}" ]; then
      echo "make-clips: $table:$line_number: clip $name listed twice" >&2
      return 1
    fi
    case "$kind" in
      say) ;;
      silence) [[ "$value" =~ ^[0-9]+$ ]] || { echo "make-clips: $table:$line_number: silence needs milliseconds" >&2; return 1; } ;;
      tone) [[ "$value" =~ ^[0-9]+\ [0-9]+$ ]] || { echo "make-clips: $table:$line_number: tone needs Hz and milliseconds" >&2; return 1; } ;;
      *) echo "make-clips: $table:$line_number: unknown kind '$kind'" >&2; return 1 ;;
    esac
    seen[$name]=1
    printf '%s\0%s\0%s\0' "$name" "$kind" "$value" >>"$jobs_file"
    if [ "$kind" = say ]; then echo "$name say"; else echo "$name $kind $value"; fi >>"$rows_file"
    [ "$kind" != say ] || printf '%s\t%s\n' "$name" "$value" >>"$speech_file"
  done <"$table"
}

read_table "$table" "$work/jobs" "$work/rows" "$work/speech"

# A translated table speaks the same clips as the reference table: any clip
# missing or extra, or a pause or tone that differs, stops the build here.
if [ -n "$reference" ]; then
  read_table "$reference" "$work/reference.jobs" "$work/reference.rows" "$work/reference.speech"
  sort "$work/rows" -o "$work/rows"
  sort "$work/reference.rows" -o "$work/reference.rows"
  if ! cmp -s "$work/rows" "$work/reference.rows"; then
    echo "make-clips: $table does not hold exactly the clips of $reference:" >&2
    comm -13 "$work/rows" "$work/reference.rows" | sed 's/^/  missing or different: /' >&2
    comm -23 "$work/rows" "$work/reference.rows" | sed 's/^/  extra or different:   /' >&2
    exit 1
  fi
fi

# Clips no longer in the table go.
for old in "$output"/*.wav; do
  [ -e "$old" ] || continue
  base=$(basename "$old" .wav)
  grep -q -x -E "$base (say|silence .*|tone .*)" "$work/rows" || rm -f "$old"
done

export CLIP_OUTPUT=$output CLIP_WORK=$work CLIP_ENGINE CLIP_VOICE CLIP_SPEED
parallel=$(nproc 2>/dev/null || echo 2)
if [ "$CLIP_ENGINE" = festival ]; then festival_speech "$work/speech" "$parallel"; fi
xargs -0 -n 3 -P "$parallel" bash "$0" --one <"$work/jobs"
# One measurement of every clip to level (one Python start, not one a clip),
# then the gains in parallel.
levelled=()
measured=()
for target in "$work"/*.target; do
  [ -e "$target" ] || continue
  name=$(basename "$target" .target)
  levelled+=("$name")
  measured+=("$(cat "$target")" "$work/$name.faded.wav")
done
if [ ${#levelled[@]} -gt 0 ]; then
  mapfile -t gains < <(python3 "$here/loudness.py" gain "$ceiling_db" "${measured[@]}")
  if [ ${#gains[@]} -ne ${#levelled[@]} ]; then
    echo "make-clips: the loudness of the clips could not be measured" >&2
    exit 1
  fi
  for i in "${!levelled[@]}"; do printf '%s\0%s\0' "${levelled[i]}" "${gains[i]}"; done |
    xargs -0 -n 2 -P "$parallel" bash "$0" --level
fi
echo "make-clips: $(wc -l <"$work/rows") clips ($language, $CLIP_ENGINE $CLIP_VOICE) in $output"
