"""The code examples of the README, which the tests build and run as a user
would: each is in the table below, with the test that does so."""

import re

from harness import SOURCE_DIR

# Each C++ and CMake example of the README, told by what it holds, and the
# test that builds and runs it.
EXAMPLES = {
    ("cpp", "int main()"): "install_test and embed_test: a program that links libnembit",
    ("cmake", "find_package(nembit"): "install_test: against the installed tree",
    ("cmake", "add_subdirectory(nembit)"): "embed_test",
    ("cmake", "FetchContent_Declare(nembit"): "embed_test",
}


def blocks(language):
    """The README's code blocks of `language`, in order."""
    text = (SOURCE_DIR / "README.md").read_text()
    return re.findall(rf"^```{language}\n(.*?)^```$", text, re.M | re.S)


def example(language, holding):
    """The one code block of `language` that holds `holding`."""
    found = [block for block in blocks(language) if holding in block]
    if len(found) != 1:
        raise AssertionError(f"{len(found)} {language} examples of the README hold {holding!r}")
    return found[0]
