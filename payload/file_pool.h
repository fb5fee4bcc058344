#pragma once
// Small entries are checked and written by a few threads at once: under some systems each
// file costs several trips to a server, and several requests in flight overlap. The main
// thread keeps reading the archive and copies each small entry into a fixed slot; larger
// files stay with it.
//
// Pooled entries are numbered in archive order. Entry n lives in slots[n % pool_slot_count]
// from its queueing until every entry up to n has its verdict, so that should one of them
// fail, the file a later one created is still known, to be removed. Workers take entries in
// order. A file that did not exist is created at once, out of turn, which is most of a first
// start; an existing file is opened only once every earlier entry has its verdict, and none
// after a failure: entries behind a failure stay as they were.
#include <windows.h>

#include <cstdint>

#include "paths/known_directories.h"
#include "payload/file_checksum.h"
#include "payload/file_counts.h"
#include "payload/target_path.h"
#include "payload/unpack_failure.h"

struct PayloadStream;
struct StampRule;
struct TargetLock;

constexpr uint64_t pooled_file_limit = 0x20000;
// Two workers beside the main thread's copying and the decoder: more gained nothing on two
// cores, and under Wine every thread costs about 1 MiB whatever stack size is asked for.
// Four slots of 128 KiB keep them fed; each worker reads existing files into its own 128 KiB.
constexpr int pool_worker_count = 2;
constexpr int pool_slot_count = 4;

enum class Verdict { pending, kept, written, skipped, damaged, open_failed, write_failed };
// A worker that found its file out of date asks the main thread, which owns the target
// lock, before it writes; the answer may be that the file is current after the lock's wait.
enum class WriteLeave { unasked, asked, granted, current, refused };

struct PoolSlot {
  wchar_t path[target_path_capacity];
  size_t name_at;  // where the entry's name starts in path
  uint64_t archive_entry;
  unsigned char* bytes;
  DWORD size;
  uint32_t stored_checksum;
  uint64_t entry;
  int waits_left;
  WriteLeave leave;
  bool created;        // this start made the file, out of turn
  DWORD folder_error;  // why its folder could not be made, or ERROR_SUCCESS
  Verdict verdict;
  DWORD error;  // of a failed open or write
};

struct FilePool;

struct PoolWorker {
  FilePool* pool;
  unsigned char* buffer;
  HANDLE thread;
};

struct FilePool {
  PoolSlot slots[pool_slot_count];
  PoolWorker workers[pool_worker_count];
  unsigned char* memory;
  SRWLOCK lock;
  CONDITION_VARIABLE changed;
  // Entries handed in, taken by a worker, and (from the first on) given their verdict.
  uint64_t queued;
  uint64_t taken;
  uint64_t decided;
  uint64_t first_failed;  // pool_no_failure while none has failed; read under the lock
  bool stopping;
  // The main thread's own.
  bool writes_allowed;
  StampRule* stamp;
  TargetLock* target_lock;
  KnownDirectories* directories;
  ChecksumScratch main_scratch;
  // What the workers count and name while tracing; set after prepare_pool.
  const Trace* trace;
  FileCounts* counts;
};

constexpr uint64_t pool_no_failure = ~0ull;

// Where the workers write and stamp, where the main thread makes folders and how it checks
// a file; before use.
void prepare_pool(FilePool& pool, StampRule& stamp, TargetLock& target_lock,
                  KnownDirectories& directories, const ChecksumScratch& main_scratch);
// Copies size (<= pooled_file_limit) bytes of the archive for the file at path and queues
// them: a worker checks the file there and, unless it is current, writes it once the target
// lock is held. An earlier entry's failure comes back first, once the pool has settled.
UnpackFailure pool_entry(FilePool& pool, PayloadStream& stream, const wchar_t* path, size_t name_at,
                         uint64_t archive_entry, uint64_t size, uint32_t stored_checksum);
// Waits until every queued entry has its verdict: the earliest failure, or none.
UnpackFailure settle_pool(FilePool& pool);
// The path of the entry whose file could not be opened, once settled.
const wchar_t* failed_pool_path(FilePool& pool);
// Once settled after a failure: removes the files created out of turn for entries behind
// it. False when one of them stays.
bool remove_files_behind_failure(FilePool& pool);
// Ends the workers and frees the slots.
void stop_pool(FilePool& pool);

// For the workers (payload/pool_work.h). Blocks until the main thread answers the slot's
// request to write; true when it may.
bool wait_for_leave(FilePool& pool, PoolSlot& slot);
// Blocks until every earlier entry has its verdict; true when all succeeded.
bool wait_for_earlier_entries(FilePool& pool, const PoolSlot& slot);
