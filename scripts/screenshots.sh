#!/usr/bin/env bash
# screenshots.sh [BUILD_DIR]: starts the program under Xvfb with a demo song
# and writes the pictures the README shows: docs/summary.png (the song summary
# window), docs/editor.png (the step editor with its tool windows, and the
# waveform of music made with ffmpeg when that is installed) and
# docs/synchro.png (the synchronisation checker). Builds the program first
# when BUILD_DIR (default build/release) holds none. Runs with private
# settings and folders; the display is KOLVO_SCREENSHOT_DISPLAY (default :99).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build/release}
display=${KOLVO_SCREENSHOT_DISPLAY:-:99}
kolvo=$build/src/main/kolvo
if [[ ! -x $kolvo ]]; then
    "$here/scripts/build.sh" "$build" -DKOLVO_BUILD_TESTS=OFF -DKOLVO_BUILD_BENCH=OFF
fi
for tool in Xvfb xdotool xwd xdpyinfo python3; do
    command -v "$tool" >/dev/null || { echo "screenshots: $tool is missing (run scripts/setup.sh)" >&2; exit 1; }
done

work=$(mktemp -d)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

# Private settings: the folders are known, the tool windows open with the
# editor, no update check.
export HOME=$work/home XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
export XDG_RUNTIME_DIR=$work/run
mkdir -p "$HOME" "$XDG_CONFIG_HOME/Kolvo" "$XDG_DATA_HOME" "$work/simulator"
mkdir -m 700 "$XDG_RUNTIME_DIR"
cat >"$XDG_CONFIG_HOME/Kolvo/Kolvo.ini" <<INI
[dirinfo]
ddrsimulator=$work/simulator
winamp=/usr/bin
[settings]
autowide=1
autotrans=1
autopower=1
checkupdateonstart=0
INI

# The demo song: three charts of a short song with a tempo change and a freeze.
song=$work/demo.kolvo
python3 - "$song" <<'PY'
import sys
lines = ['"KOLVO-DEF"']
header = [("musicadd", "/home/me/Music/demo.ogg"), ("songname", "Demo Song"),
          ("artist", "The Examples"), ("genre", "Demo"), ("bpm", "150"), ("gap", "120")]
lines += ['"%s","%s"' % (v, k) for k, v in header]
lines.append('1,"check1"')
lines += ['"%s","%s"' % (v, k) for k, v in
          [("text1", ""), ("samplestart", "30000"), ("samplelength", "15000"), ("filetag", "")]]
lines.append('"LEVELS",""')
levels = {(1, 1): "3", (1, 2): "6", (2, 1): "4"}
for s in range(1, 5):
    for l in range(1, 5):
        lines.append('"%s","level",%d,%d' % (levels.get((s, l), ""), s, l))
lines.append('"DATAEXISTS","","",""')
for s in range(1, 5):
    for l in range(1, 5):
        lines.append('%d,"dataexists",%d,%d' % (1 if (s, l) in levels else 0, s, l))
