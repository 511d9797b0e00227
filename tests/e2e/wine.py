"""A Wine desktop for the tests (Xvfb, a throwaway prefix, one persistent
wineserver), the probe's key watcher, explicit waits, and which build the Wine
runs drive. Run as a script, it prints that build's folder, or with --say a line
that names it."""

import contextlib
import os
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
from types import SimpleNamespace

# Starts 64-bit and 32-bit executables alike (the latter through the 32-bit
# loader); the wrapper scripts (wine, wineboot) would start the 32-bit loader
# even where it cannot run.
WINE64 = "/usr/lib/wine/wine64"
WINE32 = "/usr/lib/wine/wine"
BUILD = os.path.abspath(os.path.join(os.path.dirname(__file__), "..", "..", "build"))
TREE_VARIABLE = "PELLUMIN_WINE_TREE"  # i686 or x86_64: decides instead of the machine
# The 64-bit probe sees 32-bit programs whole: it lays out what it hands them as they do.
PROBE = os.path.join(BUILD, "x86_64", "np_probe.exe")
RUN_KEY = r"HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Run"
# By path: a bare "reg" is found by start.exe through ShellExecuteEx, which now
# and then fails under load ("ShellExecuteEx failed: Internal error").
REG = r"C:\windows\system32\reg.exe"
FLAG_UP, FLAG_INJECTED = 0x80, 0x10
ABOUT, SETTINGS, EXIT = 1, 2, 3  # Down presses in pellumin's tray menu: the separator is skipped


# pellumin's thread sleeps through a flash, up to a second; under Wine a busy
# moment of the host can add a few more. Anything waiting on pellumin allows for it.
HOLD_S = 10


def write_bursts(path, bursts=5, stop=None):
    """Small writes that reach the host's disk: direct I/O, synced."""
    for _ in range(bursts):
        if stop is not None and stop.is_set():
            return
        subprocess.run(["dd", "if=/dev/zero", f"of={path}", "bs=4k", "count=8", "oflag=direct", "conv=fsync"],
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, check=True, timeout=30)


@contextlib.contextmanager
def writing(path, bursts):
    """write_bursts in a thread of its own while the block runs."""
    stop = threading.Event()
    writer = threading.Thread(target=write_bursts, args=(path, bursts, stop))
    writer.start()
    try:
        yield
    finally:
        stop.set()
        writer.join(timeout=60)


def runs_32bit_code():
    """Whether this machine runs 32-bit programs: the 32-bit Wine loader answers.
    Some kernels here run no i386 code at all ("Exec format error")."""
    try:
        return subprocess.run([WINE32, "--version"], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              timeout=60).returncode == 0
    except OSError:
        return False


def wine_tree():
    """The Windows build the Wine runs drive, and why: build/i686, the product,
    wherever this machine runs 32-bit code; else build/x86_64, the same sources
    for x86_64."""
    forced = os.environ.get(TREE_VARIABLE)
    if forced not in (None, "", "i686", "x86_64"):
        raise ValueError(f"{TREE_VARIABLE} is i686 or x86_64, not {forced!r}")
    if forced:
        arch, why = forced, f"as {TREE_VARIABLE} says"
    elif runs_32bit_code():
        arch, why = "i686", "this machine runs 32-bit code"
    else:
        arch, why = "x86_64", "this machine runs no 32-bit code"
    return os.path.join(BUILD, arch), why


def is_32bit(exe):
    """Whether a PE file is for i386 (machine 0x14C)."""
    with open(exe, "rb") as f:
        head = f.read(4096)
    pe = int.from_bytes(head[0x3C:0x40], "little")
    return int.from_bytes(head[pe + 4:pe + 6], "little") == 0x14C


def describe(bin_dir, why):
    if is_32bit(os.path.join(bin_dir, "pellumin.exe")):
        what = "the i686 product, a 32-bit Wine process"
    else:
        what = "the x86_64 build of the same sources, under wine64"
    return f"Wine runs {os.path.join(bin_dir, 'pellumin.exe')}: {what} ({why})"


class WaitTimeout(AssertionError):
    pass


def wait_until(predicate, timeout, what, interval=0.02):
    deadline = time.monotonic() + timeout
    while not (value := predicate()):
        if time.monotonic() > deadline:
            raise WaitTimeout(f"timed out after {timeout} s waiting for {what}")
        time.sleep(interval)
    return value


def centred(shown):
    """Whether a window the probe or the host described stands in the middle of the screen."""
    width, height = (int(v) for v in shown["screen"].split(","))
    left, top, w, h = (int(v) for v in shown["window"].split(","))
    return abs(left - (width - w) / 2) <= 1 and abs(top - (height - h) / 2) <= 1


def win_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def fields(text):
    """key=value lines as a dict."""
    return dict(line.split("=", 1) for line in text.splitlines() if "=" in line)


