"""End-to-end tests against the real desktop services that tools/with-desktop
starts: an X display with the clipboard tool xclip, the GNTP server gol,
whose history tells what reached it, and a private session bus with the
notification server dunst, whose history does the same."""

import contextlib
import ctypes
import itertools
import json
import os
import pathlib
import pty
import shutil
import signal
import socket
import sqlite3
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.parse
import uuid

from harness import (BUILD_DIR, CLOSED_PORT, IN_CI, PROGRAM, WITH_CLIPBOARD, WITH_GNTP, Run,
                     NembitTestCase)

WITH_OWNER = os.environ.get("NEMBIT_WITH_OWNER") == "ON"
WITH_WAYLAND_OWNER = os.environ.get("NEMBIT_WITH_WAYLAND_OWNER") == "ON"

DISPLAY = os.environ.get("DISPLAY")
WAYLAND = os.environ.get("NEMBIT_WAYLAND_DISPLAY")
MUTTER = os.environ.get("NEMBIT_MUTTER_DISPLAY")
GOL_DB = os.environ.get("NEMBIT_GOL_DB")
BUS = os.environ.get("DBUS_SESSION_BUS_ADDRESS")
WITH_DESKTOP = os.environ.get("NEMBIT_WITH_DESKTOP") == "ON"
ICON_URI = "file://" + urllib.parse.quote(str(PROGRAM.parent.parent / "share/nembit/nembit.jpg"))


def require(condition, reason):
    """Skips a test whose service is missing, except in CI, where that fails it."""
    if condition:
        return lambda test: test
    if IN_CI:
        raise RuntimeError(f"{reason}: CI must run the tests through tools/with-desktop")
    return unittest.skip(reason)


def paste(target="UTF8_STRING", tool="xclip"):
    """What the clipboard of the test display holds, as `target`."""
    command = (["xclip", "-o", "-selection", "clipboard", "-t", target] if tool == "xclip"
               else ["xsel", "--clipboard", "--output"])
    return subprocess.run(command, env={"DISPLAY": DISPLAY}, stdin=subprocess.DEVNULL,
                          capture_output=True, timeout=10).stdout


# The processes this test starts stay in its tree: an owner whose nembit
# has ended is this process's child then, not init's, and nothing of
# another test or program on the machine is ever counted or signalled.
PR_SET_CHILD_SUBREAPER = 36
ctypes.CDLL(None, use_errno=True).prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)


def descendants(pid=None):
    """The processes below `pid`, by default below this one."""
    found = []
    for children in pathlib.Path(f"/proc/{pid or os.getpid()}/task").glob("*/children"):
        try:
            for child in map(int, children.read_text().split()):
                found += [child, *descendants(child)]
        except OSError:
            continue
    return found


def live_owners(value=None, variable="DISPLAY"):
    """The clipboard owners that this test started, whose `variable`,
    DISPLAY or WAYLAND_DISPLAY, is `value`: by default the test's own
    display. Those that have ended are reaped."""
    wayland = variable == "WAYLAND_DISPLAY"
    value = value or (WAYLAND if wayland else DISPLAY)
    name = "nembit-wayland" if wayland else "nembit-clip"
    owners = []
    for pid in descendants():
        proc = pathlib.Path(f"/proc/{pid}")
        try:
            if not (proc / "comm").read_text().startswith(name):
                continue
            if (proc / "stat").read_text().split()[2] == "Z":
                os.waitpid(pid, os.WNOHANG)
                continue
            if f"{variable}={value}".encode() in (proc / "environ").read_bytes().split(b"\0"):
                owners.append(pid)
        except (OSError, ChildProcessError):
            continue
    return owners


