"""End-to-end tests against the real desktop services that tools/with-desktop
starts: an X display with the clipboard tool xclip, and the GNTP server gol,
whose history tells what reached it."""

import os
import shutil
import sqlite3
import subprocess
import time
import unittest
import urllib.parse
import uuid

from harness import IN_CI, PROGRAM, WITH_CLIPBOARD, WITH_GNTP, NembitTestCase

DISPLAY = os.environ.get("DISPLAY")
GOL_DB = os.environ.get("NEMBIT_GOL_DB")
ICON_URI = "file://" + urllib.parse.quote(str(PROGRAM.parent.parent / "share/nembit/nembit.jpg"))


def require(condition, reason):
    """Skips a test whose service is missing, except in CI, where that fails it."""
    if condition:
        return lambda test: test
    if IN_CI:
        raise RuntimeError(f"{reason}: CI must run the tests through tools/with-desktop")
    return unittest.skip(reason)


@unittest.skipUnless(WITH_CLIPBOARD, "built without the clipboard component")
@require(DISPLAY and shutil.which("xclip"), "no X display with xclip")
class RealClipboard(NembitTestCase):
    def test_the_clipboard_holds_the_last_path(self):
        run = self.run_nembit("first.txt", "sub/{a,b}.txt", env=self.environment(DISPLAY=DISPLAY))
        self.assertEqual(run.status, 0, run.out)
        self.assertNotIn("Warning: Could not copy", run.out)
        # xclip leaves a process behind that takes the selection a moment
        # after xclip itself has ended: give it that moment.
        for _ in range(50):
            pasted = subprocess.run(["xclip", "-o", "-selection", "clipboard"],
                                    env={"DISPLAY": DISPLAY}, capture_output=True, timeout=10)
            if pasted.stdout.decode() == str(self.work / "sub/b.txt"):
                break
            time.sleep(0.1)
        self.assertEqual(pasted.stdout.decode(), str(self.work / "sub/b.txt"))


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


if __name__ == "__main__":
    unittest.main()
