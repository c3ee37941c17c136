"""End-to-end test of the Debian package that `make package` builds: its
fields, lintian's verdict, and, as root, an install with dpkg, a run of the
installed nembit and the removal."""

import os
import pathlib
import shutil
import subprocess
import tempfile
import unittest

from harness import BUILD_DIR, IN_CI, VERSION, NembitTestCase


def run(command, **options):
    return subprocess.run(command, capture_output=True, timeout=300, **options)


class DebianPackage(NembitTestCase):
    @classmethod
    def setUpClass(cls):
        cls.out = pathlib.Path(tempfile.mkdtemp(prefix="nembit-deb-"))
        built = run(["cpack", "-G", "DEB", "--config", str(BUILD_DIR / "CPackConfig.cmake"),
                     "-B", str(cls.out)])
        if built.returncode != 0:
            raise AssertionError(built.stdout.decode() + built.stderr.decode())
        cls.deb = next(cls.out.glob("nembit_*.deb"))

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.out, ignore_errors=True)

    def field(self, name):
        return run(["dpkg-deb", "--field", str(self.deb), name]).stdout.decode().strip()

    def test_declares_what_it_needs(self):
        self.assertEqual(self.field("Package"), "nembit")
        self.assertEqual(self.field("Version"), VERSION)
        depends = self.field("Depends")
        for library in ("libc6", "libstdc++6"):
            self.assertIn(library, depends)
        # libcrypto is loaded only when a GNTP password needs it.
        self.assertNotIn("libssl", depends)
        self.assertEqual(self.field("Recommends"), "xclip | xsel | wl-clipboard, libssl3")
        self.assertEqual(self.field("Suggests"), "growl-for-linux")
        contents = run(["dpkg-deb", "--contents", str(self.deb)]).stdout.decode()
        for path in ("./usr/bin/nembit", "./usr/share/nembit/__version__.py",
                     "./usr/share/man/man1/nembit.1.gz", "./usr/share/doc/nembit/copyright",
                     "./usr/share/bash-completion/completions/nembit",
                     "./usr/share/zsh/vendor-completions/_nembit",
                     "./usr/share/fish/vendor_completions.d/nembit.fish"):
            self.assertIn(path, contents)

    def test_lintian_finds_no_error(self):
        checked = run(["lintian", "--fail-on", "error", "--tag-display-limit", "0", str(self.deb)])
        self.assertEqual(checked.returncode, 0, checked.stdout.decode() + checked.stderr.decode())

    def test_installs_runs_and_goes_again(self):
        if os.geteuid() != 0 or shutil.which("dpkg") is None:
            self.skipTest("installing a package needs root")
        if run(["dpkg-query", "--status", "nembit"]).returncode == 0 and not IN_CI:
            self.skipTest("a nembit package is installed already; it is left alone")
        installed = run(["dpkg", "--install", str(self.deb)])
        self.assertEqual(installed.returncode, 0, installed.stderr.decode())
        try:
            version = self.run_nembit("--version", program="/usr/bin/nembit")
            self.assertEqual(version.lines[-1],
                             f"nembit v{VERSION} by the nembit developers (nembit@example.org)")
            created = self.run_nembit("a/{b,c}", program="/usr/bin/nembit")
            self.assertEqual(created.status, 0)
            self.assert_tree("a", "a/b", "a/c")
        finally:
            removed = run(["dpkg", "--purge", "nembit"])
        self.assertEqual(removed.returncode, 0, removed.stderr.decode())
        self.assertFalse(pathlib.Path("/usr/bin/nembit").exists())
        self.assertFalse(pathlib.Path("/usr/share/nembit").exists())


if __name__ == "__main__":
    unittest.main()
