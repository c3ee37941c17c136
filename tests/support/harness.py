"""Runs the built nembit as a user would, in a scratch directory of its own."""

import os
import pathlib
import shutil
import signal
import socket
import stat
import subprocess
import tempfile
import unittest

PROGRAM = pathlib.Path(os.environ["NEMBIT"]).resolve()
BUILD_DIR = pathlib.Path(os.environ["NEMBIT_BUILD_DIR"]).resolve()
SOURCE_DIR = pathlib.Path(os.environ["NEMBIT_SOURCE_DIR"]).resolve()
VERSION = os.environ["NEMBIT_VERSION"]
SANITIZE = os.environ.get("NEMBIT_SANITIZE") == "ON"
WITH_CLIPBOARD = os.environ.get("NEMBIT_WITH_CLIPBOARD") == "ON"
WITH_GNTP = os.environ.get("NEMBIT_WITH_NOTICES") == "ON"
IN_CI = os.environ.get("CI") == "true"
# The longest that one unit of work (a compile, a package checked) may take,
# on a machine busy with other work too; a whole build of this tree may take
# that for each of its sources (NEMBIT_BUILD_LIMIT, which CMake counts).
UNIT_LIMIT = 60
BUILD_LIMIT = int(os.environ.get("NEMBIT_BUILD_LIMIT", "3600"))

CLIPBOARD_MISSING = "Warning: clipboard module not available. Install with: pip install clipboard"
GNTP_MISSING = "Warning: gntp module not available. Install with: pip install gntp"

# A TCP port with nothing listening on it: bound for the whole run, never
# listened on, so that connecting to it is refused at once.
_closed = socket.socket()
_closed.bind(("127.0.0.1", 0))
CLOSED_PORT = _closed.getsockname()[1]


class Run:
    def __init__(self, completed):
        self.status = completed.returncode
        self.out = completed.stdout.decode("utf-8", "surrogateescape")
        self.err = completed.stderr.decode("utf-8", "surrogateescape")
        self.lines = self.out.splitlines()

    def without_warnings(self):
        """The lines of standard output but the start-up and registration warnings."""
        return [line for line in self.lines if not line.startswith("Warning: ")]


class NembitTestCase(unittest.TestCase):
    """Each test gets a scratch directory as its working directory."""

    def setUp(self):
        self.dir = pathlib.Path(tempfile.mkdtemp(prefix="nembit-e2e-")).resolve()
        self.addCleanup(shutil.rmtree, self.dir, ignore_errors=True)
        self.fake_bin = self.dir / "fake-bin"
        self.work = self.dir / "work"
        self.work.mkdir()

    def environment(self, **changes):
        """A plain environment: no clipboard tool reachable, no GNTP server."""
        env = {
            "PATH": f"{self.fake_bin}:/usr/bin:/bin",
            "HOME": str(self.dir),
            "LANG": "C.UTF-8",
            "GNTP_HOST": "127.0.0.1",
            "GNTP_PORT": str(CLOSED_PORT),
        }
        for name in ("ASAN_OPTIONS", "UBSAN_OPTIONS"):
            if name in os.environ:
                env[name] = os.environ[name]
        env.update(changes)
        return {name: value for name, value in env.items() if value is not None}

    def run_nembit(self, *args, program=PROGRAM, env=None, cwd=None, **options):
        completed = subprocess.run(
            [str(program), *args],
            cwd=cwd or self.work,
            env=env or self.environment(),
            stdin=subprocess.DEVNULL,
            capture_output=True,
            timeout=60,
            **options,
        )
        return Run(completed)

    def fake_tool(self, name, script):
        """Puts an executable shell script `name` first on PATH."""
        self.fake_bin.mkdir(exist_ok=True)
        path = self.fake_bin / name
        path.write_text("#!/bin/sh\n" + script + "\n")
        path.chmod(0o755)
        return path

    def start(self, command, **options):
        """Starts a helper in a process group of its own, which is stopped
        with all it started at the end of the test; its standard output is
        a pipe."""
        process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                   stdin=subprocess.DEVNULL, start_new_session=True, **options)
        self.addCleanup(process.stdout.close)
        self.addCleanup(process.wait)
        self.addCleanup(kill_group, process.pid)
        return process

    def startup_lines(self, clipboard=False):
        lines = []
        if not (clipboard and WITH_CLIPBOARD):
            lines.append(CLIPBOARD_MISSING)
        if not WITH_GNTP:
            lines.append(GNTP_MISSING)
        return lines

    def created(self, *names):
        return [f'✓ File created: "{self.work / name}"' for name in names]

    def assert_tree(self, *names):
        """The working directory holds exactly the files and directories `names`."""
        found = sorted(str(path.relative_to(self.work)) for path in self.work.rglob("*"))
        self.assertEqual(found, sorted(names))

    def open_to_others(self):
        """Lets an unprivileged user into the scratch directory."""
        for path in (self.dir, self.work):
            path.chmod(path.stat().st_mode | stat.S_IXOTH | stat.S_IROTH | stat.S_IWOTH)


def kill_group(pid):
    """Kills the process group `pid` of a helper that a test started, if it is there still."""
    try:
        os.killpg(pid, signal.SIGKILL)
    except ProcessLookupError:
        pass


def as_unprivileged_user():
    """The command prefix that runs a program as nobody when running as root."""
    if os.geteuid() != 0:
        return []
    return ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups", "--"]