lines.append('"STEPS","","",""')
pad = [1, 3, 4, 6]          # left, down, up, right
double = [1, 3, 4, 6, 7, 8, 9, 10]
for (s, l), every, panels in [((1, 1), 8, pad), ((1, 2), 4, pad), ((2, 1), 8, double)]:
    for b in range(1, 17):
        for r in range(1, 33, every):
            i = (b * 7 + r // every) % len(panels)
            value = 2 if r == 1 and b % 4 == 1 else 1
            lines.append("%d,%d,%d,%d,%d,%d" % (s, l, b, r, panels[i], value))
            if every == 4 and r % 16 == 9:
                lines.append("%d,%d,%d,%d,%d,1" % (s, l, b, r, panels[(i + 2) % len(panels)]))
lines += ["1,1,9,1,11,160", "1,1,5,3,12,500", "0,0,0,0,0,0"]
open(sys.argv[1], "w", newline="").write("\r\n".join(lines) + "\r\n")
PY

Xvfb "$display" -screen 0 2000x1100x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
export DISPLAY=$display QT_QPA_PLATFORM=xcb
for _ in $(seq 100); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
done

# wait_window NAME: the id of the visible window with that exact title.
wait_window() {
    local id
    for _ in $(seq 200); do
        id=$(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1) || true
        if [[ -n $id ]]; then
            echo "$id"
            return 0
        fi
        sleep 0.1
    done
    echo "screenshots: the window '$1' did not appear" >&2
    return 1
}

# shoot OUT WINDOW...: a PNG of the screen around the given windows. With no
# window manager a window mapped over another stays unpainted until it is
# moved: once the program has settled, the first window goes to the empty
# right part of the screen (the step editor's tool windows follow it).
shoot() {
    local out=$1
    shift
    rm -f "$out"
    local x0 y0 x1 y1
    for attempt in $(seq 10); do
        sleep 6 # let the program settle
        eval "$(xdotool getwindowgeometry --shell "$1")"
        xdotool windowmove "$1" $(((attempt % 2) * 100 + 700)) 50
        sleep 4
        x0=100000 y0=100000 x1=0 y1=0
        for id in "$@"; do
            eval "$(xdotool getwindowgeometry --shell "$id")"
            ((X < x0)) && x0=$X
            ((Y < y0)) && y0=$Y
            ((X + WIDTH > x1)) && x1=$((X + WIDTH))
            ((Y + HEIGHT > y1)) && y1=$((Y + HEIGHT))
        done
        xwd -root -silent >"$work/screen.xwd"
        # A picture of one colour is a window not yet painted: try again.
        if python3 "$here/scripts/xwdtopng.py" "$work/screen.xwd" "$out" \
            "$x0" "$y0" $((x1 - x0)) $((y1 - y0)); then
            echo "wrote ${out#"$here"/}"
            return 0
        fi
    done
    echo "screenshots: nothing painted for ${out#"$here"/}" >&2
    return 1
}

start_program() {
    "$kolvo" "$song" >/dev/null 2>&1 &
    pids+=($!)
    summary=$(wait_window "Demo Song - Kolvo DWI Creator")
}

mkdir -p "$here/docs"

# The summary window, then the synchronisation checker opened from it.
start_program
shoot "$here/docs/summary.png" "$summary"
xdotool windowactivate --sync "$summary" 2>/dev/null || xdotool windowfocus --sync "$summary"
xdotool key --window "$summary" ctrl+y
synchro=$(wait_window "Synchronisation Checker")
shoot "$here/docs/synchro.png" "$synchro"
kill "${pids[-1]}"
wait "${pids[-1]}" 2>/dev/null || true

# Music for the waveform beside the grid: a drum loop made up here at the
# demo song's 150 BPM from 120 ms, with a quiet break (ffmpeg).
if command -v ffmpeg >/dev/null; then
    loop="st(0,mod(t-0.12,0.4));st(1,mod(t-0.12,0.2));st(2,mod(t-0.52,0.8));"
    loop+="st(3,if(between(t,13.0,19.3),0.15,1));"
    loop+="if(lt(t,0.12),0,ld(3)*(0.75*sin(2*PI*(50+120*exp(-ld(0)*30))*ld(0))*exp(-ld(0)*10)"
    loop+="+(random(0)*2-1)*0.22*exp(-ld(1)*55)+if(gt(t,0.5),(random(1)*2-1)*0.5*exp(-ld(2)*16),0))"
    loop+="+0.12*sin(2*PI*55*t)*(1-ld(3)*0.5))"
    ffmpeg -v error -y -f lavfi -i "aevalsrc=exprs='$loop':s=44100:d=30" -c:a libvorbis -q:a 3 \
        "$work/demo.ogg"
    sed -i "s|/home/me/Music/demo.ogg|$work/demo.ogg|" "$song"
fi

# A fresh start for the step editor: a press on the Single Basic chart button
# (its place in the summary window, in pixels).
start_program
xdotool mousemove --window "$summary" 135 467 click 1
editor=$(wait_window "Edit Steps")
tools=()
for name in "Wide View" "Transformations" "Power Tools"; do
    tools+=("$(wait_window "$name")")
done
shoot "$here/docs/editor.png" "$editor" "${tools[@]}"

# The same bar at 24th rows with notes of several kinds placed there (the
# left button an arrow, the right one a freeze, Shift a mine or a roll), then
# at 192nd rows. `,` and `.` step the snap; the grid is at the editor's
# origin, a 24th row 160 twips (32/3 pixels) high.
xdotool windowactivate --sync "$editor" 2>/dev/null || xdotool windowfocus --sync "$editor"
# First three arrows at 32nd rows that lie between the 24th rows (a 32nd
# and two 16ths): the 24th grid shows them at their height in their colours.
for c in "3 208" "10 112" "22 272"; do
    read -r row x <<<"$c"
    xdotool mousemove --window "$editor" "$x" $(((1260 + 120 * row) / 15)) click 1
done
xdotool key --window "$editor" comma
columns=(112 176 208 272) # left, down, up, right
clicks=("1 0 1" "2 1 1" "4 2 3" "5 3 1" "7 1 2" "8 0 4" "10 2 1" "11 3 1" "13 1 1" "14 2 3"
    "16 0 2" "17 3 1" "19 1 1" "20 2 4" "22 0 1" "23 3 1")
for c in "${clicks[@]}"; do
    read -r row column kind <<<"$c"
    x=${columns[$column]}
    y=$(((1280 + 160 * row) / 15))
    xdotool mousemove --window "$editor" "$x" "$y"
    case $kind in
    1) xdotool click 1 ;;                                   # arrow
    2) xdotool click 3 ;;                                   # freeze start
    3) xdotool keydown shift click 1 keyup shift ;;         # mine
    4) xdotool keydown shift click 3 keyup shift ;;         # roll start
    esac
done
shoot "$here/docs/editor-24th.png" "$editor"
xdotool key --window "$editor" period period period period
shoot "$here/docs/editor-192nd.png" "$editor"
