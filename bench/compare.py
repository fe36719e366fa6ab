"""Reads the JSON of bench/compare.sh and prints, per case, our time against the peer's."""
import glob
import json
import os
import statistics
import sys

# (case, our benchmark, the peer's benchmark). Arguments follow the name as Google Benchmark
# writes them.
PAIRS = [
    ("opaque tile 256x256, 16 bit", "OursTile/16", "SdlTile/16"),
    ("opaque tile 256x256, 32 bit", "OursTile/32", "SdlTile/32"),
    ("keyed sprite 50x50, 16 bit", "OursSprite/16/50/50", "SdlSpriteRle/16/50/50"),
    ("keyed sprite 800x100, 16 bit", "OursSprite/16/800/100", "SdlSpriteRle/16/800/100"),
    ("keyed sprite 50x50, 32 bit", "OursSprite/32/50/50", "SdlSpriteRle/32/50/50"),
    ("keyed sprite 800x100, 32 bit", "OursSprite/32/800/100", "SdlSpriteRle/32/800/100"),
    ("fill 800x600, 16 bit", "OursFill/16", "SdlFill/16"),
    ("fill 800x600, 32 bit", "OursFill/32", "SdlFill/32"),
    ("24 to 16 bit copy 640x480", "BM_StretchBlt24To16/640/480", "BM_SdlBlit24To16/640/480"),
    ("24 to 16 bit copy 1024x768", "BM_StretchBlt24To16/1024/768", "BM_SdlBlit24To16/1024/768"),
    ("sprite frame (tiles and keyed sprites)", "BM_FrameOurs", "BM_FrameSDL_RLE"),
    ("the model's scene frame", "BM_SceneFrame", "BM_SdlSceneKeyedRle"),
    ("mixing (SDL2_mixer as peer)", "BM_OurMixer", "BM_SDLMixer"),
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


def fmt(ns):
    if ns >= 1e6:
        return f"{ns / 1e6:.2f} ms"
    if ns >= 1e3:
        return f"{ns / 1e3:.1f} µs"
    return f"{ns:.0f} ns"


def main():
    rounds = load(sys.argv[1])
    print(f"| case | ours | peer | ours/peer, median (range) over {len(rounds)} rounds |")
    print("|---|---|---|---|")
    missing = []
    for case, ours, peer in PAIRS:
        pairs = [(t[ours], t[peer]) for t in rounds.values() if ours in t and peer in t]
        if not pairs:
            missing.append(case)
            continue
        ratios = [o / p for o, p in pairs]
        print(f"| {case} | {fmt(statistics.median(o for o, _ in pairs))} "
              f"| {fmt(statistics.median(p for _, p in pairs))} "
              f"| {statistics.median(ratios):.2f} ({min(ratios):.2f}-{max(ratios):.2f}) |")
    if missing:
        print("missing from the results: " + ", ".join(missing), file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
