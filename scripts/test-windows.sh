#!/usr/bin/env bash
# Builds the Windows flavour of quorvel with mingw-w64 and tests it under Wine:
#   1. the unit tests, quorvel_tests.exe, on a Japanese (code page 932) system, and those that
#      meet names, paths or texts again on a Western one;
#   2. end-to-end runs of quorvel.exe with '/' switches, Windows paths ('\' and '/'), code page
#      932 names, paths at and beyond 259 characters, an unwritable output folder, damaged and
#      device member names, an interrupted run (Ctrl+C), and names in several languages on both
#      systems;
#   3. the same inputs (samples/*.px, samples/*.a, everything quorvel-make-samples writes, and a
#      few pictures made here) converted by the Linux and the Windows build, as BMP and as PNG
#      files: the output files must be byte-identical (archives also on a Western system); and the
#      extracted archives and their pictures packed again by both builds into byte-identical
#      archives and picture files.
# Without mingw-w64 or Wine it says so and exits 0 (as root it first installs them with apt-get).
# Usage: scripts/test-windows.sh        (exit code: 0 when everything passed or was skipped)
set -u
here=$(cd "$(dirname "$0")/.." && pwd)
win="$here/build-win"
native="${QUORVEL_NATIVE_BUILD:-$here/build}"

note() { printf '%s\n' "$*"; }

# --- tools ------------------------------------------------------------------------------------
# Debian's wine64 package alone puts its loader and server under /usr/lib/wine.
find_wine() {
  wine_cmd=$(command -v wine64 || command -v wine ||
    { [ -x /usr/lib/wine/wine64 ] && echo /usr/lib/wine/wine64; })
  wine_server=$(command -v wineserver ||
    { [ -x /usr/lib/wine/wineserver64 ] && echo /usr/lib/wine/wineserver64; } ||
    { [ -x /usr/lib/wine/wineserver ] && echo /usr/lib/wine/wineserver; })
  [ -n "$wine_cmd" ] && [ -n "$wine_server" ]
}
# GoogleTest is built from its sources for Windows.
have_tools() {
  command -v x86_64-w64-mingw32-g++ >/dev/null && find_wine &&
    command -v cmake >/dev/null && command -v ninja >/dev/null &&
    [ -f /usr/src/googletest/CMakeLists.txt ] && [ -f /usr/x86_64-w64-mingw32/include/zlib.h ] &&
    command -v dpkg-source >/dev/null && [ -f /usr/include/spng.h ] &&
    [ -f /usr/include/libdeflate.h ]
}
if { ! have_tools || [ ! -f /usr/share/i18n/locales/ja_JP ]; } && [ "$(id -u)" = 0 ] &&
  command -v apt-get >/dev/null; then
  note "installing mingw-w64, Wine, GoogleTest sources and locale sources with apt-get"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq >/dev/null &&
    apt-get install -y -qq g++-mingw-w64-x86-64 wine64 wine cmake ninja-build googletest \
      locales libz-mingw-w64-dev libstb-dev dpkg-dev libspng-dev libdeflate-dev >/dev/null
fi
if ! have_tools; then
  note "SKIPPED: Windows tests need mingw-w64 (g++-mingw-w64-x86-64), Wine (wine64), cmake,"
  note "ninja, the GoogleTest sources (googletest) and zlib for mingw-w64 (libz-mingw-w64-dev);"
  note "install them, or run this script as root on Debian/Ubuntu, to test the Windows build."
  exit 0
