#pragma once
// What a pool worker does with the entry it took (payload/file_pool.h), and the waits on
// the pool it needs for that.
#include "payload/file_pool.h"

// Checks the file of the slot's entry and, unless it is current, writes it: the verdict.
Verdict check_and_write(FilePool& pool, PoolSlot& slot, const ChecksumScratch& scratch);

// Blocks the worker until the main thread answers its request to write; true when it may.
bool wait_for_leave(FilePool& pool, PoolSlot& slot);
// Blocks the worker until every earlier entry has its verdict; true when all succeeded.
bool wait_for_earlier_entries(FilePool& pool, const PoolSlot& slot);
