#!/usr/bin/env python3
"""The page of ctrlsch serve in a headless Chromium (Selenium).

PLINE is typed at the page's command input; two left clicks in the drawing
are picked as points and a right click ends the polyline (Enter). The
transcript shows the points, the polyline in the drawing runs between them,
and each lies within a few pixels of where the click was, as the SVG's view
maps it. Then (ylthz): a click at the page's base point, and a click on the
palette's picture where its preview's first slot is reaches the dialog as
"@mouse palette 0 X Y" in its client coordinates. The workbench: the
toolbar's (ylthz), symbols chosen on the palette's picture (its grid read
from the picture), its wire and replace buttons, a pick on a placed symbol,
Enter with the right button and SAVE from the toolbar; ezdxf reads the
symbols and wires with their data back. With PICTURE_DIR set, the page is
saved as PICTURE_DIR/workbench.png once the symbols stand.

Skipped (status 77) when Selenium, Chromium or its driver are missing or
Chromium does not start. Usage: serve_page_test.py PATH/TO/ctrlsch
INSTALLATION_DIR.
"""
import contextlib
import json
import os
import re
import signal
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import serve_test as st  # noqa: E402

SKIP = 77
OVERALL_SECONDS = 80


def start_browser():
    try:
        from selenium import webdriver
        from selenium.webdriver.chrome.service import Service
    except ImportError as e:
        return None, "no Selenium (python3-selenium): %s" % e
    binary = next((p for p in ("/usr/bin/chromium", "/usr/bin/chromium-browser") if os.path.exists(p)), None)
    driver = next((p for p in ("/usr/bin/chromedriver",) if os.path.exists(p)), None)
    if not binary or not driver:
        return None, "no Chromium or chromedriver (chromium-driver)"
    options = webdriver.ChromeOptions()
    options.binary_location = binary
    for arg in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage", "--window-size=1200,900"):
        options.add_argument(arg)
    try:
        return webdriver.Chrome(service=Service(executable_path=driver), options=options), None
    except Exception as e:  # the browser cannot start here
        return None, "Chromium does not start: %s" % str(e).splitlines()[0]


def wait_for(what, condition, seconds=20.0):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        value = condition()
        if value:
            return value
        time.sleep(0.05)
    raise st.Failure("waited %g s for %s" % (seconds, what))


@contextlib.contextmanager
def opened_page(browser, program, installation):
    """A new drawing served and its page open at the first prompt: yields
    the server, its settings folder, the transcript and the drawing."""
    from selenium.webdriver.common.by import By

    with tempfile.TemporaryDirectory() as folder:
        srv = st.Server(program, [], st.session_env(folder, installation))
        try:
            browser.get(srv.address)
            transcript = browser.find_element(By.ID, "transcript")
            wait_for("the first prompt", lambda: transcript.text.strip().endswith("命令:"))
            drawing = browser.find_element(By.ID, "drawing")
            wait_for("the drawing", lambda: browser.find_elements(By.CSS_SELECTOR, "#drawing svg"))
            yield srv, folder, transcript, drawing
        finally:
            srv.kill()


def settled(browser):
    wait_for("the page to take input", lambda: not browser.execute_script("return busy;"))


