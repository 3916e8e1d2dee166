// tarq-cli: the headless front end (placeholder until the subcommands land).
#include <iostream>

int main() {
  std::cout << "tarq-cli " << TARQ_VERSION_TEXT << "\n";
  return 0;
}
