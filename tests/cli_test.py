"""End-to-end tests of the nembit command: help, version, usage errors,
re-joining of split brace groups, the summary and the exit status, refused
permissions, standard output failures, the program's own files, the
clipboard through a fake tool, and notices without a server. Odd names and
what exists at a path are covered by the unit tests of FileCreator."""

import os
import pathlib
import pty
import re
import resource
import shutil
import signal
import socket
import struct
import subprocess
import tempfile
import threading
import time
import unittest

from harness import (BUILD_DIR, CLIPBOARD_MISSING, PROGRAM, SANITIZE, WITH_CLIPBOARD, WITH_GNTP,
                     NembitTestCase, Run, as_unprivileged_user)

VERSION = os.environ["NEMBIT_VERSION"]
BANNER = f"nembit v{VERSION} by the nembit developers (nembit@example.org)"
EPILOG = (
    "\n"
    "Examples:\n"
    "  nembit file.txt                       # Create single file\n"
    "  nembit file1.txt file2.py file3       # Create multiple files\n"
    "  nembit dir/subdir/file.txt            # Create with directories\n"
    "  nembit dir/{a,b,c}.txt                # Brace expansion (creates dir/a.txt, dir/b.txt,"
    " dir/c.txt)\n"
    "  nembit dotenv/{__init__.py,core.py}   # Create package structure\n"
    "  \n"
    "Note: Use forward slashes (/) for directories, even on Windows.\n"
    "        ")


def summary(created, expected):
    return ["", f"{created}/{expected} file(s) created successfully"]


class HelpAndVersion(NembitTestCase):
    def test_help_when_there_is_nothing_to_create(self):
        for args in ([], ["--debug"], ["-h"], ["a.txt", "--help"]):
            with self.subTest(args=args):
                run = self.run_nembit(*args)
                self.assertEqual(run.status, 0)
                self.assertEqual(run.err, "")
                help_lines = run.lines[len(self.startup_lines()):]
                self.assertEqual(run.lines[: len(self.startup_lines())], self.startup_lines())
                self.assertEqual(help_lines[0], "Create blank files with notification support")
                self.assertEqual(help_lines[1], "Usage: nembit [OPTIONS] [FILE...]")
                for text in ("File(s) to create. Supports brace expansion.",
                             "Show detailed error messages", "-h,--help", "--version"):
                    self.assertIn(text, run.out)
                self.assertTrue(run.out.endswith(EPILOG + "\n"))
                self.assert_tree()

    def test_version_banner_follows_the_startup_lines(self):
        run = self.run_nembit("a.txt", "--version")
        self.assertEqual((run.status, run.err), (0, ""))
        self.assertEqual(run.lines, self.startup_lines() + [BANNER])
        self.assert_tree()

    def test_usage_errors_create_nothing(self):
        for args, error in ((["--force", "a.txt"], "--force"), (["a.txt", "--debug=1"], "debug"),
                            (["-x"], "-x"), (["---", "a1"], "---"), (["---"], "---"),
                            (["----", "---help"], "---- ---help"), (["-1."], "-1."),
                            (["--help="], "--help takes no value"),
                            (["a", "--version=1"], "--version takes no value")):
            with self.subTest(args=args):
                run = self.run_nembit(*args)
                self.assertEqual(run.status, 2)
                self.assertEqual(run.lines, self.startup_lines())
                usage, message = run.err.splitlines()
                self.assertEqual(usage, "Usage: nembit [OPTIONS] [FILE...]")
                self.assertTrue(message.startswith("nembit: error: "), message)
                self.assertIn(error, message)
                self.assert_tree()