def run(browser, program, installation):
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.by import By
    from selenium.webdriver.common.keys import Keys

    with opened_page(browser, program, installation) as (srv, folder, transcript, drawing):
        command = browser.find_element(By.ID, "command")
        command.send_keys("PLINE" + Keys.ENTER)
        wait_for("PLINE's prompt", lambda: "PLINE\n" in transcript.text)
        settled(browser)
        # Points a quarter of the way in from two corners; where the
        # page should pick them, from the SVG's own view.
        size = drawing.size
        offsets = [(-size["width"] // 4, size["height"] // 4), (size["width"] // 4, -size["height"] // 4)]
        expected = []
        for dx, dy in offsets:
            svg = browser.find_element(By.CSS_SELECTOR, "#drawing svg")
            expected.append(browser.execute_script(
                "const r = arguments[0].getBoundingClientRect();"
                "const p = arguments[0].createSVGPoint(); p.x = r.left + r.width / 2 + arguments[1];"
                "p.y = r.top + r.height / 2 + arguments[2];"
                "const u = p.matrixTransform(arguments[0].getScreenCTM().inverse());"
                "const perPixel = 1 / arguments[0].getScreenCTM().a;"
                "return [u.x, -u.y, perPixel];", svg, dx, dy))
            before = transcript.text
            ActionChains(browser).move_to_element_with_offset(drawing, dx, dy).click().perform()
            wait_for("the pick's answer", lambda: transcript.text != before)
            settled(browser)
        before = transcript.text
        ActionChains(browser).move_to_element_with_offset(drawing, 0, 0).context_click().perform()
        wait_for("the end of PLINE", lambda: transcript.text != before and transcript.text.strip().endswith("命令:"))
        settled(browser)
        picked = [tuple(float(v) for v in m) for m in
                  re.findall(r": (-?[\d.]+),(-?[\d.]+)\n", transcript.text)]
        st.check(len(picked) == 2, "the transcript does not show two picked points: %r" % transcript.text)
        for (x, y), (ex, ey, per_pixel) in zip(picked, expected):
            st.check(abs(x - ex) <= 3 * per_pixel and abs(y - ey) <= 3 * per_pixel,
                     "picked %r, the pointer was at %r" % ((x, y), (ex, ey)))
        st.check(any(all(abs(a - b) < 1e-6 for a, b in zip(seg[0] + seg[1], picked[0] + picked[1]))
                     for seg in st.segments(srv.svg())),
                 "the drawing has no polyline between the picked points %r" % picked)

        # A reload shows the same session: its transcript and drawing.
        shown = transcript.text
        browser.refresh()
        transcript = browser.find_element(By.ID, "transcript")
        drawing = browser.find_element(By.ID, "drawing")
        command = browser.find_element(By.ID, "command")
        wait_for("the transcript after a reload", lambda: transcript.text == shown)
        wait_for("the drawing after a reload", lambda: browser.find_elements(By.CSS_SELECTOR, "#drawing svg"))
        settled(browser)

        # The palette beside the drawing; a click on its picture is a
        # click in its client area.
        command.send_keys("(ylthz)" + Keys.ENTER)
        wait_for("the base point prompt", lambda: "(ylthz)\n" in transcript.text)
        settled(browser)
        dialog_fields(browser, srv, transcript)
        before = transcript.text
        ActionChains(browser).move_to_element_with_offset(drawing, 0, 0).click().perform()
        wait_for("the base point's answer", lambda: transcript.text != before)
        settled(browser)
        image = wait_for("the palette's picture",
                         lambda: browser.find_elements(By.CSS_SELECTOR, '#dialogs img[alt="palette"]'))[0]
        wait_for("the picture to load", lambda: browser.execute_script("return arguments[0].complete && arguments[0].naturalWidth > 0;", image))
        listed = [d for d in st.dialogs(srv) if d["name"] == "palette"][0]
        preview = st.control_rect(srv.command("@list palette"), "preview")
        settled(browser)
        x, y = preview[0] + 4, preview[1] + 4
        before = transcript.text
        # Selenium's offsets are from the element's centre.
        ActionChains(browser).move_to_element_with_offset(
            image, listed["clientX"] + x - image.size["width"] // 2,
            listed["clientY"] + y - image.size["height"] // 2).click().perform()
        wait_for("the click's answer", lambda: transcript.text != before)
        st.check("@mouse palette 0 %d %d\n" % (x, y) in transcript.text,
                 "the click on the picture did not reach the dialog at %d,%d: %r" % (x, y, transcript.text[len(before):]))


def click_in_dialog(browser, srv, name, x, y):
    """A click on the picture of dialog name at x,y of its client area."""
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.by import By

    listed = [d for d in st.dialogs(srv) if d["name"] == name][0]
    image = wait_for("the picture of " + name,
                     lambda: browser.find_elements(By.CSS_SELECTOR, 'figure[data-dialog="%s"] img' % name))[0]
    wait_for("the picture to load", lambda: browser.execute_script("return arguments[0].complete && arguments[0].naturalWidth > 0;", image))
    ActionChains(browser).move_to_element_with_offset(
        image, listed["clientX"] + x - image.size["width"] // 2,
        listed["clientY"] + y - image.size["height"] // 2).click().perform()


def dialog_fields(browser, srv, transcript):
    """Text typed into a dialog's edit box through the field laid over it;
    a modal dialog shown over the drawing, and Esc pressed on it."""
    from selenium.webdriver.common.by import By
    from selenium.webdriver.common.keys import Keys

    count = st.control_rect(srv.command("@list palette"), "count")
    settled(browser)
    click_in_dialog(browser, srv, "palette", count[0] + count[2] // 2, count[1] + count[3] // 2)
    field = wait_for("the field over the count", lambda: browser.find_elements(By.CSS_SELECTOR, "figure .field"))[0]
    st.check(field.tag_name == "input" and field.get_attribute("value") == "6",
             "the field over the count holds %r" % field.get_attribute("value"))
    place = browser.execute_script("const f = arguments[0].getBoundingClientRect(), i = arguments[0].parentNode.querySelector('img').getBoundingClientRect();"
                                   "return [f.left - i.left, f.top - i.top];", field)
    listed = [d for d in st.dialogs(srv) if d["name"] == "palette"][0]
    st.check(abs(place[0] - (listed["clientX"] + count[0])) <= 1 and abs(place[1] - (listed["clientY"] + count[1])) <= 1,
             "the field lies at %r in the picture, the count at %r" % (place, count))
    before = transcript.text
    field.send_keys(Keys.CONTROL + "a")
    field.send_keys("3" + Keys.ENTER)
    wait_for("the typed count", lambda: transcript.text != before)
    settled(browser)
    count_id = [c["id"] for c in listed["controls"] if (c["left"], c["top"], c["width"], c["height"]) == count][0]
    st.check('@type palette %d "3"' % count_id in transcript.text[len(before):],
             "the typing did not reach the dialog: %r" % transcript.text[len(before):])
    st.check(re.search(r' count edit "3" ', srv.command("@list palette")), "the count edit does not hold 3")
    settled(browser)

    setup = st.control_rect(srv.command("@list palette"), "setup")
    settled(browser)
    click_in_dialog(browser, srv, "palette", setup[0] + setup[2] // 2, setup[1] + setup[3] // 2)
    modal = wait_for("a modal dialog over the drawing", lambda: browser.find_elements(By.CSS_SELECTOR, "#modal figure.dialog"))[0]
    inside = browser.execute_script("const m = arguments[0].getBoundingClientRect(), d = document.getElementById('drawing').getBoundingClientRect();"
                                    "return m.left >= d.left && m.right <= d.right && m.top >= d.top && m.bottom <= d.bottom;", modal)
    st.check(inside, "the modal dialog does not lie over the drawing")
    name = modal.get_attribute("data-dialog")
    st.check(any(d["name"] == name and d["modal"] for d in st.dialogs(srv)), "%r is not listed as modal" % name)
    before = transcript.text
    modal.send_keys(Keys.ESCAPE)
    wait_for("Esc on the modal dialog", lambda: "@key %s esc" % name in transcript.text[len(before):])
    settled(browser)
    st.check(not browser.find_elements(By.CSS_SELECTOR, "#modal figure.dialog") and
             not any(d["name"] == name for d in st.dialogs(srv)), "Esc left the modal dialog open")


def toolbar_button(listing, name):
    """The centre of a toolbar button of an @list DIALOG answer, in client
    coordinates: the buttons lie side by side from the bar's left."""
    m = re.search(r"^\s*\d+ \S+ \S* ?at (-?\d+),(-?\d+) size \d+x\d+ buttons=\[([^\]]*)\] button-size=(\d+)x(\d+)",
                  listing, re.M)
    st.check(m, "@list shows no toolbar: %r" % listing)
    left, top, width, height = int(m.group(1)), int(m.group(2)), int(m.group(4)), int(m.group(5))
    names = [b.split()[1] if len(b.split()) > 1 else b for b in m.group(3).split(",")]
    st.check(name in names, "the toolbar has no button %r: %r" % (name, names))
    return left + names.index(name) * width + width // 2, top + height // 2


def workbench(browser, program, installation):
    """The toolbar's (ylthz), three symbols, a wire and a replace from the
    palette's picture, Enter with the right button, SAVE from the toolbar;
    the saved drawing holds the symbols with their data."""
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.by import By
    from selenium.webdriver.common.keys import Keys

    with opened_page(browser, program, installation) as (srv, folder, transcript, drawing):
        def act(what, chain):
            before = transcript.text
            chain.perform()
            wait_for(what, lambda: transcript.text != before)
            settled(browser)
            return transcript.text[len(before):]

        def tool(line):
            button = browser.find_element(By.CSS_SELECTOR, '#tools button[data-line="%s"]' % line)
            st.check(line in button.text and re.search(r"[\u4e00-\u9fff]", button.text),
                     "the button of %r reads %r" % (line, button.text))
            return act("the answer to " + line, ActionChains(browser).click(button))

        lines = [b.get_attribute("data-line") for b in browser.find_elements(By.CSS_SELECTOR, "#tools button[data-line]")]
        st.check(lines == ["(ylthz)", "(yltbj)", "(inspmtsb 1.0)", "(gnkhz)", "(mxdlg)", "(zhkgbdlg)",
                           "(showdzjddlg)", "(esbbtj 0)", "U", "SAVE"], "the toolbar's calls: %r" % lines)
        out = tool("(ylthz)")
        st.check(out.startswith("(ylthz)\n") and "基点" in out, "(ylthz) from the toolbar: %r" % out)
        act("the base point's answer", ActionChains(browser).move_to_element_with_offset(drawing, 0, 0).click())
        image = wait_for("the palette's picture",
                         lambda: browser.find_elements(By.CSS_SELECTOR, '#dialogs img[alt="palette"]'))[0]
        wait_for("the picture to load",
                 lambda: browser.execute_script("return arguments[0].complete && arguments[0].naturalWidth > 0;", image))
        listed = [d for d in st.dialogs(srv) if d["name"] == "palette"][0]
        listing = srv.command("@list palette")
        preview = st.control_rect(listing, "preview")

        def click_palette(x, y):
            # The picture is replaced after every answer: find it anew.
            img = browser.find_element(By.CSS_SELECTOR, '#dialogs img[alt="palette"]')
            wait_for("the picture to load",
                     lambda: browser.execute_script("return arguments[0].complete && arguments[0].naturalWidth > 0;", img))
            out = act("the click's answer", ActionChains(browser).move_to_element_with_offset(
                img, listed["clientX"] + x - img.size["width"] // 2,
                listed["clientY"] + y - img.size["height"] // 2).click())
            st.check("@mouse palette 0 %d %d\n" % (x, y) in out, "the click at %d,%d: %r" % (x, y, out))
            return out

        # The preview's grid from its picture: slots are parted by grey
        # lines; a slot's click is its top left corner and a little.
        _, _, rows = st.png_pixels(srv.request("GET", "/api/dialog/palette.png")[2])
        row = rows[listed["clientY"] + preview[1] + preview[3] - 3]
        parts = sum(1 for x in range(preview[0], preview[0] + preview[2])
                    if row[(listed["clientX"] + x) * 3:(listed["clientX"] + x) * 3 + 3] == b"\x60\x60\x60")
        st.check(1 <= parts <= 10, "the preview is parted by %d lines" % parts)
        pitch = preview[2] // (parts + 1)

        def choose(slot):
            click_palette(preview[0] + slot * pitch + 4, preview[1] + 4)
            return [d for d in st.dialogs(srv) if d["name"] == "palette"][0]["caption"]

        # The second slot's symbol twice, then the first's: each click
        # places the symbol the palette then names.
        second, again, first = choose(1), choose(1), choose(0)
        st.check(second and first and second == again and first != second,
                 "the slots named %r, %r and %r" % (second, again, first))
        if os.environ.get("PICTURE_DIR"):
            browser.save_screenshot(os.path.join(os.environ["PICTURE_DIR"], "workbench.png"))
        out = click_palette(*toolbar_button(listing, "wire"))
        st.check(out.startswith("@mouse") and ":t2\n" in out, "the wire button: %r" % out)
        # Where the first symbol's blade is drawn (the first slanted
        # stroke from the left), before replacing marks anything.
        blade = min((seg for seg in st.segments(srv.svg())
                     if seg[0][0] != seg[1][0] and seg[0][1] != seg[1][1]), key=lambda seg: min(seg[0][0], seg[1][0]))
        # Replacing drags the symbol's preview, which starts away from
        # the ladder and widens the extents: the view stays where it is,
        # as if the user had zoomed to it.
        browser.execute_script("setView(extents.slice());")
        replace = st.control_rect(listing, "replace")
        out = click_palette(replace[0] + replace[2] // 2, replace[1] + replace[3] // 2)
        st.check(":e1\n" in out and "替换" in out, "the replace button asks nothing: %r" % out)
        # A pick there: the first symbol takes the palette's symbol.
        mx, my = (blade[0][0] + blade[1][0]) / 2, (blade[0][1] + blade[1][1]) / 2
        svg = browser.find_element(By.CSS_SELECTOR, "#drawing svg")
        px, py = browser.execute_script(
            "const p = arguments[0].createSVGPoint(); p.x = arguments[1]; p.y = -arguments[2];"
            "const s = p.matrixTransform(arguments[0].getScreenCTM());"
            "const r = arguments[3].getBoundingClientRect();"
            "return [s.x - r.left - r.width / 2, s.y - r.top - r.height / 2];", svg, mx, my, drawing)
        out = act("the pick's answer",
                  ActionChains(browser).move_to_element_with_offset(drawing, round(px), round(py)).click())
        st.check("没有符号" not in out and out.rstrip().endswith("<回车返回>:"), "the pick on the first symbol: %r" % out)
        # Enter ends the replacing, a second ends the placing.
        act("the end of replacing", ActionChains(browser).move_to_element_with_offset(drawing, 0, 0).context_click())
        out = act("the end of placing", ActionChains(browser).move_to_element_with_offset(drawing, 0, 0).context_click())
        st.check(out.strip().endswith("命令:"), "the placing did not end at the command prompt: %r" % out)

        saved = os.path.join(folder, "workbench.dxf")
        out = tool("SAVE")
        if not os.path.isfile(saved):
            command = browser.find_element(By.ID, "command")
            before = transcript.text
            command.send_keys(saved + Keys.ENTER)
            wait_for("the file name's answer", lambda: transcript.text != before)
            settled(browser)
        st.check(os.path.isfile(saved), "SAVE wrote no file: %r" % transcript.text[-400:])
        import ezdxf
        doc = ezdxf.readfile(saved)
        inserts = sorted((e for e in doc.modelspace() if e.dxftype() == "INSERT"), key=lambda e: e.dxf.insert.x)
        st.check(len(inserts) == 3, "the saved drawing holds %d symbols, not 3" % len(inserts))
        for e in inserts:
            st.check(e.has_xdata("YLTHZCS"), "the symbol %s has no data of its ladder" % e.dxf.name)
        names = [e.dxf.name for e in inserts]
        # The first was the second slot's symbol; replaced, it is the first's.
        st.check(names[0] == names[2] != names[1], "the symbols from the left: %r" % names)
        xs = [e.dxf.insert.x for e in inserts]
        step = xs[1] - xs[0]
        st.check(step > 0 and abs(xs[2] - xs[1] - step) < 1e-6, "the symbols are not a cell apart: %r" % xs)
        wires = [e for e in doc.modelspace() if e.dxftype() == "LWPOLYLINE"]
        st.check(wires and all(e.has_xdata("YLTHZCS") for e in wires), "the wires lack the ladder's data")
        # The wire button drew across the fourth cell, a cell past the third symbol.
        st.check(any(max(p[0] for p in e.get_points()) > xs[2] + step for e in wires),
                 "no wire across the fourth cell: %r" % [list(e.get_points()) for e in wires])


def main():
    if len(sys.argv) != 3:
        print(__doc__)
        return 2
    browser, why = start_browser()
    if browser is None:
        print("skipped:", why)
        return SKIP

    def overdue(signum, frame):
        raise st.Failure("the test took longer than %d s" % OVERALL_SECONDS)

    signal.signal(signal.SIGALRM, overdue)
    signal.alarm(OVERALL_SECONDS)
    try:
        run(browser, sys.argv[1], sys.argv[2])
        workbench(browser, sys.argv[1], sys.argv[2])
    except st.Failure as e:
        print("FAILED:", e)
        return 1
    finally:
        signal.alarm(0)
        browser.quit()
    print("passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
