// SPDX-License-Identifier: MIT
#pragma once

#include <cstddef>

// Asks the system to map at once the whole pages of memory that is about to
// be written from start to end (a new block of rows filled from a file): one
// call instead of a page fault for each page as the writes reach it, which
// costs several times more. The memory's content does not change. Where the
// system offers no such call (or refuses it), each page is still mapped when
// it is first written.
void prefaultPages(void *memory, std::size_t bytes);