def copy_lines(test, **env):
    """Starts tests/copy_lines, libnembit's clipboard alone, for `test` (in
    its environment, with `env`); a function that copies a line (text or
    bytes) with it and gives its answer."""
    helper = subprocess.Popen([str(BUILD_DIR / "tests/copy_lines")], env=test.environment(**env),
                              stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    test.addCleanup(helper.wait, 10)
    test.addCleanup(helper.stdout.close)
    test.addCleanup(helper.stdin.close)

    def copy(line):
        helper.stdin.write((line if isinstance(line, bytes) else line.encode()) + b"\n")
        helper.stdin.flush()
        return helper.stdout.readline().decode().rstrip("\n")

    return copy


def runtime_dir(test):
    """The test's own runtime folder, where the owners remember the display
    and await the next run."""
    runtime = test.dir / "runtime"
    runtime.mkdir(mode=0o700, exist_ok=True)
    return str(runtime)


def wait_until(condition, seconds=2.0):
    for _ in range(int(seconds * 20)):
        if condition():
            return True
        time.sleep(0.05)
    return condition()


@unittest.skipUnless(WITH_CLIPBOARD, "built without the clipboard component")
@require(DISPLAY and shutil.which("xclip") and shutil.which("xsel"), "no X display with xclip")
class RealClipboard(NembitTestCase):
    def environment(self, **changes):
        return super().environment(
            **{"DISPLAY": DISPLAY, "XDG_RUNTIME_DIR": runtime_dir(self), **changes})

    def without_owner(self):
        """A copy of the program without the helpers beside it: it copies with xclip."""
        program = self.dir / "plain/bin/nembit"
        program.parent.mkdir(parents=True)
        shutil.copy(PROGRAM, program)
        return program

    def test_the_clipboard_holds_the_last_path_after_the_run(self):
        programs = [("xclip", self.without_owner())]
        if WITH_OWNER:
            programs.append(("owner", PROGRAM))
        for way, program in programs:
            with self.subTest(way=way):
                run = self.run_nembit("first.txt", "caf\u00e9/{a,\u65e5}.txt", program=program)
                self.assertEqual(run.status, 0, run.out)
                self.assertNotIn("Warning: Could not copy", run.out)
                last = str(self.work / "caf\u00e9/\u65e5.txt")
                # xclip leaves a process behind that takes the selection a
                # moment after xclip itself has ended: give it that moment.
                self.assertTrue(wait_until(lambda: paste().decode() == last), paste())
                self.assertEqual(paste(tool="xsel").decode(), last)
        if WITH_OWNER:
            # ISO Latin-1 has no room for the last character.
            self.assertEqual(paste("STRING"), str(self.work / "caf\u00e9/?.txt").encode("latin-1"))
            self.assertEqual(paste("TARGETS").split(),
                             [b"TARGETS", b"TIMESTAMP", b"UTF8_STRING", b"TEXT", b"STRING"])
            self.assertEqual(paste("TEXT").decode(), str(self.work / "caf\u00e9/\u65e5.txt"))

    @unittest.skipUnless(WITH_OWNER, "built without the clipboard owner")
    def test_one_owner_serves_until_another_client_takes_the_clipboard(self):
        owners = []
        for name in ("one", "two"):
            self.assertEqual(self.run_nembit(name).status, 0)
            self.assertEqual(paste().decode(), str(self.work / name))
            # An earlier test's owner leaves once another takes the clipboard.
            self.assertTrue(wait_until(lambda: len(live_owners()) == 1, 10), live_owners())
            owners.append(live_owners())
        # The owner that holds the clipboard after a run takes the next one.
        self.assertEqual(owners[1], owners[0])
        [socket_path] = pathlib.Path(runtime_dir(self)).glob("nembit-owner-*")
        # It keeps no folder busy, holds no terminal, and a hang-up leaves it serving.
        owner = live_owners()[0]
        self.assertEqual(os.readlink(f"/proc/{owner}/cwd"), "/")
        self.assertEqual(int(pathlib.Path(f"/proc/{owner}/stat").read_text().split()[5]), owner)
        os.kill(owner, signal.SIGHUP)
        self.assertEqual(paste().decode(), str(self.work / "two"))
        subprocess.run(["xclip", "-selection", "clipboard"], input=b"other",
                       env={"DISPLAY": DISPLAY}, timeout=10, check=True)
        self.assertTrue(wait_until(lambda: not live_owners()), live_owners())
        self.assertEqual(paste(), b"other")
        # It leaves no socket behind; one whose owner has gone costs a run nothing.
        self.assertEqual(list(pathlib.Path(runtime_dir(self)).glob("nembit-owner-*")), [])
        with socket.socket(socket.AF_UNIX) as stale:
            stale.bind(str(socket_path))
        self.assertEqual(self.run_nembit("three").status, 0)
        self.assertEqual(paste().decode(), str(self.work / "three"))
        # One run at a time: a run that comes while another holds the owner
        # starts its own rather than wait.
        self.assertTrue(wait_until(lambda: len(live_owners()) == 1, 10), live_owners())
        owner = live_owners()
        copy = copy_lines(self)
        self.assertEqual(copy("held"), "ok")
        self.assertEqual(live_owners(), owner)
        run = self.run_nembit("four")
        self.assertNotIn("Warning: Could not copy", run.out)
        self.assertEqual(paste().decode(), str(self.work / "four"))

    @unittest.skipUnless(WITH_OWNER, "built without the clipboard owner")
    def test_an_owner_that_another_program_started_is_left_alone(self):
        # A stand-in, on this display, started beside the test: not in its tree.
        stand_in = self.dir / "nembit-clipboard-owner"
        shutil.copy("/bin/sleep", stand_in)
        prctl = ctypes.CDLL(None, use_errno=True).prctl
        prctl(PR_SET_CHILD_SUBREAPER, 0, 0, 0, 0)
        try:
            subprocess.run(["setsid", "-f", str(stand_in), "60"], env={"DISPLAY": DISPLAY},
                           check=True, timeout=10)
        finally:
            prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0)

        def stand_ins():
            found = []
            for proc in pathlib.Path("/proc").iterdir():
                try:
                    if os.readlink(proc / "exe") == str(stand_in):
                        found.append(int(proc.name))
                except (OSError, ValueError):
                    continue
            return found

        self.assertTrue(wait_until(lambda: len(stand_ins()) == 1))
        pid = stand_ins()[0]
        self.addCleanup(os.kill, pid, signal.SIGKILL)  # This test started it.
        self.assertEqual(self.run_nembit("a").status, 0)
        self.assertTrue(wait_until(lambda: live_owners() and pid not in live_owners()))
        self.assertEqual(stand_ins(), [pid])

    @unittest.skipUnless(WITH_OWNER, "built without the clipboard owner")
    def test_copies_texts_larger_than_a_request_and_survives_its_owner(self):
        big = self.dir / "big"
        big.write_bytes(("/" + "\u00e9" * 600_000 + "\n").encode()[:-1])
        copy = copy_lines(self)

        def xcb_paste(*args):
            return subprocess.run([str(BUILD_DIR / "tests/xcb_paste"), "UTF8_STRING", *args],
                                  env={"DISPLAY": DISPLAY}, capture_output=True, timeout=30).stdout

        self.assertEqual(copy(f"@{big}"), "ok")
        # Requestors that leave a transfer unfinished give up its slot.
        for _ in range(17):
            self.assertEqual(xcb_paste("stall"), b"INCR\n")
        self.assertEqual(xcb_paste(), b"INCR\n" + big.read_bytes())
        self.assertEqual(paste(), big.read_bytes())
        # Each piece renews the time a requestor has to take the next.
        self.assertEqual(xcb_paste("slow"), b"INCR\n" + big.read_bytes())
        # A request of Xvfb holds 65,535 words; a piece leaves 1 KiB of them
        # to the request's own fields.
        for size, way in ((261_116, b"UTF8_STRING"), (261_117, b"INCR")):
            (self.dir / "sized").write_bytes(b"x" * size)
            self.assertEqual(copy(f"@{self.dir / 'sized'}"), "ok")
            self.assertEqual(xcb_paste().split(b"\n", 1), [way, b"x" * size])
        # STRING takes each byte that begins no UTF-8 character as a "?".
        for name, latin1 in ((b"caf\xe9.txt", b"caf?.txt"), (b"x\xc3AB.txt", b"x?AB.txt"),
                             (b"\xe2/y.txt", b"?/y.txt")):
            self.assertEqual(copy(name), "ok")
            self.assertEqual(paste("STRING"), latin1)
        # A program that opens the clipboard again for each run, and whose
        # last owner another client replaces, keeps no ended owner unreaped.
        for i in range(4):
            copy("!")
            self.assertEqual(copy(f"run {i}"), "ok")
        subprocess.run(["xclip", "-selection", "clipboard"], input=b"other",
                       env={"DISPLAY": DISPLAY}, timeout=10, check=True)
        self.assertTrue(wait_until(lambda: copy("?") == "0", 5))
        self.assertEqual(copy("small"), "ok")
        # An owner from an earlier run may still be on its way out.
        self.assertTrue(wait_until(lambda: len(live_owners()) == 1), live_owners())
        os.kill(live_owners()[0], signal.SIGKILL)
        start = time.monotonic()
        self.assertEqual(copy("after"), "error nembit-clipboard-owner: ended before it confirmed"
                                        " the copy")
        # That ended the clipboard's work: later copies are dropped without a word.
        self.assertEqual(copy("again"), "ok")
        self.assertLess(time.monotonic() - start, 2)

    @unittest.skipUnless(WITH_OWNER, "built without the clipboard owner")
    def test_a_text_that_a_reader_took_or_asks_for_gets_its_chance(self):
        # A display of the test's own, where no other client (such as a
        # nested compositor) reads the clipboard.
        server = self.start(["Xvfb", "-displayfd", "1", "-nolisten", "tcp"])
        display = f":{server.stdout.readline().decode().strip()}"
        big = self.dir / "big"
        big.write_bytes(b"/" + b"x" * 300_000)

        def xcb_paste(target):
            return lambda copy: subprocess.run([str(BUILD_DIR / "tests/xcb_paste"), target],
                                               env={"DISPLAY": display}, capture_output=True,
                                               timeout=30)

        def read_then_taken(copy):
            xcb_paste("UTF8_STRING")(copy)
            self.assertEqual(copy("b"), "ok")
            subprocess.run(["xclip", "-selection", "clipboard"], input=b"other",
                           env={"DISPLAY": display}, timeout=10, check=True)

        # What happens to the text copied first; then the longest that one of
        # the next two copies waits: nothing once a reader has had it, half a
        # second while one that asked for it does not have it, nothing once
        # another client holds the clipboard.
        cases = [("nothing", "a", lambda copy: None, 0, 0.09),
                 ("read", "a", xcb_paste("UTF8_STRING"), 0, 0.09),
                 ("read in pieces", f"@{big}", xcb_paste("UTF8_STRING"), 0, 0.09),
                 ("asked about", "a", xcb_paste("TARGETS"), 0.3, 1),
                 ("read, then taken by another client", "a", read_then_taken, 0, 0.05)]
        for case, first, then, least, most in cases:
            with self.subTest(case=case):
                copy = copy_lines(self, DISPLAY=display)
                self.assertEqual(copy(first), "ok")
                then(copy)
                waits = []
                for text in ("b", "c")["taken" in case:]:
                    start = time.monotonic()
                    self.assertEqual(copy(text), "ok")
                    waits.append(time.monotonic() - start)
                self.assertGreaterEqual(max(waits), least)
                self.assertLess(max(waits), most)

    @unittest.skipUnless(WITH_OWNER, "built without the clipboard owner")
    def test_no_owner_outlives_a_display_that_refused_it_or_never_answered(self):
        # A display of this test's own, which no other test's owner uses.
        dead = f":{40000 + os.getpid() % 20000}"
        run = self.run_nembit("a", env=self.environment(DISPLAY=dead, PATH="/nonexistent"))
        self.assertEqual(run.status, 0)
        self.assertIn("Warning: Could not copy to clipboard: nembit-clipboard-owner: cannot open"
                      f" the display: {dead}", run.lines)
        self.assertTrue(wait_until(lambda: not live_owners(dead), 10), live_owners(dead))
        # With the tool, which cannot open it either: one warning for the run.
        run = self.run_nembit("a", "b", "c", env=self.environment(DISPLAY=dead))
        self.assertEqual([line for line in run.lines if line.startswith("Warning: Could not copy")],
                         ["Warning: Could not copy to clipboard: xclip: exited with status 1: Error:"
                          f" Can't open display: {dead}"])
        # Displays that take the connection and never answer: the run is
        # stopped, or killed, while its owner is still connecting.
        number = 40000 + (os.getpid() + 1) % 20000
        x11 = self.silent_socket(pathlib.Path(f"/tmp/.X11-unix/X{number}"))
        wayland = self.silent_socket(self.dir / "wayland-silent")
        displays = [("DISPLAY", f":{number}")]
        if WITH_WAYLAND_OWNER:
            displays.append(("WAYLAND_DISPLAY", str(wayland)))
        for (variable, display), stop in itertools.product(displays, (signal.SIGTERM,
                                                                     signal.SIGKILL)):
            with self.subTest(display=variable, signal=stop.name):
                process = subprocess.Popen([str(PROGRAM), "b"], cwd=self.work,
                                           stdout=subprocess.PIPE, stdin=subprocess.DEVNULL,
                                           env=self.environment(**{variable: display}))
                self.assertTrue(wait_until(lambda: live_owners(display, variable), 5))
                process.send_signal(stop)
                process.communicate(timeout=10)
                self.assertEqual(process.returncode, -stop)
                self.assertTrue(wait_until(lambda: not live_owners(display, variable)))

    def silent_socket(self, path):
        """A socket at `path` that takes connections and never answers."""
        silent = socket.socket(socket.AF_UNIX)
        self.addCleanup(silent.close)
        self.addCleanup(path.unlink, missing_ok=True)
        silent.bind(str(path))
        silent.listen()
        return path


