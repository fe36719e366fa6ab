"""Reads the JSON of bench/compare.sh and prints, per case, our time against the peer's."""
import glob
import json
import os
import statistics
import sys

# (case, our benchmark, the peer's ways of doing it). Where the peer has several ways (SDL2 with
# and without RLE-accelerated colour keys), each round takes the fastest of them, so that we are
# measured against the best the peer can do on that case and that machine. Arguments follow the
# name as Google Benchmark writes them.
SDL_KEYED = ("SdlSpriteRle", "SdlSpriteKey")


def keyed(bits, w, h):
    args = f"{bits}/{w}/{h}"
    return (f"keyed sprite {w}x{h}, {bits} bit", f"OursSprite/{args}", [f"{p}/{args}" for p in SDL_KEYED])


PAIRS = [
    ("opaque tile 256x256, 16 bit", "OursTile/16", ["SdlTile/16"]),
    ("opaque tile 256x256, 32 bit", "OursTile/32", ["SdlTile/32"]),
    *[keyed(bits, w, h) for bits in (16, 32) for w, h in ((16, 16), (32, 32), (50, 50), (800, 100))],
    ("fill 800x600, 16 bit", "OursFill/16", ["SdlFill/16"]),
    ("fill 800x600, 32 bit", "OursFill/32", ["SdlFill/32"]),
    ("24 to 16 bit copy 640x480", "BM_StretchBlt24To16/640/480", ["BM_SdlBlit24To16/640/480"]),
    ("24 to 16 bit copy 1024x768", "BM_StretchBlt24To16/1024/768", ["BM_SdlBlit24To16/1024/768"]),
    ("sprite frame (tiles and keyed sprites)", "BM_FrameOurs", ["BM_FrameSDL_RLE", "BM_FrameSDL_NoRLE"]),
    ("the model's scene frame", "BM_SceneFrame", ["BM_SdlSceneKeyedRle", "BM_SdlSceneKeyed"]),
    ("mixing (SDL2_mixer as peer)", "BM_OurMixer", ["BM_SDLMixer"]),
]

# Cases without a peer, given with their spread over the same rounds.
ALONE = [
    ("collision pass, 1,000 sprites, rectangles", "BM_CollisionPass/1000/0"),
    ("collision pass, 10,000 sprites, rectangles", "BM_CollisionPass/10000/0"),
    ("collision pass, 100,000 sprites, rectangles", "BM_CollisionPass/100000/0"),
    ("collision pass, 1,000 sprites, pixel-exact", "BM_CollisionPass/1000/1"),
    ("collision pass, 10,000 sprites, pixel-exact", "BM_CollisionPass/10000/1"),
    ("collision pass, 100,000 sprites, pixel-exact", "BM_CollisionPass/100000/1"),
]


def load(folder):
    """Returns {round: {name: cpu_time_ns}}."""
    rounds = {}
    for path in sorted(glob.glob(os.path.join(folder, "*-*.json"))):
        r = int(os.path.basename(path).rsplit("-", 1)[1].split(".")[0])
        with open(path, encoding="utf-8") as f:
            data = json.load(f)
        scale = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}
        for b in data["benchmarks"]:
            if b.get("run_type", "iteration") != "iteration":
                continue
            rounds.setdefault(r, {})[b["name"]] = b["cpu_time"] * scale[b.get("time_unit", "ns")]
    return rounds


def machine(folder):
    """The processor the rounds ran on, as compare.sh wrote it down."""
    try:
        with open(os.path.join(folder, "machine.txt"), encoding="utf-8") as f:
            return f.read().strip()
    except OSError:
        return "an unrecorded machine"


def fmt(ns):
    if ns >= 1e6:
        return f"{ns / 1e6:.2f} ms"
    if ns >= 1e3:
        return f"{ns / 1e3:.1f} µs"
    return f"{ns:.0f} ns"


def spread(values, digits=2):
    return f"{statistics.median(values):.{digits}f} ({min(values):.{digits}f}-{max(values):.{digits}f})"


def main():
    folder = sys.argv[1]
    rounds = load(folder)
    print(f"Measured on {machine(folder)}.")
    print()
    print(f"| case | ours | peer | ours/peer, median (range) over {len(rounds)} rounds |")
    print("|---|---|---|---|")
    missing = []
    for case, ours, peers in PAIRS:
        pairs = []
        for t in rounds.values():
            ways = [t[p] for p in peers if p in t]
            if ours in t and ways:
                pairs.append((t[ours], min(ways)))
        if not pairs:
            missing.append(case)
            continue
        ratios = [o / p for o, p in pairs]
        print(f"| {case} | {fmt(statistics.median(o for o, _ in pairs))} "
              f"| {fmt(statistics.median(p for _, p in pairs))} | {spread(ratios)} |")
    alone = [(case, [t[name] for t in rounds.values() if name in t]) for case, name in ALONE]
    if any(times for _, times in alone):
        print()
        print(f"| case | ours, median (range) over {len(rounds)} rounds |")
        print("|---|---|")
        for case, times in alone:
            if times:
                print(f"| {case} | {fmt(statistics.median(times))} ({fmt(min(times))}-{fmt(max(times))}) |")
    if missing:
        print("missing from the results: " + ", ".join(missing), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
