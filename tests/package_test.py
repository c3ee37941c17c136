"""End-to-end test of the Debian packages that `make package`
(tools/build-package) builds: their fields and files, lintian's pedantic
verdict, the hardening of the command, two package builds of one tree
giving the same bytes, and, as root, an install with dpkg of both, a run of the installed nembit,
a program built against the installed library, and the removal."""

import fcntl
import os
import pathlib
import shutil
import subprocess
import tempfile
import time
import unittest
import uuid

from desktop_test import BUS, desktop_notices
from harness import BUILD_LIMIT, IN_CI, SOURCE_DIR, UNIT_LIMIT, VERSION, NembitTestCase

CONSUMER = r"""
#include <nembit/nembit.h>

#include <iostream>
#include <sstream>

int main(int argc, char** argv) {
  std::cout << nembit::FileCreator::parse_brace_expansion("a/{b,c}").size() << ' '
            << NEMBIT_VERSION_STRING << '\n';
  if (argc > 1) {  // Creates the file argv[1], as the command would.
    std::ostringstream out, err;
    const nembit::Process process = nembit::start_up({"consumer", argv[1]}, out);
    nembit::RealDiskInterface disk;
    nembit::main(process, disk, out, err);
    std::cout << out.str();
  }
}
"""


def run(command, timeout=UNIT_LIMIT, **options):
    return subprocess.run(command, capture_output=True, timeout=timeout, **options)


def build_packages(build):
    """Builds the packages in the folder `build`, or, where it holds a build
    already, packs them again from it."""
    built = run([str(SOURCE_DIR / "tools/build-package"), str(build)], timeout=BUILD_LIMIT)
    if built.returncode != 0:
        raise AssertionError(built.stdout.decode() + built.stderr.decode())
    return sorted(build.glob("*.deb"))


