#!/usr/bin/env python3
"""ctrlsch serve as a browser's page talks to it, over HTTP on 127.0.0.1.

The program runs on a new drawing with settings of a temporary folder (a
copy of the shared test installation's with a user folder of its own).
Checked: the first line is the page's address with a 32-digit token;
requests without the token, with a wrong one or with another Host are
refused (403), connections to the port on the machine's other addresses
are refused (it listens on loopback only), unknown paths are 404 and bad bodies 400, and the server
answers after each; the page is served; command lines run one by one as at
the terminal (each answer what the command line printed for it, the
transcript all of it), also when they come at once; the polyline drawn
shows in the SVG and in the drawing SAVEAS writes (read by ezdxf); QUIT
ends the program with status 0. A second run serves that drawing on the
port asked for and ends at SIGTERM; a missing drawing and a bad port end it
with status 1 and 2 before any address is printed. A third run shows the
dialogs: (ylthz)'s palette is listed by /api/dialogs as @list lists it, its
PNG has the listed size with the caption bar ending where the client area
starts, a typed "0,0" is the base point, and a @mouse click at the first
slot of the palette's preview chooses a symbol, drawn from that point; the
SVG says how its user units map to drawing units.

Usage: serve_test.py PATH/TO/ctrlsch INSTALLATION_DIR. Every wait has a
deadline; the whole test ends within 60 s.
"""
import http.client
import json
import os
import re
import select
import signal
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time
import xml.etree.ElementTree as ET
import zlib

OVERALL_SECONDS = 60


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


class Server:
    """ctrlsch serve as a child process, and requests to it."""

    def __init__(self, program, args, env):
        self.proc = subprocess.Popen([program, "serve"] + args, env=env, stdin=subprocess.DEVNULL,
                                     stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        self.address = self._first_line()
        m = re.fullmatch(r"http://127\.0\.0\.1:(\d+)/\?token=([0-9a-f]{32})", self.address)
        check(m, "the first line is no address with a token: %r" % self.address)
        self.port = int(m.group(1))
        self.token = m.group(2)

    def _first_line(self, seconds=15.0):
        deadline = time.monotonic() + seconds
        data = b""
        fd = self.proc.stdout.fileno()
        while b"\n" not in data:
            left = deadline - time.monotonic()
            ready, _, _ = select.select([fd], [], [], max(left, 0))
            if not ready:
                raise Failure("no address within %g s" % seconds)
            chunk = os.read(fd, 4096)
            if not chunk:
                raise Failure("the program ended before its address (status %s): %s"
                              % (self.proc.wait(5), self.proc.stderr.read().decode(errors="replace")))
            data += chunk
        return data.split(b"\n", 1)[0].decode()

    def request(self, method, path, body=None, token=True, host=None, headers=None):
        """Returns (status, content type, body bytes)."""
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=15)
        try:
            conn.putrequest(method, path, skip_host=True, skip_accept_encoding=True)
            conn.putheader("Host", host if host is not None else "127.0.0.1:%d" % self.port)
            if token is True:
                conn.putheader("X-Ctrlsch-Token", self.token)
            elif token:
                conn.putheader("X-Ctrlsch-Token", token)
            for name, value in (headers or {}).items():
                conn.putheader(name, value)
            data = body.encode() if isinstance(body, str) else body
            if data is not None:
                conn.putheader("Content-Type", "application/json")
                conn.putheader("Content-Length", str(len(data)))
            conn.endheaders(data)
            res = conn.getresponse()
            return res.status, res.getheader("Content-Type", ""), res.read()
        finally:
            conn.close()

    def command(self, line):
        status, kind, body = self.request("POST", "/api/command", json.dumps({"line": line}))
        check(status == 200 and kind.startswith("application/json"),
              "command %r: %d %s %r" % (line, status, kind, body))
        return json.loads(body)["output"]

    def transcript(self):
        status, _, body = self.request("GET", "/api/transcript")
        check(status == 200, "the transcript: %d %r" % (status, body))
        return json.loads(body)["transcript"]

    def svg(self):
        status, kind, body = self.request("GET", "/api/drawing.svg")
        check(status == 200 and kind.startswith("image/svg+xml"), "the drawing: %d %s %r" % (status, kind, body[:200]))
        return ET.fromstring(body)

    def wait(self, seconds=10.0):
        try:
            return self.proc.wait(seconds)
        except subprocess.TimeoutExpired:
            raise Failure("the program still runs %g s later" % seconds)

    def kill(self):
        if self.proc.poll() is None:
            self.proc.kill()
            self.proc.wait()
        self.proc.stdout.close()
        self.proc.stderr.close()