class CommandLine(NembitTestCase):
    def test_rejoins_brace_groups_that_the_shell_split(self):
        cases = [
            (["dir/{a,", "b}.txt"], ["dir/a.txt", "dir/b.txt"], ["dir"]),
            (["dir/{a,", "-b}.txt"], ["dir/a.txt", "dir/-b.txt"], ["dir"]),
            (["my file.txt"], ["my", "file.txt"], []),
            (["{my file}.txt"], ["my.txt", "file.txt"], []),
            (["x{a,{b,c} d}"], ["x/a", "x/{b", "x/c", "d}"], ["x"]),
            (["{a b"], ["{a b"], []),
            (["a} b"], ["a}", "b"], []),
            (["a\tb"], ["a\tb"], []),
            (["--", "--force"], ["--force"], []),
            (["--", "--", "x"], ["--", "x"], []),
            (["a", "--debug", "b"], ["a", "b"], []),
            (["", "  "], [], []),
            (["[a,b]", "[x]", "--", "[]", "--debug"], ["[a,b]", "[x]", "[]", "--debug"], []),
            (["'q'", '"q"', "a,b", "--", "k=v"], ["'q'", '"q"', "a,b", "k=v"], []),
            ([str(self.work / "[s]"), "d/{[a,b],c}"], ["[s]", "d/[a", "d/b]", "d/c"], ["d"]),
        ]
        for args, names, dirs in cases:
            with self.subTest(args=args):
                shutil.rmtree(self.work)
                self.work.mkdir()
                run = self.run_nembit(*args)
                self.assertEqual(run.status, 0, run.out)
                self.assertEqual(run.without_warnings(),
                                 self.created(*names) + summary(len(names), len(names)))
                self.assert_tree(*names, *dirs)

    def test_counts_every_name_and_fails_when_one_is_missing(self):
        (self.work / "f").write_text("keep")
        run = self.run_nembit("f", "f/g", "a", "a", "a}b{c")
        self.assertEqual(run.status, 1)
        self.assertEqual(
            run.without_warnings(),
            self.created("f")
            + ["✗ Error creating file \"f/g\": [Errno 17] File exists: 'f'"]
            + self.created("a", "a", "a}b{c")
            + summary(4, 5))
        self.assertEqual((self.work / "f").read_text(), "keep")

    def test_debug_adds_the_diagnostic(self):
        (self.work / "f").write_text("")
        run = self.run_nembit("--debug", "f/g", "h")
        self.assertEqual(run.without_warnings(), [
            "✗ Error creating file \"f/g\": [Errno 17] File exists: 'f'",
            "failure: system error EEXIST",
            "description: [Errno 17] File exists: 'f'",
            "operations, outermost first:",
            "  create_file('f/g')",
            "  creating the parent directories of 'f/g'",
            "  mkdir('f')",
            "",
        ] + self.created("h") + summary(1, 2))


class BadInput(NembitTestCase):
    def test_permission_refused(self):
        self.open_to_others()
        program = self.dir / "nembit"
        shutil.copy(PROGRAM, program)
        (self.work / "ro").mkdir(mode=0o555)
        (self.work / "ro").chmod(0o555)
        completed = subprocess.run(
            [*as_unprivileged_user(), str(program), "ro/x", "ro/sub/y", "ok"], cwd=self.work,
            env=self.environment(), capture_output=True, timeout=60, check=False)
        lines = [line for line in completed.stdout.decode().splitlines()
                 if not line.startswith("Warning: ")]
        self.assertEqual(completed.returncode, 1)
        self.assertEqual(lines, [
            "✗ Error creating file \"ro/x\": [Errno 13] Permission denied: 'ro/x'",
            "✗ Error creating file \"ro/sub/y\": [Errno 13] Permission denied: 'ro/sub'",
        ] + self.created("ok") + summary(1, 3))


