"""End-to-end tests against the real desktop services that tools/with-desktop
starts: an X display with the clipboard tool xclip."""

import os
import shutil
import subprocess
import unittest

from harness import IN_CI, WITH_CLIPBOARD, NembitTestCase

DISPLAY = os.environ.get("DISPLAY")


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
        pasted = subprocess.run(["xclip", "-o", "-selection", "clipboard"],
                                env={"DISPLAY": DISPLAY}, capture_output=True, timeout=10)
        self.assertEqual(pasted.stdout.decode(), str(self.work / "sub/b.txt"))


if __name__ == "__main__":
    unittest.main()
