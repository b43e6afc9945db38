#!/bin/bash
# Checks the files that ship beside the game in DATA_DIR: the three language
# files, the two mode pictures (also at twice the size), the roll sound and
# the compiled help.
# Usage: data_files_test.sh DATA_DIR   (the help sources are DATA_DIR/../data-src/help)
# Needs enum_chmLib and extract_chmLib (libchm-bin), identify (imagemagick)
# and python3; a missing tool is a failure, never a skip.
set -uo pipefail

data=${1:?usage: data_files_test.sh DATA_DIR}
helpSources=$data/../data-src/help
passed=0
failed=0

pass() {
  passed=$((passed + 1))
  echo "PASS $1"
}

failWith() {
  failed=$((failed + 1))
  echo "FAIL $1" >&2
}

# check NAME COMMAND...: runs the command, counts and reports its outcome.
check() {
  local name=$1
  shift
  local output
  if output=$("$@" 2>&1); then
    pass "$name"
  else
    failWith "$name"
    [[ -n $output ]] && sed 's/^/     /' <<<"$output" >&2
  fi
}

requireTools() {
  local tool missing=0
  for tool in enum_chmLib extract_chmLib identify python3; do
    command -v "$tool" >/dev/null || { echo "$tool not found" && missing=1; }
  done
  return "$missing"
}

# Every language file: UTF-8 with byte-order mark, CR LF line ends, each key
# once and non-empty, "Quintara" as title, the place markers of the texts the
# game fills in, and keyboard mnemonics that do not clash where they are
# active together.
checkLanguageFile() {
  python3 - "$1" <<'PY'
import sys

KEYS = """Title MenuTitleGame MenuNewGame MenuExit MenuTitleTools MenuOptions
MenuTitleHelp MenuAbout Nines Tens Jacks Queens Kings Aces Bonus Pair TwoPair
Trips Straight FH 4K 5K Total roll hold NewGame NewGameDesc win tie hands0
hands1 hands2 hands3 hands4 hands5 hands6 hands7 gameMode enterNrP enterName
ShowCPUhand sec strongerCPU sound apply cancel preview computerMove accPlayers
accComputer accNumberField accNameField accDelay accSheet accCellFree accCellEntered
accCellValue accDie accDieHeld accBlank accFaceA accFaceK accFaceQ accFaceJ
accFace10 accFace9 accTurn accHand accNoHand noHelpViewer""".split()

# Texts that the game fills in: each place marker must survive translation.
PLACE_MARKERS = {"preview": ["%1"], "computerMove": ["%1", "%2"]}

# Texts whose mnemonics are live at the same time, and whether each text of
# the group must carry one.
MNEMONIC_GROUPS = [
    ("menu bar and main-window buttons",
     ["MenuTitleGame", "MenuTitleTools", "MenuTitleHelp", "roll", "hold"], True),
    ("game menu", ["MenuNewGame", "MenuExit"], True),
    ("help menu", ["MenuTitleHelp", "MenuAbout"], True),
    ("options dialog", ["strongerCPU", "sound", "apply", "cancel"], False),
]

errors = []
raw = open(sys.argv[1], "rb").read()
if not raw.startswith(b"\xef\xbb\xbf"):
    errors.append("no UTF-8 byte-order mark")
if not raw.endswith(b"\r\n"):
    errors.append("last line does not end with CR LF")
if raw.replace(b"\r\n", b"").count(b"\n") or raw.replace(b"\r\n", b"").count(b"\r"):
    errors.append("a line end is not CR LF")
try:
    text = raw[3:].decode("utf-8")
except UnicodeDecodeError as error:
    sys.exit(f"not UTF-8: {error}")

values = {}
for number, line in enumerate(text.split("\r\n")[:-1], 1):
    if not line.strip() or line.startswith(";"):
        continue
    key, sep, value = line.partition("=")
    key, value = key.strip(), value.strip()
    if not sep:
        errors.append(f"line {number} is not 'key = value': {line!r}")
    elif key in values:
        errors.append(f"key {key} appears twice")
    else:
        values[key] = value

for key in KEYS:
    if not values.get(key):
        errors.append(f"key {key} missing or empty")
for key in sorted(set(values) - set(KEYS)):
    errors.append(f"unknown key {key}")
for key, markers in PLACE_MARKERS.items():
    for marker in markers:
        if marker not in values.get(key, ""):
            errors.append(f"{key} lacks its place marker {marker}")
if values.get("Title") != "Quintara":
    errors.append(f"Title is {values.get('Title')!r}, not 'Quintara'")

def mnemonic(value):
    rest = value.replace("&&", "")
    at = rest.find("&")
    return rest[at + 1].casefold() if 0 <= at < len(rest) - 1 else None

for group, keys, required in MNEMONIC_GROUPS:
    seen = {}
    for key in keys:
        letter = mnemonic(values.get(key, ""))
        if letter is None:
            if required:
                errors.append(f"{key} has no mnemonic ({group})")
        elif letter in seen:
            errors.append(f"{key} and {seen[letter]} share the mnemonic {letter!r} ({group})")
        else:
            seen[letter] = key

print("\n".join(errors))
sys.exit(1 if errors else 0)
PY
}

