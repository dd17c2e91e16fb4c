#!/usr/bin/env python3
"""End-to-end tests: the real echometer.exe under Wine on a virtual display, used as a person uses it.

Keys and clicks are real X input (xdotool); windows, texts and exit codes are read by probe.exe, a
Windows program in the same prefix; pixels and the screen's size from the X display (Xvfb's 24 bits;
X's root coordinates are Windows' screen coordinates). Screenshots go to ARTEFACTS (start, reply,
failure).

  e2e.py EXE PROBE SUITE      SUITE: main | switch | fault | netns | dpi | plant | long

long (a 70 s period, about two minutes) is not in the default run: run it by hand as above.
"""
import os
import random
import re
import shutil
import socket
import struct
import subprocess
import sys
import tempfile
import threading
import time

TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
STAMP = r"\d\d \d\d:\d\d:\d{4}  \d\d:\d\d:\d\d"
REPLY = r"Обменн данными размером 128 байт, время ответа - \d+ мсек \(" + STAMP + r"\)"
FAIL = r"Хост не ответил вовремя - " + STAMP
START = r"Пингуем узел каждые 500 мсек \(" + STAMP + r"\)"
STOP = r'Нажата кнопка "стоп" \(' + STAMP + r"\)"
ZERO_BOX = "Ну нельзя сюда ставить менее 1 секунды. Вы что, таки хотите устроить дудос?"
ABOUT = "Программа-эхометр, которая служит для пингования \r\nзаданного ресурса в течении определённого времени. "
LIT_HOST, DARK_HOST = (255, 0, 0), (128, 0, 0)
LIT_CYCLE, DARK_CYCLE = (0, 255, 0), (0, 128, 128)
LAMP_HINTS = ("Доступность ресурса", "Статус цикловой операции")

failures = []
NEVER = "never-answers.test"  # the namespace's resolver reads a query for it and never replies


def figure(what, value):
    """A measured figure, printed and kept beside the screenshots for the test command to show."""
    line = "figure %s-bit: %s: %s" % (os.environ.get("E2E_BITS", "64"), what, value)
    print("     " + line, flush=True)
    with open(os.path.join(os.environ.get("ARTEFACTS", "."), "figures.txt"), "a") as f:
        f.write(line + "\n")


def check(ok, what):
    print(("ok   " if ok else "FAIL ") + what, flush=True)
    if not ok:
        failures.append(what)
    return ok


def wait_for(fn, timeout=10.0, step=0.1):
    end = time.time() + timeout
    while True:
        v = fn()
        if v or time.time() > end:
            return v
        time.sleep(step)


class Probe:
    """probe.exe under scripts/wine-run: its prefix and display are the tests' own."""

    def __init__(self, exe, env):
        self.p = subprocess.Popen([os.path.join(TOP, "scripts", "wine-run"), exe], stdin=subprocess.PIPE,
                                  stdout=subprocess.PIPE, text=True, encoding="utf-8", env=env)
        self.display = self.ask("env DISPLAY")

    def ask(self, line):
        self.p.stdin.write(line + "\n")
        self.p.stdin.flush()
        return self.p.stdout.readline().rstrip("\n").replace("\\r", "\r").replace("\\n", "\n")

    def tops(self, cls):
        """The visible top-level windows of that class: the desktop's children."""
        return [c for c in (Control(self, k) for k in self.ask("kids 0").split(";") if k)
                if c.cls == cls and c.style & 0x10000000]  # WS_VISIBLE

    def find(self, cls, caption):
        """A visible top-level window of that class and caption, or "0"."""
        return next((t.hwnd for t in self.tops(cls) if t.text == caption), "0")

    def rect(self, hwnd):
        """A top-level window's screen left, top, width and height."""
        c = next(Control(self, k) for k in self.ask("kids 0").split(";") if k.startswith(hwnd + " "))
        return c.left, c.top, c.width, c.height

    def screen(self):
        """The screen's width and height."""
        out = subprocess.run(["xdotool", "getdisplaygeometry"], env=dict(os.environ, DISPLAY=self.display),
                             capture_output=True, text=True, check=True).stdout
        return tuple(int(v) for v in out.split())

    def pixels(self, x, y, w=1, h=1):
        """The colours "(r, g, b)" of the screen's pixels in that area, row by row."""
        raw = subprocess.run(["import", "-display", self.display, "-window", "root", "-crop",
                              "%dx%d+%d+%d" % (w, h, x, y), "+repage", "-depth", "8", "rgb:-"],
                             capture_output=True, check=True).stdout
        return [tuple(raw[i:i + 3]) for i in range(0, len(raw), 3)]

    def close(self):
        self.p.stdin.write("quit\n")
        self.p.stdin.close()
        self.p.wait(60)

    def x(self, *args):
        subprocess.run(["xdotool", *args], env=dict(os.environ, DISPLAY=self.display), check=True)

    def shot(self, name):
        out = os.path.join(os.environ.get("ARTEFACTS", "."), name + ".png")
        subprocess.run(["import", "-display", self.display, "-window", "root", out], check=False)
        print("     screenshot " + out)