fi
case $wine_cmd in /usr/lib/wine/*) export WINELOADER=$wine_cmd WINESERVER=$wine_server ;; esac

# --- builds -----------------------------------------------------------------------------------
note "== Windows build (mingw-w64) =="
# libspng (PNG input) from Debian's source of the version the Linux build links.
"$here/scripts/debian-source.sh" libspng libspng-dev "$win-libspng" || exit 1
# libdeflate (PNG output's deflate) likewise, so that the PNG files are the Linux build's bytes.
"$here/scripts/debian-source.sh" libdeflate libdeflate-dev "$win-libdeflate" || exit 1
cmake -S "$here" -B "$win" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64.cmake" \
  -DCMAKE_BUILD_TYPE=Release -DQUORVEL_TESTS=ON -DQUORVEL_WERROR=ON \
  -DQUORVEL_SPNG_SOURCE="$win-libspng/source/spng" \
  -DQUORVEL_LIBDEFLATE_SOURCE="$win-libdeflate/source" >/dev/null || exit 1
cmake --build "$win" || exit 1
note "== Linux build (for comparison and test inputs) =="
if [ ! -f "$native/CMakeCache.txt" ]; then
  cmake -S "$here" -B "$native" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null || exit 1
fi
cmake --build "$native" --target quorvel quorvel-make-samples || exit 1

# --- Wine -------------------------------------------------------------------------------------
# A private prefix, no debug output, no display (the Open dialog then answers cancelled and the
# message box returns at once), no Mono/Gecko installers, and one wineserver for the whole suite.
export WINEPREFIX="$win/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
# Japanese Windows: code page 932 for the program's texts and names. Wine takes the code page
# from LC_ALL and needs a UTF-8 C library locale to give non-ASCII names to Linux files.
cp932=no
wine_run=("$wine_cmd")
if [ -d "$win/locale/ja_JP.UTF-8" ] ||
  { command -v localedef >/dev/null && mkdir -p "$win/locale" &&
    localedef -i ja_JP -f UTF-8 "$win/locale/ja_JP.UTF-8" 2>/dev/null; }; then
  wine_run=(env LOCPATH="$win/locale" LC_ALL=ja_JP.UTF-8 "$wine_cmd")
  cp932=yes
else
  note "note: no ja_JP locale source (Debian package 'locales'): code page 932 names not tested"
fi
# A Western Windows (code page 1252), the default, with UTF-8 names for the Linux files.
wine_western=(env LC_ALL=C.UTF-8 "$wine_cmd")
mkdir -p "$WINEPREFIX"
"$wine_server" -p
trap '"$wine_server" -k 2>/dev/null' EXIT
"${wine_run[@]}" cmd /c exit >/dev/null 2>&1  # creates the prefix on the first run

failures=0
pass() { note "  ok    $1"; }
fail() {
  note "  FAIL  $1"
  failures=$((failures + 1))
}
check() {  # check "what" command...
  local what=$1
  shift
  out="" code=""
  if "$@"; then
    pass "$what"
  else
    fail "$what"
    note "        last run: exit code $code, last line '$(last_line "$out")'"
  fi
}

# --- unit tests -------------------------------------------------------------------------------
note "== quorvel_tests.exe under Wine =="
if (cd "$win" && timeout -k 5 900 "${wine_run[@]}" ./quorvel_tests.exe --gtest_brief=1 2>&1 |
  tr -d '\r' |
  tee "$win/unit-tests.log" | grep -E '^\[  (PASSED|FAILED) |Failure$|^\[  FAILED' ;
  exit "${PIPESTATUS[0]}"); then
  pass "unit tests (log: build-win/unit-tests.log)"
else
  fail "unit tests (log: build-win/unit-tests.log)"
fi
# The suites that turn bytes into bytes (decoders, encoders, compression, pixel routines, headers)
# meet no name, path or text beyond ASCII: the code page cannot change them, and the run above has
# passed them. On a Western system the rest runs again.
bytes_only='PlainPictureDecoderTest.*:LayeredPictureDecoder.*:LayeredMixedDepths.*'
bytes_only+=':RunStreamPictureDecoder.*:RunStreamDamage.*:TiledBorderedDecoder.*'
bytes_only+=':TiledWithColoursDecoder.*:TiledBands.*:SlicedBmp.*:Lzss.*:LzssEncoder.*'
bytes_only+=':ParallelDeflate.*:PictureEncoder.*:TiledEncoder.*:BmpReader.*:WaveReader.*'
bytes_only+=':AllocateDib.*:BlendChannel.*:BlendPixel.*:BlendRowOver.*:DibRows.*:ScaleChannel.*'
bytes_only+=':ScaleRowBySevenBitAlpha.*:PixelDelta.*:ArchiveHeader.*:DirectoryRecord.*'
bytes_only+=':WaveHeader.*:IsPxHeader.*:IsLayeredHeader.*:IsRunStreamHeader.*'
bytes_only+=':IsTiledBorderedHeader.*:IsTiledWithColoursHeader.*:PictureNeed.*:OrderedWork.*'
if [ "$cp932" = yes ]; then  # the run above was on code page 932: once more on a Western one
  if (cd "$win" && timeout -k 5 900 "${wine_western[@]}" ./quorvel_tests.exe --gtest_brief=1 \
    "--gtest_filter=-$bytes_only" 2>&1 |
    tr -d '\r' | tee "$win/unit-tests-western.log" | grep -E '^\[  (PASSED|FAILED) |Failure$' ;
    exit "${PIPESTATUS[0]}"); then
    pass "unit tests, Western code page (log: build-win/unit-tests-western.log)"
  else
    fail "unit tests, Western code page (log: build-win/unit-tests-western.log)"
  fi
fi

# --- helpers for end-to-end runs ----------------------------------------------------------------
work="$win/e2e"
rm -rf "$work"
mkdir -p "$work"
exe="$win/quorvel.exe"
wintemp=$(find "$WINEPREFIX/drive_c/users" -maxdepth 2 -type d -name Temp | head -n 1)
linux="$native/quorvel"
dos() { local p=$1; printf 'Z:%s' "${p//\//\\}"; }  # Wine maps Z: to the Linux root

# winrun <folder> args...: runs quorvel.exe in the folder; stdout (line ends as LF) in $out.
# A run that waits for a window (a dialog or message box that did not return) fails after 120 s.
winrun() {
  local dir=$1
  shift
  out=$(cd "$dir" && timeout -k 5 120 "${wine_run[@]}" "$exe" "$@" 2>"$work/stderr" |
    tr -d '\r'; exit "${PIPESTATUS[0]}")
  code=$?
}
linrun() {
  local dir=$1
  shift
  out=$(cd "$dir" && "$linux" "$@" 2>/dev/null </dev/null)
  code=$?
}
last_line() { printf '%s\n' "$1" | sed '/^$/d' | tail -n 1; }
# The status line, and the exit code that goes with it: 0 for "complete.", 1 for any other.
status_is() {
  local want=1
  [ "$1" = complete. ] && want=0
  [ "$code" = "$want" ] && [ "$(last_line "$out")" = "$1" ]
}
# "complete." with failed members (listed in the message box): exit code 1.
complete_with_failures() { [ "$code" = 1 ] && [ "$(last_line "$out")" = complete. ]; }
bit_count() { od -An -tu2 -j28 -N2 "$1" | tr -d ' '; }

# Little-endian bytes for the pictures made here.
le32() { printf "\\x$(printf %02x $(($1 & 255)))\\x$(printf %02x $(($1 >> 8 & 255)))\\x$(printf %02x $(($1 >> 16 & 255)))\\x$(printf %02x $(($1 >> 24 & 255)))"; }
# A plain 32-bit picture with alpha (kind 1, depth 32, width and height repeated at 0x14).
make_px32() {  # file width height
  local w=$2 h=$3 y x
  {
    le32 "$w"; le32 "$h"; le32 0; le32 0; le32 0x00200001; le32 "$w"; le32 "$h"; le32 0
    for ((y = 0; y < h; y++)); do
      for ((x = 0; x < w; x++)); do
        printf "\\x$(printf %02x $((x * 40 & 255)))\\x$(printf %02x $((y * 60 & 255)))\\x$(printf %02x $(((x + y) * 25 & 255)))\\x$(printf %02x $(((x * 64 + y * 16) & 255)))"
      done
    done
  } >"$1"
}
# A plain 8-bit grey picture (kind 1, depth 8): no colour table, width 3 pads its rows.
make_px8() {  # file width height
  local w=$2 h=$3 i
  {
    le32 "$w"; le32 "$h"; le32 0; le32 0; le32 0x00080001; le32 0; le32 0; le32 0
    for ((i = 0; i < w * h; i++)); do printf "\\x$(printf %02x $((i * 37 & 255)))"; done
  } >"$1"
}

# An archive of plain members: make_archive file name content [name content ...]. Names are
# bytes (code page 932 or anything else, at most 23); a content is plain text, or @path for the
# bytes of a file.
content_size() { if [ "${1:0:1}" = @ ]; then stat -c %s "${1:1}"; else printf '%s' "${#1}"; fi; }
content_bytes() { if [ "${1:0:1}" = @ ]; then cat "${1:1}"; else printf '%s' "$1"; fi; }
make_archive() {
  local LC_ALL=C file=$1 i offset=0 size
  shift
  local -a names=() contents=()
  while [ $# -ge 2 ]; do
    names+=("$1") contents+=("$2")
    shift 2
  done
  {
    printf '\x1e\xaf'
    le32 "${#names[@]}" | head -c 2
    for ((i = 0; i < ${#names[@]}; i++)); do
      printf '%s' "${names[i]}"
      head -c $((24 - ${#names[i]})) /dev/zero  # zero padding, then flags 0
      size=$(content_size "${contents[i]}")
      le32 "$size"
      le32 "$offset"
      offset=$((offset + size))
    done
    for ((i = 0; i < ${#names[@]}; i++)); do content_bytes "${contents[i]}"; done
  } >"$file"
}

# --- end-to-end runs of quorvel.exe ------------------------------------------------------------
note "== quorvel.exe end to end =="
pics="$work/pics"
mkdir -p "$pics"
make_px32 "$pics/alpha.px" 5 3
make_px8 "$pics/grey.px" 3 2

usage=$(printf '%s\n' "quorvel [options] filename version 0.03" "" "options:" \
  $'\t/out:path         output folder' $'\t/stripPath        strip subfolder' \
  $'\t/raw              not blend image with bgcolor' $'\t/bgcolor:rrggbb   background color (hex)')
# The original usage lines come first, exactly; the lines of newer switches follow them.
is_usage() { [ "$out" = "$usage" ] || [ "${out#"$usage"$'\n'}" != "$out" ]; }
winrun "$work"
check "no file name: dialog cancelled headless, usage text, exit 0" \
  test "$code" = 0 -a "$(is_usage && echo usage)" = usage
winrun "$work" a.px b.px
check "two file names: usage text" test "$(is_usage && echo usage)" = usage

case_help() {
  local h first=""
  for h in '/?' /help /h --help; do
    winrun "$work" "$h" "$(dos "$pics/grey.px")"
    [ "$code" = 0 ] && is_usage && [ ! -s "$work/stderr" ] || return 1
    [ -z "$first" ] && first=$out
    [ "$out" = "$first" ] || return 1
  done
  [ ! -e "$pics/grey.bmp" ] || return 1
  for h in /version --version; do
    winrun "$work" "$h"
    [ "$code" = 0 ] && [ "$out" = "quorvel version 0.03" ] || return 1
  done
}
check "/?, /help, /h, --help: usage text and nothing else; /version, --version: the version line" case_help

case_unknown_switch() {
  local d="$work/unknown"
  mkdir -p "$d"
  cp "$pics/alpha.px" "$d/"
  winrun "$d" /RAW alpha.px
  status_is "complete." && [ "$(bit_count "$d/alpha.bmp")" = 24 ] &&
    [ "$(tr -d '\r' <"$work/stderr")" = \
      "quorvel: unknown switch /RAW ignored (switches are case-sensitive: /raw)" ]
}
check "an unknown switch is named on standard error and ignored" case_unknown_switch

case_trailing_separator() {
  winrun "$work" 'pics\'
  status_is 'pics\: unknown format!'
}
check "a path ending in a separator is named whole in its status line" case_trailing_separator

case_raw() {
  local d="$work/raw"
  mkdir -p "$d"
  cp "$pics/alpha.px" "$d/"
  winrun "$d" alpha.px
  status_is "complete." && [ "$(bit_count "$d/alpha.bmp")" = 24 ] || return 1
  winrun "$d" /raw /bgcolor:ff0000 alpha.px
  status_is "complete." && [ "$(bit_count "$d/alpha.bmp")" = 32 ] || return 1
  # '-raw' is no switch on Windows: two names, so the dialog (cancelled) and the usage text.
  winrun "$d" -raw alpha.px
  is_usage
}
check "/raw keeps 32 bits, default blends to 24, -raw is a file name" case_raw

case_dropped() {
  # A file dropped on the program arrives as one quoted argument, spaces and all; wildcards are
  # not expanded.
  local d="$work/drop/my pictures"
  mkdir -p "$d"
  cp "$pics/grey.px" "$d/my title.px"
  winrun "$work" "$(dos "$d")\\my title.px"
  status_is "complete." && [ -f "$d/my title.bmp" ] || return 1
  winrun "$d" '*.px'
  status_is "*.px: cannot read."
}
check "a dropped file with spaces in its path; no wildcard expansion" case_dropped

case_out() {
  local d="$work/out" base
  mkdir -p "$d/in" "$d/to" "$d/rel"
  cp "$pics/grey.px" "$d/in/"
  base=$(dos "$d")
  winrun "$d" "/out:$base\\to" "$base\\in\\grey.px"
  status_is "complete." && [ -f "$d/to/grey.bmp" ] || return 1
  rm "$d/to/grey.bmp"
  winrun "$d" "/out:$base\\to\\" "$base\\in\\grey.px"  # trailing backslash: same file
  status_is "complete." && [ -f "$d/to/grey.bmp" ] || return 1
  winrun "$d" /out:rel 'in\grey.px'  # relative to the current folder, joined with '\'
  status_is "complete." && [ -f "$d/rel/grey.bmp" ] || return 1
  winrun "$d" "$base\\in\\grey.px"  # without /out: beside the input
  status_is "complete." && [ -f "$d/in/grey.bmp" ] || return 1
  [ "$(ls "$d/to" "$d/rel" | grep -c bmp)" = 2 ] && [ "$(bit_count "$d/in/grey.bmp")" = 8 ]
}
check "/out: with Windows paths, '\\' joins, trailing '\\', relative folder" case_out

# A folder whose Windows path is exactly n characters long, made on the Linux side.
long_folder() {  # root n
  local p=$1 part
  while [ "$(dos "$p" | wc -c)" -lt "$2" ]; do
    part=$(($2 - $(dos "$p" | wc -c) - 1))
    [ "$part" -gt 120 ] && part=120
    [ "$part" -lt 1 ] && part=1
    p="$p/$(printf 'd%.0s' $(seq 1 "$part"))"
  done
  mkdir -p "$p" && printf '%s' "$p"
}
case_long() {
  local d="$work/long" fits over deep
  mkdir -p "$d"
  # "<folder>\grey" is the output base path; with ".bmp" 259 characters still fit...
  fits=$(long_folder "$d/fit" 250)
  winrun "$d" "/out:$(dos "$fits")" "$(dos "$pics/grey.px")"
  status_is "complete." && cmp -s "$fits/grey.bmp" "$work/out/in/grey.bmp" || return 1
  # ...260 do not: the name is refused, nothing is written.
  over=$(long_folder "$d/over" 251)
  winrun "$d" "/out:$(dos "$over")" "$(dos "$pics/grey.px")"
  status_is "grey.px: cannot write." && [ -z "$(ls -A "$over")" ] || return 1
  # An input path beyond 259 characters cannot be opened by the ANSI file functions...
  deep=$(long_folder "$d/deep" 290)
  cp "$pics/grey.px" "$deep/"
  mkdir -p "$d/to"
  winrun "$d" /out:to "$(dos "$deep")\\grey.px"
  status_is "grey.px: cannot read." || return 1
  # ...and leaves no room for an output name beside it: refused either way, nothing written.
  winrun "$d" "$(dos "$deep")\\grey.px"
  { status_is "grey.px: cannot read." || status_is "grey.px: cannot write."; } || return 1
  [ -z "$(find "$d" -name '*.bmp' ! -path "$fits/*")" ]
}
check "paths of 259 characters work, longer ones are refused cleanly" case_long

case_cp932() {
  # 表 is 0x95 0x5C and ソ is 0x83 0x5C in code page 932: the second byte is a backslash.
  local d="$work/cp932"
  mkdir -p "$d/ソ" "$d/to"
  cp "$pics/grey.px" "$d/ソ/表.px"
  winrun "$d" "/out:to" "ソ\\表.px"
  status_is "complete." && cmp -s "$d/to/表.bmp" "$work/out/in/grey.bmp" || return 1
  winrun "$d" "ソ\\表.px"
  status_is "complete." && [ -f "$d/ソ/表.bmp" ] || return 1
  # The name in the status line is cut after the last real backslash, printed in code page 932.
  cp "$pics/grey.px" "$d/ソ/表.bin"
  winrun "$d" "ソ\\表.bin"
  [ "$(last_line "$out")" = "$(printf '\x95\x5c.bin: unknown format!')" ]
}
if [ "$cp932" = yes ]; then
  check "code page 932 names with a 0x5C second byte" case_cp932
fi

case_damaged_names() {
  # Lead byte 0x81 before '/', before the end, as the 23rd byte, before DEL; then characters
  # Windows refuses in file names. Each fails alone; the run goes on to the last member.
  local d="$work/damaged"
  mkdir -p "$d"
  make_archive "$d/nm.a" first.txt one $'ab\x81/c.txt' x $'ab\x81' x \
    $'abcdefghijklmnopqrstuv\x81' x $'x\x81\x7f.txt' x 'what?.txt' x 'a<b>|"' x last.txt two
  winrun "$d" nm.a
  complete_with_failures || return 1
  [ "$(ls -A "$d")" = "$(printf 'nm\nnm.a')" ] && [ "$(ls -A "$d/nm")" = "$(printf 'first.txt\nlast.txt')" ] &&
    [ "$(cat "$d/nm/last.txt")" = two ]
}
check "damaged and forbidden member names fail alone, the rest comes out" case_damaged_names

# Every failed run exits 1 and says why on standard error, beside the unchanged status line; the
# listing of a truncated archive names the damage and exits 1; both as on Linux.
case_exit_codes() {
  local d="$work/codes" lout lcode wout
  mkdir -p "$d"
  make_archive "$d/cut.a" one.txt 1 two.txt 22222
  head -c 70 "$d/cut.a" >"$d/cut2.a" && mv "$d/cut2.a" "$d/cut.a"  # two.txt runs past the end
  printf 'no picture' >"$d/noise.px"
  winrun "$d" missing.px
  status_is "missing.px: cannot read." && grep -q '^quorvel: missing.px: cannot read' "$work/stderr" ||
    return 1
  winrun "$d" noise.px
  status_is "noise.px: unknown format!" &&
    [ "$(tr -d '\r' <"$work/stderr")" = "quorvel: noise.px: not a picture that converts: its first bytes are no picture kind this program knows" ] ||
    return 1
  winrun "$d" notes.txt
  status_is "notes.txt: unknown format!" || return 1
  winrun "$d" cut.a
  complete_with_failures && [ "$(cat "$d/cut/one.txt")" = 1 ] || return 1
  winrun "$d" /list cut.a
  wout=$out
  linrun "$d" -list cut.a
  lout=$out lcode=$code
  [ "$code" = 1 ] && [ "$lcode" = 1 ] && [ "$lout" = "$wout" ] &&
    printf '%s' "$wout" | grep -q 'two.txt: cut short: its data (bytes 69 to 74) run past the end of the archive (70 bytes)'
}
check "failed runs exit 1 and say why; a truncated archive lists its damage" case_exit_codes

case_slashes() {
  # Windows takes '/' for a separator too: /out: folders typed with it are made and joined.
  local d="$work/slashes"
  mkdir -p "$d/ddrive" "$d/x/y" "$d/t"
  ln -sfn "$d/ddrive" "$WINEPREFIX/dosdevices/d:"
  make_archive "$d/pack.a" one.txt 1 two.txt 2
  winrun "$d" /out:D:/x/y pack.a
  status_is "complete." && [ "$(cat "$d/ddrive/x/y/pack/two.txt")" = 2 ] || return 1
  winrun "$d" /out:x/y "$(dos "$pics/grey.px")"
  status_is "complete." && [ -f "$d/x/y/grey.bmp" ] || return 1
  winrun "$d" '/out:n\m/k' pack.a
  status_is "complete." && [ "$(cat "$d/n/m/k/pack/one.txt")" = 1 ] || return 1
  winrun "$d" /out:t/ "$(dos "$pics/grey.px")"
  status_is "complete." && [ -f "$d/t/grey.bmp" ] || return 1
  winrun "$d" /out:deep/er/ pack.a  # 'deep' does not exist yet
  status_is "complete." && [ "$(ls "$d/deep/er/pack")" = "$(printf 'one.txt\ntwo.txt')" ] || return 1
  rm -r "$d/deep"
  winrun "$d" /out:deep/er pack.a
  status_is "complete." && [ "$(ls "$d/deep/er/pack")" = "$(printf 'one.txt\ntwo.txt')" ]
}
check "/out: with '/' separators: D:/x/y, x/y, x\\y/z, trailing '/', missing parents" case_slashes

case_devices() {
  # Device names in any case, with an extension or trailing dot, are refused; near misses are
  # ordinary files.
  local d="$work/devices"
  mkdir -p "$d"
  make_archive "$d/dev.a" nul.txt x CON x Com1.txt x lpt9 x prn. x null.txt a aux_ b \
    console.txt c com10 d last.txt e
  winrun "$d" dev.a
  complete_with_failures && [ "$(ls -A "$d")" = "$(printf 'dev\ndev.a')" ] &&
    [ "$(ls "$d/dev" | tr '\n' ' ')" = "aux_ com10 console.txt last.txt null.txt " ] &&
    [ "$(cat "$d/dev/last.txt")" = e ]
}
check "device names are refused members, near misses are written" case_devices

# A plain member holding a 32-bit picture of 3000 x 3000 zero pixels: its BMP takes a while to
# write.
make_big_archive() {
  {
    printf '\x1e\xaf\x02\x00'
    printf 'first.txt'; head -c 15 /dev/zero; le32 3; le32 0
    printf 'big.px'; head -c 18 /dev/zero; le32 $((32 + 3000 * 3000 * 4)); le32 3
    printf 'one'
    le32 3000; le32 3000; le32 0; le32 0; le32 0x00200001; le32 3000; le32 3000; le32 0
    head -c $((3000 * 3000 * 4)) /dev/zero
  } >"$1"
}
case_interrupt() {
  # Wine turns SIGINT into the console's Ctrl+C event. The run is stopped while it writes the
  # picture member's BMP (its partial file in the output folder; a single picture is converted
  # from the member's bytes in memory, without a temporary file), interrupted, and let go: the
  # partial file and the conversion's folder inside the shared temporary folder must be gone.
  local d="$work/interrupt" pid watchdog code try caught=no temp_before
  mkdir -p "$d"
  make_big_archive "$d/big.a"
  temp_before=$(ls -A "$wintemp" 2>/dev/null)
  for try in 1 2 3; do
    rm -rf "$d/big"
    (cd "$d" && exec "${wine_run[@]}" "$exe" big.a >"$d/out" 2>&1) &
    pid=$!
    (sleep 120 && kill -KILL "$pid" 2>/dev/null) &
    watchdog=$!
    until [ -e "$d/big/big.bmp.qvpart" ] || ! kill -0 "$pid" 2>/dev/null; do :; done
    kill -STOP "$pid" 2>/dev/null
    [ -e "$d/big/big.bmp.qvpart" ] && caught=yes
    kill -INT "$pid" 2>/dev/null
    kill -CONT "$pid" 2>/dev/null
    wait "$pid"
    code=$?
    kill "$watchdog" 2>/dev/null
    [ "$caught" = yes ] && break
    note "        (try $try: the run was not caught while writing; again)"
  done
  [ "$caught" = yes ] || return 1
  [ "$code" = 58 ] || { note "        exit code $code, not 58 (0xC000013A)"; return 1; }
  [ -z "$(find "$d/big" -name '*.qvpart')" ] && [ -f "$d/big/first.txt" ] &&
    [ "$(ls -A "$wintemp" 2>/dev/null)" = "$temp_before" ]
}

case_unwritable() {
  local d="$work/unwritable"
  mkdir -p "$d"
  : >"$d/blocker"  # a file where the output folder should be
  winrun "$d" "/out:blocker" "$(dos "$pics/grey.px")"
  status_is "grey.px: cannot write." && [ ! -s "$d/blocker" ] || return 1
  [ "$(ls -A "$d" | grep -vc '^blocker$')" = 0 ] || return 1
  if [ "$(id -u)" != 0 ]; then  # permissions bind everyone but root
    mkdir -p "$d/locked" && chmod 555 "$d/locked"
    winrun "$d" "/out:locked" "$(dos "$pics/grey.px")"
    local ok=$?
    status_is "grey.px: cannot write." && [ -z "$(ls -A "$d/locked")" ]
    ok=$?
    chmod 755 "$d/locked"
    return $ok
  fi
}
check "unwritable output folder: cannot write, nothing left behind" case_unwritable
check "Ctrl+C while a member's BMP is written: no partial or temporary file is left" case_interrupt

# western command...: the command with Wine in the Western locale instead.
western() {
  local saved=("${wine_run[@]}") rc
  wine_run=("${wine_western[@]}")
  "$@"
  rc=$?
  wine_run=("${saved[@]}")
  return $rc
}

case_japanese_members() {
  # タイトル.txt, a series member 連続.px and 表.px (second byte 0x5C): the same names as the
  # Linux build gives them, whatever the code page; the series lands in a folder 連続.
  local d="$work/japanese-$1"
  rm -rf "$d"
  mkdir -p "$d/linux" "$d/windows"
  make_archive "$d/jp.a" $'\x83\x5e\x83\x43\x83\x67\x83\x8b.txt' title \
    $'\x98\x41\x91\xb1.px' "@$here/samples/series0b.px" $'\x95\x5c.px' "@$pics/grey.px"
  linrun "$d" "-out:$d/linux" jp.a
  winrun "$d" "/out:$(dos "$d/windows")" jp.a
  status_is "complete." && diff -r "$d/linux" "$d/windows" >/dev/null &&
    [ -f "$d/windows/jp/タイトル.txt" ] && [ -f "$d/windows/jp/連続/連続_0001.bmp" ] &&
    [ -f "$d/windows/jp/表.bmp" ] || return 1
  # Into a pipe the progress comes in the system's code page: on a Japanese system the very
  # bytes the ANSI program printed (タイトル.txt, and 個終了 of the series).
  if [ "$1" = cp932 ]; then
    printf '%s' "$out" | LC_ALL=C grep -qF $'\t0 \x83\x5e\x83\x43\x83\x67\x83\x8b.txt' &&
      printf '%s' "$out" | LC_ALL=C grep -qF $'\t1 \x8c\xc2\x8f\x49\x97\xb9'
  fi
}
case_user_folders() {
  # Folders the user names in a language of their own, inside or outside code page 932.
  local d="$work/folders-$1"
  rm -rf "$d"
  mkdir -p "$d/José" "$d/Ελένη/in"
  make_archive "$d/pack.a" one.txt 1
  cp "$pics/grey.px" "$d/José/grey.px"
  cp "$pics/grey.px" "$d/Ελένη/in/γ.px"
  winrun "$d" /out:José pack.a
  status_is "complete." && [ "$(cat "$d/José/pack/one.txt")" = 1 ] || return 1
  winrun "$d" /out:Ελένη/new pack.a
  status_is "complete." && [ "$(cat "$d/Ελένη/new/pack/one.txt")" = 1 ] || return 1
  winrun "$d" 'José\grey.px'
  status_is "complete." && [ -f "$d/José/grey.bmp" ] || return 1
  winrun "$d" "$(dos "$d")\\Ελένη\\in\\γ.px"
  status_is "complete." && [ -f "$d/Ελένη/in/γ.bmp" ]
}
western check "Western code page: Japanese member names as on Linux" case_japanese_members western
western check "Western code page: user folders José and Ελένη" case_user_folders western
if [ "$cp932" = yes ]; then
  check "code page 932: Japanese member names as on Linux" case_japanese_members cp932
  check "code page 932: user folders José and Ελένη" case_user_folders cp932
fi

# --- the same inputs through both builds ---------------------------------------------------------
note "== Linux and Windows builds give identical files =="
inputs="$work/inputs"
mkdir -p "$inputs"
mkdir -p "$inputs/made"
"$native/quorvel-make-samples" "$inputs/made" >/dev/null 2>&1
# A picture whose PNG rows are deflated in several pieces (on several threads where there are).
"$native/quorvel-make-samples" --sprite32 "$inputs/made/pieces32.px" 1001 555 >/dev/null 2>&1
list=()
for f in "$here"/samples/*.px "$here"/samples/*.a "$inputs"/made/*.px "$inputs"/made/*.a \
  "$pics"/*.px; do
  [ -f "$f" ] || continue
  list+=("$f")
done
# Archive members pass through the system's temporary folder, which is shared: each temporary
# file must be gone when its run ends.
temp_before=$(ls -A "$wintemp" 2>/dev/null)
compared=0 converted=0
for f in "${list[@]}"; do
  name=$(basename "$f")
  for mode in plain raw green png png-raw; do
    case $mode in
      plain) wopts=() lopts=() ;;
      raw) wopts=(/raw) lopts=(-raw) ;;
      green) wopts=(/bgcolor:ff8000 /stripPath) lopts=(-bgcolor:ff8000 -stripPath) ;;
      png) wopts=(/png /bgcolor:ff8000) lopts=(-png -bgcolor:ff8000) ;;
      png-raw) wopts=(/png /raw) lopts=(-png -raw) ;;
    esac
    L="$work/same/linux/$mode/$name" W="$work/same/windows/$mode/$name"
    mkdir -p "$L" "$W"
    linrun "$L" "${lopts[@]}" "-out:$L" "$f"
    lstatus=$(last_line "$out")
    winrun "$W" "${wopts[@]}" "/out:$(dos "$W")" "$(dos "$f")"
    wstatus=$(last_line "$out")
    if [ -z "$out" ]; then
      # Wine now and then starts a program that prints nothing at all; once more, said aloud, so
      # that a converter that really dies still fails the second time.
      echo "  note  $name ($mode): the Windows run printed nothing; run once more"
      rm -rf "$W" && mkdir -p "$W"
      winrun "$W" "${wopts[@]}" "/out:$(dos "$W")" "$(dos "$f")"
      wstatus=$(last_line "$out")
    fi
    compared=$((compared + 1))
    [ "$wstatus" = complete. ] && converted=$((converted + 1))
    if [ "$lstatus" != "$wstatus" ]; then
      fail "$name ($mode): Linux says '$lstatus', Windows '$wstatus'"
    elif ! diff -r "$L" "$W" >"$work/diff" 2>&1; then
      fail "$name ($mode): output files differ ($(head -n 1 "$work/diff"))"
    fi
  done
done
# Archives again on a Western system: their Japanese member names must come out the same.
for f in "${list[@]}"; do
  [ "${f##*.}" = a ] || continue
  name=$(basename "$f")
  L="$work/same/linux/plain/$name" W="$work/same/western/$name"
  mkdir -p "$W"
  western winrun "$W" "/out:$(dos "$W")" "$(dos "$f")"
  compared=$((compared + 1))
  [ "$(last_line "$out")" = complete. ] && converted=$((converted + 1))
  if [ "$(last_line "$out")" != complete. ]; then
    fail "$name (Western code page): '$(last_line "$out")'"
  elif ! diff -r "$L" "$W" >"$work/diff" 2>&1; then
    fail "$name (Western code page): output files differ ($(head -n 1 "$work/diff"))"
  fi
done
note "  $compared runs compared (${#list[@]} inputs x 5 option sets, archives on a Western system"
note "  too), $converted of them complete"
[ "$converted" -gt 0 ] || fail "no input converted at all"

# A batch over a folder (several inputs at once, archive members side by side, each archive in a
# temporary folder of its own) and its listing: the same lines, apart from the separator in the
# paths, the same exit code and the same tree from both builds.
case_batch() {
  local d="$work/batch" lout wout lcode
  mkdir -p "$d/game/more" "$d/linux" "$d/windows"
  for f in "${list[@]}"; do cp "$f" "$d/game/"; done
  cp "$inputs"/made/*.px "$d/game/more/"
  printf 'no picture' >"$d/game/more/broken.px"
  linrun "$d" -batch -jobs:2 -out:linux game missing.px
  lout=$out lcode=$code
  winrun "$d" /batch /jobs:2 /out:windows game missing.px
  wout=$(printf '%s' "$out" | tr '\\' '/')
  [ "$lcode" = 1 ] && [ "$code" = 1 ] && [ "$lout" = "$wout" ] || return 1
  [ "$(last_line "$lout")" = "$(($(find "$d/game" -type f | wc -l) - 1)) converted, 2 failed." ] ||
    return 1
  diff -r "$d/linux" "$d/windows" >"$work/diff" 2>&1 || return 1
  linrun "$d" -list -batch -only:*.wav game
  lout=$out
  winrun "$d" /list /batch /only:*.wav game
  [ "$lout" = "$(printf '%s' "$out" | tr '\\' '/')" ] && [ "$code" = 1 ]
}
check "a batch and its listing: same lines, exit code and files on both" case_batch
check "nothing left in Windows' temporary folder" test "$(ls -A "$wintemp" 2>/dev/null)" = "$temp_before"

# --- packing: both builds pack the same folders and pictures into the same files ---------------
note "== /pack compared with -pack =="
packed=0
for f in "${list[@]}"; do
  [ "${f##*.}" = a ] || continue
  name=$(basename "$f" .a)
  P="$work/pack/$name"
  mkdir -p "$P/linux" "$P/windows"
  linrun "$P" -raw "-out:$P" "$f"  # the folder to pack: $P/$name
  # -force: two inputs of one name (the bundled and the written sample) pack into one place.
  linrun "$P" -pack -force "-out:$P/linux" "$name"
  lstatus="$code $(last_line "$out")"
  winrun "$P" /pack /force "/out:$(dos "$P/windows")" "$name"
  wstatus="$code $(last_line "$out")"
  if [ "$lstatus" != "0 complete." ] || [ "$wstatus" != "0 complete." ]; then
    fail "$name: packing says '$lstatus' on Linux, '$wstatus' on Windows"
  elif ! cmp -s "$P/linux/$name.a" "$P/windows/$name.a"; then
    fail "$name: the packed archives differ"
  else
    packed=$((packed + 1))
  fi
  # Member names are code page 932 whatever the system's code page is.
  mkdir -p "$P/western"
  western winrun "$P" /pack /force "/out:$(dos "$P/western")" "$name"
  cmp -s "$P/linux/$name.a" "$P/western/$name.a" ||
    fail "$name: packed on a Western system, the archive differs ('$(last_line "$out")')"
  for bmp in "$P/$name"/*.bmp; do
    [ -f "$bmp" ] || continue
    picture=$(basename "$bmp" .bmp)
    linrun "$P" -pack -force "-out:$P/linux" "$bmp"
    winrun "$P" /pack /force "/out:$(dos "$P/windows")" "$(dos "$bmp")"
    cmp -s "$P/linux/$picture.px" "$P/windows/$picture.px" ||
      fail "$name/$picture.bmp: the packed pictures differ"
  done
done
check "$packed folders packed into the same archive by both builds" test "$packed" -gt 0

note ""
if [ "$failures" -gt 0 ]; then
  note "Windows tests: $failures FAILED"
  exit 1
fi
note "Windows tests: all passed"
