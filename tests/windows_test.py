"""End-to-end tests of the Windows build, nembit.exe, run under Wine: names
with parents, brace groups, non-ASCII characters and both separators, drive
letters, refused device names, existing content, the version file beside the
program, usage errors, GNTP against a loopback server, and the clipboard."""

import contextlib
import os
import pathlib
import re
import shutil
import signal
import socket
import subprocess
import tempfile
import threading
import time
import unittest
import zipfile

from harness import BUILD_DIR, CLOSED_PORT, PROGRAM, SOURCE_DIR, VERSION, NembitTestCase

READ_CLIPBOARD = PROGRAM.parent.parent / "tests/read_clipboard.exe"
WINE_ENVIRONMENT = {name: os.environ[name]
                    for name in ("WINEPREFIX", "WINEDEBUG", "WINEDLLOVERRIDES", "DISPLAY")
                    if name in os.environ}


def windows_path(path):
    """`path` as Wine shows a Linux path to Windows programs: on drive Z:."""
    return "Z:" + str(path).replace("/", "\\")


class Run:
    def __init__(self, completed):
        self.status = completed.returncode
        self.out = completed.stdout.decode("utf-8", "surrogateescape").replace("\r\n", "\n")
        self.err = (completed.stderr or b"").decode("utf-8", "surrogateescape").replace("\r\n", "\n")
        self.lines = [line for line in self.out.splitlines()
                      if not line.startswith("Warning: ")]


class WindowsTestCase(NembitTestCase):
    def run_exe(self, *args, program=PROGRAM, stderr=subprocess.PIPE, **env):
        environment = self.environment(**WINE_ENVIRONMENT, **env)
        completed = subprocess.run(["wine", str(program), *args], cwd=self.work, env=environment,
                                   stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                   stderr=stderr, timeout=120)
        return Run(completed)

    def created(self, *names):
        return [f'✓ File created: "{windows_path(self.work / name)}"' for name in names]