def segments(svg_root):
    """The straight pieces of the SVG's paths, as ((x0, y0), (x1, y1))."""
    found = []
    for el in svg_root.iter("{http://www.w3.org/2000/svg}path"):
        points = [tuple(float(v) for v in p.split(","))
                  for p in re.findall(r"[ML]\s*(-?[\d.]+,-?[\d.]+)", el.get("d", ""))]
        found += list(zip(points, points[1:]))
    return found


def other_addresses():
    """This machine's IPv4 addresses outside the loopback network."""
    found = set()
    try:
        out = subprocess.run(["hostname", "-I"], capture_output=True, text=True, timeout=5).stdout
        found.update(a for a in out.split() if re.fullmatch(r"\d+\.\d+\.\d+\.\d+", a))
    except (OSError, subprocess.SubprocessError):
        pass
    try:
        with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as probe:
            probe.connect(("10.255.255.255", 1))  # no packet is sent
            found.add(probe.getsockname()[0])
    except OSError:
        pass
    return sorted(a for a in found if not a.startswith("127."))


def check_not_on_other_addresses(srv):
    """The server listens on the loopback address only: connecting to the
    same port on any other address of this machine is refused."""
    addresses = other_addresses()
    if not addresses:
        print("serve_test: this machine has no address besides loopback; "
              "the refusal on other addresses is not checked")
        return
    for address in addresses:
        with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
            s.settimeout(3)
            try:
                s.connect((address, srv.port))
                reached = True
            except OSError:
                reached = False
        check(not reached, "the server answers on %s:%d, not on loopback only" % (address, srv.port))


def check_refusals(srv):
    def expect(status, what, **kw):
        got, _, body = srv.request(kw.pop("method", "GET"), kw.pop("path", "/api/transcript"), **kw)
        check(got == status, "%s: %d, not %d (%r)" % (what, got, status, body))
        check(body.strip(), "%s: a %d without a message" % (what, got))
        return body.decode()

    expect(403, "no token", token=False)
    expect(403, "a wrong token", token="0" * 32)
    expect(403, "the token cut short", token=srv.token[:-1])
    expect(403, "no token on a command", token=False, method="POST", path="/api/command",
           body='{"line": "QUIT"}')
    status, _, _ = srv.request("GET", "/api/transcript?token=" + srv.token, token=False)
    check(status == 200, "the token in the query: %d" % status)
    expect(403, "another Host (DNS rebinding)", host="attacker.example:%d" % srv.port)
    expect(403, "another port in Host", host="127.0.0.1:%d" % (srv.port + 1))
    expect(403, "no Host", host="")
    status, _, _ = srv.request("GET", "/api/transcript", host="localhost:%d" % srv.port)
    check(status == 200, "Host localhost:PORT: %d" % status)
    expect(404, "an unknown path", path="/api/nothing")
    message = expect(400, "a body that is no JSON", method="POST", path="/api/command", body="{line: PLINE")
    check("JSON" in message, "the 400 does not say the body is no JSON: %r" % message)
    expect(400, "JSON without a line", method="POST", path="/api/command", body='{"text": "PLINE"}')
    expect(400, "a line that is no text", method="POST", path="/api/command", body='{"line": 3}')
    expect(400, "two lines in one", method="POST", path="/api/command", body='{"line": "PLINE\\n0,0"}')
    check_not_on_other_addresses(srv)
    # Nothing of the refused requests reached the command line.
    check("PLINE" not in srv.transcript() and "QUIT" not in srv.transcript(),
          "a refused request ran: %r" % srv.transcript())


def check_page(srv):
    status, kind, body = srv.request("GET", "/")
    check(status == 200 and kind.startswith("text/html"), "the page: %d %s" % (status, kind))
    page = body.decode()
    for part in ("api/command", "api/drawing.svg", "api/transcript", "X-Ctrlsch-Token", "ArrowUp"):
        check(part in page, "the page has no %r" % part)