def scroll_pulses_whole(keys):
    """Whether every Scroll Lock pulse arrived whole (release, press, release).
    Measured here: while a menu or box opens or closes, Wine now and then drops
    injected key events before any hook sees them; then no toggle count can be judged."""
    s = "".join("U" if k.up else "D" for k in keys if k.vk == 145)
    return s == "UDU" * (len(s) // 3)


def locks_agree(w, keys, want):
    """Num and Caps Lock always; Scroll Lock too when Wine delivered all its pulses."""
    got = w.state().locks
    return got[:2] == want[:2] and (got[2] == want[2] or not scroll_pulses_whole(keys))


class Desktop:
    def __init__(self, bin_dir, artifacts, root=None):
        """`root`: where the prefix goes (by default the system's temporary folder)."""
        self.bin_dir, self.artifacts = bin_dir, artifacts
        # A 32-bit program on a 64-bit system has a registry view of its own
        # under HKLM\SOFTWARE (WOW6432Node): the tests use the program's.
        self.view = ["/reg:32"] if is_32bit(os.path.join(bin_dir, "pellumin.exe")) else []
        self.tmp = tempfile.mkdtemp(prefix="e2e-wine-", dir=root)
        self.children, self.xvfb, self.watcher, self.env, self.starts = [], None, None, None, 0
        try:
            self._start_xvfb()
            self._boot()
        except BaseException:
            self.close()
            raise

    def _start_xvfb(self):
        rd, wr = os.pipe()
        self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(wr), "-screen", "0", "1024x768x24", "-nolisten",
                                      "tcp"], pass_fds=(wr,), stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(wr)
        with os.fdopen(rd) as f:  # Xvfb writes the display number once it accepts clients
            display = f.readline().strip()
        if not display:
            raise RuntimeError("Xvfb reported no display")
        # A fixed locale fixes the code pages: ANSI 1252, OEM 437.
        self.env = dict(os.environ, DISPLAY=":" + display, WINEPREFIX=os.path.join(self.tmp, "prefix"),
                        WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=", LC_ALL="C.UTF-8")

    def _boot(self):
        for attempt in (1, 2):  # seen once in many runs: "could not load kernel32.dll"
            if self._server([WINE64, "wineboot", "-i"], 120).returncode == 0 or attempt == 2:
                break
            self._server(["wineserver", "-k"], 30)
            shutil.rmtree(self.env["WINEPREFIX"], ignore_errors=True)
        self._server(["wineserver", "-w"], 120)
        self.start_server()
        self.reg("add", r"HKCU\Software\Wine\WineDbg", "/v", "ShowCrashDialog", "/t", "REG_DWORD", "/d", "0")

    def _server(self, cmd, timeout):
        # No pipes: the persistent server would hold them open.
        return subprocess.run(cmd, env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL, timeout=timeout)

    def _end_server(self):
        for flag in ("-k", "-w"):
            self._server(["wineserver", flag], 30)

    def start_server(self):
        # Persistent: else each program pays ~2 s for a new server and its services;
        # for a minute only, in case the run is killed before it can end the server.
        self._server(["wineserver", "-p60"], 30).check_returncode()
        self.starts += 1
        self.watcher = Watcher(self, os.path.join(self.artifacts, f"watch-{self.starts}.log"))

    def restart_server(self):
        """For settings read at server start; ends every program and resets the lock states."""
        self.watcher.stop()
        self._end_server()
        self.start_server()

    def close(self):
        if self.watcher and self.watcher.proc in self.children:
            self.watcher.stop()
        if self.env:
            self._end_server()
        for p in list(self.children):
            self.end(p)
        if self.xvfb:
            self.xvfb.terminate()
            self.xvfb.wait(timeout=10)
        shutil.rmtree(self.tmp, ignore_errors=True)

    def spawn(self, exe, *args, stdout=os.devnull):
        with open(stdout, "w") as out:
            p = subprocess.Popen([WINE64, exe, *args], env=self.env, stdout=out, stderr=subprocess.DEVNULL,
                                 stdin=subprocess.DEVNULL, start_new_session=True)
        self.children.append(p)
        return p

    def end(self, proc, timeout=10):
        if proc.poll() is None:
            os.killpg(proc.pid, signal.SIGKILL)
        proc.wait(timeout=timeout)
        if proc in self.children:
            self.children.remove(proc)

    @contextlib.contextmanager
    def ending_new(self):
        """Ends what is spawned inside and still runs at its end, failing or not; the key watcher lives on."""
        before = set(self.children)
        try:
            yield
        finally:
            for p in [p for p in self.children if p not in before and p is not self.watcher.proc]:
                self.end(p)

    def run(self, exe, *args, timeout=30, encoding="utf-8"):
        # A file, not a pipe: a service that a call starts lives on with the
        # persistent server and would hold a pipe open.
        with tempfile.TemporaryFile() as out:
            r = subprocess.run([WINE64, exe, *args], env=self.env, stdout=out, stderr=subprocess.DEVNULL,
                               stdin=subprocess.DEVNULL, timeout=timeout)
            out.seek(0)
            return r.returncode, out.read().decode(encoding, "replace")

    def probe(self, *args, timeout=2 * HOLD_S + 10):
        """The probe's fields; empty when it found nothing."""
        code, out = self.run(PROBE, *map(str, args), timeout=timeout)
        return {k: v.strip() for k, v in fields(out).items()} if code == 0 else {}

    def reg(self, *args):
        # reg writes to a file in the OEM code page, 437 in the locale set above.
        view = self.view if args[1].upper().startswith("HKLM\\SOFTWARE") else []
        code, out = self.run(REG, *args, *view, encoding="cp437")
        # A query may fail only by finding nothing; any other failure is no answer at all.
        if code and not (args[0] == "query" and "Unable to find" in out):
            raise RuntimeError(f"reg {args}: {out}")
        return code, out

    def reg_value(self, key, name):
        """(type, data) as `reg query` prints them, or None when there is no such value."""
        code, out = self.reg("query", key, "/v", name)
        for line in out.splitlines() if code == 0 else []:
            parts = line.strip().split("    ", 2)
            if len(parts) >= 2 and parts[0].lower() == name.lower():
                return parts[1], parts[2] if len(parts) == 3 else ""
        return None

    def xdotool(self, *args):
        subprocess.run(["xdotool", *map(str, args)], env=self.env, check=True, timeout=10)

    def tray_icon_centre(self):
        icon = self.probe("tray", 5000)["icon"].split(" ")[0]
        left, top, right, bottom = map(int, icon.split(","))
        return (left + right) // 2, (top + bottom) // 2

    def open_menu(self):
        """The open menu's left, top, width and height."""
        return tuple(map(int, self.probe("menu", HOLD_S * 1000)["menu"].split(",")))

    def pick(self, downs):
        """Opens pellumin's tray menu as a user does and chooses an item by keys."""
        x, y = self.tray_icon_centre()
        self.xdotool("mousemove", x, y, "click", 3)
        got = self.probe("menu", HOLD_S * 1000, downs)
        assert got.get("closed") == "1", got

    def pixels(self, left, top, width, height, source=None):
        """Rows of (r, g, b) of a rectangle of the screen, from a screenshot file or as it is now."""
        crop = f"{width}x{height}+{left}+{top}"
        cmd = ["convert", source, "-crop", crop] if source else ["import", "-window", "root", "-crop", crop]
        data = subprocess.run([*cmd, "-depth", "8", "rgb:-"], env=self.env, check=True, capture_output=True,
                              timeout=30).stdout
        return [[tuple(data[i:i + 3]) for i in range(row, row + 3 * width, 3)]
                for row in range(0, len(data), 3 * width)]

    def screenshot(self, name):
        os.makedirs(self.artifacts, exist_ok=True)
        path = os.path.join(self.artifacts, name)
        subprocess.run(["import", "-window", "root", path], env=self.env, check=True, timeout=30)
        return path


class Watcher:
    """The probe's keyboard hook and state log, running for the whole session."""

    def __init__(self, desktop, log, minutes=10):
        """Stops by itself after `minutes`, in case a killed run never stops it."""
        self.desktop, self.log = desktop, log
        os.makedirs(os.path.dirname(log), exist_ok=True)
        for path in (log, log + ".stop"):
            if os.path.exists(path):
                os.remove(path)
        self.proc = desktop.spawn(PROBE, "watch", win_path(self.log),
                                  str(minutes))
        wait_until(lambda: self.entries() or self.proc.poll() is not None, 15, "the key watcher")
        assert self.entries(), f"key watcher failed: {self.text()!r}"

    def text(self):
        try:
            with open(self.log) as f:
                return f.read()
        except FileNotFoundError:
            return ""

    def entries(self):
        """Whole lines only: the watcher may be writing the last one."""
        text, out = self.text(), []
        for n, line in enumerate(text[:text.rfind("\n") + 1].splitlines()):
            kind, _, rest = line.partition(" ")
            e = SimpleNamespace(kind=kind, line=n, **{k: v if k == "locks" else float(v) if k == "t" else int(v)
                                                    for k, v in (p.split("=") for p in rest.split())})
            if kind == "key":
                e.up = bool(e.flags & FLAG_UP)
            out.append(e)
        return out

    def keys(self):
        """Injected key events, in order."""
        return [e for e in self.entries() if e.kind == "key" and e.flags & FLAG_INJECTED]

    def state(self):
        return [e for e in self.entries() if e.kind != "key"][-1]

    def wait_state(self, pred, timeout, what):
        return wait_until(lambda: pred(s := self.state()) and s, timeout, what)

    def stop(self):
        if self.proc.poll() is None:
            open(self.log + ".stop", "w").close()
            self.proc.wait(timeout=10)
            os.remove(self.log + ".stop")
        self.desktop.children.remove(self.proc)


if __name__ == "__main__":
    tree, reason = wine_tree()
    print(describe(tree, reason) if sys.argv[1:] == ["--say"] else tree)