class StandardOutput(NembitTestCase):
    def run_shell(self, script, **options):
        return subprocess.run(["sh", "-c", script, str(PROGRAM)], cwd=self.work,
                              stderr=subprocess.PIPE, env=self.environment(), timeout=60,
                              **options)

    def test_a_failed_write_fails_the_run_and_names_its_reason(self):
        reader, writer = os.pipe()
        os.close(reader)
        datagrams, unread = socket.socketpair(socket.AF_UNIX, socket.SOCK_DGRAM)
        self.addCleanup(unread.close)
        self.addCleanup(datagrams.close)
        cases = [
            ('exec "$0" a >/dev/full', {}, "No space left on device"),
            ('exec "$0" --version >/dev/full', {}, "No space left on device"),
            ('exec "$0" a >&-', {}, "Bad file descriptor"),
            ('trap "" PIPE; exec "$0" --version', {"stdout": writer}, "Broken pipe"),
            # Read-only: nothing goes into the pipe it reads.
            ('echo in | exec "$0" a 1<&0', {}, "Bad file descriptor"),
            # An error line of 220 KB, more than one datagram holds.
            (f'exec "$0" {"y" * 110_000}', {"stdout": datagrams.fileno()}, "Message too long"),
        ]
        for script, options, reason in cases:
            with self.subTest(script=script[:40]):
                completed = self.run_shell(script, **options)
                self.assertEqual(completed.returncode, 1)
                self.assertEqual(completed.stderr.decode(),
                                 f"nembit: error writing standard output: {reason}\n")
        os.close(writer)
        self.assertTrue((self.work / "a").exists())

    def test_a_stream_socket_gets_lines_longer_than_its_buffer(self):
        mine, theirs = socket.socketpair()
        self.addCleanup(mine.close)
        got = []
        reading = threading.Thread(target=lambda: got.extend(iter(lambda: mine.recv(65536), b"")))
        reading.start()
        long_name = "y" * 110_000  # Its error line, 220 KB, is longer than the buffer.
        completed = subprocess.run([str(PROGRAM), long_name, "ok"], cwd=self.work, stdout=theirs,
                                   env=self.environment(), stdin=subprocess.DEVNULL, timeout=30)
        theirs.close()
        reading.join(timeout=30)
        self.assertEqual(completed.returncode, 1)
        lines = b"".join(got).decode().splitlines()
        self.assertTrue(lines[-4].startswith(f'✗ Error creating file "{long_name}": [Errno 36]'))
        self.assertEqual(lines[-3:], self.created("ok") + ["", "1/2 file(s) created successfully"])

    def test_a_stop_keeps_the_line_of_every_created_file(self):
        # Standard output is a pipe that nobody reads yet: nembit blocks in a
        # write, and is asked to stop there.
        names = [f"d/f{i:05}" for i in range(20000)]
        process = subprocess.Popen([str(PROGRAM), *names], cwd=self.work, env=self.environment(),
                                   stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, bufsize=0)
        first = process.stdout.readline()  # It has started writing.
        process.send_signal(signal.SIGTERM)
        process.send_signal(signal.SIGINT)  # The second cuts no line short.
        out = first + process.communicate(timeout=30)[0]
        # It ends by the one it received first: both may wait for it together,
        # and then SIGINT, the lower, comes first.
        self.assertIn(process.returncode, (-signal.SIGTERM, -signal.SIGINT))
        lines = out.decode().split("\n")
        self.assertEqual(lines[-1], "")  # The output ends with a whole line.
        created = [line for line in lines if line.startswith("✓ ")]
        self.assertEqual(len(created), len(list((self.work / "d").iterdir())))
        self.assertLess(len(created), len(names))
        self.assertEqual(created[-1], self.created(names[len(created) - 1])[0])

    def test_a_stop_ends_a_run_whose_output_nobody_reads(self):
        # Thirteen lines of 2.2 KB, each of which a pipe takes a page of its
        # own for, then an error line of 20 KB that the pipe has no certain
        # room for; then enough to fill a socket's buffer, an error line of
        # 150 KB, more than a socket takes at once, after every twenty short
        # lines.
        deep = "/".join(["y" * 200] * 10)
        names = [f"d{i}/{deep}" for i in range(13)] + ["x" * 10000]
        for i in range(0, 200, 20):
            names += [f"f{i + j}" for j in range(20)] + ["z" * 75000]
        tcp_names = names[:13] + [f"t{i}" for i in range(20000)]
        as_nobody = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"]
        without_proc = ["unshare", "--mount", "--propagation", "private", "sh", "-c",
                        'umount -l /proc && exec "$@"', "sh"]
        for output, before in (("pipe", []), ("FIFO", []), ("non-blocking pipe", []),
                               ("pipe, stopped and continued", []), ("pipe, without /proc",
                                                                     without_proc),
                               ("socket", []), ("TCP socket", []), ("datagram socket", []),
                               ("terminal", []), ("terminal of another user's", as_nobody),
                               ("terminal, without /proc", without_proc)):
            with self.subTest(output=output):
                if before and os.geteuid() != 0:
                    self.skipTest("only root runs as another user or without /proc")
                work = pathlib.Path(tempfile.mkdtemp(dir=self.dir))
                self.dir.chmod(0o755)
                work.chmod(0o777)  # The other user makes files there.
                reader, writer = self.unread_output(output)
                # TCP's buffer holds no line longer than its half for certain.
                run_names = tcp_names if output == "TCP socket" else names
                process = subprocess.Popen([*before, str(PROGRAM), *run_names], cwd=work,
                                           stdout=writer, env=self.environment(),
                                           stdin=subprocess.DEVNULL)
                # It waits once the output is full, as nobody reads it.
                made = -1
                while made != len(os.listdir(work)):
                    made = len(os.listdir(work))
                    time.sleep(0.3)
                if "non-blocking" in output:  # It waits without a write a moment.
                    writes = self.write_calls(process.pid)
                    time.sleep(1)
                    self.assertLess(self.write_calls(process.pid) - writes, 50)
                if "stopped" in output:
                    process.send_signal(signal.SIGSTOP)
                    process.send_signal(signal.SIGCONT)
                process.send_signal(signal.SIGTERM)
                self.assertEqual(process.wait(timeout=5), -signal.SIGTERM)
                # The description it shared keeps the flags its parent gave it.
                self.assertEqual(os.get_blocking(writer), "non-blocking" not in output)
                os.close(writer)
                if output.startswith("terminal"):
                    os.close(reader)
                    continue  # A terminal does not tell its room: a line may stop short there.
                if output == "TCP socket":  # What it queued comes until the end.
                    os.set_blocking(reader, True)
                out = b""
                while chunk := self.read_some(reader):
                    self.assertTrue(chunk.endswith(b"\n") or "datagram" not in output)
                    out += chunk
                os.close(reader)
                self.assertTrue(out.endswith(b"\n"), out[-100:])
                for line in out.decode().splitlines():
                    if not line.startswith("Warning: "):
                        self.assertRegex(line, '^(✓ File created: ".*/(y+|[ft]\\d+)"|✗ Error creating '
                                               'file "(x+|z+)": .* too long: \'(x+|z+)\')$')

    def test_a_stop_gives_the_output_its_grace_and_no_more(self):
        names = [f"f{i:05}" for i in range(20000)]
        for reader_returns in (False, True):
            with self.subTest(reader_returns=reader_returns):
                shutil.rmtree(self.work)
                self.work.mkdir()
                reader, writer = self.unread_output("pipe")
                process = subprocess.Popen([str(PROGRAM), *names], cwd=self.work, stdout=writer,
                                           env=self.environment(), stdin=subprocess.DEVNULL)
                os.close(writer)
                made = -1
                while made != len(os.listdir(self.work)):
                    made = len(os.listdir(self.work))
                    time.sleep(0.3)
                process.send_signal(signal.SIGTERM)
                start = time.monotonic()
                out = b""
                if reader_returns:  # Within the grace: every file made gets its line.
                    time.sleep(0.05)
                    os.set_blocking(reader, True)
                    while chunk := os.read(reader, 65536):
                        out += chunk
                    self.assertEqual(out.decode().count("✓ File created"),
                                     len(os.listdir(self.work)))
                else:  # Continued again and again, it still ends when the grace is up.
                    while process.poll() is None and time.monotonic() - start < 5:
                        process.send_signal(signal.SIGCONT)
                        time.sleep(0.02)
                    self.assertLess(time.monotonic() - start, 1)
                self.assertEqual(process.wait(timeout=5), -signal.SIGTERM)
                os.close(reader)

    @unittest.skipUnless(WITH_CLIPBOARD, "built without the clipboard component")
    def test_a_terminal_gets_each_line_as_it_is_done(self):
        self.fake_tool("xclip", "sleep 3")  # The run ends once its copy is done.
        terminal, output = pty.openpty()
        self.addCleanup(os.close, terminal)
        process = subprocess.Popen([str(PROGRAM), "a"], cwd=self.work, stdout=output,
                                   stdin=subprocess.DEVNULL, env=self.environment(DISPLAY=":99"))
        os.close(output)
        self.addCleanup(process.wait, 30)
        shown = b""
        while b"File created" not in shown:
            shown += os.read(terminal, 4096)
        self.assertIsNone(process.poll())

    @unittest.skipIf(SANITIZE, "LeakSanitizer does not run under ptrace")
    def test_a_file_takes_the_output_in_few_writes(self):
        if not shutil.which("strace"):
            self.skipTest("no strace")
        trace = self.dir / "trace"
        with open(self.dir / "out", "wb") as out:
            traced = subprocess.run(["strace", "-f", "-e", "trace=write", "-o", str(trace),
                                     str(PROGRAM), *(f"f{i:05}" for i in range(10000))],
                                    cwd=self.work, stdout=out, env=self.environment(),
                                    stdin=subprocess.DEVNULL, timeout=60)
        self.assertEqual(traced.returncode, 0)
        writes = [line for line in trace.read_text().splitlines() if " write(1," in line]
        self.assertLessEqual(len(writes), 20)
        self.assertEqual((self.dir / "out").read_text().count("✓ File created"), 10000)

    def unread_output(self, kind):
        """A read end and a write end of an output of `kind` that nobody
        reads; reading the first after the run gives what it took."""
        if kind.startswith("terminal"):
            master, slave = pty.openpty()
            os.set_blocking(master, False)
            return master, slave
        if kind == "TCP socket":
            listener = socket.create_server(("127.0.0.1", 0))
            theirs = socket.create_connection(listener.getsockname())
            theirs.setsockopt(socket.SOL_SOCKET, socket.SO_SNDBUF, 16384)
            mine, _ = listener.accept()
            listener.close()
            mine.setblocking(False)
            return mine.detach(), theirs.detach()
        if kind.endswith("socket"):
            mine, theirs = socket.socketpair(
                type=socket.SOCK_DGRAM if kind.startswith("datagram") else socket.SOCK_STREAM)
            mine.setblocking(False)
            return mine.detach(), theirs.detach()
        if kind == "FIFO":
            fifo = self.dir / "fifo"
            os.mkfifo(fifo)
            reader = os.open(fifo, os.O_RDONLY | os.O_NONBLOCK)
            return reader, os.open(fifo, os.O_WRONLY)
        reader, writer = os.pipe()
        os.set_blocking(reader, False)
        os.set_blocking(writer, "non-blocking" not in kind)
        return reader, writer

    @staticmethod
    def read_some(reader):
        """What the non-blocking `reader` has, a datagram whole; b"" at its end."""
        try:
            return os.read(reader, 1 << 20)
        except BlockingIOError:
            return b""

    @staticmethod
    def write_calls(pid):
        """How many write calls process `pid` has made."""
        for line in pathlib.Path(f"/proc/{pid}/io").read_text().splitlines():
            if line.startswith("syscw:"):
                return int(line.split()[1])
        raise AssertionError("no syscw")

    def test_an_ignored_hangup_stays_ignored(self):
        names = [f"f{i:05}" for i in range(20000)]
        process = subprocess.Popen([str(PROGRAM), *names], cwd=self.work, env=self.environment(),
                                   stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, bufsize=0,
                                   preexec_fn=lambda: signal.signal(signal.SIGHUP, signal.SIG_IGN))
        first = process.stdout.readline()
        process.send_signal(signal.SIGHUP)
        out = first + process.communicate(timeout=30)[0]
        self.assertEqual(process.returncode, 0)
        self.assertEqual(out.decode().count("✓ File created"), len(names))

    def test_a_deleted_working_directory_gives_whole_lines(self):
        completed = self.run_shell('mkdir gone && cd gone && rmdir ../gone && exec "$0" .',
                                   stdout=subprocess.PIPE)
        self.assertIn('\n✗ Error creating file ".": [Errno 2] No such file or directory\n',
                      completed.stdout.decode())


