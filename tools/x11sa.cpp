#include <cstdio>

int main() {
  std::puts("x11sa 0.1.0");
  return 0;
}
