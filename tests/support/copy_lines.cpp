// Test support: puts each line of its standard input on the system
// clipboard through libnembit's clipboard component, waits until it is
// there, and answers "ok" or "error <reason>" for each. A line "@<path>"
// copies the content of the file at <path> instead; a line "!" opens the
// clipboard anew, as a program does that runs nembit once per request, and
// a line "?" does not: both answer with the number of its children that
// have ended and not been reaped.
#include <nembit/clipboard.h>
#include <unistd.h>

#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

namespace {

// How many of this process's children are zombies.
int zombies() {
  const std::string self = "/proc/" + std::to_string(::getpid());
  std::ifstream children(self + "/task/" + std::to_string(::getpid()) + "/children");
  int count = 0;
  for (std::string pid; children >> pid;) {
    std::ifstream stat("/proc/" + pid + "/stat");
    std::string fields[3];
    stat >> fields[0] >> fields[1] >> fields[2];
    count += fields[2] == "Z" ? 1 : 0;
  }
  return count;
}

}  // namespace

int main() {
  std::unique_ptr<nembit::clipboard::Clipboard> clipboard =
      nembit::clipboard::open_system_clipboard();
  if (!clipboard) {
    std::cout << "error no clipboard" << std::endl;
    return 1;
  }
  for (std::string line; std::getline(std::cin, line);) {
    if (line == "!" || line == "?") {
      if (line == "!") clipboard = nembit::clipboard::open_system_clipboard();
      std::cout << zombies() << std::endl;
      continue;
    }
    std::string text = line;
    if (line.starts_with("@")) {
      std::ifstream file(line.substr(1), std::ios::binary);
      text.assign(std::istreambuf_iterator<char>(file), {});
    }
    try {
      clipboard->copy(text);
      clipboard->flush();
      std::cout << "ok" << std::endl;
    } catch (const nembit::clipboard::Error& error) {
      std::cout << "error " << error.what() << std::endl;
    }
  }
}