def check_drawing_and_save(srv, folder):
    check(segments(srv.svg()) == [], "a new drawing shows lines")
    before = srv.transcript()
    outputs = [srv.command(line) for line in ("PLINE", "0,0", "10,0", "")]
    for line, out in zip(("PLINE", "0,0", "10,0", ""), outputs):
        check(out.startswith(line + "\n"), "the answer to %r does not start with its echo: %r" % (line, out))
    check(outputs[-1].endswith("命令: "), "the polyline did not end at the command prompt: %r" % outputs[-1])
    check(srv.transcript() == before + "".join(outputs),
          "the transcript is not the answers in order:\n%r\n%r" % (srv.transcript(), outputs))
    check(((0.0, 0.0), (10.0, 0.0)) in segments(srv.svg()), "the SVG has no line from 0,0 to 10,0")

    saved = os.path.join(folder, "served.dxf")
    srv.command("SAVEAS")
    out = srv.command(saved)
    check(os.path.isfile(saved), "SAVEAS wrote no file: %r" % out)
    try:
        import ezdxf
    except ImportError:
        print("note: no ezdxf here; the saved drawing is not read back")
        return saved
    doc = ezdxf.readfile(saved)
    lines = []
    for e in doc.modelspace():
        if e.dxftype() == "LWPOLYLINE":
            lines.append([tuple(p[:2]) for p in e.get_points()])
    check([(0.0, 0.0), (10.0, 0.0)] in lines, "the saved drawing has no polyline 0,0 10,0: %r" % lines)
    return saved


def check_files(srv, folder, saved):
    """Downloads of the drawing as it is, the drawings offered to open, and
    OPEN of one of them; the saved file is left as it was."""
    before = open(saved, "rb").read()
    for line in ("PLINE", "0,5", "10,5", ""):
        srv.command(line)
    got = {}
    for fmt in ("dxf", "svg", "pdf"):
        status, kind, body = srv.request("GET", "/api/download/drawing." + fmt)
        check(status == 200 and body, "download %s: %d %r" % (fmt, status, body[:200]))
        got[fmt] = (kind, body)
    check(got["pdf"][0] == "application/pdf" and got["pdf"][1].startswith(b"%PDF-"), "the PDF download is no PDF")
    root = ET.fromstring(got["svg"][1])
    strokes = [el for el in root.iter() if el.tag in ("{http://www.w3.org/2000/svg}path", "{http://www.w3.org/2000/svg}line")]
    check(got["svg"][0].startswith("image/svg+xml") and len(strokes) == 2,
          "the SVG download is not the drawing with its line not yet saved: %r" % got["svg"][1][:300])
    try:
        import ezdxf
        import io
        doc = ezdxf.read(io.StringIO(got["dxf"][1].decode("utf-8")))
        kinds = sorted(e.dxftype() for e in doc.modelspace())
        check(kinds == ["LWPOLYLINE", "LWPOLYLINE"], "the downloaded DXF holds %r" % kinds)
    except ImportError:
        print("note: no ezdxf here; the downloaded DXF is not read back")
    conn_status, _, _ = srv.request("GET", "/api/download/drawing.dwg")
    check(conn_status == 404, "a download in an unknown format: %d" % conn_status)
    check(open(saved, "rb").read() == before, "a download changed the saved file")
    disposition = srv_header(srv, "/api/download/drawing.pdf", "Content-Disposition")
    check(disposition == "attachment; filename*=UTF-8''served.pdf", "the PDF is offered as %r" % disposition)

    status, _, body = srv.request("GET", "/api/files")
    listed = json.loads(body)["folders"]
    check(status == 200 and any(saved in f["files"] for f in listed),
          "the saved drawing is not offered to open: %r" % listed)
    out = srv.command("OPEN " + saved)
    check("无法打开" not in out, "OPEN of the saved drawing: %r" % out)
    shown = segments(srv.svg())
    check(((0.0, 0.0), (10.0, 0.0)) in shown and len(shown) == 1,
          "the opened drawing is not the saved one: %r" % shown)


