// One libFuzzer program per parser (make fuzz): the entry point is chosen at build time.
#include "fuzz/parser_fuzz.h"

#ifndef VEXA_FUZZ_ENTRY
#error "VEXA_FUZZ_ENTRY names the parser entry point"
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!vexa::fuzz::VEXA_FUZZ_ENTRY(data, size)) __builtin_trap();
  return 0;
}
