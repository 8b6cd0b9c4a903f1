#!/usr/bin/env python3
"""usage: journey.py PROGRAM MAIN_FORM JOURNEY

Each journey drives the real program with real input events on its own X server, in a scratch
home, and reads the outcome where a user would see it. A failing one leaves a screenshot and the
program's output in $TAVRIN_JOURNEY_OUT."""

import contextlib
import os
import pathlib
import resource
import signal
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ET

SCREEN_W, SCREEN_H = 1280, 800
# openbox's default theme: a title bar of 20 pixels above the client, a border of one pixel.
TITLE, BORDER = 20, 1
# Rows of the Tabellen list in its window's client area, below the filter line, with DejaVu Sans at
# 96 dpi.
ROW_TOP, ROW_H = 49, 14
TABLES = ["alpha", "beta", "gamma", "delta"]


class Failure(Exception):
    """A step that did not come out as a user would expect."""


def check(condition, what):
    if not condition:
        raise Failure(what)


def controls(form):
    """The centre of every control of the main form, relative to the window's client area."""
    centres = {}

    def walk(node, dx, dy):
        for widget in node.findall("widget"):
            rect = widget.find("property[@name='geometry']/rect")
            x, y, w, h = (int(rect.find(k).text) for k in ("x", "y", "width", "height"))
            centres[widget.get("name")] = (dx + x + w // 2, dy + y + h // 2)
            walk(widget, dx + x, dy + y)

    walk(ET.parse(form).getroot().find("widget"), 0, 0)
    return centres


class Desktop:
    def __init__(self, program, form, name):
        self.program, self.name, self.controls = program, name, controls(form)
        self.work = tempfile.mkdtemp(prefix="tavrin-journey-")
        self.log = os.path.join(self.work, "journey.log")
        self.settings = os.path.join(self.work, ".config", "Brenkow", "Tavrin.conf")
        self.processes, self.app, self.file_size_limit = [], None, None
        os.makedirs(os.path.dirname(self.settings))
        os.makedirs(os.path.join(self.work, "runtime"), mode=0o700)
        self.env = {k: v for k, v in os.environ.items()
                    if not k.startswith(("QT_", "XDG_", "WAYLAND", "DISPLAY", "XAUTH", "ODBC"))}
        self.env.update(HOME=self.work, XDG_CONFIG_HOME=os.path.join(self.work, ".config"),
                        XDG_RUNTIME_DIR=os.path.join(self.work, "runtime"), ODBCSYSINI=self.work,
                        ODBCINI=os.path.join(self.work, "odbc.ini"), QT_QPA_PLATFORM="xcb")
        self.write("odbcinst.ini", "[SQLite3]\nDriver=libsqlite3odbc.so\n")
        self.write("odbc.ini", "".join(f"[{name}]\nDriver=SQLite3\nDatabase={self.work}/journey.db\n"
                                       for name in ("Journey", "ZweiteQuelle")))
        with sqlite3.connect(os.path.join(self.work, "journey.db")) as db:
            db.executescript("""
                CREATE TABLE alpha (id INTEGER, name VARCHAR(20));
                INSERT INTO alpha VALUES (1, 'eins'), (2, 'Köln');
                CREATE TABLE beta (x VARCHAR(10)); INSERT INTO beta VALUES ('it''s');
                CREATE TABLE gamma (g INTEGER, h DOUBLE); INSERT INTO gamma VALUES (7, 2.5);
                CREATE TABLE delta (d INTEGER); CREATE VIEW all_tables AS SELECT 'main' AS owner;
                CREATE TABLE zeta (n INTEGER, doppelt INTEGER GENERATED ALWAYS AS (n * 2), t);
                INSERT INTO zeta (n, t) VALUES (1, '007'), (2, X'00FF');""")
        self.start_x()

    def write(self, name, text):
        pathlib.Path(self.work, name).write_text(text, encoding="utf-8")

    def spawn(self, command, output, file_size_limit=None):
        def limit():
            # A disk that is full for every file larger than the limit: a write beyond it fails
            # with EFBIG instead of ending the program.
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (file_size_limit, file_size_limit))

        process = subprocess.Popen(command, env=self.env, cwd=self.work, stdin=subprocess.DEVNULL,
                                   stdout=open(os.path.join(self.work, output), "wb"),
                                   stderr=subprocess.STDOUT, pass_fds=(),
                                   preexec_fn=limit if file_size_limit else None)
        self.processes.append(process)
        return process

    def start_x(self):
        read, write = os.pipe()
        xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write), "-screen", "0",
                                 f"{SCREEN_W}x{SCREEN_H}x24", "-dpi", "96", "-nolisten", "tcp",
                                 "-noreset"], pass_fds=(write,), stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        self.processes.append(xvfb)
        os.close(write)
        with os.fdopen(read) as f:
            display = f.readline().strip()
        check(display, "Xvfb did not start")
        self.env["DISPLAY"] = ":" + display
        self.spawn(["openbox", "--sm-disable"], "openbox.out")
        # A window mapped while openbox is still starting stays invisible.
        self.wait("openbox", lambda: self.run("xdotool", "get_num_desktops", check=False))

    def run(self, *command, check=True, timeout=30):
        try:
            result = subprocess.run(command, env=self.env, capture_output=True, text=True,
                                    timeout=timeout)
        except subprocess.TimeoutExpired:
            raise Failure(f"{' '.join(command)} did not end within {timeout} s")
        if check and result.returncode != 0:
            raise Failure(f"{' '.join(command)}: {result.stderr.strip()}")
        return result.stdout if result.returncode == 0 else ""

    def wait(self, what, test, limit=30):
        end = time.monotonic() + limit
        while not (value := test()):
            if self.app and self.app.poll() is not None and what != "the program's end":
                raise Failure(f"the program ended while waiting for {what}")
            check(time.monotonic() < end, f"no {what} after {limit} s")
            time.sleep(0.1)
        return value

    def store(self, **values):
        pathlib.Path(self.settings).write_text(
            "[General]\n" + "".join(f"{k}={v}\n" for k, v in values.items()), encoding="utf-8")

    def stored(self):
        lines = pathlib.Path(self.settings).read_text(encoding="utf-8").splitlines()
        return dict(line.strip().split("=", 1) for line in lines if "=" in line)

    def start(self):
        self.app = self.spawn([self.program], "tavrin.out", self.file_size_limit)
        return self.window("Tablinse")

    def windows(self, title):
        """The visible windows with exactly this title (xdotool ignores case)."""
        found = self.run("xdotool", "search", "--onlyvisible", "--name", f"^{title}$",
                         check=False).split()
        # A window may be gone by the time its name is asked for: it then has none.
        return [w for w in found
                if self.run("xdotool", "getwindowname", w, check=False).strip() == title]

    def window(self, title):
        return self.wait(f"window {title}", lambda: self.windows(title))[0]

    def gone(self, title):
        self.wait(f"{title} hidden", lambda: not self.windows(title))

    def geometry(self, window):
        """The client area on the screen as x, y, width, height."""
        info = dict(line.strip().split(":", 1) for line in self.run("xwininfo", "-id", window)
                    .splitlines() if ":" in line)
        return tuple(int(info[k]) for k in ("Absolute upper-left X", "Absolute upper-left Y",
                                            "Width", "Height"))

    def frame(self, window):
        x, y, w, h = self.geometry(window)
        return (x - BORDER, y - TITLE - BORDER, w + 2 * BORDER, h + TITLE + 2 * BORDER)

    def on_screen(self, window):
        x, y, w, h = self.frame(window)
        return x >= 0 and y >= 0 and x + w <= SCREEN_W and y + h <= SCREEN_H

    def activate(self, window):
        # A window blocked by a modal dialog never becomes active; the next step then fails.
        with contextlib.suppress(Failure):
            self.run("xdotool", "windowactivate", "--sync", window, check=False, timeout=5)

    def click(self, window, x, y, modifier=None, activate=True, button=1):
        if activate:
            self.activate(window)
        down, up = (["keydown", modifier], ["keyup", modifier]) if modifier else ([], [])
        # No --sync: xdotool would wait in vain when the pointer is there already. The server
        # takes the move before the click all the same.
        self.run("xdotool", *down, "mousemove", "--window", window, str(x), str(y), "click",
                 str(button), *up)

    def press(self, main, control):
        self.click(main, *self.controls[control])

    def click_row(self, tables, row, modifier=None):
        self.click(tables, 40, ROW_TOP + ROW_H * row, modifier)

    def keys(self, window, *keys):
        self.activate(window)
        self.run("xdotool", "key", "--delay", "50", *keys)

    def close_box(self, window):
        x, y, w, _ = self.geometry(window)
        self.run("xdotool", "mousemove", str(x + w - 10), str(y - TITLE // 2), "click", "1")

    def log_lines(self):
        with open(self.log if os.path.exists(self.log) else os.devnull, encoding="utf-8",
                  errors="replace", newline="") as f:
            return [line[26:].rstrip("\r") for line in f.read().split("\n")
                    if line.startswith("<") and line[24:26] == ": "]

    def logged(self, text):
        return self.wait(f'"{text}" in the log', lambda: text in self.log_lines())

    def button_text(self, main, control):
        x, y, _, _ = self.geometry(main)
        cx, cy = self.controls[control]
        shot = os.path.join(self.work, "button.png")
        self.run("import", "-window", "root", "-crop", f"100x24+{x + cx - 50}+{y + cy - 12}",
                 "+repage", "-resize", "400%", shot)
        return self.run("tesseract", shot, "-", "--psm", "7", check=False).strip()

    def connect_and_select(self, main):
        self.click(main, *self.controls["IDC_PASSWORD"])
        self.keys(main, "x", "Return")
        self.logged("Connect ok.")
        self.press(main, "IDC_SELECT")
        self.wait("the table list", lambda: any(line.endswith(" Usertables #")
                                                for line in self.log_lines()))

    def keep_evidence(self):
        out = os.environ.get("TAVRIN_JOURNEY_OUT", self.work)
        os.makedirs(out, exist_ok=True)
        self.run("import", "-window", "root", os.path.join(out, f"{self.name}.png"), check=False)
        for name in ("tavrin.out", "journey.log"):
            if os.path.exists(os.path.join(self.work, name)):
                shutil.copy(os.path.join(self.work, name), os.path.join(out, f"{self.name}.{name}"))
        print(f"screenshot and program output: {out}/{self.name}.*")
        print(pathlib.Path(self.work, "tavrin.out").read_text(errors="replace"))

    def close(self):
        for process in reversed(self.processes):
            process.kill()
            process.wait()
        shutil.rmtree(self.work, ignore_errors=True)


def logged_on(d, **more):
    d.store(Logging=d.log, Logset=1, Info=1, Tabs=1, ODBC="Journey",
            MainWP='"0,1,-1,-1,-1,-1,20,50,560,236,"', InfoWP='"0,1,-1,-1,-1,-1,600,50,1200,500,"',
            TabsWP='"0,1,-1,-1,-1,-1,20,300,560,600,"', **more)
    main = d.start()
    d.connect_and_select(main)
    return main, d.window("Tabellen")


def export(d):
    """Enter in PWD logs on; a click and Ctrl+clicks in Tabellen choose three tables to export.
    A generated column is left out, a value keeps its own type whatever its column says."""
    main, tables = logged_on(d)
    d.click_row(tables, 0)
    d.click_row(tables, 2, "ctrl")
    d.click_row(tables, 4, "ctrl")
    d.press(main, "IDC_EXPORT")
    d.logged("Insert Into zeta (n, t) Values (2,X'00FF')")
    lines = d.log_lines()
    check(lines[lines.index("# (5) Usertables #") + 1:] == [
        "", "Tabellen-Export von (alpha)", "Insert Into alpha Values (1,'eins')",
        "Insert Into alpha Values (2,'Köln')", "Tabellen-Export von (gamma)",
        "Insert Into gamma Values (7,2.5)", "Tabellen-Export von (zeta)",
        "Insert Into zeta (n, t) Values (1,'007')", "Insert Into zeta (n, t) Values (2,X'00FF')"],
        f"export lines: {lines}")


def struktur(d):
    """A Shift+click range gives one Struktur-Info window per table, counted on the Clients
    button; the close box of one lowers the count."""
    main, tables = logged_on(d)
    d.click_row(tables, 1)
    d.click_row(tables, 3, "shift")
    d.press(main, "IDC_STRUCT")
    windows = [d.window(name) for name in TABLES[1:]]
    corners = {d.geometry(w)[:2] for w in windows}
    check(len(corners) == 3, f"Struktur-Info windows on top of each other: {corners}")
    check(all(d.on_screen(w) for w in windows), "a Struktur-Info window leaves the screen")
    check(d.wait("<3> Clients", lambda: d.button_text(main, "IDC_CLIENTS") == "<3> Clients"), "")
    d.close_box(windows[1])
    d.gone("gamma")
    check(d.windows("beta") and d.windows("delta"), "the wrong window closed")
    d.wait("<2> Clients", lambda: d.button_text(main, "IDC_CLIENTS") == "<2> Clients")


def toolwindows(d):
    """The close box of Information and Escape in Tabellen untick their switches; the file
    dialog speaks German."""
    d.store(Logging=d.log, Logset=1, Info=1, Tabs=1, MainWP='"0,1,-1,-1,-1,-1,20,50,560,236,"')
    main = d.start()
    d.close_box(d.window("Information"))
    d.gone("Information")
    d.keys(d.window("Tabellen"), "Escape")
    d.gone("Tabellen")
    d.press(main, "IDC_INFO")
    d.window("Information")
    d.press(main, "IDC_LOGFILE")
    d.keys(d.window("Speichern unter"), "Escape")
    d.gone("Speichern unter")
    d.press(main, "IDC_QUIT")
    d.wait("the program's end", lambda: d.app.poll() is not None)
    stored = d.stored()
    check((stored["Info"], stored["Tabs"]) == ("1", "0"), f"stored switches: {stored}")


def copy(d):
    """Ctrl+A and Ctrl+C in Information put the whole transcript on the clipboard. The SQL
    dialog blocks the main window only."""
    main, tables = logged_on(d)
    info = d.window("Information")
    d.click(info, 100, 100)
    d.keys(info, "ctrl+a", "ctrl+c")
    transcript = d.log_lines()
    clipboard = lambda: d.run("xclip", "-o", "-selection", "clipboard", check=False)
    d.wait("the transcript on the clipboard", lambda: clipboard().splitlines() == transcript)
    d.keys(main, "alt+q")
    sql = d.window("SQL-Abfrage")
    d.click(main, *d.controls["IDC_QUIT"], activate=False)
    d.keys(tables, "Escape")
    d.gone("Tabellen")
    check(d.app.poll() is None and d.windows("SQL-Abfrage"), "Beenden reached behind the dialog")
    d.keys(sql, "Escape")
    d.gone("SQL-Abfrage")


def firststart(d):
    """Without settings, the tool windows switched on open beside the main window."""
    main = d.start()
    # A window that shows takes the focus: each switch is pressed in the main window.
    d.keys(main, "alt+i")
    d.window("Information")
    d.keys(main, "alt+t")
    rects = {t: d.frame(d.window(t)) for t in ("Tablinse", "Information", "Tabellen")}
    m, i, t = rects["Tablinse"], rects["Information"], rects["Tabellen"]
    check(t[1] >= m[1] + m[3] and i[0] >= m[0] + m[2], f"not beside the main window: {rects}")
    check(t[0] + t[2] <= i[0] or t[1] + t[3] <= i[1], f"Tabellen under Information: {rects}")
    check(all(d.on_screen(d.window(title)) for title in rects), f"off the screen: {rects}")


def absurd(d):
    """Absurd stored placements: every window fits the screen, title bar in reach."""
    d.store(Info=1, Tabs=1, MainWP='"0,1,-1,-1,-1,-1,0,0,99999,99999,"',
            InfoWP='"0,1,-1,-1,-1,-1,-5000,-4000,-4500,-3800,"',
            TabsWP='"0,1,-1,-1,-1,-1,70000,90000,2147483647,2147483647,"')
    d.start()
    for title in ("Tablinse", "Information", "Tabellen"):
        d.wait(f"{title} on the screen", lambda: d.on_screen(d.window(title)))


def cancel(d):
    """A file export of 2,000,000 rows, chosen from the Tabellen window's context menu over an
    existing file, stopped with Escape in its progress window: the file stays as it was."""
    with sqlite3.connect(os.path.join(d.work, "journey.db")) as db:
        db.execute("CREATE TABLE gross AS WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL "
                   "SELECT i + 1 FROM s WHERE i < 2000000) SELECT i, 'Zeile ' || i AS t FROM s")
    target = os.path.join(d.work, "alt.sql")
    d.write("alt.sql", "alt\n")
    main, tables = logged_on(d)
    d.click_row(tables, 5)
    d.click(tables, 40, ROW_TOP + ROW_H * 5, activate=False, button=3)
    # "&Daten anzeigen" comes first on the same letter.
    d.run("xdotool", "sleep", "0.3", "key", "--delay", "100", "d", "d", "Return")
    d.keys(d.window("Speichern unter"), "ctrl+a")
    d.run("xdotool", "type", "--delay", "20", target)
    d.run("xdotool", "key", "Return")
    d.wait("the question to replace", lambda: len(d.windows("Speichern unter")) == 2)
    d.run("xdotool", "key", "alt+j")
    d.keys(d.window("Tavrin"), "Escape")
    d.logged("Abbruch durch Benutzer.")
    # The line comes before the file is given up: look once the command has ended.
    d.gone("Tavrin")
    with open(target) as f:
        check(f.read() == "alt\n", "the existing file changed")
    check(sorted(os.listdir(d.work)).count("alt.sql") == 1 and
          not [n for n in os.listdir(d.work) if n.startswith("alt.sql.")], "a temporary file stayed")
    check(not any("Zeilen nach" in line for line in d.log_lines()), "rows told as written")


def sqlcancel(d):
    """A statement that keeps SQLite busy for minutes: the progress window comes within two
    seconds, Escape stops it within two more, and the program goes on working."""
    main, tables = logged_on(d)
    d.keys(main, "alt+q")
    sql = d.window("SQL-Abfrage")
    d.run("xdotool", "type", "--delay", "10", "WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT "
          "i + 1 FROM s WHERE i < 4000000000) SELECT count(*) FROM s")
    d.keys(sql, "alt+e")
    started = time.monotonic()
    progress = d.window("Tavrin")
    shown = time.monotonic() - started
    check(shown < 2, f"the progress window came after {shown:.1f} s")
    d.keys(progress, "Escape")
    stopped = time.monotonic()
    d.logged("Abbruch durch Benutzer.")
    d.gone("Tavrin")
    took = time.monotonic() - stopped
    check(took < 2, f"Escape took {took:.1f} s to stop the statement")
    d.click_row(tables, 0)
    d.press(main, "IDC_EXPORT")
    d.logged("Insert Into alpha Values (2,'Köln')")


def skript(d):
    """The SQL dialog loads a script of 100 KiB and saves it over an existing file on a disk that
    takes 64 KiB a file: a message says so, and the old file stays. A short script is saved."""
    big = "".join(f"SELECT {i};\n" for i in range(9000))
    d.write("gross.sql", big)
    d.write("alt.sql", "alt\n")
    d.file_size_limit = 64 * 1024
    main, _ = logged_on(d)
    d.keys(main, "alt+q")
    sql = d.window("SQL-Abfrage")

    def choose(path, title):
        d.keys(d.window(title), "ctrl+a")
        d.run("xdotool", "type", "--delay", "20", os.path.join(d.work, path))
        d.run("xdotool", "key", "Return")

    d.keys(sql, "alt+l")
    choose("gross.sql", "Öffnen")
    d.gone("Öffnen")
    d.keys(sql, "alt+s")
    choose("alt.sql", "Speichern unter")
    d.wait("the question to replace", lambda: len(d.windows("Speichern unter")) == 2)
    d.run("xdotool", "key", "alt+j")
    d.wait("the message that the script was not saved",
           lambda: len(d.windows("SQL-Abfrage")) == 2)
    with open(os.path.join(d.work, "alt.sql")) as f:
        check(f.read() == "alt\n", "the existing file changed")
    check(not [n for n in os.listdir(d.work) if n.startswith("alt.sql.")], "a temporary file stayed")
    d.run("xdotool", "key", "Return")
    d.wait("the message closed", lambda: len(d.windows("SQL-Abfrage")) == 1)
    d.click(sql, 200, 60)
    d.keys(sql, "ctrl+a")
    d.run("xdotool", "type", "--delay", "20", "SELECT 2")
    d.keys(sql, "alt+s")
    choose("neu.sql", "Speichern unter")
    d.gone("Speichern unter")
    d.wait("the saved script", lambda: os.path.exists(os.path.join(d.work, "neu.sql")))
    with open(os.path.join(d.work, "neu.sql"), "rb") as f:
        check(f.read() == b"SELECT 2", "the short script was not saved as typed")


def data(d):
    """Ctrl+F and a part of the name leave one table in Tabellen; a double-click on it opens its
    rows in a grid, and Ctrl+A, Ctrl+C put them on the clipboard exactly. Escape closes it."""
    with sqlite3.connect(os.path.join(d.work, "journey.db")) as db:
        db.executescript("""CREATE TABLE omega (id BIGINT, name VARCHAR(20), ort VARCHAR(20));
            INSERT INTO omega VALUES (9007199254740993, 'Müller  ', NULL), (2, 'Äpfel', 'Köln');""")
    main, tables = logged_on(d)
    d.keys(tables, "ctrl+f", "o", "m")
    d.activate(tables)
    d.run("xdotool", "mousemove", "--window", tables, "40", str(ROW_TOP), "click", "--repeat",
          "2", "--delay", "80", "1")
    grid = d.window("Daten: omega")
    d.wait("the rows", lambda: "Daten: omega" in d.run("xdotool", "getactivewindow",
                                                       "getwindowname", check=False))
    d.keys(grid, "ctrl+a", "ctrl+c")
    clipboard = lambda: d.run("xclip", "-o", "-selection", "clipboard", check=False)
    expected = "id\tname\tort\n9007199254740993\tMüller  \t\n2\tÄpfel\tKöln\n"
    d.wait("the table on the clipboard", lambda: clipboard() == expected)
    d.keys(grid, "Escape")
    d.gone("Daten: omega")


def quelle(d):
    """Quelle offers the data sources: "Zw", Down, Enter chooses ZweiteQuelle, Enter logs on. A
    connection string opens the SQLite file without a data source."""
    d.store(Logging=d.log, Logset=1, MainWP='"0,1,-1,-1,-1,-1,20,50,560,236,"')
    main = d.start()
    d.click(main, *d.controls["IDC_SOURCE"])
    d.run("xdotool", "type", "--delay", "50", "Zw")
    d.run("xdotool", "sleep", "0.5", "key", "--delay", "300", "Down", "Return", "Return")
    d.logged("Connect ok.")
    d.keys(main, "alt+s")
    d.logged("# (5) Usertables #")
    d.keys(main, "alt+d")
    d.click(main, *d.controls["IDC_SOURCE"])
    d.keys(main, "ctrl+a")
    d.run("xdotool", "type", "--delay", "20", f"Driver=SQLite3;Database={d.work}/journey.db")
    d.keys(main, "Return", "alt+s")
    d.wait("the tables through the connection string",
           lambda: d.log_lines().count("# (5) Usertables #") == 2)


JOURNEYS = {f.__name__: f for f in (export, struktur, toolwindows, copy, firststart, absurd,
                                    cancel, sqlcancel, skript, data, quelle)}


def main():
    desktop, name = Desktop(*sys.argv[1:4]), sys.argv[3]
    try:
        JOURNEYS[name](desktop)
        print(f"journey {name}: passed")
        if os.environ.get("TAVRIN_JOURNEY_KEEP"):
            desktop.keep_evidence()
        return 0
    except Failure as failure:
        print(f"journey {name}: {failure}")
        desktop.keep_evidence()
        return 1
    finally:
        desktop.close()


if __name__ == "__main__":
    sys.exit(main())