class ProgramFiles(NembitTestCase):
    """The program copied into a bin/ of its own, beside a share/nembit/."""

    def setUp(self):
        super().setUp()
        self.program = self.dir / "prefix/bin/nembit"
        self.program.parent.mkdir(parents=True)
        shutil.copy(PROGRAM, self.program)
        self.share = self.dir / "prefix/share/nembit"
        (self.share / "nembit").mkdir(parents=True)

    def version(self, **env):
        run = self.run_nembit("--version", program=self.program, env=self.environment(**env))
        self.assertEqual(run.status, 0)
        self.assertTrue(run.lines[-1].startswith("nembit v"), run.out)
        return run.lines[-1].removeprefix("nembit v").removesuffix(
            " by the nembit developers (nembit@example.org)"), run.without_warnings()[:-1]

    def test_reads_the_version_from_the_first_version_line(self):
        cases = [
            ('version = "0.33"', "0.33"),
            ("   version='1.2.3'", "1.2.3"),
            ('version = " 1.0 "', " 1.0 "),
            ("version = '\"1.0\"'", '"1.0"'),
            ('version = "1.0" #note', '1.0" #note'),
            ("version =", ""),
            ("__version__ = 1.0", "2.0"),
            ("VERSION = 1", "2.0"),
            ("version = a=b\r\nversion = 2", "2"),
            ("version_info = 1\rversion = 3", "1"),
        ]
        for text, version in cases:
            with self.subTest(text=text):
                (self.share / "__version__.py").write_text(text, newline="")
                self.assertEqual(self.version(), (version, []))

    def test_looks_in_the_subdirectory_only_when_the_first_is_no_file(self):
        self.assertEqual(self.version(), ("2.0", []))
        (self.work / "__version__.py").write_text("version = 'cwd'")
        self.assertEqual(self.run_nembit("--version", program=self.program, cwd=self.work)
                         .lines[-1].split()[1], "v2.0")
        (self.share / "nembit/__version__.py").write_text("version = 'sub'")
        self.assertEqual(self.version(), ("sub", []))
        (self.share / "__version__.py").mkdir()
        self.assertEqual(self.version(), ("sub", []))
        (self.share / "__version__.py").rmdir()
        (self.share / "__version__.py").write_text("# none\n")
        self.assertEqual(self.version(), ("2.0", []))

    def test_reports_a_version_file_it_cannot_read(self):
        path = self.share / "__version__.py"
        path.write_bytes(b"# caf\xe9\nversion = '1'\n")
        self.assertEqual(self.version(), ("2.0", [
            f"ERROR: cannot decode byte 0xe9 at offset 5 of '{path}' as UTF-8"]))
        self.assertEqual(self.version(TRACEBACK="1"), ("2.0", [
            "failure: decoding error",
            f"description: cannot decode byte 0xe9 at offset 5 of '{path}' as UTF-8",
            "operations, outermost first:",
            "  get_version()"]))

        path.write_text("version = '1'")
        path.chmod(0)
        self.open_to_others()
        for directory in (self.dir / "prefix", self.program.parent, self.share.parent, self.share):
            directory.chmod(0o755)
        completed = subprocess.run([*as_unprivileged_user(), str(self.program), "--version"],
                                   cwd="/", env=self.environment(), capture_output=True,
                                   timeout=60, check=False)
        lines = completed.stdout.decode().splitlines()
        self.assertIn(f"ERROR: [Errno 13] Permission denied: '{path}'", lines)
        self.assertTrue(lines[-1].startswith("nembit v2.0 by "))


