// Linked into every test program. Its output goes to a pipe, which the C
// runtime fills a block at a time: a process that ends through ExitProcess or
// TerminateProcess, or is killed at its time limit, would lose the block it
// had not yet written, and with it the only word of what it did.
#include <stdio.h>

[[maybe_unused]] static const int unbuffered = setvbuf(stdout, nullptr, _IONBF, 0);
