#!/bin/sh
# Runs the whole Vidmora road on one machine, without the real video site:
# a small demo site on loopback (a generated watch page, thumbnail and video)
# and the programs built with their deployment values pointing at it.
#
#   scripts/demo.sh            build into build-demo/, start the site, start vidmora
#
# The page client always speaks to port 80 of the site's host, so the demo
# site listens on 127.0.0.1:80: run as root, or let sudo start the site (asked
# for below), or allow low ports once with
#   sudo sysctl net.ipv4.ip_unprivileged_port_start=80
# In vidmora, type  http://localhost/watch?v=demo0000001  and press "Download".
# Needs a display (on a machine without one: xvfb-run scripts/demo.sh).
set -eu
cd "$(dirname "$0")/.."

PORT=80
ADDR=127.0.0.1
WORK=$(mktemp -d /tmp/vidmora-demo.XXXXXX)
SITE_PID=""
cleanup() {
    if [ -n "$SITE_PID" ]; then
        kill "$SITE_PID" 2>/dev/null || true
        wait "$SITE_PID" 2>/dev/null || true
    fi
    rm -rf "$WORK"
}
trap cleanup EXIT INT TERM

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "demo: no display; run it as: xvfb-run scripts/demo.sh (or from a desktop session)" >&2
    exit 1
fi
for tool in cmake ffmpeg python3 curl; do
    command -v "$tool" >/dev/null 2>&1 || { echo "demo: $tool is missing (scripts/install-deps.sh installs it)" >&2; exit 1; }
done

# 1. The programs, with the site's host, domain, image host and maker's host on loopback.
#    The user may type the bare domain "localhost"; the window rewrites it to the host.
cmake -S . -B build-demo -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DVIDMORA_SITE_DOMAIN=localhost -DVIDMORA_SITE_HOST=$ADDR \
    -DVIDMORA_IMAGE_HOST=$ADDR -DVIDMORA_MAKER_HOST=$ADDR \
    -DVIDMORA_BUILD_TESTS=OFF -DVIDMORA_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build-demo -j "$(nproc)" --target vidmora zelto wqas_pga

# 2. The site's media, made here.
ffmpeg -hide_banner -loglevel error -y -f lavfi -i "testsrc=size=320x240:rate=25" \
    -f lavfi -i "sine=frequency=440:sample_rate=22050" -t 8 \
    -c:v flv -b:v 600k -c:a libmp3lame -ar 22050 "$WORK/video.flv"
ffmpeg -hide_banner -loglevel error -y -f lavfi -i "testsrc=size=120x90" -frames:v 1 "$WORK/thumb.jpg"

# 3. The site: the watch page with every field marker, the thumbnail, the video
#    (sent in pieces so that the progress shows), and the two announcement pages.
cat >"$WORK/site.py" <<'PY'
import http.server, sys, time, urllib.parse, pathlib

work = pathlib.Path(sys.argv[3])
VIDEO_ID, TOKEN = "demo0000001", "DemoToken42"
PAGE = f"""<html><head><title>Vidmora - Demo Test Pattern</title>
<script>var watchUsername = 'demo_uploader';
var fullscreenUrl = '/watch_fullscreen?fs=1&video_id={VIDEO_ID}&l=8&t={TOKEN}&hl=en';</script></head>
<body><div>Views: <span class="watch-view-count">42,000</span></div>
<div>Added: <span class="watch-stat">December 10, 2026</span></div>
<div><span class="description">A test pattern with a tone, served by the demo site.</span></div>
<div>Category: <a href="/browse" onmousedown="urchinTracker('/Events/VideoWatch/VideoCategoryLink');">Science & Technology</a></div>
</body></html>"""
ANNOUNCE = "<html><body style='background:#102060;color:white;font-family:sans-serif'><h3>Vidmora demo</h3><p>Announcement page {}</p></body></html>"

class Site(http.server.BaseHTTPRequestHandler):
    def send(self, status, ctype, body, piece=0):
        self.send_response(status)
        self.send_header("Content-Type", ctype)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if not piece:
            self.wfile.write(body)
            return
        for at in range(0, len(body), piece):
            self.wfile.write(body[at:at + piece])
            self.wfile.flush()
            time.sleep(0.1)

    def do_GET(self):
        # The page client sends the absolute address as its request target.
        url = urllib.parse.urlsplit(self.path)
        path = url.path or "/"
        if path == "/watch":
            self.send(200, "text/html", PAGE.encode("latin-1"))
        elif path == f"/vi/{VIDEO_ID}/default.jpg":
            self.send(200, "image/jpeg", (work / "thumb.jpg").read_bytes())
        elif path == "/get_video.php":
            self.send(200, "video/x-flv", (work / "video.flv").read_bytes(), piece=16384)
        elif path == "/Plimo/Zelto.php":
            sistem = urllib.parse.parse_qs(url.query).get("sistem", ["?"])[0]
            self.send(200, "text/html", ANNOUNCE.format(sistem).encode())
        elif path == "/":
            self.send(200, "text/html", b"<html><body>Vidmora demo site</body></html>")
        else:
            self.send(404, "text/html", b"<html><body>Not Found</body></html>")

    def log_message(self, fmt, *args):
        sys.stderr.write("demo site: " + (fmt % args) + "\n")

http.server.ThreadingHTTPServer((sys.argv[1], int(sys.argv[2])), Site).serve_forever()
PY

LOW=$(cat /proc/sys/net/ipv4/ip_unprivileged_port_start 2>/dev/null || echo 1024)
if [ "$(id -u)" -eq 0 ] || [ "$LOW" -le "$PORT" ]; then
    python3 "$WORK/site.py" "$ADDR" "$PORT" "$WORK" &
else
    echo "demo: port $PORT needs privileges; starting the demo site through sudo"
    sudo python3 "$WORK/site.py" "$ADDR" "$PORT" "$WORK" &
fi
SITE_PID=$!
# Wait (at most about ten seconds) until the site answers, so that the programs
# never start before it.
up=""
for _ in $(seq 1 50); do
    kill -0 "$SITE_PID" 2>/dev/null || break
    # The site's own front page, not some other server on the port.
    if curl -s "http://$ADDR:$PORT/" 2>/dev/null | grep -q "Vidmora demo site"; then up=yes; break; fi
    sleep 0.2
done
if [ -z "$up" ]; then
    echo "demo: the demo site could not listen on $ADDR:$PORT (is something else using it?)" >&2
    exit 1
fi

echo "demo: type  http://localhost/watch?v=demo0000001  into Vidmora and press Download"
echo "demo: files land in $HOME/Vidmora"
build-demo/bin/vidmora