checkPicture() { # file, width x height
  local size
  size=$(identify -format '%m %wx%h' "$1") || return 1
  [[ $size == "JPEG $2" ]] || { echo "$1 is $size, not a JPEG of $2" && return 1; }
}

# RIFF/WAVE with PCM samples, not empty, not silent, shorter than a second.
checkSound() {
  python3 - "$1" <<'PY'
import struct, sys, wave

path = sys.argv[1]
head = open(path, "rb").read(36)
if head[0:4] != b"RIFF" or head[8:12] != b"WAVE" or head[12:16] != b"fmt ":
    sys.exit("not a RIFF/WAVE file")
if struct.unpack("<H", head[20:22])[0] != 1:
    sys.exit("samples are not PCM")
with wave.open(path) as sound:
    seconds = sound.getnframes() / sound.getframerate()
    width = sound.getsampwidth()
    frames = sound.readframes(sound.getnframes())
if not 0.1 <= seconds < 1.0:
    sys.exit(f"lasts {seconds:.3f} s, not between 0.1 and 1 s")
if width != 2:
    sys.exit(f"{8 * width}-bit samples, not 16-bit")
peak = max(abs(sample) for (sample,) in struct.iter_unpack("<h", frames))
if peak < 3000:
    sys.exit(f"peak {peak} of 32767: next to silent")
PY
}

helpPages() {
  sed -n '/^\[FILES\]/,/^\[/{/^\[/d;/^[[:space:]]*$/d;p}' "$helpSources/quintara.hhp" | tr -d '\r'
}

# A readable CHM whose pages are exactly the current help sources.
checkHelp() {
  local chm=$data/quintara.chm work page listing status=0
  [[ -s $chm ]] || { echo "$chm is missing or empty" && return 1; }
  [[ $(head -c 4 "$chm") == ITSF ]] || { echo "no ITSF header" && return 1; }
  listing=$(enum_chmLib "$chm") || { echo "enum_chmLib cannot read it" && return 1; }
  work=$(mktemp -d)
  extract_chmLib "$chm" "$work" >/dev/null || { echo "extract_chmLib failed" && status=1; }
  for page in $(helpPages) toc.hhc index.hhk; do
    if ! grep -qE "[[:space:]]/$page\$" <<<"$listing"; then
      echo "$page is not in the compiled help" && status=1
    elif ! cmp -s "$helpSources/$page" "$work/$page"; then
      echo "$page differs from its source: run data-src/make_help.sh" && status=1
    fi
  done
  rm -rf "$work"
  return "$status"
}

# The help must cover every topic the game leaves to it.
checkHelpTopics() {
  local pages=(index starting playing holding scoresheet computer options highscores languages keyboard)
  local page listed status=0
  listed=$(helpPages)
  for page in "${pages[@]}"; do
    grep -qxF "$page.html" <<<"$listed" || { echo "no page $page.html" && status=1; }
  done
  return "$status"
}

if ! output=$(requireTools); then
  echo "FAIL required tools: $output" >&2
  echo "0 passed, 1 failed"
  exit 1
fi

for lang in en de bg; do
  check "$lang.lang format and keys" checkLanguageFile "$data/$lang.lang"
done
for picture in pvp_0 pvc_0; do
  check "$picture.jpg is a 185x40 JPEG" checkPicture "$data/$picture.jpg" 185x40
  check "$picture@2x.jpg is a 370x80 JPEG" checkPicture "$data/$picture@2x.jpg" 370x80
done
check "dice.wav is a short PCM WAVE" checkSound "$data/dice.wav"
check "quintara.chm is valid and current" checkHelp
check "help has every topic page" checkHelpTopics

echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