def wl_paste(*args, display=None):
    """What the clipboard of the test compositor (or of `display`) holds, as
    wl-paste reads it."""
    return subprocess.run(["wl-paste", "--no-newline", *args],
                          env={"WAYLAND_DISPLAY": display or WAYLAND}, stdin=subprocess.DEVNULL,
                          capture_output=True, timeout=10).stdout


@unittest.skipUnless(WITH_CLIPBOARD, "built without the clipboard component")
@require(WAYLAND and shutil.which("wl-paste"), "no Wayland compositor with wl-clipboard")
class RealWaylandClipboard(NembitTestCase):
    """A headless sway, which offers the data-control protocol, with no X display."""

    def environment(self, **changes):
        return super().environment(**{"WAYLAND_DISPLAY": WAYLAND, **changes})

    def test_the_clipboard_holds_the_last_path_of_each_run(self):
        owners = []
        for name in ("one", "caf\u00e9/{x,\u65e5}.txt"):
            run = self.run_nembit(name, env=self.environment(XDG_RUNTIME_DIR=runtime_dir(self)))
            self.assertEqual(run.status, 0, run.out)
            self.assertNotIn("Warning: Could not copy", run.out)
            if WITH_WAYLAND_OWNER:
                self.assertTrue(wait_until(
                    lambda: len(live_owners(variable="WAYLAND_DISPLAY")) == 1, 10))
                owners.append(live_owners(variable="WAYLAND_DISPLAY"))
        last = str(self.work / "caf\u00e9/\u65e5.txt")
        self.assertEqual(wl_paste().decode(), last)
        types = [b"text/plain;charset=utf-8", b"text/plain", b"UTF8_STRING", b"STRING", b"TEXT"]
        if WITH_WAYLAND_OWNER:
            types.append(b"application/x-nembit-owner")
        self.assertEqual(wl_paste("--list-types").split(), types)
        if not WITH_WAYLAND_OWNER:
            return
        # Where no reader was seen, the owner after a run takes the next one.
        self.assertEqual(owners[1], owners[0])
        subprocess.run(["wl-copy", "other"], env={"WAYLAND_DISPLAY": WAYLAND}, timeout=10,
                       check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL)
        self.assertTrue(wait_until(lambda: not live_owners(variable="WAYLAND_DISPLAY"), 5))
        self.assertEqual(wl_paste(), b"other")

    @unittest.skipUnless(WITH_WAYLAND_OWNER, "built without the Wayland owner")
    def test_copies_a_text_larger_than_a_pipe_holds_to_every_reader(self):
        big = self.dir / "big"
        big.write_bytes(("/" + "\u00e9" * 600_000).encode())
        copy = copy_lines(self)

        self.assertEqual(copy(f"@{big}"), "ok")
        self.assertEqual(wl_paste(), big.read_bytes())

        def reader():
            return self.start(["wl-paste", "--no-newline"], env={"WAYLAND_DISPLAY": WAYLAND})

        # A reader overtaken after its first kilobyte still gets it all.
        slow = reader()
        first = slow.stdout.read(1000)
        subprocess.run(["wl-copy", "other"], env={"WAYLAND_DISPLAY": WAYLAND}, timeout=10,
                       check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
        self.assertEqual(first + slow.stdout.read(), big.read_bytes())
        # One that reads nothing holds up the next copy only a moment.
        self.assertEqual(copy(f"@{big}"), "ok")
        reader()
        time.sleep(0.2)
        start = time.monotonic()
        self.assertEqual(copy("next"), "ok")
        self.assertLess(time.monotonic() - start, 1)
        self.assertEqual(wl_paste(), b"next")

    @unittest.skipUnless(WITH_WAYLAND_OWNER, "built without the Wayland owner")
    def test_what_was_put_back_stays_unless_a_reader_of_the_run_was_seen(self):
        def wl_copy(text):
            subprocess.run(["wl-copy", text], env={"WAYLAND_DISPLAY": WAYLAND}, timeout=10,
                           check=True, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL)

        for seen in (False, True):
            with self.subTest(reader_seen=seen):
                wl_copy("before")
                if seen:  # A manager, which reads each change, "before" first.
                    manager = self.start(["wl-paste", "--watch", "sh", "-c", "cat; echo"],
                                         env={"WAYLAND_DISPLAY": WAYLAND})
                    self.assertEqual(manager.stdout.readline(), b"before\n")
                name = f"new-{seen}"
                self.assertEqual(self.run_nembit(name).status, 0)
                wl_copy("before")  # As a script restores what it saved, or a manager, late.
                kept = str(self.work / name) if seen else "before"
                self.assertTrue(wait_until(lambda: wl_paste().decode() == kept, 3), wl_paste())
                time.sleep(6)  # It stays when the guard is long over.
                self.assertEqual(wl_paste().decode(), kept)

    def test_without_the_owner_wl_copy_does_the_work(self):
        program = self.dir / "plain/bin/nembit"
        program.parent.mkdir(parents=True)
        shutil.copy(PROGRAM, program)
        run = self.run_nembit("a", "b", program=program)
        self.assertNotIn("Warning: Could not copy", run.out)
        self.assertTrue(wait_until(lambda: wl_paste() == str(self.work / "b").encode()), wl_paste())


@unittest.skipUnless(WITH_CLIPBOARD, "built without the clipboard component")
class ClipboardManagers(NembitTestCase):
    """Runs of many files on desktops whose clipboard managers read each new
    selection as it appears, and on GNOME, where a tool makes each copy."""

    def run_paths(self, count):
        """The names of a run of `count` files, and their paths."""
        names = [f"f{i}" for i in range(1, count + 1)]
        return names, [str(self.work / name) for name in names]

    @staticmethod
    def let_finish(manager):
        """Waits, five seconds at most, until `manager`, which runs a command
        per change, has run none for half a second: it has done with the
        changes so far, unless one of its commands hangs (as one reading a
        pipe that another client holds open may)."""
        def idle():
            for _ in range(10):
                if descendants(manager.pid):
                    return False
                time.sleep(0.05)
            return True

        wait_until(idle, 5)

    def wait_for_manager(self, copy, env, holds, manager=None):
        """Copies a marker with the tool `copy`, and a new one until the
        manager, which may watch the clipboard only some time after it
        started, has one in what `holds()` returns; that marker. A
        `manager` process that runs a command per change is then let finish
        with the marker, as a user's copy is done with before a run."""
        for attempt in range(10):
            marker = f"start-{os.getpid()}-{attempt}"
            subprocess.run(copy, input=marker.encode(), env=env, timeout=10, check=True,
                           stdout=subprocess.DEVNULL)
            if wait_until(lambda: marker in holds(), 1):
                if manager:
                    self.let_finish(manager)
                return marker
        self.fail("the clipboard manager did not start")

    def busy_loops(self):
        """Two processes that keep a processor each busy for the rest of the test."""
        for _ in range(2):
            self.start([sys.executable, "-c", "while True: pass"])

    @require(WAYLAND and shutil.which("clipman"), "no Wayland compositor with clipman")
    def test_clipman_ends_each_run_with_its_last_path(self):
        # Its default persist mode copies what it stored once more, late:
        # also a text copied just before a run, and the last path of the run
        # before. Once a run has seen it, the owners remember it.
        runtime = self.dir / "runtime"
        runtime.mkdir(mode=0o700)
        env = {"WAYLAND_DISPLAY": WAYLAND, "PATH": "/usr/bin:/bin", "HOME": str(self.dir)}
        nembit_env = self.environment(WAYLAND_DISPLAY=WAYLAND, XDG_RUNTIME_DIR=str(runtime))
        history = self.dir / "history.json"
        manager = self.start(["wl-paste", "-t", "text", "--watch", "clipman", "store",
                              f"--histpath={history}"], env=env)
        self.wait_for_manager(["wl-copy"], env,
                              lambda: history.read_text() if history.exists() else "", manager)
        self.busy_loops()

        def ends_with(last):
            self.let_finish(manager)  # What the manager does late, it has done by now.
            self.assertTrue(wait_until(lambda: wl_paste().decode() == last, 3), wl_paste())

        def manager_seen(attempt):
            self.run_nembit(f"learn-{attempt}", env=nembit_env)
            self.let_finish(manager)
            return any("reader-seen -1" not in memory.read_text()
                       for memory in runtime.glob("nembit-clipboard-wayland-*")
                       if not memory.name.endswith("-texts"))

        # A run alone cannot tell a manager late to its texts from none: the
        # owners know it once a run has seen it read, which a busy machine
        # may take more than one run for.
        self.assertTrue(any(manager_seen(attempt) for attempt in range(5)), "no run saw the manager")
        for count, copied_before in ((50, None), (1, 0), (20, 0.05), (1, 0.5)):
            with self.subTest(files=count, copied_before=copied_before):
                if copied_before is not None:
                    subprocess.run(["wl-copy", f"text-{count}"], env=env, timeout=10, check=True,
                                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
                    time.sleep(copied_before)
                names, paths = self.run_paths(count)
                run = self.run_nembit(*names, env=nembit_env)
                self.assertEqual(run.status, 0)
                self.assertNotIn("Warning: Could not copy", run.out)
                ends_with(paths[-1])
        for apart in (0.2, 0.5):
            with self.subTest(runs_apart=apart):
                self.run_nembit("a/1", "a/2", "a/3", env=nembit_env)
                time.sleep(apart)
                self.run_nembit("b/1", "b/2", "b/3", env=nembit_env)
                ends_with(str(self.work / "b/3"))

    @require(WAYLAND and shutil.which("wl-paste"), "no Wayland compositor with wl-clipboard")
    def test_a_wayland_manager_records_whole_paths_and_the_last(self):
        env = {"WAYLAND_DISPLAY": WAYLAND, "PATH": "/usr/bin:/bin"}
        record = self.dir / "record"
        self.start(["wl-paste", "--watch", "sh", "-c", f'x=$(cat); printf "%s\\0" "$x" >>"{record}"'],
                   env=env)
        marker = self.wait_for_manager(["wl-copy"], env,
                                       lambda: record.read_text() if record.exists() else "")
        names, paths = self.run_paths(50)
        # Each entry is a whole path, but for one that came too late to a
        # replaced path and read nothing; the first path had its chance to
        # be asked for, and the last is there. A busy machine may keep the
        # watcher from asking in time: one run in three shows the chance,
        # which without it none would.
        for attempt in range(3):
            if attempt:
                marker = f"again-{attempt}"
                subprocess.run(["wl-copy", marker], env=env, timeout=10, check=True,
                               stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL)
                self.assertTrue(wait_until(lambda: marker in record.read_text(), 5))
            run = self.run_nembit(*names, env=self.environment(WAYLAND_DISPLAY=WAYLAND))
            self.assertNotIn("Warning: Could not copy", run.out)
            time.sleep(1)
            entries = record.read_text().split("\0")[:-1]
            entries = entries[len(entries) - entries[::-1].index(marker):]
            self.assertEqual([entry for entry in entries if entry not in paths + [""]], [])
            self.assertIn(paths[-1], entries)
            if entries[:1] == paths[:1]:
                break
        else:
            self.fail(f"the watcher's first entry was not the first path: {entries[:1]}")
        # A run's owner tells the next run's by its mark, and leaves its texts be.
        self.run_nembit("a", "b", env=self.environment(WAYLAND_DISPLAY=WAYLAND))
        self.run_nembit("a", env=self.environment(WAYLAND_DISPLAY=WAYLAND))
        time.sleep(1)
        self.assertEqual(wl_paste().decode(), str(self.work / "a"))

    @require(DISPLAY and shutil.which("copyq"), "no X display with copyq")
    def test_an_x11_manager_records_whole_paths_and_the_last(self):
        home = self.dir / "copyq"
        home.mkdir(mode=0o700)
        env = {"DISPLAY": DISPLAY, "HOME": str(home), "XDG_RUNTIME_DIR": str(home),
               "QT_QPA_PLATFORM": "xcb", "PATH": "/usr/bin:/bin"}
        self.start(["copyq"], env=env)

        def copyq(*args):
            return subprocess.run(["copyq", *args], env=env, stdin=subprocess.DEVNULL,
                                  capture_output=True, timeout=10)

        def newest():
            return copyq("read", "0").stdout.decode()

        marker = self.wait_for_manager(["xclip", "-selection", "clipboard"], env, newest)
        names, paths = self.run_paths(50)
        run = self.run_nembit(*names, env=self.environment(DISPLAY=DISPLAY))
        self.assertNotIn("Warning: Could not copy", run.out)
        # CopyQ takes each change in turn, which on a busy machine may take
        # some seconds for the run's fifty.
        self.assertTrue(wait_until(lambda: newest() == paths[-1], 30), newest())
        items = [copyq("read", str(i)).stdout.decode() for i in range(int(copyq("count").stdout))]
        self.assertEqual([item for item in items[:items.index(marker)] if item not in paths], [])

    @unittest.skipUnless(WITH_WAYLAND_OWNER, "built without the Wayland owner")
    @require(MUTTER, "no GNOME compositor (mutter)")
    def test_the_owner_says_what_gnome_lacks(self):
        completed = subprocess.run([str(BUILD_DIR / "tests/copy_lines")], input=b"x\n",
                                   env=self.environment(WAYLAND_DISPLAY=MUTTER, PATH="/nonexistent"),
                                   capture_output=True, timeout=30)
        self.assertEqual(completed.stdout, b"error nembit-wayland-owner: the compositor offers no"
                                           b" data-control protocol\n")

    @require(MUTTER and shutil.which("wl-paste"), "no GNOME compositor (mutter)")
    def test_gnome_gets_the_last_of_many_paths_through_its_tool(self):
        names, paths = self.run_paths(200)
        run = self.run_nembit(*names, env=self.environment(WAYLAND_DISPLAY=MUTTER))
        self.assertEqual(run.status, 0)
        self.assertNotIn("Warning: Could not copy", run.out)
        self.assertEqual(wl_paste(display=MUTTER).decode(), paths[-1])


def query(sql, *parameters):
    """Rows from gol's history, read while gol may be writing it."""
    for _ in range(50):
        try:
            with sqlite3.connect(f"file:{GOL_DB}?mode=ro", uri=True, timeout=5) as db:
                return db.execute(sql, parameters).fetchall()
        except sqlite3.OperationalError:
            time.sleep(0.1)
    raise AssertionError(f"cannot read {GOL_DB}")


@unittest.skipUnless(WITH_GNTP, "built without the GNTP client component")
@require(GOL_DB, "no GNTP server gol")
class RealGntpServer(NembitTestCase):
    def environment(self, **changes):
        # The component's defaults reach gol: localhost, port 23053.
        return super().environment(GNTP_HOST=None, GNTP_PORT=None, **changes)

    def notices(self, token):
        """(title, text, icon) of every notification whose text holds `token`."""
        pattern = f"%{token}%"
        for _ in range(50):
            rows = query("SELECT title, text, icon FROM notification WHERE text LIKE ?", pattern)
            if rows:
                return rows
            time.sleep(0.1)
        return []

    def test_registers_and_announces_every_created_file(self):
        token = uuid.uuid4().hex[:8]
        run = self.run_nembit(f"a-{token}.txt", f"sub/{{b,c}}-{token}.txt")
        self.assertEqual(run.status, 0, run.out)
        self.assertFalse([line for line in run.lines if "Growl" in line], run.out)
        # gol keeps the first registration of an application, which an
        # earlier build of this same session may have made from its own tree.
        registered = query("SELECT app_icon, name, enable FROM application WHERE app_name = ?",
                           "nembit")
        self.assertEqual(len(registered), 1)
        icon, name, enabled = registered[0]
        self.assertRegex(icon, r"^file:///\S*/share/nembit/nembit\.jpg$")
        self.assertEqual((name, enabled), ("create", 1))
        self.assertEqual(sorted(self.notices(token)), [
            ("nembit", f'File created: "a-{token}.txt"', ICON_URI),
            ("nembit", f'File created: "b-{token}.txt"', ICON_URI),
            ("nembit", f'File created: "c-{token}.txt"', ICON_URI)])

    def test_a_line_break_in_a_name_stays_in_its_notice(self):
        token = uuid.uuid4().hex[:8]
        run = self.run_nembit(f"x\r\nX-Forged:1\n{token}", "--debug")
        self.assertEqual(run.status, 0, run.out)
        self.assertNotIn("Notification error", run.out)
        self.assertEqual(self.notices(token), [
            ("nembit", f'File created: "x  X-Forged:1 {token}"', ICON_URI)])


def desktop_notices(token, bus=None):
    """(appname, summary, body, icon_path) of every notice in dunst's history
    whose body holds `token`, oldest first; the notices on screen are closed
    into the history first."""
    env = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=bus or BUS)
    subprocess.run(["dunstctl", "close-all"], env=env, check=True, timeout=10)
    history = json.loads(subprocess.run(["dunstctl", "history"], env=env, capture_output=True,
                                        check=True, timeout=10).stdout)
    fields = ("appname", "summary", "body", "icon_path")
    notices = [tuple(entry[field]["data"] for field in fields) for entry in history["data"][0]]
    return [notice for notice in reversed(notices) if token in notice[2]]


@unittest.skipUnless(WITH_GNTP and WITH_DESKTOP, "built without the desktop notices")
@require(BUS and shutil.which("dunstctl") and GOL_DB, "no session bus with dunst, or no gol")
class DesktopNotices(NembitTestCase):
    """The default GNTP server is gol on localhost:23053; a run in a network
    namespace of its own finds nobody listening there."""

    def setUp(self):
        super().setUp()
        self.token = uuid.uuid4().hex[:8]

    def environment(self, **changes):
        values = {"GNTP_HOST": None, "GNTP_PORT": None, "DBUS_SESSION_BUS_ADDRESS": BUS}
        values.update(changes)
        return super().environment(**values)

    def run_without_gntp_server(self, *args, loopback=True, **env):
        """Runs nembit in a network namespace of its own, whose loopback is
        up (nobody listens on it) or down (it cannot be reached)."""
        if os.geteuid() != 0 or not shutil.which("unshare") or not shutil.which("ip"):
            if IN_CI:
                self.fail("CI runs as root, with unshare and ip")
            self.skipTest("a network namespace of its own needs root")
        up = "ip link set lo up && " if loopback else ""
        completed = subprocess.run(
            ["unshare", "--net", "--", "sh", "-c", up + 'exec "$@"', "sh", str(PROGRAM), *args],
            cwd=self.work, env=self.environment(**env), stdin=subprocess.DEVNULL,
            capture_output=True, timeout=60)
        return Run(completed)

    def named(self, *names):
        return [f"{name}-{self.token}.txt" for name in names]

    def test_without_a_gntp_server_a_run_leaves_one_notice_naming_its_last_file(self):
        a, b, odd = self.named("a", "b", "<i>x&y\x1b")
        desktop_notices(self.token)  # Closes what earlier tests left on screen.
        run = self.run_without_gntp_server(a, f"sub/{b}", odd)
        self.assertEqual(run.status, 0, run.out + run.err)
        self.assertNotIn("Growl", run.out)
        env = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=BUS)
        displayed = subprocess.run(["dunstctl", "count", "displayed"], env=env, check=True,
                                   capture_output=True, timeout=10).stdout
        self.assertEqual(displayed, b"1\n")
        icon = str(PROGRAM.parent.parent / "share/nembit/nembit.jpg")
        # dunst reads markup: the escaped name shows as the terminal shows it.
        self.assertEqual(desktop_notices(self.token), [
            ("nembit", "nembit", f'File created: "&lt;i&gt;x&amp;y\\x1b-{self.token}.txt"', icon)])
        # With the loopback down, localhost cannot be reached: nobody listens there either.
        unreachable, = self.named("unreachable")
        run = self.run_without_gntp_server(unreachable, loopback=False)
        self.assertNotIn("Growl", run.out)
        self.assertEqual(desktop_notices(self.token)[-1][2], f'File created: "{unreachable}"')

    def test_a_gntp_server_that_answers_gets_the_notices(self):
        name, = self.named("gntp")
        run = self.run_nembit(name)
        self.assertNotIn("Warning: Could not initialize Growl", run.out)
        self.assertEqual(desktop_notices(self.token), [])
        for _ in range(50):
            if query("SELECT text FROM notification WHERE text LIKE ?", f"%{self.token}%"):
                break
            time.sleep(0.1)
        else:
            self.fail("gol got no notice")

    def test_a_gntp_server_asked_for_by_name_is_the_only_one_tried(self):
        name, = self.named("closed")
        for run in (self.run_nembit(name, env=self.environment(GNTP_HOST="127.0.0.1",
                                                               GNTP_PORT=str(CLOSED_PORT))),
                    self.run_without_gntp_server(name, GNTP_PORT="23053"),
                    self.run_without_gntp_server(name, NEMBIT_NOTIFIER="gntp"),
                    self.run_without_gntp_server(name, DBUS_SESSION_BUS_ADDRESS=None)):
            with self.subTest(out=run.out):
                self.assertIn("Warning: Could not initialize Growl: [Errno 111] Connection refused",
                              run.lines)
        self.assertEqual(desktop_notices(self.token), [])

    def test_the_desktop_asked_for_by_name_is_the_only_one_tried(self):
        name, = self.named("desktop")
        run = self.run_nembit(name, env=self.environment(NEMBIT_NOTIFIER="desktop"))
        self.assertNotIn("Growl", run.out)
        self.assertEqual(len(desktop_notices(self.token)), 1)
        self.assertFalse(query("SELECT text FROM notification WHERE text LIKE ?",
                               f"%{self.token}%"))
        run = self.run_nembit(name, env=self.environment(NEMBIT_NOTIFIER="Desktop"))
        self.assertIn("Warning: NEMBIT_NOTIFIER must be gntp, desktop, auto or none, not "
                      "'Desktop'; auto is used", run.lines)

    def service(self, mode):
        """A bus of its own, whose notification service fake_notifications
        treats notices as `mode` says; its address."""
        folder = pathlib.Path(tempfile.mkdtemp(prefix="nembit-bus-"))
        self.addCleanup(shutil.rmtree, folder, ignore_errors=True)
        daemon = self.start(["dbus-daemon", "--session", "--nofork",
                             f"--address=unix:path={folder}/bus", "--print-address=1"])
        bus = daemon.stdout.readline().decode().strip()
        self.notices = self.start([str(BUILD_DIR / "tests/fake_notifications"), mode],
                                  env=dict(os.environ, DBUS_SESSION_BUS_ADDRESS=bus)).stdout
        self.assertEqual(self.notices.readline(), b"ready\n")
        return bus

    def test_a_stop_while_a_service_keeps_silent_ends_the_run(self):
        bus = self.service("silent")
        process = subprocess.Popen([str(PROGRAM), *self.named("1", "2")], cwd=self.work,
                                   env=self.environment(NEMBIT_NOTIFIER="desktop",
                                                        DBUS_SESSION_BUS_ADDRESS=bus),
                                   stdin=subprocess.DEVNULL, stdout=subprocess.PIPE)
        # It has made both files, and waits for the first's notice.
        self.assertTrue(wait_until(lambda: len(os.listdir(self.work)) == 2))
        time.sleep(0.3)
        start = time.monotonic()
        process.send_signal(signal.SIGTERM)
        out = process.communicate(timeout=10)[0]
        self.assertLess(time.monotonic() - start, 1)
        self.assertEqual(process.returncode, -signal.SIGTERM)
        self.assertEqual(out.decode().count("✓ File created"), len(os.listdir(self.work)))

    def test_a_service_that_never_answers_costs_one_wait(self):
        names = self.named("1", "2", "3", "4")
        start = time.monotonic()
        run = self.run_nembit("--debug", *names, env=self.environment(
            NEMBIT_NOTIFIER="desktop", DBUS_SESSION_BUS_ADDRESS=self.service("silent")))
        elapsed = time.monotonic() - start
        self.assertEqual(run.status, 0)
        # The first notice waits; the others took each other's place meanwhile.
        self.assertEqual(run.lines.count(
            "Notification error: timed out talking to the desktop notification service"), 1)
        self.assertLess(elapsed, 9)

    def test_a_slow_service_shows_the_last_notice_of_a_long_run(self):
        names = self.named(*map(str, range(1000)))
        run = self.run_nembit("--debug", *names, env=self.environment(
            NEMBIT_NOTIFIER="desktop", DBUS_SESSION_BUS_ADDRESS=self.service("slow")))
        self.assertEqual(run.status, 0)
        self.assertNotIn("Notification error", run.out)
        os.set_blocking(self.notices.fileno(), False)
        shown = [line.split(" ", 3) for line in self.notices.read().decode().splitlines()]
        self.assertEqual(shown[-1][3], f'File created: "{names[-1]}"')
        # Each notice took the place of the one before it, with normal urgency.
        self.assertEqual([replaces for _, replaces, _, _ in shown],
                         ["0"] + [given for given, _, _, _ in shown[:-1]])
        self.assertEqual({urgency for _, _, urgency, _ in shown}, {"1"})

    @unittest.skipUnless(WITH_OWNER and WITH_WAYLAND_OWNER, "built without the owners")
    @require(DISPLAY and WAYLAND and shutil.which("wl-paste"), "no X display and sway")
    def test_a_run_longer_than_the_budget_warns_of_nothing_and_ends_with_its_last(self):
        # Each change of each clipboard has a reader, and each run writes to
        # a terminal read slowly, a line at a time: it lasts longer than the
        # ten seconds of the budget, while copies and notices go on all along.
        self.start(["sh", "-c", "while :; do xclip -o -selection clipboard; sleep 0.05; done"],
                   env={"DISPLAY": DISPLAY, "PATH": "/usr/bin:/bin"})
        self.start(["wl-paste", "--watch", "cat"], env={"WAYLAND_DISPLAY": WAYLAND})
        bus = self.service("slow")
        runs = []
        for variable, display in (("DISPLAY", DISPLAY), ("WAYLAND_DISPLAY", WAYLAND)):
            names = self.named(*(f"{variable}-{i}" for i in range(4000)))
            work = pathlib.Path(tempfile.mkdtemp(dir=self.dir))
            terminal, output = pty.openpty()
            process = subprocess.Popen(
                [str(PROGRAM), "--debug", *names], cwd=work, stdin=subprocess.DEVNULL,
                stdout=output, env=self.environment(
                    NEMBIT_NOTIFIER="desktop", DBUS_SESSION_BUS_ADDRESS=bus, **{variable: display}))
            os.close(output)
            os.set_blocking(terminal, False)
            runs.append((process, terminal, str(work / names[-1]), names[-1]))
        start = time.monotonic()
        outs = [b"", b""]
        while any(process.poll() is None for process, _, _, _ in runs):
            for i, (_, terminal, _, _) in enumerate(runs):
                with contextlib.suppress(OSError):  # Nothing yet, or the run has ended.
                    outs[i] += os.read(terminal, 1024)
            self.shown_notices()  # The service waits on a full pipe.
            time.sleep(0.04)
        self.assertGreater(time.monotonic() - start, 11)
        for (process, terminal, last_path, last_name), out in zip(runs, outs):
            with contextlib.suppress(OSError):
                while chunk := os.read(terminal, 65536):
                    out += chunk
            os.close(terminal)
            self.assertEqual(process.returncode, 0)
            self.assertEqual(out.decode().count("✓ File created"), 4000)
            self.assertEqual([line for line in out.decode().splitlines()
                              if not line.startswith("✓ ")][:3], ["", "4000/4000 file(s) created successfully"])
            shown = [line.split(" ", 3)[3] for line in self.shown_notices()]
            run = f'File created: "{last_name.split("-")[0]}-'
            self.assertEqual([notice for notice in shown if notice.startswith(run)][-1],
                             f'File created: "{last_name}"')
        self.assertEqual(paste().decode(), runs[0][2])
        self.assertEqual(wl_paste().decode(), runs[1][2])

    def shown_notices(self):
        """The lines that the fake service has printed so far."""
        os.set_blocking(self.notices.fileno(), False)
        self.shown = getattr(self, "shown", []) + (self.notices.read() or b"").decode().splitlines()
        return self.shown

    def test_a_bus_that_never_answers_costs_one_wait(self):
        # It takes the connection and never says a word.
        silent = socket.socket(socket.AF_UNIX)
        self.addCleanup(silent.close)
        silent.bind(str(self.dir / "bus"))
        silent.listen()
        bus = f"unix:path={self.dir}/bus"
        for run_it, warning in ((self.run_nembit, "timed out talking to the desktop notification"
                                                  " service"),
                                (self.run_without_gntp_server, "[Errno 111] Connection refused")):
            with self.subTest(warning=warning):
                start = time.monotonic()
                if run_it == self.run_nembit:
                    run = run_it("a", "b", env=self.environment(NEMBIT_NOTIFIER="desktop",
                                                                DBUS_SESSION_BUS_ADDRESS=bus))
                else:
                    run = run_it("a", "b", DBUS_SESSION_BUS_ADDRESS=bus)
                self.assertLess(time.monotonic() - start, 15)
                self.assertEqual(run.status, 0)
                self.assertIn(f"Warning: Could not initialize Growl: {warning}", run.lines)

    def test_a_service_is_told_apart_by_what_it_does(self):
        name, = self.named("<i>x")
        run = self.run_nembit("--debug", name, env=self.environment(
            NEMBIT_NOTIFIER="desktop", DBUS_SESSION_BUS_ADDRESS=self.service("answer")))
        self.assertEqual(run.status, 0)
        # It lists body-markup first: the name is escaped all the same.
        self.assertEqual(self.notices.readline().decode(),
                         f'File created: "&lt;i&gt;x-{self.token}.txt"\n')
        run = self.run_nembit("--debug", name, env=self.environment(
            NEMBIT_NOTIFIER="desktop", DBUS_SESSION_BUS_ADDRESS=self.service("crash")))
        self.assertIn("Notification error: the desktop notification service failed: Message"
                      " recipient disconnected from message bus without replying", run.lines)
        run = self.run_nembit("--debug", name, env=self.environment(
            NEMBIT_NOTIFIER="desktop", DBUS_SESSION_BUS_ADDRESS=self.service("timeout")))
        self.assertIn("Notification error: timed out talking to the desktop notification service",
                      run.lines)

if __name__ == "__main__":
    unittest.main()
