"""End-to-end tests of an install: the installed program, its manual and
completions, the README's program linked with libnembit (found through the
README's find_package project, through pkg-config, and in the build tree),
and the uninstall."""

import os
import pathlib
import re
import shutil
import subprocess
import tempfile
import unittest

import readme
from harness import BUILD_DIR, SANITIZE, SOURCE_DIR, VERSION, NembitTestCase

BANNER = f"nembit v{VERSION} by the nembit developers (nembit@example.org)"

# The README's program that links libnembit and leaves it to find its own
# files, and its CMake project.
CONSUMER = readme.example("cpp", "int main()")
CMAKE_PROJECT = readme.example("cmake", "find_package(nembit")


def run(command, **options):
    return subprocess.run(command, check=True, capture_output=True, timeout=300, **options)


class Install(NembitTestCase):
    @classmethod
    def setUpClass(cls):
        # Where the build was configured to install: a program that links the
        # installed libnembit finds its helpers and files there.
        cls.root = pathlib.Path(tempfile.mkdtemp(prefix="nembit-install-"))
        cache = (BUILD_DIR / "CMakeCache.txt").read_text()
        cls.prefix = pathlib.Path(re.search(r"^CMAKE_INSTALL_PREFIX:PATH=(.*)$", cache, re.M)[1])
        run(["cmake", "--install", str(BUILD_DIR)])

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.root, ignore_errors=True)
        # Programs of other tests would find the helpers there.
        shutil.rmtree(cls.prefix, ignore_errors=True)

    def test_the_installed_program_finds_its_files_through_a_link(self):
        self.assertTrue((self.prefix / "share/nembit/nembit.jpg").is_file())
        module = self.prefix / "lib/nembit/nembit-desktop.so"
        self.assertEqual(module.is_file(), os.environ.get("NEMBIT_WITH_DESKTOP") == "ON")
        link = self.dir / "home-bin/nembit"
        link.parent.mkdir()
        link.symlink_to(self.prefix / "bin/nembit")
        for program in (self.prefix / "bin/nembit", link):
            self.assertEqual(self.run_nembit("--version", program=program).lines[-1], BANNER)

    def test_installs_the_public_headers_alone(self):
        headers = sorted(path.name for path in (self.prefix / "include").rglob("*"))
        self.assertEqual(headers, [
            "clipboard.h", "disk_interface.h", "failure.h", "file_creator.h", "interrupted.h",
            "nembit", "nembit.h", "notifier.h", "process.h", "version.h"])

    def test_the_manual_renders_without_a_warning(self):
        page = self.prefix / "share/man/man1/nembit.1"
        rendered = run(["groff", "-man", "-ww", "-z", str(page)])
        self.assertEqual(rendered.stderr.decode(), "")
        self.assertIn(f'"nembit {VERSION}"', page.read_text())

    def test_each_shell_completes_the_options(self):
        share = self.prefix / "share"
        bash = run(["bash", "-c", f'source "{share}/bash-completion/completions/nembit"; '
                    'COMP_WORDS=(nembit --); COMP_CWORD=1; _nembit; printf "%s\\n" "${COMPREPLY[@]}"'])
        fish = run(["fish", "--no-config", "-c",
                    f'source "{share}/fish/vendor_completions.d/nembit.fish"; complete -C"nembit --"'])
        zsh = run(["zsh", "-f", str(SOURCE_DIR / "tests/support/complete.zsh"),
                   str(share / "zsh/vendor-completions"), "nembit --"])
        for shell, completed in (("bash", bash), ("fish", fish), ("zsh", zsh)):
            with self.subTest(shell=shell):
                words = set(re.findall(r"--[a-z]+", completed.stdout.decode()))
                self.assertLessEqual({"--help", "--version", "--debug"}, words, completed.stdout)
        for variable, values in (("NEMBIT_NOTIFIER", {"auto", "gntp", "desktop", "none"}),
                                 ("NEMBIT_CLIPBOARD", {"none"})):
            value = run(["zsh", "-f", str(SOURCE_DIR / "tests/support/complete.zsh"),
                         str(share / "zsh/vendor-completions"), f"{variable}="])
            self.assertLessEqual(values, set(re.findall(r"[a-z]+", value.stdout.decode())),
                                 value.stdout)

    @unittest.skipIf(SANITIZE, "a sanitized libnembit needs the sanitizers' flags to link")
    def test_programs_link_libnembit(self):
        work = self.root / "consumer"
        work.mkdir()
        (work / "app.cpp").write_text(CONSUMER)
        (work / "CMakeLists.txt").write_text(CMAKE_PROJECT)
        compiler = os.environ["NEMBIT_CXX"]
        run(["cmake", "-S", str(work), "-B", str(work / "build"), "-G", "Ninja",
             f"-DCMAKE_PREFIX_PATH={self.prefix}", f"-DCMAKE_CXX_COMPILER={compiler}"])
        run(["cmake", "--build", str(work / "build")])
        env = dict(os.environ, PKG_CONFIG_PATH=str(self.prefix / "lib/pkgconfig"))
        cflags = run(["pkg-config", "--cflags", "nembit"], env=env).stdout.decode().split()
        self.assertEqual([os.path.normpath(flag) for flag in cflags],
                         [f"-I{self.prefix / 'include'}"])
        flags = run(["pkg-config", "--cflags", "--libs", "nembit"], env=env).stdout.decode().split()
        run([compiler, "-std=c++20", str(work / "app.cpp"), "-o", str(work / "by-pkg-config"),
             *flags])
        # And against the build tree, as it stands.
        run([compiler, "-std=c++20", f"-I{SOURCE_DIR / 'include'}", f"-I{BUILD_DIR / 'include'}",
             str(work / "app.cpp"), "-o", str(work / "by-build-tree"),
             str(BUILD_DIR / "libnembit.a"), "-pthread", "-ldl"])
        # The helpers it finds tell what they could not reach: a session bus
        # and a display that do not exist.
        dead = f":{40000 + os.getpid() % 20000}"
        env = self.environment(NEMBIT_NOTIFIER="desktop", DISPLAY=dead, PATH="/nonexistent",
                               DBUS_SESSION_BUS_ADDRESS=f"unix:path={self.dir}/no-bus")
        for program in (work / "build/app", work / "by-pkg-config", work / "by-build-tree"):
            with self.subTest(program=program.name):
                shutil.rmtree(self.work / "made", ignore_errors=True)
                completed = subprocess.run([str(program)], cwd=self.work, env=env,
                                           capture_output=True, timeout=60, check=True)
                lines = completed.stdout.decode().splitlines()
                # Its version comes from the installed version file.
                self.assertEqual(lines[:3], ["src/main.cpp", "src/util.cpp", f"{VERSION} 0"])
                self.assert_tree("made", "made/a.txt", "made/b.txt")
                if os.environ.get("NEMBIT_WITH_DESKTOP") == "ON":
                    self.assertIn("Warning: Could not initialize Growl: no session bus:"
                                  " No such file or directory", lines)
                if os.environ.get("NEMBIT_WITH_OWNER") == "ON":
                    self.assertIn("Warning: Could not copy to clipboard: nembit-clipboard-owner:"
                                  f" cannot open the display: {dead}", lines)


class Uninstall(NembitTestCase):
    def test_removes_everything_it_installed_and_the_folders_it_made(self):
        prefix = self.dir / "prefix"
        (prefix / "share/man").mkdir(parents=True)  # There before: it stays.
        run(["cmake", "--install", str(BUILD_DIR), "--prefix", str(prefix)])
        run(["cmake", "--build", str(BUILD_DIR), "--target", "uninstall"])
        self.assertEqual(sorted(prefix.rglob("*")), [prefix / "share", prefix / "share/man"])


if __name__ == "__main__":
    unittest.main()
