// Test support: puts each line of its standard input on the system
// clipboard through libnembit's clipboard component, and answers "ok" or
// "error <reason>" for each. A line "@<path>" copies the content of the
// file at <path> instead.
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>

#include "nembit/clipboard.h"

int main() {
  const std::unique_ptr<nembit::clipboard::Clipboard> clipboard =
      nembit::clipboard::open_system_clipboard();
  if (!clipboard) {
    std::cout << "error no clipboard" << std::endl;
    return 1;
  }
  for (std::string line; std::getline(std::cin, line);) {
    std::string text = line;
    if (line.starts_with("@")) {
      std::ifstream file(line.substr(1), std::ios::binary);
      text.assign(std::istreambuf_iterator<char>(file), {});
    }
    try {
      clipboard->copy(text);
      std::cout << "ok" << std::endl;
    } catch (const nembit::clipboard::Error& error) {
      std::cout << "error " << error.what() << std::endl;
    }
  }
}