class Control:
    def __init__(self, probe, spec):
        head, self.text = spec.split("|", 1)
        h, *cls, l, t, w, hh, style = head.split(" ")
        self.cls = " ".join(cls)
        self.probe, self.hwnd, self.style = probe, h, int(style)
        self.left, self.top, self.width, self.height = int(l), int(t), int(w), int(hh)

    def click(self):
        self.probe.x("mousemove", "--sync", str(self.left + self.width // 2), str(self.top + self.height // 2),
                     "click", "1")

    def read(self):
        return self.probe.ask("text " + self.hwnd)

    def pixel(self):
        return self.probe.pixels(self.left + self.width // 2, self.top + self.height // 2)[0]


class App:
    """One run of the program; its controls found by kind and position."""

    def __init__(self, probe, exe, args=""):
        self.probe = probe
        self.pid = probe.ask('run "Z:%s" %s' % (exe.replace("/", "\\"), args))
        self.window = None

    def main_window(self, timeout=40):
        return wait_for(self.scan, timeout, 0.3)

    def scan(self):
        w = int(self.probe.find("obj_Form", "Эхометр 1.0"), 16)
        if not w:
            return False
        self.window = "%x" % w
        self.kids = kids = [Control(self.probe, k) for k in self.probe.ask("kids " + self.window).split(";") if k]
        by = lambda kind: sorted((k for k in kids if kind in k.cls.lower()), key=lambda k: (k.top, k.left))
        edits = [k for k in by("edit") if "rich" not in k.cls.lower()]
        logs, statics = by("rich"), by("static")
        lamps = [s for s in statics if s.text.startswith(LAMP_HINTS)]
        if len(edits) != 2 or len(logs) != 1 or len(lamps) != 2:
            return False
        self.buttons = {}
        for b in by("button"):
            self.buttons.setdefault(b.text, []).append(b)
        (self.host, self.period), self.log = edits, logs[0]
        self.labels = [s.text for s in statics if s.text and s not in lamps]
        self.host_lamp, self.cycle_lamp = lamps
        return True

    def button(self, text, n=0):
        return self.buttons[text][n]

    def log_lines(self):
        t = self.log.read()
        return t.split("\r\n") if t else []

    def set_text(self, edit, text):
        """Selects the whole text and types over it (or deletes it)."""
        self.edit(edit, "select", "t:" + text if text else "k:BackSpace")

    def edit(self, edit, *steps):
        """Clicks into the edit, then "select" selects all, "k:KEYS" presses keys and "t:TEXT" types."""
        edit.click()
        for step in steps:
            if step == "select":
                # Shift held down on its own: a chord can lose it on a loaded machine.
                want = "0 %d" % len(edit.read())
                wait_for(lambda: self.probe.x("key", "Home") or self.probe.x("keydown", "shift") or
                         self.probe.x("key", "End") or self.probe.x("keyup", "shift") or
                         self.probe.ask("sel " + edit.hwnd) == want, 5, 0.2)
                continue
            kind, what = step.split(":", 1)
            if kind == "k":
                self.probe.x("key", "--delay", "40", *what.split())
            else:
                self.probe.x("type", "--delay", "40", "--", what)

    def dialog(self, caption, timeout=10):
        found = wait_for(lambda: [d for d in self.probe.tops("#32770") if d.text == caption], timeout)
        return found[0].hwnd if found else None

    def box_icon(self, box):
        """"error" or "information" by the colours of the box's icon, else None."""
        for k in (Control(self.probe, k) for k in self.probe.ask("kids " + box).split(";") if k):
            if "static" in k.cls.lower() and k.style & 0xF == 3:  # SS_ICON
                seen = self.probe.pixels(k.left, k.top, k.width, k.height)
                red = sum(r > 150 and g < 100 and b < 100 for r, g, b in seen)  # clearly red, clearly blue
                blue = sum(b > 150 and r < 100 for r, g, b in seen)
                return "error" if red > 4 * blue + 20 else "information" if blue > 4 * red + 20 else None
        return None

    def box_texts(self, box):
        return [Control(self.probe, k).text for k in self.probe.ask("kids " + box).split(";") if k]

    def close_box(self, box):
        self.probe.x("key", "--window", "0", "Return")
        return wait_for(lambda: not any(d.hwnd == box for d in self.probe.tops("#32770")), 5)

    def close(self):
        self.probe.x("key", "alt+F4")

    def exit_code(self, timeout=15):
        """The process's exit code (0 included), or None while it still runs after timeout seconds."""
        end = time.time() + timeout
        while True:
            code = self.probe.ask("wait %s 100" % self.pid)
            if code != "running":
                return int(code)
            if time.time() > end:
                return None

    def wait_lines(self, n, timeout=10):
        return wait_for(lambda: len(self.log_lines()) >= n, timeout)

    def last_line_matches(self, pattern):
        lines = self.log_lines()
        return check(bool(lines) and re.fullmatch(pattern, lines[-1]) is not None,
                     "log line %r matches %s" % (lines[-1] if lines else None, pattern))


# Where the scheme puts each control (client coordinates): left, top, and the size unless it fits
# its text.
LAYOUT = [("host", 65, 15, 225, 20), ("period", 125, 45, 36, 20), ("GO", 300, 15, 60, 20), ("GO1", 230, 45, 60, 20),
          ("STOP", 300, 45, 60, 20), ("Очистить консоль!", 10, 315, 285, 20), ("О программе", 305, 315, 95, 20),
          ("log", 10, 100, 390, 205), ("host_lamp", 370, 15, 25, 25), ("cycle_lamp", 370, 45, 25, 25),
          ("Имя узла:", 10, 15, 0, 0), ("Пинговать каждые", 10, 45, 0, 0), ("секунд", 170, 45, 0, 0),
          ("Статус запроса", 10, 75, 0, 0)]


def desktop_icons(probe, title):
    """The icon sizes each X window of that title offers the desktop, smallest first."""
    env = dict(os.environ, DISPLAY=probe.display)
    found = subprocess.run(["xdotool", "search", "--name", "^%s$" % title], env=env, capture_output=True,
                           text=True).stdout.split()
    props = [subprocess.run(["xprop", "-id", w, "_NET_WM_ICON"], env=env, capture_output=True, text=True).stdout
             for w in found]
    return [sorted(re.findall(r"Icon \((\d+ x \d+)\)", p), key=lambda s: int(s.split()[0])) for p in props]


def check_layout(app, where):
    ox, oy = (int(v) for v in app.probe.ask("client " + app.window).split())
    labels = {k.text: k for k in app.kids}
    named = dict(host=app.host, period=app.period, log=app.log, host_lamp=app.host_lamp, cycle_lamp=app.cycle_lamp,
                 GO1=app.button("GO", 1))
    for name, left, top, width, height in LAYOUT:
        c = named.get(name) or labels[name]
        got = (c.left - ox, c.top - oy) + ((c.width, c.height) if width else ())
        want = (left, top) + ((width, height) if width else ())
        check(got == want, "%s: %s at %s" % (where, name, got))


def lamp_names(app, want, what):
    """The lamps' names as a screen reader reads them (want None: either state), and the lamps that
    announced a change of name since the last call."""
    got = [app.probe.ask("accname " + l.hwnd) for l in (app.host_lamp, app.cycle_lamp)]
    check(all(w is None and g.startswith(h + ": ") or g == "%s: %s" % (h, w) for g, h, w in zip(got, LAMP_HINTS, want)),
          "%s: lamps read %s" % (what, got))
    return {line.split()[0] for line in app.probe.ask("names").split(";") if line}


def close_and_end(app, what):
    app.close()
    check(app.exit_code() == 0, what + ": exit code 0")


def suite_main(probe, exe):
    app = App(probe, exe)
    if not check(app.main_window(), "main window found by its caption"):
        return
    # What the desktop shows for the title bar and the taskbar button: Wine answers no WM_GETICON sent
    # from another process, so the icons are read where the desktop reads them, on the X windows.
    icons = desktop_icons(probe, "Эхометр 1.0")
    check(icons == [["16 x 16", "32 x 32"]] * 2, "application window and main window icons %s" % icons)
    sw, sh = probe.screen()
    left, top, width, height = probe.rect(app.window)
    check((width, height) == (420, 374), "outer size %dx%d" % (width, height))
    check((left, top) == ((sw - 420) // 2, (sh - 374) // 2), "centred at %d,%d" % (left, top))
    check(app.labels == ["Имя узла:", "Пинговать каждые", "секунд", "Статус запроса"], "labels %s" % app.labels)
    check(sorted(app.buttons) == sorted(["GO", "STOP", "Очистить консоль!", "О программе"])
          and len(app.buttons["GO"]) == 2, "buttons %s" % sorted(app.buttons))
    check(app.host.read() == "localhost" and app.period.read() == "1", "edits start with localhost and 1")
    check_layout(app, "96 dpi")
    check(app.log_lines() == [], "nothing logged at start")
    check(app.host_lamp.pixel() == DARK_HOST and app.cycle_lamp.pixel() == DARK_CYCLE, "both lamps dark")
    lamp_names(app, ["нет ответа", "остановлена"], "at start")
    # The focus goes round the controls that take it, in their order of creation.
    app.host.click()
    order = []
    for _ in range(8):
        probe.x("key", "Tab")
        time.sleep(0.3)
        order.append(probe.ask("gui " + app.window).split()[0])
    names = {c.hwnd: name for name, c in [("host", app.host), ("period", app.period), ("log", app.log)] +
             [(t + str(i), b) for t, bs in app.buttons.items() for i, b in enumerate(bs)]}
    order = [names.get(h, h) for h in order]
    check(order == ["GO0", "log", "period", "GO1", "STOP0", "Очистить консоль!0", "О программе0", "host"],
          "tab order %s" % order)
    probe.shot("start")

    # Resting the pointer on a control with a hint shows the hint in a tip.
    for control, hint in [(app.host, "Домен или IP-адрес (без http!!!!!)"), (app.period, "1-999 секунд"),
                          (app.host_lamp, "Доступность ресурса"), (app.cycle_lamp, "Статус цикловой операции")]:
        probe.x("mousemove", "--sync", str(control.left + 3), str(control.top + 3))
        probe.x("mousemove", "--sync", str(control.left + control.width // 2), str(control.top + control.height // 2))
        tip = lambda: [t for t in probe.tops("tooltips_class32") if t.text == hint]
        check(wait_for(tip, 5), "tip %r shown on a hover" % hint)
    probe.x("mousemove", "--sync", "0", "0")

    app.button("GO").click()
    check(app.wait_lines(1), "one echo: a line logged")
    app.last_line_matches(REPLY)
    check(wait_for(lambda: app.host_lamp.pixel() == LIT_HOST, 3), "host lamp lit after a reply")
    check(lamp_names(app, ["есть ответ", "остановлена"], "after a reply") == {app.host_lamp.hwnd},
          "after a reply: the host lamp alone announced its new name")
    probe.shot("reply")

    app.set_text(app.host, "")
    app.button("GO").click()
    check(app.wait_lines(2), "empty host: a line logged")
    app.last_line_matches(FAIL + "2")
    check(wait_for(lambda: app.host_lamp.pixel() == DARK_HOST, 3), "host lamp dark after a failure")
    probe.shot("failure")
    app.set_text(app.host, "localhost")

    # Periods the timer cannot take are refused with the box, once; the text settles on 01. Each is
    # typed so that no shorter text on the way is refused first.
    for text, steps in [("0", ["t:0"]), ("", ["k:BackSpace"]), ("-1", ["t:1", "k:Home", "t:-"]), ("9e9", ["t:9e9"])]:
        app.edit(app.period, "select", *steps)
        box = app.dialog("Ошибка")
        if check(box is not None, "period %r refused with the error box" % text):
            check(ZERO_BOX in app.box_texts(box), "error box text")
            check(app.box_icon(box) == "error", "error box icon")
            app.close_box(box)
        check(wait_for(lambda: app.period.read() == "01", 5), "period %r: text %r after the box" % (text, app.period.read()))
        check(app.dialog("Ошибка", 1) is None, "period %r: no second box" % text)

    app.edit(app.period, "select", "t:5", "k:Home", "t:.", "k:Home", "t:0")
    check(app.period.read() == "0.5" and app.dialog("Ошибка", 1) is None, "0.5 typed and taken")
    n = len(app.log_lines())
    app.button("GO", 1).click()
    check(app.wait_lines(n + 1), "periodic start logged")
    app.last_line_matches(START)
    check(wait_for(lambda: app.cycle_lamp.pixel() == LIT_CYCLE, 3), "cycle lamp lit")
    check(app.cycle_lamp.hwnd in lamp_names(app, [None, "запущена"], "after START"),
          "after START: the cycle lamp announced its new name")
    t0 = time.time()
    time.sleep(2.6)
    ticks = len(app.log_lines()) - n - 1
    check(4 <= ticks <= 6, "ticks about every 500 ms: %d in %.1f s" % (ticks, time.time() - t0))
    # Any program on the desktop finds the hidden window that takes the echoes' results and the
    # timer's ticks: it posts made-up, stale and pointer-like numbers of both, closes and quits. The program
    # takes none of it: it goes on echoing and logging, and later closes with exit code 0.
    posted = 0
    for cls, msg in [("EchometerHome", 0x8000 + 0x4A), ("EchometerHome", 0x8000 + 0x54)]:
        for wp, lp in [(0, 0x12345678), (0x12345678, 0)] + [(i, 0) for i in range(64)] + [(0, i) for i in range(64)]:
            posted += int(probe.ask("post %s %d %d %d" % (cls, msg, wp, lp)))
        posted += int(probe.ask("post %s %d 0 0" % (cls, 0x10)))  # WM_CLOSE
        posted += int(probe.ask("post %s %d 0 0" % (cls, 0x12)))  # WM_QUIT
    check(posted == 2 * 132, "posted to the hidden window: %d messages" % posted)
    n = len(app.log_lines())
    time.sleep(2.6)
    ticks = len(app.log_lines()) - n
    check(4 <= ticks <= 6 and re.fullmatch(REPLY, app.log_lines()[-1]) is not None,
          "after the posts, still echoing every 500 ms: %d lines in 2.6 s" % ticks)
    check(app.cycle_lamp.pixel() == LIT_CYCLE, "cycle lamp still lit")
    app.button("STOP").click()
    time.sleep(0.3)
    app.last_line_matches(STOP)
    check(wait_for(lambda: app.cycle_lamp.pixel() == DARK_CYCLE, 3), "cycle lamp dark after STOP")
    lamp_names(app, [None, "остановлена"], "after STOP")
    n = len(app.log_lines())
    time.sleep(1.2)
    check(len(app.log_lines()) == n, "no ticks after STOP")
    app.button("STOP").click()
    check(app.wait_lines(n + 1), "STOP with no timer running still logs")
    app.last_line_matches(STOP)

    read_back(app)

    app.button("Очистить консоль!").click()
    check(wait_for(lambda: app.log_lines() == [], 3), "the log is emptied")
    check(probe.tops("#32770") == [], "no box came up on the way but the refusals'")
    app.button("GO").click()
    check(app.wait_lines(1) and len(app.log_lines()) == 1, "after clearing, lines start again at the top")

    app.button("О программе").click()
    box = app.dialog("")
    if check(box is not None, "about box shown"):
        texts = app.box_texts(box)
        check(any(t.endswith(ABOUT) for t in texts), "about text")
        check(app.box_icon(box) == "information", "about box icon")
        app.close_box(box)
    close_and_end(app, "main window closed")


def read_back(app):
    """Echoes every 10 ms while a reader scrolls back and selects a word: the view and the selection
    stay, every line still arrives in order; back at the end, the log follows again."""
    probe, log = app.probe, app.log
    app.edit(app.period, "select", "t:1", "k:Home", "t:.0")
    n = len(app.log_lines())
    app.button("GO", 1).click()
    app.wait_lines(n + 60, 30)
    log.click()
    for _ in range(6):
        probe.x("click", "4")  # the wheel, back towards the top
        time.sleep(0.1)
    # A double click on the first word of the view's second line selects it.
    probe.x("mousemove", "--sync", str(log.left + 25), str(log.top + log.height // 14 + 8), "click", "--repeat", "2", "1")
    time.sleep(0.5)

    def place():
        text = log.read().replace("\r\n", "\r")  # one character a line break, as the control counts
        start, end = (int(v) for v in probe.ask("sel " + log.hwnd).split())
        return probe.ask("firstline " + log.hwnd), start, end, text[start:end], text

    first, start, end, word, text = place()
    check(end > start and word.strip().isalpha(), "a word selected: %r" % word)
    probe.shot("reader")
    time.sleep(2.0)
    later = place()
    check(later[:4] == (first, start, end, word), "2 s of echoes later the same view and selection: line %s, %r"
          % (later[0], later[3]))
    lines = app.log_lines()
    grown = lines[len(text.split("\r")):]
    check(later[4].startswith(text) and len(grown) >= 20 and all(re.fullmatch(REPLY, l) for l in grown),
          "meanwhile %d lines came after every earlier one" % len(grown))
    stamps = [l[l.rindex("(") + 1:-1].split()[-1] for l in lines if re.fullmatch(REPLY, l)]
    check(stamps == sorted(stamps), "every line in order")
    probe.x("key", "ctrl+End")
    time.sleep(0.5)
    back = int(probe.ask("firstline " + log.hwnd))
    time.sleep(1.0)
    now = int(probe.ask("firstline " + log.hwnd))
    start, end = (int(v) for v in probe.ask("sel " + log.hwnd).split())
    check(now > back > int(first) and start == end, "at the end again the log follows: line %d, then %d" % (back, now))
    app.button("STOP").click()
    time.sleep(0.3)


def suite_switch(probe, exe):
    for args, box in [("/ik", True), ('"/ik"', True), ("/IK", False), ("x /ik", False)]:
        app = App(probe, exe, args)
        if box:
            d = app.dialog("Kovra Info", 20)
            if check(d is not None, "%s: the box Kovra Info" % args):
                check("Сделано в Kovra." in app.box_texts(d), "%s: its text" % args)
                check(probe.find("obj_Form", "Эхометр 1.0") == "0", "%s: no main window" % args)
                app.close_box(d)
            check(app.exit_code() == 0, "%s: exit code 0" % args)
        else:
            check(app.main_window(), "%s: starts normally" % args)
            close_and_end(app, args)


def suite_fault(probe, exe):
    """Faults where the fault build puts them, each ended with its numbered report: the box stays up until
    it is closed (shown without running the faulted thread's messages, so a fault in painting does not come
    back and end the report before it is read), the log stands still meanwhile, and the exit code is the
    error's. An exception that escapes a window handler is reported and ended as 217, like any other."""
    for where, code in [("tick", 200), ("paint", 200), ("throw", 217)]:
        own = Probe(sys.argv[2], dict(os.environ, ECHOMETER_FAULT_IN=where))
        try:
            app = App(own, exe)
            if not check(app.main_window(), "%s: main window" % where):
                continue
            app.edit(app.period, "select", "t:1", "k:Home", "t:.0")
            check(app.period.read() == ".01", "%s: period .01" % where)
            app.button("GO", 1).click()
            box = app.dialog("Error", 30)
            if check(box is not None, "%s: the Error box" % where):
                text = "".join(app.box_texts(box))
                digits = 16 if "64" in os.environ.get("E2E_BITS", "64") else 8
                check(re.search(r"Runtime error %d at \$[0-9A-F]{%d}\r\n" % (code, digits), text) is not None,
                      "%s: report %r" % (where, text[:60]))
                n = len(app.log_lines())
                time.sleep(2.0)
                boxes = [d for d in own.tops("#32770") if d.text == "Error"]
                check(len(boxes) == 1 and boxes[0].hwnd == box, "%s: the one box still up after 2 s" % where)
                check(len(app.log_lines()) == n, "%s: the log does not grow while the report is up" % where)
                app.close_box(box)
            check(app.exit_code() == code, "%s: exit code %d" % (where, code))
        finally:
            own.close()


SILENT = threading.Event()  # set: the name server answers nothing at all, as when a network's DNS is down


def resolver():
    """The namespace's name server: "no such name" at once for every query but NEVER's, which it reads
    and never answers; once SILENT is set it reads every query and answers none."""
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind(("127.0.0.1", 53))
    while True:
        q, peer = s.recvfrom(512)
        i, labels = 12, []
        while i < len(q) and q[i]:
            labels.append(q[i + 1:i + 1 + q[i]].decode("ascii", "replace"))
            i += 1 + q[i]
        if not SILENT.is_set() and ".".join(labels).lower() != NEVER:
            s.sendto(q[:2] + b"\x81\x83" + q[4:6] + b"\0" * 6 + q[12:i + 5], peer)


def fill_log(app, lines):
    """Replies from the loopback every 10 ms until the log holds that many lines, then STOP."""
    app.edit(app.period, "select", "t:1", "k:Home", "t:.0")
    app.button("GO", 1).click()
    app.wait_lines(lines, 30)
    app.button("STOP").click()


def drag_the_thumb(app, run):
    """Drags the log's scroll thumb down slowly over several periods (so a tick's echo starts during
    the drag) and lets go; the log must then let go of the mouse and stop following the pointer."""
    probe, log = app.probe, app.log
    log.click()
    probe.x("key", "ctrl+Home")
    wait_for(lambda: probe.ask("firstline " + log.hwnd) == "0", 3)
    x, y = log.left + log.width - 10, log.top + 2 + 17 + 4  # the thumb, at the top of the track
    probe.x("mousemove", "--sync", str(x), str(y), "mousedown", "1")
    for step in range(1, 16):
        probe.x("mousemove", "--sync", str(x), str(y + 3 * step))
        time.sleep(0.2)
    probe.x("mouseup", "1")
    time.sleep(0.3)
    first = int(probe.ask("firstline " + log.hwnd))
    check(first > 0, "drag %d: the log scrolled to line %d" % (run, first))
    check(probe.ask("gui " + app.window).split()[1] == "0", "drag %d: the log let go of the mouse" % run)
    # A new line scrolls the log to its end, so the capture, not the line, tells whether it follows.
    probe.x("mousemove", "--sync", str(x), str(log.top + log.height - 25))
    time.sleep(0.5)
    check(probe.ask("gui " + app.window).split()[1] == "0", "drag %d: the log does not follow the pointer with the "
          "button up" % run)


def suite_netns(probe, exe):
    threading.Thread(target=resolver, daemon=True).start()
    app = App(probe, exe)
    if not check(app.main_window(), "main window in the private namespace"):
        return
    silent = "/proc/sys/net/ipv4/icmp_echo_ignore_all"

    def set_silent(on):
        with open(silent, "w") as f:
            f.write("1\n" if on else "0\n")

    # A reply first, so that each failure has a lit lamp to put out.
    # A name right after one that did not resolve: no error left behind by the failed look-up.
    for host, code in [("127.0.0.1", 0), ("127.0.0.1", 3), ("127.0.0.1", 0), ("no-such-host.invalid", 2),
                       ("localhost", 0)]:
        set_silent(code == 3)
        app.set_text(app.host, host)
        n = len(app.log_lines())
        app.button("GO").click()
        slow = []
        end = time.time() + 0.9
        while time.time() < end:
            slow.append(float(probe.ask("alive " + app.window)))
        check(max(slow) < 500, "%s: the window answers during the echo (slowest %d ms)" % (host, max(slow)))
        check(app.wait_lines(n + 1, 15), "%s: a line logged" % host)
        app.last_line_matches(FAIL + str(code) if code else REPLY)
        lamp = DARK_HOST if code else LIT_HOST
        check(wait_for(lambda: app.host_lamp.pixel() == lamp, 3), "%s: host lamp %s" % (host, "dark" if code else "lit"))

    # Two echoes out together to a silent host (a double click on GO), by address and by name: each
    # fails about the timeout (1 s) after the clicks, the second not waiting for the first.
    set_silent(True)
    for host in ("127.0.0.1", "localhost"):
        app.set_text(app.host, host)
        n = len(app.log_lines())
        go = app.button("GO")
        probe.x("mousemove", "--sync", str(go.left + go.width // 2), str(go.top + go.height // 2))
        clicked = time.time()
        probe.x("click", "--repeat", "2", "--delay", "60", "1")
        at = []
        while len(at) < 2 and time.time() < clicked + 15:
            got = len(app.log_lines()) - n
            at += [time.time() - clicked] * (got - len(at))
        lines = app.log_lines()[n:]
        check(len(lines) == 2 and all(re.fullmatch(FAIL + "3", l) for l in lines),
              "%s, two echoes out together: two failures %s" % (host, lines))
        check(len(at) == 2 and 0.9 <= at[0] < 2.5 and at[1] - at[0] < 0.5,
              "%s, two echoes out together: failed %s s after the clicks" % (host, ["%.2f" % t for t in at]))
    set_silent(False)

    # Periodic echoes to a silent host every half second: an echo is waiting nearly all the time.
    app.set_text(app.host, "127.0.0.1")
    fill_log(app, 120)
    set_silent(True)
    app.edit(app.period, "select", "t:5", "k:Home", "t:.")
    app.button("GO", 1).click()
    time.sleep(1.5)
    slow, end = [], time.time() + 4
    while time.time() < end:
        slow.append(float(probe.ask("alive " + app.window)))
    figure("longest answer of the window while periodic echoes to a silent host run", "%.1f ms over %d messages"
           % (max(slow), len(slow)))

    for run in (1, 2, 3):
        drag_the_thumb(app, run)

    # The about box opened at any phase of the echoes: the ticks' echoes go on behind it, and Enter
    # closes it.
    for run in (1, 2, 3):
        time.sleep(random.uniform(0.2, 1.8))
        app.button("О программе").click()
        box = app.dialog("")
        if not check(box is not None, "box %d: the about box shown over periodic echoes" % run):
            continue
        n = len(app.log_lines())
        time.sleep(3.0)
        behind = [l for l in app.log_lines()[n:] if re.fullmatch(FAIL + "3", l)]
        check(len(behind) >= 2, "box %d: %d failure lines logged in the 3 s it was open" % (run, len(behind)))
        check(app.close_box(box), "box %d: Enter closed it" % run)

    # The window closed while the name server answers nothing at all (a network whose DNS is down):
    # during a look-up that never ends, and with no look-up made. The end is timed as another
    # program on the desktop sees it, waiting on the process's handle.
    app.button("STOP").click()
    SILENT.set()
    for run, look_up in enumerate([True, False]):
        if run:
            app = App(probe, exe)
            if not check(app.main_window(), "main window with the name server silent"):
                return
        if look_up:
            app.set_text(app.host, NEVER)
            app.button("GO").click()
        time.sleep(0.5)
        closed = time.time()
        app.close()
        code = app.exit_code(30)
        took = time.time() - closed
        what = "closed %s while the name server answers nothing" % ("during a look-up" if look_up else "with no look-up")
        check(code == 0 and took < 1, "%s: exit code %s after %.2f s" % (what, code, took))
        figure("from the close %s to the process's exit" % what.split(" ", 1)[1], "%.2f s" % took)


def scaled(v, dpi):
    """A 96-dpi length at dpi, rounded half away from zero as the program does."""
    return (v * dpi + 48) // 96


def check_scaled_layout(app, dpi, where):
    """Every control where the scheme puts it, scaled; labels sized to their text in the scaled font, and
    no caption wider than its control."""
    app.scan()
    ox, oy = (int(v) for v in app.probe.ask("client " + app.window).split())
    labels = {k.text: k for k in app.kids}
    named = dict(host=app.host, period=app.period, log=app.log, host_lamp=app.host_lamp, cycle_lamp=app.cycle_lamp,
                 GO1=app.button("GO", 1))
    got, want = {}, {}
    for name, left, top, width, height in LAYOUT:
        c = named.get(name) or labels[name]
        got[name] = (c.left - ox, c.top - oy) + ((c.width, c.height) if width else ())
        want[name] = tuple(scaled(v, dpi) for v in (left, top) + ((width, height) if width else ()))
    check(got == want, "%s: every control at its scaled place %s" % (where, {k: v for k, v in got.items() if v != want[k]}))
    # A label is its text's width and one pixel; a button's text keeps clear of its edges.
    height = -((8 * dpi + 36) // 72)
    cut = []
    for c in app.kids:
        if not c.text or c.text.startswith(LAMP_HINTS) or "edit" in c.cls.lower():
            continue
        text = int(app.probe.ask("extent %d %s" % (height, c.text)))
        label = "static" in c.cls.lower()
        if (text + 1 != c.width) if label else (text > c.width - scaled(6, dpi)):
            cut.append("%s %d in %d" % (c.text, text, c.width))
    check(not cut, "%s: every caption fits its control %s" % (where, cut))
    return {c.hwnd: (c.left - ox, c.top - oy, c.width, c.height) for c in app.kids}


def manifest(exe):
    """The program's embedded manifest (resource type 24, id 1), as the loader reads it from the file."""
    with open(exe, "rb") as f:
        pe = f.read()
    at = struct.unpack_from("<I", pe, 0x3C)[0] + 4  # the file header, after "PE\0\0"
    sections, optional = struct.unpack_from("<H12xH", pe, at + 2)
    at += 20
    directories = at + (96 if struct.unpack_from("<H", pe, at)[0] == 0x10B else 112)
    root = struct.unpack_from("<I", pe, directories + 2 * 8)[0]  # the resource directory's address

    def offset(rva):
        for s in range(at + optional, at + optional + 40 * sections, 40):
            size, start, _, raw = struct.unpack_from("<4I", pe, s + 8)
            if start <= rva < start + size:
                return rva - start + raw
        raise ValueError("address %x in no section" % rva)

    def entry(table, wanted):
        """The entry of that id in a resource table (the first when wanted is None): its offset from the root."""
        named, ids = struct.unpack_from("<2H", pe, offset(root) + table + 12)
        for e in range(named + ids):
            name, to = struct.unpack_from("<2I", pe, offset(root) + table + 16 + 8 * e)
            if wanted is None or name == wanted:
                return to & 0x7FFFFFFF
        raise ValueError("no resource %s" % wanted)

    data = entry(entry(entry(0, 24), 1), None)
    rva, size = struct.unpack_from("<2I", pe, offset(root) + data)
    return pe[offset(rva):offset(rva) + size].decode("utf-8")


def run_dpi(probe_exe, exe, env):
    """The program at 96, 120, 144 and 192 dpi, each a new start in one prefix (Wine reads the scale at
    start): the window and every control scaled from the 96-dpi layout, the lamps drawn at their size.
    At 96 dpi the window is also told its display changed scale, as Windows tells it when it is moved to
    another display, several times over: each lays it out anew, and back at 96 it is exactly as it was."""
    for dpi in (96, 120, 144, 192):
        wine_env = dict(env, WINEPREFIX=env["ECHOMETER_WINEPREFIX"], WINEDEBUG="-all")
        if dpi != 96:
            subprocess.run([os.path.join(TOP, "scripts", "wine"), "reg", "add", r"HKCU\Control Panel\Desktop", "/v",
                            "LogPixels", "/t", "REG_DWORD", "/d", str(dpi), "/f"], env=wine_env, check=False,
                           capture_output=True)
            subprocess.run(["wineserver", "-w"], env=wine_env, check=False)
        probe = Probe(probe_exe, env)
        try:
            if dpi == 96:
                m = manifest(exe)
                check("<dpiAware" in m and "true/pm</dpiAware>" in m and "PerMonitorV2, PerMonitor</dpiAwareness>" in m,
                      "manifest: per-monitor aware (v2, then v1, then the system's dpi)")
                check("Microsoft.Windows.Common-Controls" in m and 'version="6.0.0.0"' in m
                      and 'level="asInvoker"' in m, "manifest: common controls 6, asInvoker")
            if not check(probe.ask("dpi") == str(dpi), "the display at %d dpi" % dpi):
                return
            app = App(probe, exe)
            if not check(app.main_window(), "main window at %d dpi" % dpi):
                return
            sw, sh = probe.screen()
            left, top, width, height = probe.rect(app.window)
            size = (scaled(420, dpi), scaled(374, dpi))
            check((width, height) == size and (left, top) == ((sw - size[0]) // 2, (sh - size[1]) // 2),
                  "%d dpi: the window %dx%d at %d,%d" % (dpi, width, height, left, top))
            at_start = check_scaled_layout(app, dpi, "%d dpi" % dpi)
            icons = desktop_icons(probe, "Эхометр 1.0")
            want = ["%d x %d" % (scaled(n, dpi), scaled(n, dpi)) for n in (16, 32)]
            check(icons == [want] * 2, "%d dpi: the windows' icons %s" % (dpi, icons))
            # The lamp's colour at its centre and most of the way to its right edge.
            seen = [probe.pixels(l.left + l.width // 2 + dx, l.top + l.height // 2)[0]
                    for l in (app.host_lamp, app.cycle_lamp) for dx in (0, l.width * 3 // 10)]
            check(seen == [DARK_HOST] * 2 + [DARK_CYCLE] * 2, "%d dpi: the lamps drawn over their %d pixels"
                  % (dpi, app.host_lamp.width))
            probe.shot("dpi%d" % dpi)
            if dpi == 96:
                app.button("GO").click()
                check(app.wait_lines(1), "96 dpi: a line logged")
                # A suggested rectangle of a size a pixel off: the place is taken, the size is the layout's.
                for new in (144, 120, 192, 144, 96):
                    where = (100 + new // 4, 40)
                    answer = probe.ask("dpichanged %s %d %d %d %d %d" % (app.window, new, where[0], where[1],
                                                                       where[0] + scaled(420, new) + 1,
                                                                       where[1] + scaled(374, new) - 1))
                    r = probe.rect(app.window)
                    check(answer == "ok" and r == where + (scaled(420, new), scaled(374, new)),
                          "told %d dpi: the window %s" % (new, r))
                    layout = check_scaled_layout(app, new, "told %d dpi" % new)
                    if new == 144:
                        probe.shot("dpi96-told144")
                check(layout == at_start, "back at 96 dpi every control exactly where it started")
            close_and_end(app, "%d dpi" % dpi)
        finally:
            probe.close()


# The libraries Windows 10 keeps known (and those they import, which it maps with them: ntdll,
# kernelbase, win32u, gdi32full, ucrtbase, msvcp_win): never looked for beside a program. Wine keeps
# no such list.
WINDOWS_KNOWN = {n + ".dll" for n in (
    "advapi32 clbcatq combase comdlg32 coml2 difxapi gdi32 gdiplus imagehlp imm32 kernel32 msctf msvcrt "
    "normaliz nsi ole32 oleaut32 psapi rpcrt4 sechost setupapi shcore shell32 shlwapi user32 wldap32 "
    "ws2_32 ntdll kernelbase win32u gdi32full ucrtbase msvcp_win bcryptprimitives").split()}


# Wine resolves the delayed imports of its own libraries (one of them takes msimg32 on first drawing) without
# the search the process set; Windows resolves them with it. A marker of these names would show
# Wine's loader, not the program: Windows alone can show them.
WINE_DELAYED = {"msimg32.dll"}


def suite_plant(probe, exe):
    """A copy of the program in a folder of its own, as in a downloads folder: beside it a marker library
    under the name of every library the program and the system's libraries load that is not one of the
    system's known ones (those Windows never looks for elsewhere), and Wine told to prefer such a file,
    so that it searches as Windows does. No marker may run, and the program must still echo and log."""
    marker = os.path.join(os.path.dirname(os.path.abspath(sys.argv[2])), "e2e_marker.dll")
    folder = tempfile.mkdtemp(prefix="echometer-plant-")
    try:
        copy = os.path.join(folder, os.path.basename(exe))
        shutil.copy(exe, copy)
        # The names, from the program itself after an echo and periodic echoes.
        app = App(probe, copy)
        if not check(app.main_window(), "plant: main window of the copy"):
            return
        app.button("GO").click()
        app.wait_lines(1)
        app.button("GO", 1).click()
        app.wait_lines(3)
        loaded = {m.lower() for m in probe.ask("mods " + app.pid).split(";") if m}
        close_and_end(app, "plant: the first run")
        # What every window program loads here (the probe too) is the platform's own doing before any
        # program runs: Wine's user32 and its display driver pull in libraries Windows does not have
        # or keeps known.
        baseline = {m.lower() for m in probe.ask("mods 0").split(";") if m}
        names = sorted(m for m in loaded - WINDOWS_KNOWN - baseline - WINE_DELAYED - {os.path.basename(exe).lower()}
                       if not m.startswith(("api-ms-", "ext-ms-")))
        check(len(names) > 3, "plant: markers for %s" % names)
        for name in names:
            shutil.copy(marker, os.path.join(folder, name))
        # Wine takes its overrides from the environment its processes start with: a probe of its own.
        planted = Probe(sys.argv[2], dict(os.environ, ECHOMETER_DLLOVERRIDES=",".join(
            n[:-4] if n.endswith(".dll") else n for n in names) + "=n,b"))
        app = App(planted, copy)
        try:
            if check(app.main_window(), "plant: main window beside the markers"):
                app.button("GO").click()
                check(app.wait_lines(1), "plant: one echo: a line logged")
                app.last_line_matches(REPLY)
                app.edit(app.period, "select", "t:5", "k:Home", "t:.")
                app.button("GO", 1).click()
                check(app.wait_lines(4), "plant: periodic echoes logged")
                app.last_line_matches(REPLY)
                close_and_end(app, "plant: beside the markers")
        finally:
            planted.close()
        ran = sorted(f[:-4] for f in os.listdir(folder) if f.endswith(".ran"))
        check(ran == [], "plant: no marker ran (%s did)" % ran)
    finally:
        shutil.rmtree(folder, ignore_errors=True)


def suite_long(probe, exe):
    """A period longer than the platform's timer takes in one event (65,535 ms under Wine): the first
    tick comes that period after START, and the cycle lamp is lit meanwhile."""
    app = App(probe, exe)
    if not check(app.main_window(), "main window"):
        return
    app.set_text(app.period, "70")
    n = len(app.log_lines())
    app.button("GO", 1).click()
    started = time.time()
    check(app.wait_lines(n + 1), "periodic start logged")
    check(wait_for(lambda: app.cycle_lamp.pixel() == LIT_CYCLE, 3), "cycle lamp lit")
    check(probe.tops("#32770") == [], "no box")
    app.wait_lines(n + 2, 80)
    took = time.time() - started
    check(69.5 <= took <= 71.5 and re.fullmatch(REPLY, app.log_lines()[-1]) is not None,
          "first tick's echo logged %.1f s after START" % took)
    figure("first tick of a 70 s period after START", "%.2f s" % took)
    close_and_end(app, "main window closed")


# The suites a run can name, each with the probe of its prefix.
SUITES = {"main": suite_main, "switch": suite_switch, "fault": suite_fault, "netns": suite_netns,
          "plant": suite_plant, "long": suite_long}


def main():
    exe, probe_exe, suite = sys.argv[1:4]
    if suite not in SUITES and suite != "dpi":
        print("unknown suite %r (known: %s, dpi)" % (suite, ", ".join(SUITES)))
        return 2
    env = dict(os.environ)
    if suite in ("netns", "dpi"):
        # A prefix of its own: the namespace needs its own wineserver, the dpi its own registry.
        tmp = tempfile.mkdtemp(prefix="echometer-e2e-")
        env["ECHOMETER_WINEPREFIX"] = os.path.join(tmp, "pfx")
    if suite == "netns":
        if os.environ.get("E2E_IN_NETNS") != "1":
            if os.geteuid() != 0 or subprocess.run(["unshare", "-n", "true"]).returncode != 0:
                print("netns: needs root and unshare -n; skipped")
                return 77
            # Its own name server too: a mount namespace lays a resolver list over the system's.
            resolv = os.path.join(os.path.dirname(env["ECHOMETER_WINEPREFIX"]), "resolv.conf")
            with open(resolv, "w") as f:
                f.write("nameserver 127.0.0.1\noptions timeout:20 attempts:1\n")
            try:
                return subprocess.run(["unshare", "-n", "-m", "--", "sh", "-c",
                                       "ip link set lo up && mount --bind \"$0\" /etc/resolv.conf && exec \"$@\"",
                                       resolv, sys.executable, *sys.argv], env=dict(env, E2E_IN_NETNS="1")).returncode
            finally:
                shutil.rmtree(os.path.dirname(env["ECHOMETER_WINEPREFIX"]), ignore_errors=True)
    probe = Probe(probe_exe, env) if suite != "dpi" else None
    try:
        if probe is None:
            run_dpi(probe_exe, exe, env)
        else:
            SUITES[suite](probe, exe)
    finally:
        if probe is not None:
            probe.close()
        if "ECHOMETER_WINEPREFIX" in env and env["ECHOMETER_WINEPREFIX"] != os.environ.get("ECHOMETER_WINEPREFIX"):
            shutil.rmtree(os.path.dirname(env["ECHOMETER_WINEPREFIX"]), ignore_errors=True)
    print("%s: %d failures" % (suite, len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
