"""The rules the source tree follows, checked: what each include may name,
where system headers and #if may stand, and that every source is formatted."""

import pathlib
import re
import subprocess
import tempfile
import unittest

import readme

ROOT = pathlib.Path(__file__).resolve().parent.parent
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)
CONDITION = re.compile(r"^\s*#\s*(if|ifdef|ifndef|elif)\b(.*)$", re.M)
# The headers of the C++ standard library, and of the C library that C++ has.
STANDARD = set("""algorithm any array atomic bit bitset cassert cctype cerrno cfloat charconv chrono
cinttypes climits clocale cmath codecvt compare complex concepts condition_variable csetjmp csignal
cstdarg cstddef cstdint cstdio cstdlib cstring ctime cwchar cwctype deque exception execution
expected filesystem format forward_list fstream functional future initializer_list iomanip ios
iosfwd iostream istream iterator limits list locale map memory memory_resource mutex new numbers
numeric optional ostream queue random ranges ratio regex scoped_allocator set shared_mutex span
sstream stack stdexcept stop_token streambuf string string_view syncstream system_error thread
tuple type_traits typeindex typeinfo unordered_map unordered_set utility valarray variant vector
version stddef.h""".split())
# The compiler's own runtime, which is no operating system's.
COMPILER = {"cxxabi.h"}
# The helpers that are programs (or a module) for one platform alone, which
# make that platform's calls in files of any name.
SINGLE_PLATFORM = {"clipboard/owner": "POSIX", "notify/desktop": "POSIX", "notify/tray": "Windows"}


def sources():
    """The project's own C++ sources and headers, as git knows them."""
    listed = subprocess.run(["git", "ls-files", "*.cpp", "*.h", "*.h.in"], cwd=ROOT,
                            capture_output=True, text=True, check=True).stdout.split()
    return [ROOT / name for name in listed]


def is_platform(path):
    return re.search(r"_(posix|win32)\.(cpp|h)$", path.name) is not None


def is_test(path):
    return path.name.endswith("_test.cpp") or "tests" in path.relative_to(ROOT).parts


def is_single_platform(path):
    return path.parent.relative_to(ROOT).as_posix() in SINGLE_PLATFORM


class Layout(unittest.TestCase):
    def test_nembit_names_a_public_header_and_a_bare_name_one_beside_it(self):
        public = {path.name for path in (ROOT / "include/nembit").iterdir()} | {"version.h"}
        wrong = []
        for path in sources():
            for kind, name in INCLUDE.findall(path.read_text()):
                if name.startswith("nembit/") and name.removeprefix("nembit/") not in public:
                    wrong.append(f"{path.relative_to(ROOT)}: {name} is no public header")
                elif kind == '"' and "/" not in name and not (path.parent / name).exists() and \
                        not (path.parent.name == "fuzz" and (ROOT / "nembit" / name).exists()):
                    # The fuzzers reach into the program, by its bare names.
                    wrong.append(f"{path.relative_to(ROOT)}: {name} is not beside it")
        self.assertEqual(wrong, [])

    def test_only_the_platform_layer_has_system_headers_and_conditions(self):
        wrong = []
        for path in sources():
            if is_platform(path) or is_test(path) or path.parts[-2] == "fuzz":
                continue
            text = path.read_text()
            if path.suffix == ".h" or not is_single_platform(path):
                for kind, name in INCLUDE.findall(text):
                    if kind == "<" and name not in STANDARD | COMPILER and \
                            not name.startswith("nembit/"):
                        wrong.append(f"{path.relative_to(ROOT)}: <{name}>")
            for _, condition in CONDITION.findall(text):
                if condition.strip() != "defined(__cplusplus)" and "__cplusplus" not in condition:
                    wrong.append(f"{path.relative_to(ROOT)}: #if {condition.strip()}")
        self.assertEqual(wrong, [])

    def test_the_naming_check_passes_the_tree_and_finds_a_name_out_of_style(self):
        self.assertEqual(subprocess.run([ROOT / "tools/check-names"], capture_output=True,
                                        text=True).stdout, "")
        with tempfile.TemporaryDirectory() as folder:
            sample = pathlib.Path(folder, "sample.cpp")
            sample.write_text("namespace n {\nconstexpr int limit = 1;\nclass Counter {\n"
                              " public:\n  void Add(int Amount);\n private:\n  int count;\n};\n"
                              "void f() { int LocalCount = 0; (void)LocalCount; }\n}\n")
            found = subprocess.run([ROOT / "tools/check-names", sample], capture_output=True,
                                   text=True).stdout
        self.assertEqual(sorted(re.findall(r"'(\w+)'", found)),
                         ["Add", "Amount", "LocalCount", "count", "limit"], found)

    def test_every_code_example_of_the_readme_is_built_by_a_test(self):
        for language in ("cpp", "cmake"):
            for block in readme.blocks(language):
                users = [key for key in readme.EXAMPLES if key[0] == language and key[1] in block]
                self.assertEqual(len(users), 1, block)

    def test_every_source_is_formatted(self):
        listed = subprocess.run(["git", "ls-files", "*.cpp", "*.h"], cwd=ROOT, capture_output=True,
                                text=True, check=True).stdout.split()
        checked = subprocess.run(["clang-format", "--dry-run", "--Werror", *listed], cwd=ROOT,
                                 capture_output=True, text=True)
        self.assertEqual(checked.returncode, 0, checked.stderr)


if __name__ == "__main__":
    unittest.main()