def srv_header(srv, path, name):
    conn = http.client.HTTPConnection("127.0.0.1", srv.port, timeout=15)
    try:
        conn.request("GET", path, headers={"Host": "127.0.0.1:%d" % srv.port, "X-Ctrlsch-Token": srv.token})
        res = conn.getresponse()
        res.read()
        return res.getheader(name)
    finally:
        conn.close()


def check_pages_take_over(srv):
    """The page that claimed the session last acts; an older page's
    commands are refused until it claims again; a client that names no
    page (a script) is never refused."""
    def claim(page):
        return srv.request("POST", "/api/claim", "{}", headers={"X-Ctrlsch-Page": page})[0]

    def send(page, line):
        return srv.request("POST", "/api/command", json.dumps({"line": line}), headers={"X-Ctrlsch-Page": page})[0]

    check(claim("first1") == 200 and send("first1", "NOSUCH") == 200, "the first page cannot act")
    check(claim("second2") == 200, "a second page cannot claim the session")
    check(send("first1", "NOSUCH") == 409, "the page taken over still acts")
    check(send("second2", "NOSUCH") == 200, "the page that took over cannot act")
    check(srv.request("POST", "/api/command", json.dumps({"line": "NOSUCH"}))[0] == 200,
          "a client naming no page is refused")
    check(claim("first1") == 200 and send("first1", "NOSUCH") == 200 and send("second2", "NOSUCH") == 409,
          "taking the session back does not work")
    for bad in ("", "a b", "x" * 65, "<script>"):
        check(claim(bad) == 400, "a claim by the page %r was taken" % bad)


def check_lines_at_once(srv):
    """Lines sent at the same time run one after the other, each answered
    with its own output."""
    answers = {}

    def send(n):
        answers[n] = srv.command("NOSUCH%d" % n)

    threads = [threading.Thread(target=send, args=(n,)) for n in range(6)]
    for t in threads:
        t.start()
    for t in threads:
        t.join(20)
    check(len(answers) == 6, "not every line was answered: %r" % answers)
    for n, out in answers.items():
        check(out.startswith("NOSUCH%d\n" % n) and out.count("NOSUCH") == 2,
              "the answer to NOSUCH%d is not its own: %r" % (n, out))
    # And the drawing is still answered.
    srv.svg()


def png_pixels(data):
    """(width, height, rows of RGB bytes) of an 8-bit RGB PNG, as the toolkit
    writes them."""
    check(data[:8] == b"\x89PNG\r\n\x1a\n", "no PNG: %r" % data[:16])
    pos, idat, header = 8, b"", None
    while pos + 8 <= len(data):
        length, kind = struct.unpack(">I4s", data[pos:pos + 8])
        chunk = data[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            header = struct.unpack(">IIBBBBB", chunk)
        elif kind == b"IDAT":
            idat += chunk
        pos += 12 + length
    check(header is not None, "the PNG has no header")
    width, height, depth, colour, _, _, interlace = header
    check(depth == 8 and colour == 2 and interlace == 0, "not an 8-bit RGB PNG: %r" % (header,))
    raw = zlib.decompress(idat)
    stride = width * 3
    rows, prev, i = [], bytearray(stride), 0
    for _ in range(height):
        kind, line = raw[i], bytearray(raw[i + 1:i + 1 + stride])
        i += 1 + stride
        for x in range(stride):
            a = line[x - 3] if x >= 3 else 0
            b = prev[x]
            c = prev[x - 3] if x >= 3 else 0
            if kind == 1:
                line[x] = (line[x] + a) & 255
            elif kind == 2:
                line[x] = (line[x] + b) & 255
            elif kind == 3:
                line[x] = (line[x] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line))
        prev = line
    return width, height, rows


def dialogs(srv):
    status, kind, body = srv.request("GET", "/api/dialogs")
    check(status == 200 and kind.startswith("application/json"), "the dialogs: %d %s %r" % (status, kind, body))
    return json.loads(body)["dialogs"]


def control_rect(listing, name):
    """(left, top, width, height) of a control in an @list DIALOG answer."""
    m = re.search(r"^\s*\d+ %s \S+(?: \"[^\"]*\")? at (-?\d+),(-?\d+) size (\d+)x(\d+)" % re.escape(name), listing, re.M)
    check(m, "@list names no control %r: %r" % (name, listing))
    return tuple(int(v) for v in m.groups())