class DebianPackages(NembitTestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = pathlib.Path(tempfile.mkdtemp(prefix="nembit-deb-"))
        cls.debs = build_packages(cls.root / "build")
        cls.deb = next(deb for deb in cls.debs if deb.name.startswith("nembit_"))
        cls.dev = next(deb for deb in cls.debs if deb.name.startswith("libnembit-dev_"))

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root, ignore_errors=True)

    def field(self, deb, name):
        return run(["dpkg-deb", "--field", str(deb), name]).stdout.decode().strip()

    def contents(self, deb):
        listing = run(["dpkg-deb", "--contents", str(deb)]).stdout.decode()
        return [line.split()[-1] for line in listing.splitlines()]

    def test_declare_what_they_need_and_hold(self):
        self.assertEqual([deb.name for deb in self.debs],
                         [f"libnembit-dev_{VERSION}_amd64.deb", f"nembit_{VERSION}_amd64.deb"])
        depends = self.field(self.deb, "Depends")
        self.assertIn("libc6", depends)
        # The C++ runtime is in the command; libcrypto is loaded only when a
        # GNTP password needs it.
        self.assertNotIn("libstdc++", depends)
        self.assertNotIn("libssl", depends)
        # The helpers that reach the desktop's services run only when needed.
        self.assertNotIn("libsystemd", depends)
        self.assertNotIn("libxcb", depends)
        self.assertNotIn("libwayland", depends)
        recommends = self.field(self.deb, "Recommends").split(", ")
        self.assertEqual(recommends[:3], ["xclip | xsel | wl-clipboard", "libssl3",
                                          "bash-completion"])
        self.assertEqual(sorted(name.split()[0] for name in recommends[3:]),
                         ["libsystemd0", "libwayland-client0", "libxcb1"])
        self.assertEqual(self.field(self.deb, "Suggests"), "growl-for-linux")
        self.assertEqual(self.field(self.dev, "Section"), "libdevel")
        self.assertEqual(self.field(self.dev, "Depends"), f"nembit (= {VERSION})")
        files = self.contents(self.deb)
        for path in ("./usr/bin/nembit", "./usr/share/nembit/__version__.py",
                     "./usr/lib/x86_64-linux-gnu/nembit/nembit-desktop.so",
                     "./usr/lib/x86_64-linux-gnu/nembit/nembit-clipboard-owner",
                     "./usr/lib/x86_64-linux-gnu/nembit/nembit-wayland-owner",
                     "./usr/share/man/man1/nembit.1.gz", "./usr/share/doc/nembit/copyright",
                     "./usr/share/bash-completion/completions/nembit",
                     "./usr/share/zsh/vendor-completions/_nembit",
                     "./usr/share/fish/vendor_completions.d/nembit.fish"):
            self.assertIn(path, files)
        dev_files = self.contents(self.dev)
        for path in ("./usr/include/nembit/nembit.h", "./usr/include/nembit/version.h",
                     "./usr/lib/x86_64-linux-gnu/libnembit.a",
                     "./usr/lib/x86_64-linux-gnu/cmake/nembit/nembitConfig.cmake",
                     "./usr/lib/x86_64-linux-gnu/pkgconfig/nembit.pc",
                     "./usr/share/doc/libnembit-dev/copyright"):
            self.assertIn(path, dev_files)

    def test_lintian_finds_nothing_even_pedantic(self):
        for deb in self.debs:
            with self.subTest(deb=deb.name):
                checked = run(["lintian", "--pedantic", "-I", "--fail-on", "error,warning,info,pedantic",
                               "--tag-display-limit", "0", str(deb)], timeout=5 * UNIT_LIMIT)
                report = [line for line in checked.stdout.decode().splitlines()
                          if "root privileges" not in line]
                self.assertEqual((checked.returncode, report), (0, []))

    def test_the_command_is_hardened_and_stripped(self):
        unpacked = self.root / "unpacked"
        run(["dpkg-deb", "-x", str(self.deb), str(unpacked)], check=True)
        command = unpacked / "usr/bin/nembit"
        # Debian 12 builds nothing with control-flow protection: its C
        # start-up files lack it, so no binary of it passes that check.
        checked = run(["hardening-check", "--nocfprotection", str(command)])
        self.assertEqual(checked.returncode, 0, checked.stdout.decode())
        sections = run(["readelf", "-S", "-W", str(command)]).stdout.decode()
        self.assertNotIn(".comment", sections)

    def test_two_package_builds_give_the_same_bytes(self):
        first = [deb.read_bytes() for deb in self.debs]
        time.sleep(1.1)  # So that a time of the build would differ.
        again = build_packages(self.root / "build")
        self.assertEqual([deb.read_bytes() for deb in again], first)

    def test_installs_runs_builds_against_and_goes_again(self):
        if os.geteuid() != 0 or shutil.which("dpkg") is None:
            self.skipTest("installing a package needs root")
        # The packages are the machine's: a suite of another checkout beside
        # this one installs and removes them too, so each has its turn.
        turn = open("/tmp/nembit-package-test.lock", "w", encoding="utf-8")
        self.addCleanup(turn.close)
        for _ in range(int(8 * UNIT_LIMIT)):
            try:
                fcntl.flock(turn, fcntl.LOCK_EX | fcntl.LOCK_NB)
                break
            except BlockingIOError:
                time.sleep(0.5)
        else:
            self.fail("another suite's package test kept its turn")
        if run(["dpkg-query", "--status", "nembit"]).returncode == 0 and not IN_CI:
            self.skipTest("a nembit package is installed already; it is left alone")
        installed = run(["dpkg", "--install", str(self.deb), str(self.dev)],
                        timeout=2 * UNIT_LIMIT)
        self.assertEqual(installed.returncode, 0, installed.stderr.decode())
        try:
            version = self.run_nembit("--version", program="/usr/bin/nembit")
            self.assertEqual(version.lines[-1],
                             f"nembit v{VERSION} by the nembit developers (nembit@example.org)")
            created = self.run_nembit("a/{b,c}", program="/usr/bin/nembit")
            self.assertEqual(created.status, 0)
            self.assert_tree("a", "a/b", "a/c")
            # The compiler's own search paths find the headers and the library.
            (self.dir / "consumer.cpp").write_text(CONSUMER)
            run([os.environ["NEMBIT_CXX"], "-std=c++20", str(self.dir / "consumer.cpp"),
                 "-o", str(self.dir / "consumer"), "-lnembit"], check=True)
            self.assertEqual(run([str(self.dir / "consumer")]).stdout.decode(), f"2 {VERSION}\n")
            if BUS and shutil.which("dunstctl"):
                # It finds the installed module, which reaches the desktop's service.
                token = uuid.uuid4().hex[:8]
                made = run([str(self.dir / "consumer"), token], cwd=self.work, env=dict(
                    self.environment(), NEMBIT_NOTIFIER="desktop", DBUS_SESSION_BUS_ADDRESS=BUS))
                self.assertNotIn(b"Growl", made.stdout)
                self.assertEqual(len(desktop_notices(token)), 1, made.stdout)
        finally:
            removed = run(["dpkg", "--purge", "nembit", "libnembit-dev"], timeout=2 * UNIT_LIMIT)
        self.assertEqual(removed.returncode, 0, removed.stderr.decode())
        self.assertFalse(pathlib.Path("/usr/bin/nembit").exists())
        self.assertFalse(pathlib.Path("/usr/share/nembit").exists())
        self.assertFalse(pathlib.Path("/usr/include/nembit").exists())


if __name__ == "__main__":
    unittest.main()
