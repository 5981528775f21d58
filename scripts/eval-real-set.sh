#!/usr/bin/env bash
# Builds the real-music evaluation set that bench/eval_analysis reads with
# --real: published songs whose charts hold one steady tempo, each as a chart
# (.sm) beside its music, taken from local git mirrors of public repositories.
#
#   scripts/eval-real-set.sh [--no-check] OUT MIRROR...
#
# MIRROR is a git directory (a bare mirror or a checkout's .git) of one of:
#   - a simfile repository (.sm/.ssc charts): one chart per song folder (the
#     .sm before the .ssc, then the shortest name; charts in a sub-folder of a
#     folder that has its own chart are alternates and are skipped). Music the
#     newest tree lacks is taken from the newest commit that still holds it:
#     first at the chart's own path, else under the same file name anywhere.
#   - a rhythm-game build with assets/songs/<song>/Inst.ogg and charts in
#     assets/preload/data/<song>/<song>.json (or assets/data/, names in any
#     case, else the song's -hard chart): the chart's tempo, first beat at
#     the start of the music; a .sm is written from it beside the copied
#     json. Builds often carry songs of other builds: a song whose name (case
#     and dashes aside) or music an earlier build already gave is skipped, and
#     so is the engines' timing calibration track (offsettest).
#   - a repository holding .osz beatmap archives: the beatmap's one timing
#     point gives tempo and first beat; a .sm is written from it.
# Only the chart file(s) and the music each needs are copied. Each song lands
# at OUT/<repository name>/<song folder>/<music>, which is also the name the
# evaluation hashes into the development or held-out half.
#
# Songs whose chart changes tempo or stops are left out and listed in
# OUT-maps.txt. Unless --no-check, every kept song is then checked against its
# music with `aubio onset` (not our detector): the onsets are folded onto the
# chart's beat grid, and a song is moved to OUT-dropped/ (reason in
# OUT-dropped.txt) when its grid does not sit on the music:
#   - fewer than 100 onsets after the first beat, or
#   - the onsets' phase on the sixteenth-note grid is not concentrated
#     (resultant length below 0.25), or
#   - the mean onset sits more than 20 ms off the grid, or
#   - the mean onset moves more than 10 ms between the first and the last
#     third of the time from the first onset to the last (the chart's tempo
#     drifts off the music's).
# The last two follow the evaluation's tolerances: it wants the first beat
# within 10 ms (20 ms leaves room for the onset finder's own lag), and a tempo
# 0.02 BPM off moves the grid about 10 ms over two thirds of a two-minute song.
# The per-song figures are in OUT-timing.txt. Last, OUT-split.txt lists every
# kept song with its half (dev or held), computed the way eval_analysis does.
#
# Same mirrors in, same files and paths out. Needs git, python3 and aubio.
# Run it on a disk outside the repository: the songs are published work and
# stay out of it.
set -euo pipefail