def check_dialogs(srv):
    check(dialogs(srv) == [], "a new session lists dialogs: %r" % dialogs(srv))
    srv.command("(ylthz)")
    listed = [d for d in dialogs(srv) if d["name"] == "palette"]
    check(len(listed) == 1 and listed[0]["shown"], "(ylthz) shows no palette: %r" % dialogs(srv))
    d = listed[0]
    at_list = srv.command("@list")
    check(re.search(r"^  \d+ palette .* at %d,%d size %dx%d" % (d["x"], d["y"], d["width"], d["height"]), at_list, re.M),
          "@list and /api/dialogs disagree: %r %r" % (at_list, d))

    status, kind, body = srv.request("GET", "/api/dialog/palette.png")
    check(status == 200 and kind == "image/png", "the palette's picture: %d %s" % (status, kind))
    width, height, rows = png_pixels(body)
    check((width, height) == (d["width"], d["height"]),
          "the picture is %dx%d, the dialog %dx%d" % (width, height, d["width"], d["height"]))
    # The caption bar ends where the client area starts.
    caption = bytes((0, 84, 166))
    x = width - 8

    def pixel(px, py):
        return rows[py][px * 3:px * 3 + 3]

    check(pixel(x, d["clientY"] - 1) == caption and pixel(x, d["clientY"]) != caption,
          "the client area does not start below the caption at y %d" % d["clientY"])
    check(0 < d["clientX"] < 10, "the frame is %r pixels wide" % d["clientX"])
    status, _, body = srv.request("GET", "/api/dialog/nosuch.png")
    check(status == 404 and b"nosuch" in body, "an unknown dialog's picture: %d %r" % (status, body))
    status, _, _ = srv.request("GET", "/api/dialog/palette.png", token=False)
    check(status == 403, "a dialog's picture without the token: %d" % status)

    # A pick at 0,0 is the base point; the prompt turns to the symbols.
    asked = srv.command("0,0")
    check(asked.startswith("0,0\n") and "\n" not in asked[4:], "the pick at 0,0 was not taken: %r" % asked)
    prompt = asked[4:]
    # The ladder's first cell is marked from the base point.
    cell = segments(srv.svg())
    check(cell and min(p[0] for seg in cell for p in seg) == 0.0 and max(p[1] for seg in cell for p in seg) <= 0.0,
          "no cell marked from the base point 0,0: %r" % cell)
    preview = control_rect(srv.command("@list palette"), "preview")
    # The listing gives the page the same rectangles to lay its fields over.
    listed = {(c["left"], c["top"], c["width"], c["height"]) for c in dialogs(srv)[0]["controls"]}
    check(preview in listed, "/api/dialogs has no control at the preview's place %r" % (preview,))
    # A click just inside the preview's top left corner is on its first slot.
    out = srv.command("@mouse palette 0 %d %d" % (preview[0] + 4, preview[1] + 4))
    check(out.endswith("\n" + prompt), "the click did not end at the symbol prompt again: %r" % out)
    check(segments(srv.svg()) != cell, "the click on the first slot changed nothing in the drawing: %r" % out)
    check(srv.command("").endswith("命令: "), "Enter did not end the placing")
    # Without the cell mark, what is left is the symbol, drawn from the base point.
    symbol = segments(srv.svg())
    check(symbol and min(p[0] for seg in symbol for p in seg) == 0.0,
          "the symbol chosen does not start at the base point's x 0: %r" % symbol)

    # The SVG's user units map to drawing units as it says: every point of
    # the symbol lies in its viewBox mapped so (it lies below y 0: a view
    # not turned would miss it).
    root = ET.fromstring(srv.request("GET", "/api/drawing.svg")[2])
    a, b, c, dd, e, f = (float(v) for v in root.get("data-drawing-matrix").split())
    vx, vy, vw, vh = (float(v) for v in root.get("viewBox").split())
    corners = [(a * u + c * v + e, b * u + dd * v + f) for u in (vx, vx + vw) for v in (vy, vy + vh)]
    lo = (min(p[0] for p in corners), min(p[1] for p in corners))
    hi = (max(p[0] for p in corners), max(p[1] for p in corners))
    check(max(p[1] for seg in symbol for p in seg) < 0, "the symbol does not lie below y 0: %r" % symbol)
    for px, py in (p for seg in symbol for p in seg):
        check(lo[0] <= px <= hi[0] and lo[1] <= py <= hi[1],
              "the point %r lies outside the view %r..%r" % ((px, py), lo, hi))


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def session_env(folder, installation):
    """The environment of a session with settings of its own in folder."""
    user = os.path.join(folder, "User")
    os.mkdir(user)
    settings = json.load(open(os.path.join(installation, "settings.json"), encoding="utf-8"))
    settings["VMQMain"]["VmqUse"] = user
    with open(os.path.join(folder, "settings.json"), "w", encoding="utf-8") as f:
        json.dump(settings, f)
    env = {
        "PATH": os.environ.get("PATH", "/usr/bin:/bin"),
        "HOME": folder,
        "LANG": "C.UTF-8",
        "CTRLSCH_SETTINGS": os.path.join(folder, "settings.json"),
    }
    for name in ("CTRLSCH_MODULE", "LD_LIBRARY_PATH", "ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"):
        if name in os.environ:
            env[name] = os.environ[name]
    return env


