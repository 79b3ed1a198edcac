// libFuzzer entry for the style sheet body; see support/fuzz_bodies.h.
#include "support/fuzz_bodies.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    orbelin_fuzz::AbortOnProblem(orbelin_fuzz::FuzzByName("css", input));
    return 0;
}