if [ $# -lt 2 ]; then
    sed -n '2,/^[^#]/s/^# \{0,1\}//p' "$0" | grep -v '^set '
    exit 2
fi

exec python3 - "$@" <<'PY'
import cmath, io, json, math, os, re, shutil, subprocess, sys, zipfile

args = sys.argv[1:]
check = True
if args and args[0] == "--no-check":
    check = False
    args = args[1:]
out = os.path.abspath(args[0].rstrip("/"))
mirrors = args[1:]

# Thresholds of the timing check, fixed before any detector ran on the set.
MIN_ONSETS = 100
MIN_CONCENTRATION = 0.25
MAX_OFFSET_MS = 20.0
MAX_DRIFT_MS = 10.0


def git(repo, *a, binary=True):
    r = subprocess.run(["git", "--git-dir", repo] + list(a), capture_output=True)
    if r.returncode:
        raise RuntimeError("git %s: %s" % (" ".join(a), r.stderr.decode(errors="replace")))
    return r.stdout if binary else r.stdout.decode("utf-8", "replace")


def has_blob(repo, blob):
    return subprocess.run(["git", "--git-dir", repo, "cat-file", "-e", blob],
                          capture_output=True).returncode == 0


def tree(repo, commit):
    """path -> blob of every file in the commit."""
    files = {}
    for entry in git(repo, "ls-tree", "-r", "-z", commit).split(b"\0"):
        if not entry:
            continue
        meta, path = entry.split(b"\t", 1)
        mode, kind, blob = meta.split()
        if kind == b"blob":
            files[path.decode("utf-8", "surrogateescape")] = blob.decode()
    return files


class History:
    """The newest readable version of each path, newest commit first."""

    def __init__(self, repo):
        self.repo = repo
        self.revs = git(repo, "rev-list", "HEAD", binary=False).split()
        self.trees = {}

    def tree(self, i):
        if i not in self.trees:
            self.trees[i] = tree(self.repo, self.revs[i])
        return self.trees[i]

    def find(self, path):
        """The blob at path in the newest commit that holds a readable one."""
        for i in range(len(self.revs)):
            blob = self.tree(i).get(path)
            if blob and has_blob(self.repo, blob):
                return blob
        return None

    def find_name(self, name):
        """The blob of a file called name in the newest commit that holds one."""
        for i in range(len(self.revs)):
            for path in sorted(p for p in self.tree(i) if os.path.basename(p) == name):
                blob = self.tree(i)[path]
                if has_blob(self.repo, blob):
                    return blob
        return None


def tag(text, name):
    """A tag's value the way eval_analysis reads it: its first occurrence."""
    m = re.search(r"#%s:([^;]*);" % name, text)
    return m.group(1).strip() if m else ""


def repo_name(repo):
    """The repository's name from its mirror's path: .../owner+name/repo,
    .../name/.git or .../name.git."""
    path = os.path.normpath(repo)
    base = os.path.basename(path)
    if base in ("repo", ".git"):
        base = os.path.basename(os.path.dirname(path))
    if base.endswith(".git"):
        base = base[:-4]
    return base.split("+", 1)[-1]


def safe_name(name):
    return name and "/" not in name and "\\" not in name and name not in (".", "..")


songs = []   # (relative dir, {file name: bytes}, music file name, source note)
maps = []    # (source, why)
missing = []


def simfile_songs(repo, head):
    name = repo_name(repo)
    hist = History(repo)
    charts = sorted(p for p in head if p.lower().endswith((".sm", ".ssc")))
    chart_dirs = {os.path.dirname(p) for p in charts}
    by_dir = {}
    for p in charts:
        d = os.path.dirname(p)
        parent = os.path.dirname(d)
        alternate = False
        while parent:
            if parent in chart_dirs:
                alternate = True
                break
            parent = os.path.dirname(parent)
        if not alternate and d:
            by_dir.setdefault(d, []).append(p)
    seen_music = set()
    for d in sorted(by_dir):
        pick = sorted(by_dir[d], key=lambda p: (not p.lower().endswith(".sm"),
                                                len(os.path.basename(p)), p))[0]
        data = git(repo, "cat-file", "blob", head[pick])
        text = data.decode("utf-8", "replace")
        music = tag(text, "MUSIC")
        bpms = [b for b in tag(text, "BPMS").split(",") if b]
        src = "%s:%s" % (name, pick)
        if not safe_name(music):
            missing.append((src, "music %r is not beside the chart" % music))
            continue
        if len(bpms) != 1 or tag(text, "STOPS"):
            maps.append((src, "%d tempos, stops %s" % (len(bpms), "yes" if tag(text, "STOPS") else "no")))
            continue
        path = d + "/" + music
        blob = head.get(path)
        if not (blob and has_blob(repo, blob)):
            blob = hist.find(path) or hist.find_name(music)
        if not blob:
            missing.append((src, "music %r in no commit" % music))
            continue
        if blob in seen_music:
            missing.append((src, "music already taken by another song"))
            continue
        seen_music.add(blob)
        rel = name + "/" + os.path.basename(d)
        songs.append((rel, {os.path.basename(pick): data,
                            music: git(repo, "cat-file", "blob", blob)}, music, src))


def sm_header(title, music, offset, bpm):
    return ("#TITLE:%s;\n#MUSIC:%s;\n#OFFSET:%.6f;\n#BPMS:0.000000=%.6f;\n#STOPS:;\n"
            % (title, music, offset, bpm)).encode()


taken_music = set()   # music blobs of the rhythm-game songs already kept
taken_ids = {}        # those songs' ids (lower case, no dashes) -> repository


def game_chart(head, sid):
    """The chart of song sid: the build's own place for it first, then where
    other engines keep it (assets/data/), folder and file named as the song
    whatever the case, else the song's hard chart (same tempo)."""
    chart = "assets/preload/data/%s/%s.json" % (sid, sid)
    if chart in head:
        return chart
    for stem in (sid, sid + "-hard"):
        for base in ("assets/preload/data", "assets/data"):
            want = ("%s/%s/%s.json" % (base, sid, stem)).lower()
            found = sorted(p for p in head if p.lower() == want)
            if found:
                return found[0]
    return chart


def game_songs(repo, head):
    name = repo_name(repo)
    hist = History(repo)
    ids = sorted({p.split("/")[2] for p in head if p.startswith("assets/songs/")
                  and p.count("/") == 3})
    for sid in ids:
        chart = game_chart(head, sid)
        src = "%s:%s" % (name, chart)
        if chart not in head:
            missing.append((src, "no chart"))
            continue
        key = sid.lower().replace("-", "")
        if key == "offsettest":
            missing.append((src, "a timing calibration track, not a song"))
            continue
        if key in taken_ids:
            missing.append((src, "song already taken from %s" % taken_ids[key]))
            continue
        data = git(repo, "cat-file", "blob", head[chart])
        try:
            song = json.loads(data.decode("utf-8", "replace").strip().rstrip("\0"))["song"]
            bpm = float(song["bpm"])
        except (ValueError, KeyError, TypeError) as e:
            missing.append((src, "chart unreadable: %s" % e))
            continue
        changes = [s for s in song.get("notes", [])
                   if s.get("changeBPM") and float(s.get("bpm", bpm)) != bpm]
        if changes:
            maps.append((src, "%d tempo changes" % len(changes)))
            continue
        music = "Inst.ogg"
        path = "assets/songs/%s/%s" % (sid, music)
        if path not in head:
            # Some builds spell the file name in lower case.
            music = next((os.path.basename(p) for p in sorted(head)
                          if os.path.dirname(p) == os.path.dirname(path)
                          and os.path.basename(p).lower() == "inst.ogg"), music)
            path = "assets/songs/%s/%s" % (sid, music)
        blob = head.get(path)
        if not (blob and has_blob(repo, blob)):
            blob = hist.find(path)
        if not blob:
            missing.append((src, "music %s in no commit" % path))
            continue
        if blob in taken_music:
            missing.append((src, "music already taken by another song"))
            continue
        taken_music.add(blob)
        taken_ids[key] = name
        title = str(song.get("song", sid)).replace(";", " ").replace(":", " ")
        songs.append((name + "/" + sid, {sid + ".json": data,
                                          sid + ".sm": sm_header(title, music, 0.0, bpm),
                                          music: git(repo, "cat-file", "blob", blob)},
                      music, src))


def beatmap_songs(repo, head):
    name = repo_name(repo)
    for p in sorted(x for x in head if x.lower().endswith(".osz")):
        src = "%s:%s" % (name, p)
        blob = head[p]
        if not has_blob(repo, blob):
            missing.append((src, "archive not in the mirror"))
            continue
        z = zipfile.ZipFile(io.BytesIO(git(repo, "cat-file", "blob", blob)))
        maps_in = sorted(n for n in z.namelist() if n.lower().endswith(".osu"))
        if not maps_in:
            missing.append((src, "no beatmap in the archive"))
            continue
        osu = z.read(maps_in[0])
        text = osu.decode("utf-8-sig", "replace")
        m = re.search(r"^AudioFilename:\s*(.+?)\s*$", text, re.M)
        music = m.group(1) if m else ""
        points, section = [], None
        for line in text.splitlines():
            line = line.strip()
            if line.startswith("["):
                section = line
            elif section == "[TimingPoints]" and line:
                f = line.split(",")
                beat_len = float(f[1])
                uninherited = f[6] == "1" if len(f) > 6 else beat_len > 0
                if uninherited:
                    points.append((float(f[0]), beat_len))
        if not safe_name(music) or music not in z.namelist():
            missing.append((src, "music %r not in the archive" % music))
            continue
        if len(points) != 1:
            maps.append((src, "%d timing points" % len(points)))
            continue
        start_ms, beat_len = points[0]
        stem = os.path.splitext(os.path.basename(p))[0]
        title = re.search(r"^Title:\s*(.*?)\s*$", text, re.M)
        title = (title.group(1) if title else stem).replace(";", " ").replace(":", " ")
        songs.append((name + "/" + stem, {os.path.basename(maps_in[0]): osu,
                                          stem + ".sm": sm_header(title, music, -start_ms / 1000,
                                                                  60000 / beat_len),
                                          music: z.read(music)}, music, src))


for repo in mirrors:
    repo = os.path.abspath(repo)
    if os.path.isdir(os.path.join(repo, ".git")):
        repo = os.path.join(repo, ".git")
    head = tree(repo, "HEAD")
    if any(p.lower().endswith((".sm", ".ssc")) for p in head):
        simfile_songs(repo, head)
    elif any(p.startswith("assets/songs/") for p in head):
        game_songs(repo, head)
    elif any(p.lower().endswith(".osz") for p in head):
        beatmap_songs(repo, head)
    else:
        sys.exit("%s: no charts this script knows" % repo)

rels = [s[0] for s in songs]
dupes = {r for r in rels if rels.count(r) > 1}
if dupes:
    sys.exit("two songs would share a folder: %s" % ", ".join(sorted(dupes)))

# Only a folder this script made (it leaves a mark in it) is replaced.
MARK = ".eval-real-set"
for d in (out, out + "-dropped"):
    if os.path.exists(d):
        if not os.path.exists(os.path.join(d, MARK)):
            sys.exit("%s exists and was not made by this script: give a new folder" % d)
        shutil.rmtree(d)
for f in ("-timing.txt", "-dropped.txt"):
    if os.path.exists(out + f):
        os.remove(out + f)
os.makedirs(out)
open(os.path.join(out, MARK), "w").close()
for rel, files, music, src in songs:
    os.makedirs(os.path.join(out, rel))
    for fname, data in files.items():
        with open(os.path.join(out, rel, fname), "wb") as f:
            f.write(data)


def write_list(path, lines):
    with open(path, "w", encoding="utf-8") as f:
        f.writelines(l + "\n" for l in lines)


write_list(out + "-maps.txt", ["%s\t%s" % m for m in sorted(maps)])
write_list(out + "-missing.txt", ["%s\t%s" % m for m in sorted(missing)])


def onsets(path):
    r = subprocess.run(["aubio", "onset", "-i", path], capture_output=True, text=True)
    return [float(x) for x in r.stdout.split() if re.fullmatch(r"-?[0-9.]+", x)]


def sm_grid(path):
    with open(path, encoding="utf-8", errors="replace") as f:
        text = f.read()
    bpm = float(tag(text, "BPMS").split(",")[0].split("=", 1)[1])
    return -float(tag(text, "OFFSET") or 0), 60.0 / bpm


def phase_ms(times, first, beat, level):
    """Mean place of the onsets on a grid of beat/level (ms, signed) and the
    resultant length of their phases there."""
    period = beat / level
    s = sum(cmath.exp(2j * math.pi * ((t - first) / period % 1)) for t in times)
    if not times or abs(s) == 0:
        return 0.0, 0.0
    return cmath.phase(s) / (2 * math.pi) * period * 1000, abs(s) / len(times)


dropped = []
if check:
    timing = ["# song\tonsets\tconcentration(16th)\tconcentration(beat)\toffset ms\t"
              "offset ms first third\toffset ms last third\tdrift ms\tverdict"]
    for rel, files, music, src in songs:
        chart = [f for f in files if f.endswith(".sm") or f.endswith(".ssc")][0]
        first, beat = sm_grid(os.path.join(out, rel, chart))
        ts = [t for t in onsets(os.path.join(out, rel, music)) if t >= first - beat / 8]
        off, conc = phase_ms(ts, first, beat, 4)
        _, conc_beat = phase_ms(ts, first, beat, 1)
        third = (ts[-1] - ts[0]) / 3 if ts else 0
        off_a, _ = phase_ms([t for t in ts if t < ts[0] + third], first, beat, 4)
        off_b, _ = phase_ms([t for t in ts if t > ts[-1] - third], first, beat, 4)
        period = beat / 4 * 1000
        drift = (off_b - off_a + period / 2) % period - period / 2
        why = []
        if len(ts) < MIN_ONSETS:
            why.append("only %d onsets" % len(ts))
        if conc < MIN_CONCENTRATION:
            why.append("onsets not on the grid (concentration %.2f)" % conc)
        if abs(off) > MAX_OFFSET_MS:
            why.append("grid %.1f ms off the onsets" % off)
        if abs(drift) > MAX_DRIFT_MS:
            why.append("grid drifts %.1f ms from first to last third" % drift)
        timing.append("%s/%s\t%d\t%.3f\t%.3f\t%.1f\t%.1f\t%.1f\t%.1f\t%s"
                      % (rel, music, len(ts), conc, conc_beat, off, off_a, off_b, drift,
                         "; ".join(why) or "kept"))
        if why:
            dropped.append((rel + "/" + music, src, "; ".join(why)))
            dest = os.path.join(out + "-dropped", rel)
            os.makedirs(os.path.dirname(dest), exist_ok=True)
            open(os.path.join(out + "-dropped", MARK), "w").close()
            shutil.move(os.path.join(out, rel), dest)
            parent = os.path.dirname(os.path.join(out, rel))
            if not os.listdir(parent):
                os.rmdir(parent)
    write_list(out + "-timing.txt", timing)
    write_list(out + "-dropped.txt", ["%s\t%s\t%s" % d for d in dropped])


def fnv1a(s):
    h = 2166136261
    for b in s.encode("utf-8"):
        h = ((h ^ b) * 16777619) & 0xFFFFFFFF
    return h


gone = {d[0] for d in dropped}
split = []
for rel, files, music, src in songs:
    name = rel + "/" + music
    if name not in gone:
        split.append("%s\t%s\t%s" % ("held" if (fnv1a(name) >> 7) & 1 else "dev", name, src))
write_list(out + "-split.txt", sorted(split))
halves = [l.split("\t")[0] for l in split]
print("%d songs (%d dev, %d held), %d dropped, %d with tempo changes left out, %d without music"
      % (len(split), halves.count("dev"), halves.count("held"), len(dropped), len(maps),
         len(missing)))
PY
