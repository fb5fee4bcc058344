#pragma once
// What a pool worker does with the entry it took (payload/file_pool.h).
#include "payload/file_pool.h"

// Checks the file of the slot's entry and, unless it is current, writes it: the verdict.
Verdict check_and_write(FilePool& pool, PoolSlot& slot, const ChecksumScratch& scratch);
