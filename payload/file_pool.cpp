#include "payload/file_pool.h"

#include <windows.h>

#include <cstdlib>

#include "launcher/errors.h"
#include "launcher/launch_state.h"
#include "paths/directories.h"
#include "payload/crc32.h"
#include "payload/file_checksum.h"
#include "payload/file_write.h"
#include "payload/held_file.h"
#include "payload/stamp_rule.h"
#include "payload/stored_checksum.h"
#include "payload/stream.h"
#include "payload/target_lock.h"
#include "support/bounded.h"

namespace {

// Two workers beside the main thread's copying and the decoder: more gained nothing on two
// cores, and under Wine every thread costs about 1 MiB whatever stack size is asked for.
// Four slots of 128 KiB keep them fed; each worker reads existing files into its own 128 KiB.
constexpr int worker_count = 2;
constexpr int slot_count = 4;
constexpr SIZE_T worker_stack_size = 0x10000;

// waiting_for_lock: the file is out of date, and its worker waits until the main thread,
// which owns the target lock, has taken it and made the file's folders. A worker keeps its
// slot until done, and takes the earliest queued one: the earliest unfinished entry is
// always in a worker's hands, never waiting for its turn.
enum class State { free, queued, working, waiting_for_lock, done };
// damaged: the entry's bytes do not match its stored checksum.
enum class Failure { none, open, write, damaged };

struct Slot {
  wchar_t path[file_path_capacity];
  unsigned char* bytes;
  DWORD size;
  uint32_t stored_checksum;
  int waits_left;
  uint64_t entry;
  bool may_write;
  bool created;  // this start made the file, out of turn
  Failure failure;
  DWORD error;
  State state;
};

Slot slots[slot_count];
unsigned char* pool_memory = nullptr;
HANDLE workers[worker_count];
SRWLOCK lock = SRWLOCK_INIT;
CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;
bool stopping = false;
// Read and written by the main thread only.
bool writes_allowed = false;
uint64_t next_entry = 0;
// Existing files are opened in archive order, and none after an entry that failed before
// its turn ended: entries after a failure stay as they were, as when one thread did it all.
uint64_t open_turn = 0;
bool turn_failed = false;

void set_state(Slot& slot, State state) {
  AcquireSRWLockExclusive(&lock);
  slot.state = state;
  ReleaseSRWLockExclusive(&lock);
  WakeAllConditionVariable(&changed);
}

// False when an earlier entry failed before its turn ended: this one is left alone.
bool wait_for_open_turn(const Slot& slot) {
  AcquireSRWLockExclusive(&lock);
  while (open_turn != slot.entry) SleepConditionVariableSRW(&changed, &lock, INFINITE, 0);
  bool go_on = !turn_failed;
  ReleaseSRWLockExclusive(&lock);
  return go_on;
}

void end_open_turn(bool failed) {
  AcquireSRWLockExclusive(&lock);
  ++open_turn;
  turn_failed = turn_failed || failed;
  ReleaseSRWLockExclusive(&lock);
  WakeAllConditionVariable(&changed);
}

// Nothing more to open for this entry; the turn passes on in archive order all the same.
void pass_turn(const Slot& slot, bool failed) {
  wait_for_open_turn(slot);
  end_open_turn(failed);
}

void write_and_close(Slot& slot, HANDLE file) {
  DWORD error = slot.size > 0 ? write_whole(file, slot.bytes, slot.size) : ERROR_SUCCESS;
  if (error != ERROR_SUCCESS) {
    slot.failure = Failure::write;
    slot.error = error;
  } else {
    // The bytes were checked against the entry's CRC-32 before they were written.
    stamp_written_file(file);
  }
  CloseHandle(file);
}

void write_slot(Slot& slot) {
  // A file that did not exist is created out of turn, which is most of a first start;
  // should an earlier entry fail, it is removed again (remove_files_created_after).
  HANDLE file = CreateFileW(slot.path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                            CREATE_NEW, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    slot.created = true;
    write_and_close(slot, file);
    pass_turn(slot, slot.failure != Failure::none);
    return;
  }
  if (!wait_for_open_turn(slot)) {
    end_open_turn(false);
    return;
  }
  file = open_for_writing(slot.path, &slot.waits_left);
  end_open_turn(file == INVALID_HANDLE_VALUE);
  if (file == INVALID_HANDLE_VALUE) {
    slot.failure = Failure::open;
    return;
  }
  write_and_close(slot, file);
}

// Blocks the worker, which keeps its slot, until the main thread lets the write go on;
// false when the main thread found the file current after all, to be checked again.
bool wait_for_write(Slot& slot) {
  AcquireSRWLockExclusive(&lock);
  if (!slot.may_write) {
    slot.state = State::waiting_for_lock;
    WakeAllConditionVariable(&changed);
    while (slot.state == State::waiting_for_lock) {
      SleepConditionVariableSRW(&changed, &lock, INFINITE, 0);
    }
  }
  bool may_write = slot.may_write;
  ReleaseSRWLockExclusive(&lock);
  return may_write;
}

bool keep_if_current(const Slot& slot, const ChecksumScratch& scratch) {
  if (!file_is_current(slot.path, slot.size, slot.stored_checksum, scratch)) return false;
  pass_turn(slot, false);
  return true;
}

void check_and_write(Slot& slot, const ChecksumScratch& scratch) {
  if (keep_if_current(slot, scratch)) return;
  // Only bytes about to be written are checked: a file kept costs no CRC-32 of its entry.
  if (!stored_checksum_admits(slot.stored_checksum, crc32_buffer(slot.bytes, slot.size))) {
    slot.failure = Failure::damaged;
    pass_turn(slot, true);
    return;
  }
  while (!wait_for_write(slot)) {
    if (keep_if_current(slot, scratch)) return;
  }
  write_slot(slot);
}

// Called with the lock held.
Slot* earliest_in(State state) {
  Slot* first = nullptr;
  for (Slot& slot : slots) {
    if (slot.state == state && (first == nullptr || slot.entry < first->entry)) first = &slot;
  }
  return first;
}

// The earliest queued entry, so that the worker whose turn it is never waits.
Slot* wait_for_queued_slot() {
  AcquireSRWLockExclusive(&lock);
  for (;;) {
    Slot* first = earliest_in(State::queued);
    if (first != nullptr) {
      first->state = State::working;
      ReleaseSRWLockExclusive(&lock);
      return first;
    }
    if (stopping) break;
    SleepConditionVariableSRW(&changed, &lock, INFINITE, 0);
  }
  ReleaseSRWLockExclusive(&lock);
  return nullptr;
}

DWORD WINAPI work_on_queued_slots(void* buffer) {
  while (Slot* slot = wait_for_queued_slot()) {
    ChecksumScratch scratch = {static_cast<unsigned char*>(buffer), pooled_file_limit,
                               &slot->waits_left};
    check_and_write(*slot, scratch);
    set_state(*slot, State::done);
  }
  return 0;
}

bool is_busy(const Slot& slot) {
  return slot.state == State::queued || slot.state == State::working ||
         slot.state == State::waiting_for_lock;
}

const Slot* first_failure() {
  const Slot* first = nullptr;
  for (const Slot& slot : slots) {
    if (slot.state == State::done && slot.failure != Failure::none &&
        (first == nullptr || slot.entry < first->entry)) {
      first = &slot;
    }
  }
  return first;
}

Slot* earliest_waiting_for_lock() {
  AcquireSRWLockExclusive(&lock);
  Slot* first = earliest_in(State::waiting_for_lock);
  ReleaseSRWLockExclusive(&lock);
  return first;
}

void let_waiting_slot_go_on(Slot& slot, bool may_write) {
  AcquireSRWLockExclusive(&lock);
  slot.may_write = may_write;
  slot.state = State::working;
  ReleaseSRWLockExclusive(&lock);
  WakeAllConditionVariable(&changed);
}

// On the main thread, which owns the target lock: lets workers write the files they found
// out of date. As on the main thread's own path, a launcher that waited for the lock looks
// at the file again, and lets the next one in at once when it is current after all.
void grant_waiting_writes() {
  Slot* first = earliest_waiting_for_lock();
  if (first == nullptr) return;
  if (!writes_allowed && !holds_target_lock() && take_target_lock() &&
      file_is_current(first->path, first->size, first->stored_checksum)) {
    release_target_lock();
    let_waiting_slot_go_on(*first, false);
    return;
  }
  writes_allowed = true;
  // A waiting slot is left alone by its worker until it is let go on.
  while (Slot* slot = earliest_waiting_for_lock()) {
    create_parent_directories_of(slot->path);
    let_waiting_slot_go_on(*slot, true);
  }
}

// Waits until no slot is busy, letting waiting writes go on meanwhile.
void wait_until_settled() {
  for (;;) {
    grant_waiting_writes();
    AcquireSRWLockExclusive(&lock);
    bool settled = false;
    for (;;) {
      settled = true;
      for (const Slot& slot : slots) settled = settled && !is_busy(slot);
      if (settled || earliest_in(State::waiting_for_lock) != nullptr) break;
      SleepConditionVariableSRW(&changed, &lock, INFINITE, 0);
    }
    ReleaseSRWLockExclusive(&lock);
    if (settled) return;
  }
}

// Files this start created out of turn for entries after a failed one go again: nothing
// new stays behind the failure. A slot that created its file is reused only once every
// earlier entry has finished (is_reusable), so every such entry still has its slot.
void remove_files_created_after(uint64_t failed_entry) {
  for (Slot& slot : slots) {
    if (slot.state != State::done || !slot.created || slot.entry <= failed_entry) continue;
    renew_held_file_budget();
    delete_file_waiting(slot.path);
    slot.created = false;
  }
}

// Every queued entry comes before the one the main thread is at, so the earliest
// failure among them is the one to report, once none is still in flight.
void end_with_first_failure() {
  before_error_end = nullptr;
  wait_until_settled();
  const Slot* failed = first_failure();
  if (failed == nullptr) return;
  remove_files_created_after(failed->entry);
  if (failed->failure == Failure::open) fatal_open_error(failed->path);
  if (failed->failure == Failure::damaged) payload_fail_decode();
  fatal_os_error(write_failed_message, failed->error);
}

void start_workers() {
  pool_memory =
      static_cast<unsigned char*>(malloc((slot_count + worker_count) * pooled_file_limit));
  if (pool_memory == nullptr) fatal_error("Error, couldn't allocate memory.");
  for (int i = 0; i < slot_count; ++i) {
    slots[i].bytes = pool_memory + i * pooled_file_limit;
    slots[i].state = State::free;
  }
  stopping = false;
  for (int i = 0; i < worker_count; ++i) {
    workers[i] = CreateThread(nullptr, worker_stack_size, work_on_queued_slots,
                              pool_memory + (slot_count + i) * pooled_file_limit,
                              STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (workers[i] == nullptr) fatal_error("Error, couldn't allocate memory.");
  }
  before_error_end = end_with_first_failure;
}

// A finished slot is reused once every earlier entry has finished too: should one of them
// fail yet, the file this one created is still known, to be removed.
bool is_reusable(const Slot& slot) {
  if (slot.state == State::free) return true;
  if (slot.state != State::done) return false;
  if (!slot.created) return true;
  for (const Slot& other : slots) {
    if (is_busy(other) && other.entry < slot.entry) return false;
  }
  return true;
}

// A free slot, or a finished one whose file succeeded; ends the process on a failure.
Slot& take_slot() {
  for (;;) {
    grant_waiting_writes();
    AcquireSRWLockExclusive(&lock);
    for (;;) {
      if (first_failure() != nullptr) {
        ReleaseSRWLockExclusive(&lock);
        end_with_first_failure();
        AcquireSRWLockExclusive(&lock);
      }
      for (Slot& slot : slots) {
        if (!is_reusable(slot)) continue;
        slot.state = State::free;
        ReleaseSRWLockExclusive(&lock);
        return slot;
      }
      if (earliest_in(State::waiting_for_lock) != nullptr) break;
      SleepConditionVariableSRW(&changed, &lock, INFINITE, 0);
    }
    ReleaseSRWLockExclusive(&lock);
  }
}

}  // namespace

void pool_current_entry(uint64_t size, uint32_t stored_checksum) {
  if (pool_memory == nullptr) start_workers();
  Slot& slot = take_slot();
  payload_read(slot.bytes, size);
  copy_bounded(slot.path, current_file_path, file_path_capacity);
  slot.size = static_cast<DWORD>(size);
  slot.stored_checksum = stored_checksum;
  slot.waits_left = held_file_retries;
  slot.entry = next_entry++;
  slot.created = false;
  slot.failure = Failure::none;
  // Once this launcher writes, a file found out of date is written at once.
  writes_allowed = writes_allowed || holds_target_lock();
  if (writes_allowed) create_parent_directories_of(slot.path);
  slot.may_write = writes_allowed;
  set_state(slot, State::queued);
}

void settle_pooled_entries() {
  if (pool_memory == nullptr) return;
  wait_until_settled();
  if (first_failure() != nullptr) end_with_first_failure();
}

void finish_pooled_entries() {
  if (pool_memory == nullptr) return;
  end_with_first_failure();
  AcquireSRWLockExclusive(&lock);
  stopping = true;
  ReleaseSRWLockExclusive(&lock);
  WakeAllConditionVariable(&changed);
  WaitForMultipleObjects(worker_count, workers, TRUE, INFINITE);
  for (HANDLE worker : workers) CloseHandle(worker);
  free(pool_memory);
  pool_memory = nullptr;
}
