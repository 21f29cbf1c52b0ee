// Leaks a block from our own code and exits normally. Run under LeakSanitizer with the test
// suppressions, it must still be reported: the suppressions cover third-party libraries only.
#include <cstdio>

namespace {

int* volatile g_sink = nullptr;

int* MakeBlock() { return new int[64]; }

}  // namespace

int main() {
  g_sink = MakeBlock();
  g_sink[0] = 1;
  g_sink = nullptr;  // the last pointer to the block is gone: a real leak
  std::puts("leak probe done");
  return 0;
}