@unittest.skipUnless(WITH_CLIPBOARD, "built without the clipboard component")
class FakeClipboard(NembitTestCase):
    def test_copies_each_new_path(self):
        log = self.dir / "copied"
        self.fake_tool("xclip", f'[ "$*" = "-selection clipboard" ] || exit 9\n'
                                f'cat >> "{log}"; echo >> "{log}"')
        run = self.run_nembit("a", "b/c", env=self.environment(DISPLAY=":99"))
        self.assertNotIn(CLIPBOARD_MISSING, run.lines)
        self.assertEqual(run.status, 0)
        self.assert_copied_last(log, "a", "b/c")

    def assert_copied_last(self, log, *names):
        """The tool got the last of `names`, after none or some of the others
        in their order: a copy may take the place of one not yet begun."""
        copied = log.read_text().splitlines()
        paths = [str(self.work / name) for name in names]
        self.assertEqual(copied[-1:], paths[-1:])
        self.assertEqual(copied, [path for path in paths if path in copied])

    def test_a_failing_tool_costs_a_warning(self):
        self.fake_tool("xclip", "echo 'cannot open display' >&2; exit 1")
        for ignored in (signal.SIG_DFL, signal.SIG_IGN):  # SIGCHLD, as the parent leaves it.
            run = self.run_nembit("a", env=self.environment(DISPLAY=":99"),
                                  preexec_fn=lambda: signal.signal(signal.SIGCHLD, ignored))
            self.assertEqual(run.status, 0)
            self.assertEqual(run.without_warnings()[0], self.created("a")[0])
            self.assertIn("Warning: Could not copy to clipboard: xclip: exited with status 1: "
                          "cannot open display", run.lines)

    def test_time_spent_stopped_is_no_time_a_copy_took(self):
        log = self.dir / "copied"
        self.fake_tool("xclip", f'echo >> "{self.dir}/starts"; cat >> "{log}"; echo >> "{log}";'
                                ' sleep 0.3')
        process = subprocess.Popen([str(PROGRAM), "a", "b", "c"], cwd=self.work,
                                   env=self.environment(DISPLAY=":99"), stdin=subprocess.DEVNULL,
                                   stdout=subprocess.PIPE)
        while not (self.dir / "starts").exists():
            time.sleep(0.01)
        # As Ctrl-Z, then fg past all the 10 s that a run's copies may take.
        process.send_signal(signal.SIGSTOP)
        time.sleep(10.5)
        process.send_signal(signal.SIGCONT)
        out = process.communicate(timeout=30)[0].decode()
        self.assertNotIn("Warning: Could not copy", out)
        self.assert_copied_last(log, "a", "b", "c")


    def test_copies_although_the_parent_ignores_child_signals(self):
        log = self.dir / "copied"
        # The tool records the signals it ignores: SIGPIPE must not be one.
        self.fake_tool("xclip", f'grep SigIgn /proc/$$/status >> "{log}.signals"; '
                                f'cat >> "{log}"; echo >> "{log}"; (sleep 30 &)')
        def ignore():
            signal.signal(signal.SIGCHLD, signal.SIG_IGN)
            signal.signal(signal.SIGPIPE, signal.SIG_IGN)
        start = time.monotonic()
        run = self.run_nembit("a", "b", env=self.environment(DISPLAY=":99"), preexec_fn=ignore)
        self.assertLess(time.monotonic() - start, 4)
        self.assertEqual(run.without_warnings(), self.created("a", "b") + summary(2, 2))
        self.assert_copied_last(log, "a", "b")
        for line in pathlib.Path(f"{log}.signals").read_text().splitlines():
            self.assertFalse(int(line.split()[1], 16) & 1 << (signal.SIGPIPE - 1), line)
        # A program that links libnembit may ignore SIGCHLD for good.
        copy_lines = BUILD_DIR / "tests/copy_lines"
        if copy_lines.exists():
            start = time.monotonic()
            completed = subprocess.run([str(copy_lines)], input=b"c\nd\n", capture_output=True,
                                       env=self.environment(DISPLAY=":99"), timeout=30,
                                       preexec_fn=ignore)
            self.assertLess(time.monotonic() - start, 4)
            self.assertEqual(completed.stdout, b"ok\nok\n")

    def test_an_owner_that_cannot_run_leaves_the_copies_to_the_tool(self):
        log = self.dir / "copied"
        self.fake_tool("xclip", f'cat >> "{log}"; echo >> "{log}"')
        program = self.dir / "tree/bin/nembit"
        owner = self.dir / "tree/lib/nembit/nembit-clipboard-owner"
        owner.parent.mkdir(parents=True)
        program.parent.mkdir(parents=True)
        shutil.copy(PROGRAM, program)
        owner.write_text("#!/bin/sh\nexit 1\n")  # As when its library is missing.
        owner.chmod(0o755)
        run = self.run_nembit("a", "b", program=program, env=self.environment(DISPLAY=":99"))
        self.assertEqual(run.without_warnings(), self.created("a", "b") + summary(2, 2))
        self.assert_copied_last(log, "a", "b")

    def test_a_stop_as_the_tool_ends_stops_the_run(self):
        # The tool asks nembit to stop and ends at once, well within the copy.
        self.fake_tool("xclip", "cat >/dev/null; kill -TERM $PPID")
        for _ in range(5):
            with self.subTest():
                shutil.rmtree(self.work)
                self.work.mkdir()
                run = self.run_nembit("a", "b", env=self.environment(DISPLAY=":99"))
                self.assertEqual(run.status, -signal.SIGTERM)
                # The run goes on while the tool works: each file made has its line.
                made = sorted(path.name for path in self.work.iterdir())
                self.assertEqual(run.without_warnings(), self.created(*made))

    def hanging_tool(self):
        self.fake_tool("xclip", f'echo >> "{self.dir}/starts"; sleep 60 & echo $! > "{self.dir}/pid"; '
                                'wait')

    def assert_ended(self, pid_file):
        pid = pid_file.read_text().strip()
        for _ in range(100):
            stat = pathlib.Path(f"/proc/{pid}/stat")
            if not stat.exists() or stat.read_text().split()[2] == "Z":
                return
            time.sleep(0.05)
        self.fail(f"the tool's child {pid} still runs")

    def test_a_stalled_tool_costs_one_wait_and_one_warning(self):
        self.hanging_tool()
        names = [f"f{i}" for i in range(10)]
        run = self.run_nembit(*names, env=self.environment(DISPLAY=":99"))
        self.assertEqual(run.status, 0)
        self.assertEqual((self.dir / "starts").read_text(), "\n")
        self.assertEqual(run.lines[-3:], [
            "Warning: Could not copy to clipboard: xclip: timed out after 5000 ms", *summary(10, 10)])
        self.assertEqual(run.lines.count(run.lines[-3]), 1)
        self.assert_ended(self.dir / "pid")

    def test_a_stop_signal_stops_the_tool_and_the_run(self):
        self.hanging_tool()
        for stop in (signal.SIGINT, signal.SIGTERM, signal.SIGHUP, signal.SIGQUIT, signal.SIGUSR1,
                     signal.SIGALRM):
            with self.subTest(signal=stop.name):
                (self.dir / "pid").unlink(missing_ok=True)
                shutil.rmtree(self.work)
                self.work.mkdir()
                process = subprocess.Popen(
                    [str(PROGRAM), "a", "b"], cwd=self.work, env=self.environment(DISPLAY=":99"),
                    stdout=subprocess.PIPE, stdin=subprocess.DEVNULL,
                    preexec_fn=lambda: resource.setrlimit(resource.RLIMIT_CORE, (0, 0)))
                while not (self.dir / "pid").exists() and process.poll() is None:
                    time.sleep(0.01)
                time.sleep(0.1)
                process.send_signal(stop)
                out, _ = process.communicate(timeout=10)
                self.assertEqual(process.returncode, -stop)
                # b was made while a's copy stalled; the run waited for it at its end.
                self.assert_tree("a", "b")
                self.assertEqual(out.decode().splitlines()[-2:], self.created("a", "b"))
                self.assert_ended(self.dir / "pid")


