#include "payload/file_pool.h"

#include <cstdlib>
#include <cwchar>

#include "paths/directories.h"
#include "payload/held_file.h"
#include "payload/pool_work.h"
#include "payload/stamp_rule.h"
#include "payload/stream.h"
#include "payload/target_lock.h"

namespace {

constexpr SIZE_T worker_stack_size = 0x10000;

PoolSlot& slot_of(FilePool& pool, uint64_t entry) { return pool.slots[entry % pool_slot_count]; }

// The earliest failed entry, read under the lock: workers set it.
uint64_t first_failure(FilePool& pool) {
  AcquireSRWLockShared(&pool.lock);
  uint64_t entry = pool.first_failed;
  ReleaseSRWLockShared(&pool.lock);
  return entry;
}

bool is_failure(Verdict verdict) {
  return verdict == Verdict::damaged || verdict == Verdict::open_failed ||
         verdict == Verdict::write_failed;
}

// Called with the lock held.
PoolSlot* earliest_asking(FilePool& pool) {
  for (uint64_t entry = pool.decided; entry < pool.queued; ++entry) {
    if (slot_of(pool, entry).leave == WriteLeave::asked) return &slot_of(pool, entry);
  }
  return nullptr;
}

void wait_for_change(FilePool& pool) {
  SleepConditionVariableSRW(&pool.changed, &pool.lock, INFINITE, 0);
}

void answer(FilePool& pool, PoolSlot& slot, WriteLeave leave) {
  AcquireSRWLockExclusive(&pool.lock);
  slot.leave = leave;
  ReleaseSRWLockExclusive(&pool.lock);
  WakeAllConditionVariable(&pool.changed);
}

PoolSlot* next_asking(FilePool& pool) {
  AcquireSRWLockExclusive(&pool.lock);
  PoolSlot* slot = earliest_asking(pool);
  ReleaseSRWLockExclusive(&pool.lock);
  return slot;
}

// Makes the folders of a file about to be written: nothing goes into one that could not be
// made, nor through a link in its place.
DWORD folder_error_of(FilePool& pool, const wchar_t* path) {
  return create_parent_directories_of(*pool.directories, path) ? ERROR_SUCCESS : GetLastError();
}

// On the main thread: lets workers write the files they found out of date. As on the main
// thread's own path, a launcher that waited for the lock looks at the file again, and lets
// the next one in at once when it is current after all. Behind a failure nothing is written.
void answer_asking_workers(FilePool& pool) {
  PoolSlot* first = next_asking(pool);
  if (first == nullptr) return;
  if (first_failure(pool) != pool_no_failure) {
    for (; first != nullptr; first = next_asking(pool)) answer(pool, *first, WriteLeave::refused);
    return;
  }
  if (!pool.writes_allowed && !holds_target_lock(*pool.target_lock) &&
      take_target_lock(*pool.target_lock) &&
      is_kept(check_file(pool.stamp->reuse, first->path, first->size, first->stored_checksum,
                         pool.main_scratch))) {
    release_target_lock(*pool.target_lock);
    answer(pool, *first, WriteLeave::current);
    return;
  }
  pool.writes_allowed = true;
  for (; first != nullptr; first = next_asking(pool)) {
    first->folder_error = folder_error_of(pool, first->path);
    answer(pool, *first, WriteLeave::granted);
  }
}

PoolSlot* take_queued_entry(FilePool& pool) {
  AcquireSRWLockExclusive(&pool.lock);
  while (pool.taken == pool.queued && !pool.stopping) wait_for_change(pool);
  PoolSlot* slot = pool.taken < pool.queued ? &slot_of(pool, pool.taken++) : nullptr;
  ReleaseSRWLockExclusive(&pool.lock);
  return slot;
}

void decide(FilePool& pool, PoolSlot& slot, Verdict verdict) {
  AcquireSRWLockExclusive(&pool.lock);
  slot.verdict = verdict;
  if (is_failure(verdict) && slot.entry < pool.first_failed) pool.first_failed = slot.entry;
  while (pool.decided < pool.queued && slot_of(pool, pool.decided).verdict != Verdict::pending) {
    ++pool.decided;
  }
  ReleaseSRWLockExclusive(&pool.lock);
  WakeAllConditionVariable(&pool.changed);
}

DWORD WINAPI work_on_queued_entries(void* context) {
  PoolWorker& worker = *static_cast<PoolWorker*>(context);
  while (PoolSlot* slot = take_queued_entry(*worker.pool)) {
    ChecksumScratch scratch = {worker.buffer, pooled_file_limit, &slot->waits_left};
    Verdict verdict = check_and_write(*worker.pool, *slot, scratch);
    if (verdict == Verdict::kept)
      note_kept(*worker.pool->trace, *worker.pool->counts, slot->path + slot->name_at);
    decide(*worker.pool, *slot, verdict);
  }
  return 0;
}

bool start_workers(FilePool& pool) {
  pool.memory = static_cast<unsigned char*>(
      malloc((pool_slot_count + pool_worker_count) * pooled_file_limit));
  if (pool.memory == nullptr) return false;
  for (int i = 0; i < pool_slot_count; ++i)
    pool.slots[i].bytes = pool.memory + i * pooled_file_limit;
  for (int i = 0; i < pool_worker_count; ++i) {
    PoolWorker& worker = pool.workers[i];
    worker.pool = &pool;
    worker.buffer = pool.memory + (pool_slot_count + i) * pooled_file_limit;
    worker.thread = CreateThread(nullptr, worker_stack_size, work_on_queued_entries, &worker,
                                 STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (worker.thread == nullptr) return false;
  }
  return true;
}

// Waits, answering workers meanwhile, until done(pool) holds with the lock held.
template <typename Done>
void wait_answering(FilePool& pool, Done done) {
  for (;;) {
    answer_asking_workers(pool);
    AcquireSRWLockExclusive(&pool.lock);
    while (!done(pool) && earliest_asking(pool) == nullptr) wait_for_change(pool);
    bool finished = done(pool);
    ReleaseSRWLockExclusive(&pool.lock);
    if (finished) return;
  }
}

bool has_free_slot(const FilePool& pool) {
  return pool.queued - pool.decided < pool_slot_count || pool.first_failed != pool_no_failure;
}

bool all_decided(const FilePool& pool) { return pool.decided == pool.queued; }

}  // namespace

bool wait_for_leave(FilePool& pool, PoolSlot& slot) {
  AcquireSRWLockExclusive(&pool.lock);
  if (slot.leave == WriteLeave::unasked) {
    slot.leave = WriteLeave::asked;
    WakeAllConditionVariable(&pool.changed);
  }
  while (slot.leave == WriteLeave::asked) wait_for_change(pool);
  bool granted = slot.leave == WriteLeave::granted;
  ReleaseSRWLockExclusive(&pool.lock);
  return granted;
}

bool wait_for_earlier_entries(FilePool& pool, const PoolSlot& slot) {
  AcquireSRWLockExclusive(&pool.lock);
  while (pool.decided < slot.entry) wait_for_change(pool);
  bool go_on = pool.first_failed > slot.entry;
  ReleaseSRWLockExclusive(&pool.lock);
  return go_on;
}

void prepare_pool(FilePool& pool, StampRule& stamp, TargetLock& target_lock,
                  KnownDirectories& directories, const ChecksumScratch& main_scratch) {
  InitializeSRWLock(&pool.lock);
  InitializeConditionVariable(&pool.changed);
  pool.first_failed = pool_no_failure;
  pool.stamp = &stamp;
  pool.target_lock = &target_lock;
  pool.directories = &directories;
  pool.main_scratch = main_scratch;
}

UnpackFailure pool_entry(FilePool& pool, PayloadStream& stream, const wchar_t* path, size_t name_at,
                         uint64_t archive_entry, uint64_t size, uint32_t stored_checksum) {
  if (pool.memory == nullptr && !start_workers(pool)) return {UnpackError::memory, 0};
  wait_answering(pool, has_free_slot);
  if (first_failure(pool) != pool_no_failure) return settle_pool(pool);
  PoolSlot& slot = slot_of(pool, pool.queued);
  if (!payload_read(stream, slot.bytes, size)) return {UnpackError::damaged, 0};
  wcscpy(slot.path, path);
  slot.name_at = name_at;
  slot.archive_entry = archive_entry;
  slot.size = static_cast<DWORD>(size);
  slot.stored_checksum = stored_checksum;
  slot.entry = pool.queued;
  slot.waits_left = held_file_retries;
  slot.created = false;
  slot.verdict = Verdict::pending;
  // Once this launcher writes, a file found out of date is written at once.
  pool.writes_allowed = pool.writes_allowed || holds_target_lock(*pool.target_lock);
  slot.folder_error = pool.writes_allowed ? folder_error_of(pool, slot.path) : ERROR_SUCCESS;
  slot.leave = pool.writes_allowed ? WriteLeave::granted : WriteLeave::unasked;
  AcquireSRWLockExclusive(&pool.lock);
  ++pool.queued;
  ReleaseSRWLockExclusive(&pool.lock);
  WakeAllConditionVariable(&pool.changed);
  return unpack_went_well;
}

UnpackFailure settle_pool(FilePool& pool) {
  if (pool.memory == nullptr) return unpack_went_well;
  wait_answering(pool, all_decided);
  uint64_t failed_entry = first_failure(pool);
  if (failed_entry == pool_no_failure) return unpack_went_well;
  const PoolSlot& failed = slot_of(pool, failed_entry);
  if (failed.verdict == Verdict::damaged) return {UnpackError::damaged, 0};
  if (failed.verdict == Verdict::open_failed) return {UnpackError::open, failed.error};
  return {UnpackError::write, failed.error};
}

const wchar_t* failed_pool_path(FilePool& pool) { return slot_of(pool, first_failure(pool)).path; }

bool remove_files_behind_failure(FilePool& pool) {
  bool all_gone = true;
  uint64_t failed_entry = first_failure(pool);
  for (PoolSlot& slot : pool.slots) {
    if (pool.memory == nullptr || slot.entry <= failed_entry || !slot.created) continue;
    slot.waits_left = held_file_retries;
    if (delete_file_waiting(slot.path, slot.waits_left)) {
      slot.created = false;
    } else {
      all_gone = false;
    }
  }
  return all_gone;
}

void stop_pool(FilePool& pool) {
  if (pool.memory == nullptr) return;
  AcquireSRWLockExclusive(&pool.lock);
  pool.stopping = true;
  ReleaseSRWLockExclusive(&pool.lock);
  WakeAllConditionVariable(&pool.changed);
  for (PoolWorker& worker : pool.workers) {
    if (worker.thread == nullptr) continue;
    WaitForSingleObject(worker.thread, INFINITE);
    CloseHandle(worker.thread);
    worker.thread = nullptr;
  }
  free(pool.memory);
  pool.memory = nullptr;
}
