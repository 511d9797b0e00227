"""A throwaway Wine desktop for end-to-end tests: Xvfb, a fresh prefix, helpers.

API (python3 stdlib only; import with sys.path pointing at this folder):

    from wine_session import WineSession, WaitTimeout, win_path

    with WineSession(artifacts_dir) as ws:   # Xvfb + prefix; torn down on exit
                                             # (also on SIGTERM); dir may be None
        p = ws.spawn(exe, *args)             # Popen of a Windows program, own group
        r = ws.run(exe, *args, timeout=10)   # CompletedProcess (text stdout/stderr)
        ws.wait_until(pred, 5, "what")       # pred's truthy value, or WaitTimeout
        ws.wait_exit(p, 5, "what")           # exit code, or WaitTimeout
        ws.reg_query(key)                    # {name: (type, data)} or None if no key
        ws.reg_query(key, name)              # (type, data) or None
        ws.reg_add(key, name, "REG_SZ", data); ws.reg_delete(key, name)
        ws.screenshot(path)                  # whole screen, PNG; a relative path
                                             # lands in artifacts_dir; returns path
        ws.env, ws.prefix, ws.display        # for anything else
        ws.tmp                               # scratch dir, removed at teardown

- Windows programs are started with /usr/lib/wine/wine64 (32-bit code cannot run
  here). Their arguments are passed as is: give file paths through win_path().
- Reg data comes back as text as `reg query` prints it (REG_DWORD as "0x1").
- `reg_*` and the helpers raise RuntimeError when the tool fails unexpectedly.
- Set E2E_KEEP=1 to keep the prefix and the Xvfb log for inspection.
- Every phase prints its duration (to `log`, print by default).
"""

import os
import shutil
import signal
import subprocess
import tempfile
import threading
import time

WINE64 = "/usr/lib/wine/wine64"
WINESERVER = "wineserver"


class WaitTimeout(AssertionError):
    """A waited-for condition did not come true in time."""