class Files(WindowsTestCase):
    def test_creates_names_as_windows_writes_them(self):
        (self.work / "kept.txt").write_text("content")
        absolute = str(self.work / "abs").replace("/", "\\")
        run = self.run_exe("d/{a,", "b}.txt", "é/日本.txt", "x\\y/z.txt", "Z:" + absolute + ".txt",
                           "kept.txt")
        self.assertEqual(run.status, 0, run.out + run.err)
        self.assertEqual(run.lines, self.created(
            "d/a.txt", "d/b.txt", "é/日本.txt", "x/y/z.txt", "abs.txt", "kept.txt")
            + ["", "6/6 file(s) created successfully"])
        self.assert_tree("d", "d/a.txt", "d/b.txt", "é", "é/日本.txt", "x", "x/y", "x/y/z.txt",
                         "abs.txt", "kept.txt")
        self.assertEqual((self.work / "kept.txt").read_text(), "content")

    def test_creates_paths_longer_than_260_characters(self):
        # Also a folder whose full path is just too long for a folder without
        # the long form (248 characters and more), though short for a file.
        short_of_folder_limit = "e" * (250 - len(windows_path(self.work)) - 1) + "/f.txt"
        for name in ("/".join(["d" * 60] * 5) + "/long.txt", short_of_folder_limit):
            with self.subTest(length=len(name)):
                run = self.run_exe(name)
                self.assertEqual(run.lines,
                                 self.created(name) + ["", "1/1 file(s) created successfully"])
                self.assertTrue((self.work / name).is_file())

    def test_shows_the_full_path_of_names_rooted_on_a_drive_or_its_root(self):
        rooted = str(self.work / "rooted.txt")  # The root of the current drive, Z:.
        run = self.run_exe(rooted, "C:drive-relative.txt")
        self.assertEqual(run.status, 0, run.out)
        self.assertEqual(run.lines[0], self.created("rooted.txt")[0])
        self.assertRegex(run.lines[1], r'^✓ File created: "C:\\(.*\\)?drive-relative\.txt"$')

    def test_refuses_names_that_windows_would_change(self):
        run = self.run_exe("nul.txt", "CON", "a./b", "\\\\.\\NUL", "//./nul", "con:", "CONIN$",
                           "COM\u00b9", "ab:cd", "ok")
        self.assertEqual(run.status, 1)
        self.assertEqual(run.lines, [
            "✗ Error creating file \"nul.txt\": NUL is a device name on Windows: 'nul.txt'",
            "✗ Error creating file \"CON\": CON is a device name on Windows: 'CON'",
            "✗ Error creating file \"a./b\": Windows drops the dot or blank that ends a.: 'a./b'",
            "✗ Error creating file \"\\\\.\\NUL\": NUL is a device name on Windows: "
            "'\\\\\\\\.\\\\NUL'",
            "✗ Error creating file \"//./nul\": nul is a device name on Windows: '//./nul'",
            "✗ Error creating file \"con:\": CON is a device name on Windows: 'con:'",
            "✗ Error creating file \"CONIN$\": CONIN$ is a device name on Windows: 'CONIN$'",
            "✗ Error creating file \"COM\u00b9\": COM\u00b9 is a device name on Windows: 'COM\u00b9'",
            "✗ Error creating file \"ab:cd\": the colon in ab:cd names an alternate data stream"
            " on Windows: 'ab:cd'",
        ] + self.created("ok") + ["", "1/10 file(s) created successfully"])
        self.assert_tree("ok")

    def test_a_failed_write_fails_the_run_and_names_its_reason(self):
        for redirect, reason in ((">/dev/full", "No space left on device"),
                                 (">&-", "Bad file descriptor")):
            with self.subTest(redirect=redirect):
                completed = subprocess.run(
                    ["sh", "-c", f'exec wine "$0" --version {redirect}', str(PROGRAM)],
                    cwd=self.work, env=self.environment(**WINE_ENVIRONMENT),
                    stdin=subprocess.DEVNULL, stderr=subprocess.PIPE, timeout=120)
                self.assertEqual(completed.returncode, 1)
                self.assertEqual(completed.stderr.decode().replace("\r\n", "\n"),
                                 f"nembit: error writing standard output: {reason}\n")

    def test_usage_error(self):
        run = self.run_exe("--force", "a")
        self.assertEqual(run.status, 2)
        self.assertTrue(run.err.startswith("Usage: nembit.exe [OPTIONS] [FILE...]\n"), run.err)
        self.assert_tree()

    def test_reads_the_version_file_beside_the_program(self):
        folder = self.dir / "unpacked"
        folder.mkdir()
        shutil.copy(PROGRAM, folder / "nembit.exe")
        (folder / "__version__.py").write_text("version = '7.7'\n")
        run = self.run_exe("--version", program=folder / "nembit.exe")
        self.assertEqual(run.lines, ["nembit v7.7 by the nembit developers (nembit@example.org)"])
        self.assertEqual(self.run_exe("--version").lines[-1].split()[1], f"v{VERSION}")

    def test_puts_the_path_on_the_clipboard(self):
        # Wine hands the clipboard on when the program ends only if the
        # program's standard error is not a pipe of its own.
        run = self.run_exe("clip/é.txt", stderr=None)
        self.assertEqual(run.status, 0)
        pasted = self.run_exe(program=READ_CLIPBOARD)
        self.assertEqual(pasted.out, windows_path(self.work / "clip/é.txt"))


class Package(WindowsTestCase):
    def test_the_zip_holds_what_windows_users_expect(self):
        out = self.dir / "package"
        built = subprocess.run(["cpack", "--config", str(BUILD_DIR / "CPackConfig.cmake"),
                                "-B", str(out)], capture_output=True, timeout=300)
        self.assertEqual(built.returncode, 0, built.stdout.decode() + built.stderr.decode())
        top = f"nembit-{VERSION}-win64/"
        with zipfile.ZipFile(out / f"nembit-{VERSION}-win64.zip") as archive:
            names = sorted(name for name in archive.namelist() if not name.endswith("/"))
            self.assertEqual(names, [top + name for name in (
                "LICENSE.txt", "README.txt", "bin/__version__.py", "bin/nembit-notice.exe",
                "bin/nembit.exe", "bin/nembit.jpg")])
            readme = archive.read(top + "README.txt").decode()
            exe = archive.read(top + "bin/nembit.exe")
        self.assertIn("\r\nInstall\r\n", readme)
        self.assertIn("PowerShell", readme)
        # The version resource (UTF-16), the icon and the manifest.
        version = "FileVersion\0".encode("utf-16-le") + b"\0\0" + VERSION.encode("utf-16-le")
        self.assertTrue(version in exe, "no version resource")
        for text in (b">UTF-8</activeCodePage>", b">true</longPathAware>"):
            self.assertTrue(text in exe, text)
        icon = (SOURCE_DIR / "data/nembit.ico").read_bytes()
        first_image = int.from_bytes(icon[6 + 12:6 + 16], "little")
        self.assertTrue(icon[first_image:first_image + 256] in exe, "no icon")