@unittest.skipUnless(WITH_GNTP, "built without the GNTP client component")
class NoticesWithoutAServer(NembitTestCase):
    def test_a_failed_registration_costs_one_warning(self):
        run = self.run_nembit("a", "--debug", "b")
        self.assertEqual(run.status, 0)
        self.assertEqual(run.lines, self.startup_lines() + [
            "Warning: Could not initialize Growl: [Errno 111] Connection refused"]
            + self.created("a", "b") + summary(2, 2))

    def test_a_stalled_server_costs_one_wait(self):
        listener = socket.create_server(("127.0.0.1", 0))
        self.addCleanup(listener.close)
        connections = []

        def serve():  # Answers the registration, then takes requests and never answers.
            while True:
                try:
                    client, _ = listener.accept()
                except OSError:
                    return
                connections.append(client)
                client.recv(65536)
                if len(connections) == 1:
                    client.sendall(b"GNTP/1.0 -OK NONE\r\n\r\n")

        threading.Thread(target=serve, daemon=True).start()
        names = [f"f{i}" for i in range(10)]
        run = self.run_nembit("--debug", *names, env=self.environment(
            GNTP_PORT=str(listener.getsockname()[1])))
        self.assertEqual(run.status, 0)
        self.assertEqual(len(connections), 2)
        # Said once: the notices end with it.
        self.assertEqual([line for line in run.lines if line.startswith("Notification error: ")],
                         ["Notification error: timed out talking to the GNTP server"
                          f" at 127.0.0.1:{listener.getsockname()[1]}"])

    def test_a_bad_setting_costs_one_warning(self):
        run = self.run_nembit("a", env=self.environment(GNTP_PORT="notify"))
        self.assertEqual(run.without_warnings(), self.created("a") + summary(1, 1))
        self.assertIn("Warning: Could not initialize Growl: GNTP_PORT must be a port number "
                      "from 1 to 65535, not 'notify'", run.lines)
        if os.environ.get("NEMBIT_WITH_DESKTOP") == "ON":
            for address in ("tcp:host=127.0.0.1,port=9", "nonce-tcp:host=127.0.0.1,port=9"):
                run = self.run_nembit("b", env=self.environment(
                    NEMBIT_NOTIFIER="desktop", DBUS_SESSION_BUS_ADDRESS=address))
                self.assertIn("Warning: Could not initialize Growl: no session bus: it is reached"
                              " over TCP, which is not supported; only unix: addresses are",
                              run.lines)

    @unittest.skipUnless(os.environ.get("NEMBIT_WITH_DESKTOP") == "ON", "no desktop module")
    def test_a_module_that_cannot_be_loaded_is_never_waited_for(self):
        program = self.dir / "tree/bin/nembit"
        module = self.dir / "tree/lib/nembit/nembit-desktop.so"
        for path in (program, module):
            path.parent.mkdir(parents=True)
        shutil.copy(PROGRAM, program)
        whole = (PROGRAM.parent.parent / "lib/nembit/nembit-desktop.so").read_bytes()
        # Cut in the middle of what the last segment loads from the file
        # (ELF64: the program headers' offset and count, then each header).
        offset, = struct.unpack_from("<Q", whole, 0x20)
        count, = struct.unpack_from("<H", whole, 0x38)
        ends = [struct.unpack_from("<QQQQQ", whole, offset + 56 * i + 8) for i in range(count)]
        end = max(start + size // 2 for start, _, _, size, _ in ends if size > 0)
        cases = [
            ("cut short", lambda: module.write_bytes(whole[:end]), "not a whole shared object"),
            ("without program headers",
             lambda: module.write_bytes(whole[:0x38] + b"\0\0" + whole[0x3a:]),
             "not a whole shared object"),
            ("for another machine",  # AArch64
             lambda: module.write_bytes(whole[:0x12] + struct.pack("<H", 183) + whole[0x14:]),
             "built for another architecture"),
            ("a FIFO", lambda: os.mkfifo(module), "not a regular file"),
            ("missing", lambda: None, "[Errno 2] No such file or directory"),
            ("of another version", self.module_of_another_version,
             "is no nembit-desktop module of this version"),
        ]
        for case, make, reason in cases:
            with self.subTest(module=case):
                module.unlink(missing_ok=True)
                make()
                # A bus may be there: the module is loaded to reach it.
                run = self.run_nembit("a", program=program, env=self.environment(
                    NEMBIT_NOTIFIER="desktop", DBUS_SESSION_BUS_ADDRESS=f"unix:path={self.dir}/no"))
                self.assertEqual(run.without_warnings(), self.created("a") + summary(1, 1))
                said = f"cannot load {module}: {reason}" if "version" not in case else \
                    f"{module} {reason}"
                self.assertIn(f"Warning: Could not initialize Growl: {said}", run.lines)
        if os.geteuid() == 0:  # Without /proc it is found as the version file is.
            module.unlink()
            module.write_bytes(whole)
            without_proc = ["unshare", "--mount", "--propagation", "private", "sh", "-c",
                            'umount -l /proc && exec "$@"', "sh"]
            run = Run(subprocess.run(
                [*without_proc, str(program), "b"], cwd=self.work, stdin=subprocess.DEVNULL,
                capture_output=True, timeout=60, env=self.environment(
                    NEMBIT_NOTIFIER="desktop", DBUS_SESSION_BUS_ADDRESS=f"unix:path={self.dir}/no")))
            self.assertIn("Warning: Could not initialize Growl: no session bus: No such file or "
                          "directory", run.lines)

    def module_of_another_version(self):
        """Builds, where the tests are told the module is, one whose
        interface is of version 1."""
        source = self.dir / "module.cpp"
        source.write_text('struct Api { int abi; void* calls[3]; };\n'
                          'extern "C" const Api* nembit_desktop_api() {\n'
                          '  static const Api api{1, {}};\n  return &api;\n}\n')
        subprocess.run([os.environ["NEMBIT_CXX"], "-shared", "-fPIC", "-o",
                        str(self.dir / "tree/lib/nembit/nembit-desktop.so"), str(source)],
                       check=True, timeout=120)


class Switches(NembitTestCase):
    def test_none_switches_a_component_off_without_a_word(self):
        log = self.dir / "copied"
        self.fake_tool("xclip", f'cat >> "{log}"')
        run = self.run_nembit("a", env=self.environment(
            DISPLAY=":99", NEMBIT_CLIPBOARD="none", NEMBIT_NOTIFIER="none"))
        self.assertEqual(run.lines, self.created("a") + summary(1, 1))
        self.assertFalse(log.exists())
        if WITH_CLIPBOARD:  # A setting of a clipboard that there is.
            run = self.run_nembit("b", env=self.environment(DISPLAY=":99", NEMBIT_CLIPBOARD="off",
                                                            NEMBIT_NOTIFIER="none"))
            self.assertIn("Warning: NEMBIT_CLIPBOARD must be none or empty, not 'off'; the"
                          " clipboard is used", run.lines)


if __name__ == "__main__":
    unittest.main()
