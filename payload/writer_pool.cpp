#include "payload/writer_pool.h"

#include <windows.h>

#include <cstdlib>

#include "launcher/errors.h"
#include "launcher/launch_state.h"
#include "payload/held_file.h"
#include "payload/stream.h"
#include "support/bounded.h"

namespace {

// Two writers beside the main thread's decoding and copying on two cores. Four slots of 128 KiB
// (allocated once) keep them fed; under Wine each thread's stack costs about 1 MiB whatever size is
// asked for.
constexpr int writer_count = 2;
constexpr int slot_count = 4;
constexpr SIZE_T writer_stack_size = 0x10000;

enum class State { free, queued, writing, done };
enum class Failure { none, open, write };

struct Slot {
  wchar_t path[file_path_capacity];
  unsigned char* bytes;
  DWORD size;
  int waits_left;
  uint64_t entry;
  Failure failure;
  DWORD error;
  State state;
};

Slot slots[slot_count];
unsigned char* slot_memory = nullptr;
HANDLE writers[writer_count];
SRWLOCK lock = SRWLOCK_INIT;
CONDITION_VARIABLE changed = CONDITION_VARIABLE_INIT;
bool stopping = false;
uint64_t next_entry = 0;
// Existing files are opened in archive order, and none after one that could not be:
// entries after a failure stay as they were, as when one thread wrote them all.
uint64_t open_turn = 0;
bool open_failed = false;

// False when an earlier entry could not be opened: this one is left alone.
bool wait_for_open_turn(const Slot& slot) {
  AcquireSRWLockExclusive(&lock);
  while (open_turn != slot.entry) SleepConditionVariableSRW(&changed, &lock, INFINITE, 0);
  bool go_on = !open_failed;
  ReleaseSRWLockExclusive(&lock);
  return go_on;
}

void end_open_turn(bool failed) {
  AcquireSRWLockExclusive(&lock);
  ++open_turn;
  open_failed = open_failed || failed;
  ReleaseSRWLockExclusive(&lock);
  WakeAllConditionVariable(&changed);
}

// Readers may open the file meanwhile, but no second writer (see unpack.cpp).
HANDLE open_slot_file(Slot& slot) {
  for (;;) {
    HANDLE file = CreateFileW(slot.path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                              nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE || !wait_for_held_file(&slot.waits_left)) return file;
  }
}

void write_and_close(Slot& slot, HANDLE file) {
  DWORD written = 0;
  if (slot.size > 0 && !WriteFile(file, slot.bytes, slot.size, &written, nullptr)) {
    slot.failure = Failure::write;
    slot.error = GetLastError();
  }
  CloseHandle(file);
}

void write_slot(Slot& slot) {
  // A file that did not exist is created out of turn, which is most of a first start;
  // should an earlier entry fail, removing it again leaves the target as it was.
  HANDLE file = CreateFileW(slot.path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                            CREATE_NEW, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    write_and_close(slot, file);
    if (!wait_for_open_turn(slot)) {
      DeleteFileW(slot.path);
      slot.failure = Failure::none;
    }
    end_open_turn(false);
    return;
  }
  if (!wait_for_open_turn(slot)) {
    end_open_turn(false);
    return;
  }
  file = open_slot_file(slot);
  end_open_turn(file == INVALID_HANDLE_VALUE);
  if (file == INVALID_HANDLE_VALUE) {
    slot.failure = Failure::open;
    return;
  }
  write_and_close(slot, file);
}

// The earliest queued entry, so that the writer whose turn it is to open never waits.
Slot* wait_for_queued_slot() {
  AcquireSRWLockExclusive(&lock);
  for (;;) {
    Slot* first = nullptr;
    for (Slot& slot : slots) {
      if (slot.state == State::queued && (first == nullptr || slot.entry < first->entry)) {
        first = &slot;
      }
    }
    if (first != nullptr) {
      first->state = State::writing;
      ReleaseSRWLockExclusive(&lock);
      return first;
    }
    if (stopping) break;
    SleepConditionVariableSRW(&changed, &lock, INFINITE, 0);
  }
  ReleaseSRWLockExclusive(&lock);
  return nullptr;
}

DWORD WINAPI write_queued_files(void*) {
  while (Slot* slot = wait_for_queued_slot()) {
    write_slot(*slot);
    AcquireSRWLockExclusive(&lock);
    slot->state = State::done;
    ReleaseSRWLockExclusive(&lock);
    WakeAllConditionVariable(&changed);
  }
  return 0;
}

bool is_busy(const Slot& slot) {
  return slot.state == State::queued || slot.state == State::writing;
}

// Called with the lock held; true once no slot is queued or being written.
bool all_written() {
  for (const Slot& slot : slots) {
    if (is_busy(slot)) return false;
  }
  return true;
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

void wait_until_all_written() {
  AcquireSRWLockExclusive(&lock);
  while (!all_written()) SleepConditionVariableSRW(&changed, &lock, INFINITE, 0);
  ReleaseSRWLockExclusive(&lock);
}

// Every queued entry comes before the one the main thread is at, so the earliest
// failure among them is the one to report, once none is still in flight.
void end_with_first_failure() {
  before_error_end = nullptr;
  wait_until_all_written();
  const Slot* failed = first_failure();
  if (failed == nullptr) return;
  if (failed->failure == Failure::open) fatal_open_error(failed->path);
  fatal_os_error("Error, couldn't unpack file to target path.", failed->error);
}

void start_writers() {
  slot_memory = static_cast<unsigned char*>(malloc(slot_count * pooled_file_limit));
  if (slot_memory == nullptr) fatal_error("Error, couldn't allocate memory.");
  for (int i = 0; i < slot_count; ++i) {
    slots[i].bytes = slot_memory + i * pooled_file_limit;
    slots[i].state = State::free;
  }
  stopping = false;
  for (HANDLE& writer : writers) {
    writer = CreateThread(nullptr, writer_stack_size, write_queued_files, nullptr,
                          STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
    if (writer == nullptr) fatal_error("Error, couldn't allocate memory.");
  }
  before_error_end = end_with_first_failure;
}

// A free slot, or a written one whose file succeeded; ends the process on a failure.
Slot& take_slot() {
  AcquireSRWLockExclusive(&lock);
  for (;;) {
    if (first_failure() != nullptr) {
      ReleaseSRWLockExclusive(&lock);
      end_with_first_failure();
    }
    for (Slot& slot : slots) {
      if (is_busy(slot)) continue;
      slot.state = State::free;
      ReleaseSRWLockExclusive(&lock);
      return slot;
    }
    SleepConditionVariableSRW(&changed, &lock, INFINITE, 0);
  }
}

}  // namespace

void pool_write_current_file(uint64_t size) {
  if (slot_memory == nullptr) start_writers();
  Slot& slot = take_slot();
  payload_read(slot.bytes, size);
  copy_bounded(slot.path, current_file_path, file_path_capacity);
  slot.size = static_cast<DWORD>(size);
  slot.waits_left = held_file_budget_left();
  slot.entry = next_entry++;
  slot.failure = Failure::none;
  AcquireSRWLockExclusive(&lock);
  slot.state = State::queued;
  ReleaseSRWLockExclusive(&lock);
  WakeAllConditionVariable(&changed);
}

void settle_pooled_writes() {
  if (slot_memory == nullptr) return;
  wait_until_all_written();
  if (first_failure() != nullptr) end_with_first_failure();
}

void finish_pooled_writes() {
  if (slot_memory == nullptr) return;
  end_with_first_failure();
  AcquireSRWLockExclusive(&lock);
  stopping = true;
  ReleaseSRWLockExclusive(&lock);
  WakeAllConditionVariable(&changed);
  WaitForMultipleObjects(writer_count, writers, TRUE, INFINITE);
  for (HANDLE writer : writers) CloseHandle(writer);
  free(slot_memory);
  slot_memory = nullptr;
}
