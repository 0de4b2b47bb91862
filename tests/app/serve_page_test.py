#!/usr/bin/env python3
"""The page of ctrlsch serve in a headless Chromium (Selenium).

PLINE is typed at the page's command input; two left clicks in the drawing
are picked as points and a right click ends the polyline (Enter). The
page patches its picture with the polyline instead of taking it whole. The
transcript shows the points, the polyline in the drawing runs between them,
and each lies within a few pixels of where the click was, as the SVG's view
maps it. Then (ylthz): a click at the page's base point, and a click on the
palette's picture where its preview's first slot is reaches the dialog as
"@mouse palette 0 X Y" in its client coordinates. The workbench: the
toolbar's (ylthz), symbols chosen on the palette's picture (its grid read
from the picture), its wire and replace buttons, a pick on a placed symbol,
Enter with the right button and SAVE from the toolbar; ezdxf reads the
symbols and wires with their data back. With PICTURE_DIR set, the page is
saved as PICTURE_DIR/workbench.png once the symbols stand. The function
box: (gnkhz) from the toolbar, a click at the first corner, the pointer
moved to the second; the screenshot shows the rubber band's lines there and
nothing between them (saved as PICTURE_DIR/functionbox.png), a click ends
it; space with the left button pans without picking, Enter on the page ends
a second (gnkhz), and the saved frame spans the two corners.

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


def acted(browser, transcript, what, chain):
    """Performs the actions and waits for their answer: what the transcript
    gained."""
    before = transcript.text
    chain.perform()
    wait_for(what, lambda: transcript.text != before)
    settled(browser)
    return transcript.text[len(before):]


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
        # Marked before the polyline is drawn: a picture patched in place
        # keeps the mark, one taken whole again would not.
        browser.execute_script("svg.setAttribute('data-kept', '1');")
        before = transcript.text
        ActionChains(browser).move_to_element_with_offset(drawing, 0, 0).context_click().perform()
        wait_for("the end of PLINE", lambda: transcript.text != before and transcript.text.strip().endswith("命令:"))
        settled(browser)
        st.check(browser.execute_script("return svg.getAttribute('data-kept');") == "1",
                 "the page took the whole drawing again after a command")
        shown = browser.execute_script("return Array.from(svg.querySelectorAll('g.model > g'), (g) => g.id);")
        served = [g.get("id") for g in srv.svg().iter("{http://www.w3.org/2000/svg}g") if g.get("id")]
        st.check(shown == served and len(served) == 1,
                 "the page shows the groups %r, the drawing has %r" % (shown, served))
        picked = [tuple(float(v) for v in m) for m in
                  re.findall(r": @pick (-?[\d.]+),(-?[\d.]+)\n", transcript.text)]
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
    # A click beside the dialog, on the drawing under it, picks nothing.
    from selenium.webdriver.common.action_chains import ActionChains
    before = transcript.text
    drawing = browser.find_element(By.ID, "drawing")
    ActionChains(browser).move_to_element_with_offset(drawing, -drawing.size["width"] // 2 + 5,
                                                      -drawing.size["height"] // 2 + 5).click().perform()
    time.sleep(0.3)
    settled(browser)
    st.check(transcript.text == before, "a click beside the modal dialog reached the drawing: %r" % transcript.text[len(before):])
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
            return acted(browser, transcript, what, chain)

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
        # Replacing drags the symbol's preview: the view stays where it
        # is, as if the user had zoomed to it.
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
        files_from_page(browser, transcript, folder, saved)


def files_from_page(browser, transcript, folder, saved):
    """Save as under another name from the toolbar (the file name asked in
    the browser's prompt), open the saved drawing from the list the page
    offers, and the download links answer with the drawing."""
    from selenium.webdriver.common.by import By

    status = browser.find_element(By.ID, "status")
    copy = os.path.join(folder, "copy.dxf")
    before = transcript.text
    browser.find_element(By.ID, "saveas").click()
    prompt = wait_for("the file name prompt", lambda: browser.switch_to.alert)
    prompt.send_keys(copy)
    prompt.accept()
    wait_for("the answer to SAVEAS", lambda: transcript.text != before)
    settled(browser)
    st.check(os.path.isfile(copy) and "SAVEAS " + copy in transcript.text[len(before):] and not status.text,
             "save as from the toolbar: %r %r" % (transcript.text[len(before):], status.text))

    browser.find_element(By.ID, "open").click()
    entry = wait_for("the saved drawing offered", lambda: [li for li in browser.find_elements(By.CSS_SELECTOR, "#folders li")
                                                          if li.get_attribute("title") == saved])
    before = transcript.text
    entry[0].click()
    wait_for("the answer to OPEN", lambda: transcript.text != before)
    settled(browser)
    st.check("OPEN " + saved in transcript.text[len(before):] and "无法打开" not in transcript.text[len(before):]
             and not status.text, "open from the list: %r %r" % (transcript.text[len(before):], status.text))
    st.check(not browser.find_element(By.ID, "files").is_displayed(), "the list stays open after opening")

    for fmt, head in (("dxf", "0"), ("svg", "<?xml"), ("pdf", "%PDF")):
        link = browser.find_element(By.ID, "get-" + fmt)
        answer = browser.execute_async_script(
            "const done = arguments[arguments.length - 1]; fetch(arguments[0].href).then(async (r) => done([r.status,"
            " (await r.text()).slice(0, 8), r.headers.get('Content-Disposition')])).catch((e) => done([0, String(e), null]));",
            link)
        st.check(answer[0] == 200 and answer[1].lstrip().startswith(head) and answer[2].startswith("attachment"),
                 "the %s download: %r" % (fmt, answer))


def screen_point(browser, x, y):
    """Where the drawing point x,y shows in the page (CSS pixels from the
    viewport's top left), by the SVG's own view."""
    return browser.execute_script(
        "const svg = document.querySelector('#drawing svg'); const p = svg.createSVGPoint();"
        "p.x = arguments[0]; p.y = -arguments[1]; const s = p.matrixTransform(svg.getScreenCTM());"
        "return [s.x, s.y, 1 / svg.getScreenCTM().a];", x, y)


def function_box(browser, program, installation):
    """(gnkhz) from the toolbar: a click at the first corner, the pointer
    moved to the second shows the rubber band (seen in a screenshot), a
    click there draws the frame, SAVE writes it between the two corners."""
    from selenium.webdriver.common.action_chains import ActionChains
    from selenium.webdriver.common.by import By
    from selenium.webdriver.common.keys import Keys

    with opened_page(browser, program, installation) as (srv, folder, transcript, drawing):
        def act(what, chain):
            return acted(browser, transcript, what, chain)

        def offset(x, y):
            # Selenium's offsets are from the element's centre.
            sx, sy, _ = screen_point(browser, x, y)
            box = drawing.rect
            return round(sx - box["x"] - box["width"] / 2), round(sy - box["y"] - box["height"] / 2)

        # Drawing units 0..150 by 0..100 in view: rows of 15, 45 wide.
        browser.execute_script("setView([0, -100, 150, 100]);")
        out = act("(gnkhz)'s prompt", ActionChains(browser).click(
            browser.find_element(By.CSS_SELECTOR, '#tools button[data-line="(gnkhz)"]')))
        st.check("第一角点" in out, "(gnkhz) asks no first corner: %r" % out)
        out = act("the first corner's answer", ActionChains(browser).move_to_element_with_offset(drawing, *offset(20, 80)).click())
        st.check("第二角点" in out, "the first corner was not taken: %r" % out)
        m = re.search(r"@pick (-?[\d.]+),(-?[\d.]+)\n", out)
        st.check(m, "the click was no pick: %r" % out)
        a = (float(m.group(1)), float(m.group(2)))
        _, _, per_pixel = screen_point(browser, 0, 0)
        st.check(abs(a[0] - 20) <= 2 * per_pixel and abs(a[1] - 80) <= 2 * per_pixel, "picked %r for 20,80" % (a,))
        wait_for("the page to know the host tracks", lambda: browser.execute_script("return tracking;"))
        # Four rows down and a pixel and a half more; the frame ends four
        # rows down, 45 to the right.
        b = (a[0] + 45, a[1] - 60 - 1.5 * per_pixel)
        ActionChains(browser).move_to_element_with_offset(drawing, *offset(*b)).perform()
        wait_for("the rubber band", lambda: browser.execute_script(
            "return document.querySelectorAll('#overlay line').length;") == 8)
        wait_for("the moves to end", lambda: browser.execute_script("return moving === null;"))
        picture = browser.get_screenshot_as_png()
        if os.environ.get("PICTURE_DIR"):
            with open(os.path.join(os.environ["PICTURE_DIR"], "functionbox.png"), "wb") as f:
                f.write(picture)
        width, height, rows = st.png_pixels(picture)
        ratio = browser.execute_script("return window.devicePixelRatio;") or 1

        def darkest(x, y, reach=2):
            """The darkest channel maximum around drawing point x,y."""
            sx, sy, _ = screen_point(browser, x, y)
            px, py = round(sx * ratio), round(sy * ratio)
            return min(max(rows[j][i * 3:i * 3 + 3]) for j in range(py - reach, py + reach + 1)
                       for i in range(px - reach, px + reach + 1) if 0 <= i < width and 0 <= j < height)

        x0, y0 = a
        # The cross lines, the near side and the division line (the far
        # side lies under the pointer's red cross).
        on_band = [(x0 + 15, y0 - 15 * k) for k in range(5)] + [(x0 + 30, y0 - 15 * k) for k in range(5)]
        on_band += [(x0, y0 - 7.5 - 15 * k) for k in range(4)] + [(x0 + 35, y0 - 7.5 - 15 * k) for k in range(4)]
        for x, y in on_band:
            st.check(darkest(x, y) < 128, "no band at %.1f,%.1f in the screenshot" % (x, y))
        # Inside the cells and outside the frame nothing is drawn.
        off_band = [(x0 + 17.5, y0 - 7.5 - 15 * k) for k in range(4)] + [(x0 + 40, y0 - 7.5 - 15 * k) for k in range(4)]
        off_band += [(x0 - 10, y0 - 30), (x0 + 20, y0 + 10), (x0 + 20, y0 - 70)]
        for x, y in off_band:
            st.check(darkest(x, y, 1) > 200, "something dark at %.1f,%.1f in the screenshot" % (x, y))

        out = act("the second corner's answer", ActionChains(browser).click())
        st.check(out.strip().endswith("命令:"), "the second corner did not end (gnkhz): %r" % out)
        wait_for("the band to go", lambda: browser.execute_script(
            "return document.querySelectorAll('#overlay line').length;") == 0)
        # Space held, the left button drags the view and picks nothing.
        before, view = transcript.text, browser.execute_script("return view.slice();")
        ActionChains(browser).move_to_element_with_offset(drawing, 0, 0).key_down(Keys.SPACE).click_and_hold() \
            .move_by_offset(100, 0).release().key_up(Keys.SPACE).perform()
        moved = browser.execute_script("return view.slice();")
        st.check(abs(view[0] - moved[0] - 100 * per_pixel) <= 2 * per_pixel and moved[1:] == view[1:],
                 "space and the left button did not pan 100 pixels: %r to %r" % (view, moved))
        time.sleep(0.2)
        st.check(transcript.text == before, "the pan sent something: %r" % transcript.text[len(before):])
        # Enter with the keyboard on the page: (gnkhz) asked for its first
        # corner ends.
        out = act("(gnkhz)'s prompt", ActionChains(browser).click(
            browser.find_element(By.CSS_SELECTOR, '#tools button[data-line="(gnkhz)"]')))
        browser.execute_script("document.activeElement.blur();")
        out = act("Enter's answer", ActionChains(browser).send_keys(Keys.ENTER))
        st.check(out.strip().endswith("命令:"), "Enter did not end (gnkhz): %r" % out)

        saved = os.path.join(folder, "functionbox.dxf")
        act("SAVE's answer", ActionChains(browser).click(browser.find_element(By.CSS_SELECTOR, '#tools button[data-line="SAVE"]')))
        if not os.path.isfile(saved):
            act("the file name's answer", ActionChains(browser).send_keys_to_element(
                browser.find_element(By.ID, "command"), saved + Keys.ENTER))
        st.check(os.path.isfile(saved), "SAVE wrote no file: %r" % transcript.text[-400:])
        import ezdxf
        lines = [(e.dxf.start, e.dxf.end) for e in ezdxf.readfile(saved).modelspace() if e.dxftype() == "LINE"]
        st.check(len(lines) == 8, "the saved drawing holds %d lines, not the frame's 8" % len(lines))
        xs = [p[0] for line in lines for p in line]
        ys = [p[1] for line in lines for p in line]
        tolerance = 3 * per_pixel
        st.check(abs(min(xs) - a[0]) <= tolerance and abs(max(ys) - a[1]) <= tolerance
                 and abs(max(xs) - b[0]) <= tolerance and abs(min(ys) - b[1]) <= tolerance,
                 "the frame spans %r..%r, the clicks were at %r and %r"
                 % ((min(xs), min(ys)), (max(xs), max(ys)), a, b))


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
        function_box(browser, sys.argv[1], sys.argv[2])
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
