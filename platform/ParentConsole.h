#pragma once

#include <cstdio>

namespace veltrane {

// Windows starts a program built for windows without a console, so what a windowless run
// prints would go nowhere. This connects standard output and error to the console of the
// program that started it, unless they already lead somewhere (a file, a pipe). Elsewhere it
// does nothing: a terminal's program has its output already.
namespace ParentConsole {

void attach();
// Whether the stream is a terminal a person watches, where a line may be redrawn.
bool isTerminal(std::FILE* stream);

} // namespace ParentConsole

} // namespace veltrane
