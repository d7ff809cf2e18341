#!/usr/bin/env python3
"""What wqas.pga itself costs: the same conversion (the default profile) run by
ffmpeg directly, by wqas.pga, and by ffmpeg with wqas.pga's -progress report,
interleaved and taking turns at going first. Prints medians, their ratios and
the median of each round's own ratios for a
30-second and a 0.2-second 640x360 FLV (on the short one fixed costs stand out).

    python3 bench/converter/wqas_overhead.py build/bin [runs]
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

FFMPEG = "/usr/bin/ffmpeg"
QUIET = ["-hide_banner", "-nostdin", "-nostats", "-loglevel", "error"]


def options(src, old):
    if old:  # as the driver writes them for "AVI (MPEG4-DivX-Compatible)"
        return ["-i", src, "-y", "-b", "360", "-r", "29.97", "-s", "320x240", "-vcodec", "mpeg4",
                "-deinterlace", "-sameq", "-ab", "48", "-ar", "22050", "-ac", "2"]
    return ["-i", src, "-y", "-b:v", "360k", "-r", "30000/1001", "-s", "320x240", "-c:v", "mpeg4",
            "-b:a", "48k", "-ar", "22050", "-ac", "2", "-vf", "yadif", "-q:v", "2"]


def timed(way, wqas, src, out):
    start = time.monotonic()
    if way == "ffmpeg":
        subprocess.run([FFMPEG] + QUIET + options(src, False) + [out], stdin=subprocess.DEVNULL, check=True)
    elif way == "ffmpeg -progress":
        r, w = os.pipe()
        p = subprocess.Popen([FFMPEG] + QUIET + ["-progress", f"pipe:{w}"] + options(src, False) + [out],
                             stdin=subprocess.DEVNULL, pass_fds=(w,))
        os.close(w)
        while os.read(r, 4096):
            pass
        os.close(r)
        if p.wait() != 0:
            raise RuntimeError("ffmpeg failed")
    else:
        subprocess.run([wqas] + options(src, True) + [out], stdin=subprocess.DEVNULL,
                       stdout=subprocess.PIPE, stderr=subprocess.STDOUT, check=True)
    return time.monotonic() - start


def main():
    bindir = sys.argv[1] if len(sys.argv) > 1 else "build/bin"
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 15
    wqas = os.path.join(bindir, "wqas.pga")
    ways = ["ffmpeg", "wqas.pga", "ffmpeg -progress"]
    with tempfile.TemporaryDirectory() as d:
        long_src, short_src = os.path.join(d, "long.flv"), os.path.join(d, "short.flv")
        subprocess.run([FFMPEG] + QUIET + ["-y", "-f", "lavfi", "-i", "testsrc2=size=640x360:rate=25", "-f", "lavfi",
                        "-i", "sine=sample_rate=22050", "-t", "30", "-c:v", "flv1", "-q:v", "4", "-c:a",
                        "libmp3lame", "-ar", "22050", "-b:a", "64k", long_src], check=True)
        subprocess.run([FFMPEG] + QUIET + ["-y", "-i", long_src, "-t", "0.2", "-c", "copy", short_src], check=True)
        for src, n in ((long_src, runs), (short_src, runs * 4)):
            times = {w: [] for w in ways}
            for i in range(n):
                for k in range(len(ways)):
                    way = ways[(i + k) % len(ways)]
                    times[way].append(timed(way, wqas, src, os.path.join(d, "out.avi")))
            base = statistics.median(times["ffmpeg"])
            print(f"{os.path.basename(src)}, {n} runs:")
            for way in ways:
                m = statistics.median(times[way])
                # Each round's ways ran close together, under the same load.
                own = statistics.median(t / b for t, b in zip(times[way], times["ffmpeg"]))
                print(f"  {way:17s} median {m * 1000:8.1f} ms  min {min(times[way]) * 1000:8.1f} ms  "
                      f"ratio {m / base:.3f} ({(m - base) * 1000:+.1f} ms)  rounds' own ratios {own:.3f}")


if __name__ == "__main__":
    main()
