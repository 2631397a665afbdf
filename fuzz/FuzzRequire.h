#pragma once

#include <cstdio>
#include <cstdlib>

namespace veltrane::fuzz {

[[noreturn]] inline void fail(const char* file, int line, const char* condition)
{
    std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, condition);
    std::abort();
}

} // namespace veltrane::fuzz

// Names the broken property in the report, so that a finding is read without a debugger.
#define REQUIRE(condition)                                                                         \
    ((condition) ? void() : ::veltrane::fuzz::fail(__FILE__, __LINE__, #condition))
