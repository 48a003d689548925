// SPDX-License-Identifier: MIT
#include "recording/PagePrefault.h"

// No call to map pages ahead here: each page is mapped when first written.
void prefaultPages(void *memory, std::size_t bytes)
{
    (void)memory;
    (void)bytes;
}