def win_path(path):
    """The Windows (Z: drive) form of a host path."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class WineSession:
    def __init__(self, artifacts_dir=None, screen="1024x768x24", log=print):
        self.artifacts_dir = artifacts_dir
        self.screen = screen
        self.log = log
        self.keep = os.environ.get("E2E_KEEP") == "1"
        self.tmp = None
        self.prefix = None
        self.display = None
        self.env = None
        self._xvfb = None
        self._children = []
        self._old_sigterm = None

    # -- lifecycle -------------------------------------------------------

    def __enter__(self):
        try:
            self.start()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, *exc):
        self.close()
        return False

    def start(self):
        # Turn a kill from a test runner into a normal exit, so teardown runs.
        if threading.current_thread() is threading.main_thread():
            self._old_sigterm = signal.signal(signal.SIGTERM, _exit_on_signal)
        self.tmp = tempfile.mkdtemp(prefix="e2e-wine-", dir="/tmp")
        self.prefix = os.path.join(self.tmp, "prefix")
        with self._phase("Xvfb"):
            self._start_xvfb()
        self.env = dict(os.environ, DISPLAY=self.display, WINEPREFIX=self.prefix,
                        WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=",
                        WINEARCH="win64")
        with self._phase("wineboot -i"):
            self._boot_prefix()
        with self._phase("wineserver -w"):
            self._checked([WINESERVER, "-w"], timeout=120)
        with self._phase("persistent wineserver"):
            # Without it every wine64 call pays ~2 s for a server and its
            # services to start again.
            subprocess.run([WINESERVER, "-p"], env=self.env, stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, timeout=30,
                           check=True)
        with self._phase("crash dialog off"):
            self.reg_add(r"HKCU\Software\Wine\WineDbg", "ShowCrashDialog", "REG_DWORD", "0")

    def _boot_prefix(self):
        # Seen once in many runs: wineboot fails with "could not load
        # kernel32.dll". The prefix is throwaway, so build it again once.
        try:
            self._checked([WINE64, "wineboot", "-i"], timeout=120)
        except RuntimeError as e:
            self.log(f"[wine] {e}; trying a new prefix")
            self._quiet([WINESERVER, "-k"], timeout=30)
            self._quiet([WINESERVER, "-w"], timeout=30)
            shutil.rmtree(self.prefix, ignore_errors=True)
            self._checked([WINE64, "wineboot", "-i"], timeout=120)

    def close(self):
        t0 = time.monotonic()
        if self.env is not None:
            self._quiet([WINESERVER, "-k"], timeout=30)
            self._quiet([WINESERVER, "-w"], timeout=30)
        for p in self._children:
            if p.poll() is None:
                try:
                    os.killpg(p.pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
            try:
                p.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self.log(f"[wine] process {p.pid} did not end")
        self._children = []
        if self._xvfb is not None:
            self._xvfb.terminate()
            try:
                self._xvfb.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self._xvfb.kill()
                self._xvfb.wait(timeout=10)
            self._xvfb = None
        if self.tmp and not self.keep:
            shutil.rmtree(self.tmp, ignore_errors=True)
        elif self.tmp:
            self.log(f"[wine] kept {self.tmp}")
        self.tmp = None
        if self._old_sigterm is not None:
            signal.signal(signal.SIGTERM, self._old_sigterm)
            self._old_sigterm = None
        self.log(f"[wine] teardown: {time.monotonic() - t0:.1f} s")

    def _start_xvfb(self):
        rd, wr = os.pipe()
        errlog = open(os.path.join(self.tmp, "xvfb.log"), "wb")
        try:
            self._xvfb = subprocess.Popen(
                ["Xvfb", "-displayfd", str(wr), "-screen", "0", self.screen,
                 "-nolisten", "tcp"],
                pass_fds=(wr,), stdout=errlog, stderr=errlog, start_new_session=True)
        finally:
            os.close(wr)
            errlog.close()
        # Xvfb writes the display number and a newline once it accepts clients.
        data = b""
        deadline = time.monotonic() + 20
        os.set_blocking(rd, False)
        try:
            while not data.endswith(b"\n"):
                if time.monotonic() > deadline or self._xvfb.poll() is not None:
                    raise RuntimeError("Xvfb did not report a display")
                try:
                    chunk = os.read(rd, 64)
                except BlockingIOError:
                    time.sleep(0.02)
                    continue
                if not chunk:
                    raise RuntimeError("Xvfb closed -displayfd without a display")
                data += chunk
        finally:
            os.close(rd)
        self.display = ":" + data.decode().strip()
        self.log(f"[wine] DISPLAY={self.display}")

    # -- programs --------------------------------------------------------

    def spawn(self, exe, *args, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL):
        """Start a Windows program in its own process group; returns the Popen."""
        p = subprocess.Popen([WINE64, exe, *args], env=self.env, stdout=stdout,
                             stderr=stderr, stdin=subprocess.DEVNULL,
                             start_new_session=True)
        self._children.append(p)
        return p

    def run(self, exe, *args, timeout=30):
        """Run a Windows program to its end; returns a CompletedProcess."""
        # Files, not pipes: Wine's service processes that a call may start live
        # on with the persistent server and would hold a pipe open forever.
        with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
            r = subprocess.run([WINE64, exe, *args], env=self.env, stdout=out, stderr=err,
                               timeout=timeout, stdin=subprocess.DEVNULL)
            out.seek(0)
            err.seek(0)
            return subprocess.CompletedProcess(r.args, r.returncode,
                                               out.read().decode(errors="replace"),
                                               err.read().decode(errors="replace"))

    def wait_exit(self, proc, timeout, what):
        try:
            return proc.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            raise WaitTimeout(f"timed out after {timeout} s waiting for {what}") from None

    @staticmethod
    def wait_until(predicate, timeout, what, interval=0.02):
        deadline = time.monotonic() + timeout
        while True:
            value = predicate()
            if value:
                return value
            if time.monotonic() > deadline:
                raise WaitTimeout(f"timed out after {timeout} s waiting for {what}")
            time.sleep(interval)

    def screenshot(self, path):
        if self.artifacts_dir and not os.path.isabs(path):
            os.makedirs(self.artifacts_dir, exist_ok=True)
            path = os.path.join(self.artifacts_dir, path)
        subprocess.run(["import", "-window", "root", path], env=self.env, check=True,
                       capture_output=True, timeout=30)
        return path

    # -- registry --------------------------------------------------------

    def reg_query(self, key, name=None):
        args = ["reg", "query", key] + (["/v", name] if name is not None else [])
        r = self.run(*args, timeout=60)
        if r.returncode != 0:
            return None
        values = _parse_reg_query(r.stdout)
        if name is None:
            return values
        for k, v in values.items():
            if k.lower() == name.lower():
                return v
        return None

    def reg_add(self, key, name, type_, data):
        self._reg_checked("reg", "add", key, "/v", name, "/t", type_, "/d", data, "/f")

    def reg_delete(self, key, name):
        self._reg_checked("reg", "delete", key, "/v", name, "/f")

    def _reg_checked(self, *args):
        r = self.run(*args, timeout=60)
        if r.returncode != 0:
            raise RuntimeError(f"wine64 {' '.join(args)} failed: {r.stdout}{r.stderr}")

    # -- helpers ---------------------------------------------------------

    def _checked(self, cmd, timeout):
        r = subprocess.run(cmd, env=self.env, capture_output=True, text=True,
                           timeout=timeout, stdin=subprocess.DEVNULL)
        if r.returncode != 0:
            raise RuntimeError(f"{' '.join(cmd)} failed ({r.returncode}): {r.stderr[-2000:]}")

    def _quiet(self, cmd, timeout):
        try:
            subprocess.run(cmd, env=self.env, capture_output=True, timeout=timeout)
        except (subprocess.TimeoutExpired, OSError) as e:
            self.log(f"[wine] {' '.join(cmd)}: {e}")

    def _phase(self, name):
        return _Phase(name, self.log)


def _exit_on_signal(signum, _frame):
    raise SystemExit(128 + signum)


class _Phase:
    def __init__(self, name, log):
        self.name, self.log = name, log

    def __enter__(self):
        self.t0 = time.monotonic()

    def __exit__(self, *exc):
        self.log(f"[wine] {self.name}: {time.monotonic() - self.t0:.1f} s")
        return False


def _parse_reg_query(text):
    """Value lines of `reg query` output: 4 spaces, name, 4 spaces, type, 4 spaces, data."""
    values = {}
    for line in text.splitlines():
        if not line.startswith("    "):
            continue
        parts = line[4:].split("    ", 2)
        if len(parts) >= 2 and parts[1].startswith("REG_"):
            name = "" if parts[0] == "(Default)" else parts[0]
            values[name] = (parts[1], parts[2] if len(parts) == 3 else "")
    return values