class Notices(WindowsTestCase):
    def test_sends_the_exact_bytes(self):
        listener = socket.create_server(("127.0.0.1", 0))
        self.addCleanup(listener.close)
        requests = []

        def serve():
            for _ in range(2):
                client, _ = listener.accept()
                with client:
                    data = b""
                    while data.count(b"\r\n\r\n") < (2 if not requests else 1):
                        chunk = client.recv(65536)
                        if not chunk:
                            break
                        data += chunk
                    requests.append(data.decode())
                    client.sendall(b"GNTP/1.0 -OK NONE\r\n\r\n")

        thread = threading.Thread(target=serve, daemon=True)
        thread.start()
        run = self.run_exe("--debug", "n.txt", GNTP_PORT=str(listener.getsockname()[1]))
        thread.join(timeout=30)
        self.assertEqual(run.status, 0, run.out)
        icon = "file:///" + windows_path(PROGRAM.parent / "nembit.jpg").replace("\\", "/")
        # The notice names itself, uniquely to the run.
        requests[1:] = [re.sub(r"Notification-ID: nembit-[0-9a-f]{16}-1\r\n", "", requests[1])]
        self.assertEqual(requests, [
            "GNTP/1.0 REGISTER NONE\r\nApplication-Name: nembit\r\n"
            f"Application-Icon: {icon}\r\nNotifications-Count: 1\r\n\r\n"
            "Notification-Name: create\r\nNotification-Display-Name: create\r\n"
            "Notification-Enabled: True\r\n\r\n",
            "GNTP/1.0 NOTIFY NONE\r\nApplication-Name: nembit\r\nNotification-Name: create\r\n"
            "Notification-Title: nembit\r\nNotification-Text: File created: \"n.txt\"\r\n"
            "Notification-Sticky: False\r\nNotification-Priority: 1\r\n"
            f"Notification-Icon: {icon}\r\n\r\n",
        ])

    def test_a_refused_connection_costs_one_warning(self):
        run = self.run_exe("a", GNTP_PORT=str(CLOSED_PORT))
        self.assertEqual(run.status, 0)
        self.assertIn("Warning: Could not initialize Growl: [WinError 10061]", run.out)


HELPER = PROGRAM.parent / "nembit-notice.exe"


@unittest.skipUnless(os.geteuid() == 0 and shutil.which("nsenter") and shutil.which("tesseract"),
                     "a network of its own needs root; reading the balloon needs tesseract")
