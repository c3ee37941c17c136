"""End-to-end test of nembit inside another CMake project, added with
add_subdirectory and with FetchContent: the parent gets the library
nembit::nembit, with the helpers that it finds in the parent's build, and
nothing else of nembit's (no install rules, no packaging, no tests, not
the command), and keeps its own uninstall target. The build of one way
is made and run; of the other, which gives the same build, what it would
build is read."""

import os
import pathlib
import re
import shutil
import subprocess
import tempfile
import unittest

import readme
from harness import BUILD_LIMIT, SOURCE_DIR, UNIT_LIMIT, VERSION

# The helpers that this build has, which an embedding build has too.
HELPERS = [name for variable, name in (
    ("NEMBIT_WITH_DESKTOP", "nembit-desktop.so"), ("NEMBIT_WITH_OWNER", "nembit-clipboard-owner"),
    ("NEMBIT_WITH_WAYLAND_OWNER", "nembit-wayland-owner")) if os.environ.get(variable) == "ON"]

# The README's program, and the parent project that it goes into.
CONSUMER = readme.example("cpp", "int main()")
PARENT = """
cmake_minimum_required(VERSION 3.25)
project(parent CXX)
add_custom_target(uninstall COMMAND ${{CMAKE_COMMAND}} -E echo "the parent's own")
{nembit}
add_executable(app app.cpp)
target_link_libraries(app PRIVATE nembit::nembit)
install(TARGETS app)
"""


def head_of(source):
    """The commit that the git checkout `source` stands on."""
    return subprocess.run(["git", "rev-parse", "HEAD"], cwd=source, capture_output=True,
                          text=True, check=True).stdout.strip()


# The README's ways to build nembit with the parent, as the parent has them:
# a copy of the sources in its folder nembit/, and nembit fetched by git, from
# this checkout's commit.
WAYS = {
    "add_subdirectory": (readme.example("cmake", "add_subdirectory(nembit)"), {}),
    "FetchContent": (readme.example("cmake", "FetchContent_Declare(nembit"),
                     {"<url of this repository>": str(SOURCE_DIR),
                      "<a tag or commit of it>": None}),
}


def run(command, timeout=UNIT_LIMIT, **options):
    return subprocess.run(command, check=True, capture_output=True, timeout=timeout, **options)


def linked(build):
    """The names of the programs, libraries and modules that the build in
    `build` makes, as the commands that Ninja would run tell."""
    commands = run(["ninja", "-C", str(build), "-t", "commands", "all"]).stdout.decode()
    return sorted(pathlib.Path(path).name for path in re.findall(r"(?:-o|qc) (\S+)", commands)
                  if not path.endswith(".o"))


class Embedded(unittest.TestCase):
    def configure(self, way):
        """A parent project that takes nembit `way`, configured; its build folder."""
        declaration, places = WAYS[way]
        root = pathlib.Path(tempfile.mkdtemp(prefix="nembit-embed-"))
        self.addCleanup(shutil.rmtree, root, ignore_errors=True)
        (root / "nembit").symlink_to(SOURCE_DIR)
        for placeholder, place in places.items():
            declaration = declaration.replace(placeholder, place or head_of(SOURCE_DIR))
        (root / "app.cpp").write_text(CONSUMER)
        (root / "CMakeLists.txt").write_text(PARENT.format(nembit=declaration))
        build = root / "build"
        run(["cmake", "-S", str(root), "-B", str(build), "-G", "Ninja",
             f"-DCMAKE_CXX_COMPILER={os.environ['NEMBIT_CXX']}"], timeout=5 * UNIT_LIMIT)
        # Of nembit's, the parent's build makes the library and its helpers,
        # not the command; nembit brings no packaging and no tests.
        self.assertEqual(linked(build), sorted(["app", "libnembit.a", *HELPERS]))
        self.assertFalse((build / "CPackConfig.cmake").exists())
        self.assertIn("Total Tests: 0", run(["ctest", "-N", "--test-dir", str(build)]).stdout.decode())
        return build

    def test_a_parent_project_gets_the_library_alone(self):
        self.configure("FetchContent")
        build = self.configure("add_subdirectory")
        run(["cmake", "--build", str(build)], timeout=BUILD_LIMIT)
        # It finds nembit's files and helpers in the parent's build: the
        # module tells that no session bus is there.
        env = dict(os.environ, NEMBIT_NOTIFIER="desktop", NEMBIT_CLIPBOARD="none",
                   DBUS_SESSION_BUS_ADDRESS=f"unix:path={build}/no-bus")
        lines = run([str(build / "app")], cwd=build.parent, env=env).stdout.decode()
        self.assertEqual(lines.splitlines()[:3], ["src/main.cpp", "src/util.cpp", f"{VERSION} 0"])
        if HELPERS:
            self.assertIn("Warning: Could not initialize Growl: no session bus:", lines)
        prefix = build.parent / "prefix"
        run(["cmake", "--install", str(build), "--prefix", str(prefix)])
        installed = sorted(str(path.relative_to(prefix)) for path in prefix.rglob("*")
                           if path.is_file())
        self.assertEqual(installed, ["bin/app"])


if __name__ == "__main__":
    unittest.main()