def run(program, installation):
    with tempfile.TemporaryDirectory() as folder:
        env = session_env(folder, installation)

        servers = []
        try:
            srv = Server(program, [], env)
            servers.append(srv)
            check_refusals(srv)
            check_page(srv)
            saved = check_drawing_and_save(srv, folder)
            check_lines_at_once(srv)
            check(srv.command("QUIT") == "QUIT\n", "QUIT did not end the session at once")
            check(srv.wait() == 0, "QUIT: status %s" % srv.proc.returncode)

            port = free_port()
            srv = Server(program, [saved, "--port", str(port)], env)
            servers.append(srv)
            check(srv.port == port, "asked for port %d, got %d" % (port, srv.port))
            check(((0.0, 0.0), (10.0, 0.0)) in segments(srv.svg()), "the opened drawing shows no polyline")
            check_files(srv, folder, saved)
            check_pages_take_over(srv)
            srv.proc.send_signal(signal.SIGTERM)
            check(srv.wait() == 0, "SIGTERM: status %s" % srv.proc.returncode)

            # Killed outright after a save, the server leaves the file whole.
            srv = Server(program, [saved], env)
            servers.append(srv)
            for line in ("PLINE", "0,9", "10,9", "", "SAVE"):
                srv.command(line)
            srv.proc.send_signal(signal.SIGKILL)
            srv.wait()
            kept = Server(program, [saved], env)
            servers.append(kept)
            check(len(segments(kept.svg())) >= 2, "the drawing saved before the kill does not open whole")
            kept.proc.send_signal(signal.SIGTERM)
            kept.wait()

            srv = Server(program, [], env)
            servers.append(srv)
            check_dialogs(srv)
            srv.proc.send_signal(signal.SIGTERM)
            check(srv.wait() == 0, "SIGTERM with the palette open: status %s" % srv.proc.returncode)

            for args, status in (([os.path.join(folder, "missing.dxf")], 1), (["--port", "http"], 2),
                                 (["--port", "70000"], 2), (["--bind", "0.0.0.0"], 2)):
                proc = subprocess.run([program, "serve"] + args, env=env, stdin=subprocess.DEVNULL,
                                      capture_output=True, timeout=15)
                check(proc.returncode == status and proc.stdout == b"" and proc.stderr.strip(),
                      "serve %s: status %d, stdout %r, stderr %r" % (args, proc.returncode, proc.stdout, proc.stderr))
        finally:
            for s in servers:
                s.kill()


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2

    def overdue(signum, frame):
        raise Failure("the test took longer than %d s" % OVERALL_SECONDS)

    signal.signal(signal.SIGALRM, overdue)
    signal.alarm(OVERALL_SECONDS)
    try:
        run(sys.argv[1], sys.argv[2])
    except Failure as e:
        print("FAILED:", e)
        return 1
    finally:
        signal.alarm(0)
    print("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