class NotificationArea(WindowsTestCase):
    """nembit.exe with no GNTP server: its notices go to the notification area
    of Wine's desktop, whose balloon is read off the screen. A prefix and a
    wineserver of the class's own run in a network in which nothing listens,
    Wine's sockets being its server's."""

    @classmethod
    def setUpClass(cls):
        cls.root = pathlib.Path(tempfile.mkdtemp(prefix="nembit-tray-"))
        cls.prefix = cls.root / "wine"
        subprocess.run(["cp", "-a", os.environ["WINEPREFIX"], str(cls.prefix)], check=True)
        cls.holder = subprocess.Popen(["unshare", "--net", "--", "sh", "-c",
                                       "ip link set lo up && echo up && exec sleep 3600"],
                                      stdout=subprocess.PIPE)
        cls.holder.stdout.readline()
        cls.enter = ["nsenter", f"--net=/proc/{cls.holder.pid}/ns/net", "--"]
        cls.env = dict(WINE_ENVIRONMENT, WINEPREFIX=str(cls.prefix), PATH=os.environ["PATH"])
        subprocess.run([*cls.enter, "wineserver", "-p"], env=cls.env, check=True)
        cls.explorer = subprocess.Popen([*cls.enter, "wine", "explorer", "/desktop=shell,1000x700"],
                                        env=cls.env, stdout=subprocess.DEVNULL,
                                        stderr=subprocess.DEVNULL)
        # Wine's desktop, whose notification area shows the balloons, may
        # take a while on a busy machine; without it no case can pass.
        for _ in range(1200):
            if b'"shell - Wine desktop"' in cls.windows():
                break
            time.sleep(0.1)
        else:
            cls.tearDownClass()
            raise AssertionError("Wine's desktop did not come up in 120 s")

    @classmethod
    def tearDownClass(cls):
        subprocess.run([*cls.enter, "wineserver", "-k"], env=cls.env, check=False)
        cls.explorer.wait(timeout=30)
        cls.holder.kill()
        cls.holder.wait()
        shutil.rmtree(cls.root, ignore_errors=True)

    @staticmethod
    def windows():
        return subprocess.run(["xwininfo", "-root", "-tree"], capture_output=True,
                              env={"DISPLAY": os.environ["DISPLAY"]}, timeout=10).stdout

    def balloons(self):
        """The geometry of each balloon on the screen."""
        found = []
        for line in self.windows().decode().splitlines():
            match = re.search(r'\(has no name\): \("explorer\.exe".*\)\s+(\d+)x(\d+)\+(\d+)\+(\d+)', line)
            if match and 100 <= int(match[1]) <= 400 and 40 <= int(match[2]) <= 200:
                found.append("{}x{}+{}+{}".format(*match.groups()))
        return found

    def read(self, geometry):
        """What the balloon at `geometry` says, as OCR reads it off the screen."""
        screen = subprocess.run(["xwd", "-root", "-silent"], capture_output=True, timeout=10,
                                env={"DISPLAY": os.environ["DISPLAY"]}).stdout
        image = subprocess.run(["convert", "xwd:-", "-crop", geometry, "+repage", "-bordercolor",
                                "white", "-border", "10", "-filter", "Lanczos", "-resize", "400%",
                                "-colorspace", "Gray", "png:-"], input=screen, capture_output=True,
                               timeout=30).stdout
        return subprocess.run(["tesseract", "-", "-", "--psm", "6"], input=image,
                              capture_output=True, timeout=30).stdout.decode()

    def helpers(self):
        """The processes of this build's nembit-notice.exe."""
        found = []
        for proc in pathlib.Path("/proc").iterdir():
            try:
                if b"nembit-notice.exe" in (proc / "cmdline").read_bytes() and \
                        str(self.prefix).encode() in (proc / "environ").read_bytes():
                    found.append(int(proc.name))
            except OSError:
                continue
        return found

    def run_in_tray(self, *args, **env):
        """Runs nembit.exe in the class's network, its output to a file: the
        helper it starts would hold a pipe open under Wine."""
        environment = self.environment(**self.env, GNTP_HOST=None, GNTP_PORT=None, **env)
        out = self.dir / "out"
        with open(out, "wb") as output:
            status = subprocess.run([*self.enter, "wine", str(PROGRAM), *args], cwd=self.work,
                                    env=environment, stdin=subprocess.DEVNULL, stdout=output,
                                    stderr=subprocess.STDOUT, timeout=120).returncode
        return status, out.read_bytes().decode("utf-8", "replace").replace("\r\n", "\n")

    def wait_for(self, condition, seconds):
        for _ in range(int(seconds * 10)):
            if condition():
                return True
            time.sleep(0.1)
        return condition()

    def end_helpers(self):
        """Ends what is left of the helpers this class started, so that the
        next case begins without them."""
        for pid in self.helpers():
            with contextlib.suppress(OSError):
                os.kill(pid, signal.SIGKILL)
        self.assertTrue(self.wait_for(lambda: not self.helpers() and not self.balloons(), 30))

    def test_a_run_shows_one_balloon_naming_its_last_file_until_its_time_is_up(self):
        for names in (["kettle.txt"], ["hotel.txt", "motel.txt", "thimble.txt"]):
            with self.subTest(names=names):
                self.end_helpers()
                status, out = self.run_in_tray(*names)
                ended = time.monotonic()
                self.assertEqual(status, 0, out)
                self.assertNotIn("Warning", out)
                # Wine draws it two seconds after the notice, or later when
                # busy; the helper holds it until its time is up.
                self.wait_for(lambda: self.balloons() or not self.helpers(), 60)
                self.assertTrue(self.balloons(), f"no balloon; helpers {self.helpers()}")
                time.sleep(max(0.0, ended + 1 - time.monotonic()))
                self.assertEqual(len(self.balloons()), 1)  # Still there, and only one.
                said = self.read(self.balloons()[0])
                self.assertIn("nembit", said)
                self.assertIn(names[-1].removesuffix(".txt"), said)
                # Its helper goes with its limit, and its balloon with it.
                self.assertTrue(self.wait_for(lambda: not self.helpers(), 30), self.helpers())
                self.assertTrue(self.wait_for(lambda: not self.balloons(), 30))

    def test_no_balloon_when_the_user_wants_none_or_gntp(self):
        for setting, warning in (("none", None),
                                 ("gntp", "Warning: Could not initialize Growl: [WinError 10061]")):
            with self.subTest(setting=setting):
                self.end_helpers()
                status, out = self.run_in_tray("quiet.txt", NEMBIT_NOTIFIER=setting)
                self.assertEqual(status, 0, out)
                if warning:
                    self.assertIn(warning, out)
                else:
                    self.assertNotIn("Warning", out)
                self.assertFalse(self.wait_for(lambda: self.balloons() or self.helpers(), 3))


if __name__ == "__main__":
    unittest.main()
