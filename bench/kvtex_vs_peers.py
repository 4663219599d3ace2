#!/usr/bin/env python3
"""kvtex side by side with ImageMagick (and the nvidia texture tools when installed).

Makes its own test images (a noisy photograph-like card, 2048 x 2048, and 4096 x 4096
files made from it), runs each task with every tool that does it, and prints one table:
best wall time of --runs runs, peak resident memory, and for the DXT1 rows the top
level's PSNR as `kvtex compare` measures it (one decoder for every tool's file).

  bench/kvtex_vs_peers.py [--kvtex build/tools/kvtex] [--size 2048] [--runs 3] [--work DIR]

A tool that is not installed gets "-" in its column. ImageMagick's cluster fit runs once:
it takes minutes at 2048 x 2048.
"""
import argparse
import json
import math
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time


def photo(size, path):
    """A photograph-like card: smooth shading, hard edges, fine texture and sensor noise."""
    rnd = random.Random(1)
    cols = [int(128 + 90 * math.sin(x / 41.0)) for x in range(size)]
    out = bytearray()
    for y in range(size):
        sy = math.cos(y / 57.0)
        band = (y // 97) % 3
        line = bytearray(3 * size)
        for x in range(size):
            base = cols[x] * (0.6 + 0.4 * sy)
            edge = 60 if ((x // 131 + y // 113) & 1) else 0
            r = base + edge + rnd.gauss(0, 9)
            g = base * 0.8 + (40 if band == 1 else 0) + rnd.gauss(0, 9)
            b = 255 - base + (x ^ y) % 23 + rnd.gauss(0, 9)
            line[3 * x:3 * x + 3] = bytes(min(255, max(0, int(v))) for v in (r, g, b))
        out += line
    with open(path, "wb") as f:
        f.write(b"P6\n%d %d\n255\n" % (size, size) + bytes(out))


def timed(command, runs):
    """Best wall time in seconds and the largest peak resident memory in MB, or None."""
    best, peak = None, 0
    for _ in range(runs):
        start = time.perf_counter()
        result = subprocess.run(["/usr/bin/time", "-f", "%M"] + command, stdout=subprocess.DEVNULL,
                                stderr=subprocess.PIPE, text=True)
        elapsed = time.perf_counter() - start
        if result.returncode != 0:
            sys.stderr.write("failed: %s\n%s" % (" ".join(command), result.stderr))
            return None
        peak = max(peak, int(result.stderr.strip().splitlines()[-1]) / 1024)
        best = elapsed if best is None else min(best, elapsed)
    return best, peak


def psnr(kvtex, reference, encoded):
    line = subprocess.run([kvtex, "compare", reference, encoded], capture_output=True, text=True).stdout
    return json.loads(line)["psnrRgb"]


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--kvtex", default=os.path.join(here, "..", "build", "tools", "kvtex"))
    parser.add_argument("--size", type=int, default=2048)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--work", help="folder for the images (default: a temporary one)")
    args = parser.parse_args()
    kvtex = os.path.abspath(args.kvtex)
    if not os.access(kvtex, os.X_OK):
        sys.exit("no kvtex at %s: build it first (cmake --build build --target kvtex)" % kvtex)
    # ImageMagick's own programs, not a wrapper of the same name earlier on the path.
    convert = "/usr/bin/convert" if os.access("/usr/bin/convert", os.X_OK) else None
    identify = "/usr/bin/identify" if os.access("/usr/bin/identify", os.X_OK) else None
    nvcompress, nvdecompress = shutil.which("nvcompress"), shutil.which("nvdecompress")
    work = args.work or tempfile.mkdtemp(prefix="kvtex-bench-")
    os.makedirs(work, exist_ok=True)
    n, big = args.size, args.size * 2
    f = lambda name: os.path.join(work, name)

    # The inputs: the card, its PNG, a DXT1 texture of it, and 4096 x 4096 files made from it.
    if not os.path.exists(f("photo.ppm")):
        photo(n, f("photo.ppm"))
    subprocess.run([kvtex, "decode", f("photo.ppm"), "-o", f("photo.png")], check=True, stdout=subprocess.DEVNULL)
    subprocess.run([kvtex, "convert", f("photo.ppm"), "-o", f("photo-dxt1.dds"), "--format", "DXT1"], check=True,
                   stdout=subprocess.DEVNULL)
    subprocess.run([kvtex, "convert", f("photo.ppm"), "-o", f("big-dxt5.dds"), "--format", "DXT5", "--width",
                    str(big), "--height", str(big)], check=True, stdout=subprocess.DEVNULL)
    subprocess.run([kvtex, "decode", f("big-dxt5.dds"), "-o", f("big.png")], check=True, stdout=subprocess.DEVNULL)
    levels = int(math.log2(n)) + 1

    rows = []  # (task, {tool: (seconds, MB, psnr)}, same output?)

    def row(task, commands, quality=None, runs=None, same=True):
        cells = {}
        for tool, command in commands.items():
            if command is None:
                continue
            measured = timed(command, runs or args.runs)
            if measured is None:
                continue
            cells[tool] = measured + ((psnr(kvtex, f("photo.png"), quality[tool]),) if quality else (None,))
        rows.append((task, cells, same))

    row("DXT1, %d levels" % levels, {
        "kvtex": [kvtex, "convert", f("photo.png"), "-o", f("k-mips.dds"), "--format", "DXT1", "--mips"],
        "ImageMagick": convert and [convert, f("photo.png"), "-define", "dds:compression=dxt1", "-define",
                                    "dds:mipmaps=%d" % (levels - 1), f("im-mips.dds")],
        "nvidia": nvcompress and [nvcompress, "-fast", "-bc1", f("photo.png"), f("nv-mips.dds")],
    })
    row("DXT1 top level: default encoders (PSNR)", {
        "kvtex": [kvtex, "convert", f("photo.png"), "-o", f("k-top.dds"), "--format", "DXT1"],
        "ImageMagick": convert and [convert, f("photo.png"), "-define", "dds:compression=dxt1", "-define",
                                    "dds:mipmaps=0", f("im-top.dds")],
        "nvidia": nvcompress and [nvcompress, "-fast", "-nomips", "-bc1", f("photo.png"), f("nv-top.dds")],
    }, quality={"kvtex": f("k-top.dds"), "ImageMagick": f("im-top.dds"), "nvidia": f("nv-top.dds")})
    row("DXT1 top level: best quality (PSNR)", {
        "kvtex": [kvtex, "convert", f("photo.png"), "-o", f("k-high.dds"), "--format", "DXT1", "--quality", "high"],
        "ImageMagick": convert and [convert, f("photo.png"), "-define", "dds:compression=dxt1", "-define",
                                    "dds:cluster-fit=true", "-define", "dds:mipmaps=0", f("im-cluster.dds")],
        "nvidia": nvcompress and [nvcompress, "-production", "-nomips", "-bc1", f("photo.png"), f("nv-high.dds")],
    }, quality={"kvtex": f("k-high.dds"), "ImageMagick": f("im-cluster.dds"), "nvidia": f("nv-high.dds")}, runs=1)
    row("DDS (DXT1) -> PNG, %d^2" % n, {
        "kvtex": [kvtex, "decode", f("photo-dxt1.dds"), "-o", f("k-dxt1.png")],
        "ImageMagick": convert and [convert, f("photo-dxt1.dds"), f("im-dxt1.png")],
        "nvidia": nvdecompress and [nvdecompress, f("photo-dxt1.dds")],
    })
    row("DDS (DXT5) -> PNG, %d^2" % big, {
        "kvtex": [kvtex, "decode", f("big-dxt5.dds"), "-o", f("k-dxt5.png")],
        "ImageMagick": convert and [convert, f("big-dxt5.dds"), f("im-dxt5.png")],
        "nvidia": nvdecompress and [nvdecompress, f("big-dxt5.dds")],
    })
    row("PNG -> PNG, %d^2" % big, {
        "kvtex": [kvtex, "decode", f("big.png"), "-o", f("k-big.png")],
        "ImageMagick": convert and [convert, f("big.png"), f("im-big.png")],
    })
    row("info of a %d^2 PNG" % big, {
        "kvtex": [kvtex, "info", f("big.png")],
        "ImageMagick": identify and [identify, f("big.png")],
    })

    tools = ["kvtex", "ImageMagick", "nvidia"]
    print("kvtex against its peers (%s; best of %d runs, peak memory; nvidia: %s)" % (
        work, args.runs, "installed" if nvcompress else "not installed"))
    print("| task | " + " | ".join(tools) + " | ImageMagick / kvtex time |")
    print("|---|" + "---|" * (len(tools) + 1))
    for task, cells, _ in rows:
        out = []
        for tool in tools:
            if tool not in cells:
                out.append("-")
                continue
            seconds, mb, quality = cells[tool]
            text = "%.3f s, %.0f MB" % (seconds, mb)
            out.append(("%.2f dB, " % quality + text) if quality is not None else text)
        ratio = "%.1f x" % (cells["ImageMagick"][0] / cells["kvtex"][0]) if "ImageMagick" in cells and "kvtex" in cells else "-"
        print("| %s | %s | %s |" % (task, " | ".join(out), ratio))
    if not args.work:
        shutil.rmtree(work)


if __name__ == "__main__":
    main()
