#include "payload/stamp_record.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <cwchar>

#include "payload/crc32.h"
#include "support/launch_state.h"

namespace {

constexpr uint32_t record_magic = 0x52464F4B;
// Little-endian as the archive is, like every system the launcher runs on.
struct Header {
  uint32_t magic;
  wchar_t id[build_id_units];
  uint32_t count;
  uint32_t name_units;
  uint32_t reserved;  // 0; the entries start 8-aligned
};
struct Entry {
  uint64_t size;
  uint64_t time;
  uint32_t checksum;
  uint32_t name_at;
};
constexpr size_t header_size = 4 + build_id_units * 2 + 4 + 4 + 4;
constexpr size_t entry_size = 24;
static_assert(sizeof(Header) == header_size && sizeof(Entry) == entry_size, "fixed layout");
// More than any archive holds; a count beyond it is damage.
constexpr uint32_t entry_limit = 1u << 24;
constexpr DWORD size_limit = 256u << 20;

unsigned char* read_whole(const wchar_t* path, DWORD* length) {
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  unsigned char* bytes = nullptr;
  LARGE_INTEGER size;
  if (GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart < size_limit) {
    *length = static_cast<DWORD>(size.QuadPart);
    bytes = static_cast<unsigned char*>(malloc(*length));
    DWORD got = 0;
    if (bytes != nullptr && (!ReadFile(file, bytes, *length, &got, nullptr) || got != *length)) {
      free(bytes);
      bytes = nullptr;
    }
  }
  CloseHandle(file);
  return bytes;
}

// The header's counts within the length, every name within the names and ended, the
// checksum and the build's ID.
bool holds_together(const unsigned char* bytes, DWORD length, const wchar_t* id) {
  if (length < header_size + 4) return false;
  const Header& header = *reinterpret_cast<const Header*>(bytes);
  uint32_t checksum;
  memcpy(&checksum, bytes + length - 4, 4);
  if (header.magic != record_magic || crc32_buffer(bytes, length - 4) != checksum ||
      wmemcmp(header.id, id, build_id_units) != 0) {
    return false;
  }
  uint32_t count = header.count, units = header.name_units;
  if (count > entry_limit || units > size_limit / 2 || units == 0) return false;
  uint64_t names_at = header_size + static_cast<uint64_t>(count) * entry_size;
  if (names_at + units * 2ull + 4 != length) return false;
  const wchar_t* names = reinterpret_cast<const wchar_t*>(bytes + names_at);
  if (names[units - 1] != 0) return false;
  const Entry* entries = reinterpret_cast<const Entry*>(bytes + header_size);
  for (uint32_t entry = 0; entry < count; ++entry) {
    if (entries[entry].name_at >= units) return false;
  }
  return true;
}

struct Recorded {
  const wchar_t* name;
  const Entry* entry;
};

int by_name(const void* a, const void* b) {
  return wcscmp(static_cast<const Recorded*>(a)->name, static_cast<const Recorded*>(b)->name);
}

const Recorded* find_recorded(const Recorded* sorted, uint32_t count, const wchar_t* name) {
  uint32_t first = 0, end = count;
  while (first < end) {
    uint32_t middle = first + (end - first) / 2;
    int order = wcscmp(sorted[middle].name, name);
    if (order == 0) return &sorted[middle];
    if (order < 0) {
      first = middle + 1;
    } else {
      end = middle;
    }
  }
  return nullptr;
}

// Matches the record's names against the index's, letter case and all: a name recorded in
// another case only costs a read.
bool carry_times(StampRule& rule, unsigned char* bytes) {
  const Header& header = *reinterpret_cast<const Header*>(bytes);
  uint32_t count = header.count;
  const Entry* entries = reinterpret_cast<const Entry*>(bytes + header_size);
  const wchar_t* names = reinterpret_cast<const wchar_t*>(bytes + header_size + count * entry_size);
  Recorded* sorted = static_cast<Recorded*>(malloc((count + 1) * sizeof(Recorded)));
  rule.carried = static_cast<uint64_t*>(calloc(rule.index.entry_count, sizeof(uint64_t)));
  bool carried = sorted != nullptr && rule.carried != nullptr;
  for (uint32_t i = 0; carried && i < count; ++i) {
    sorted[i] = Recorded{names + entries[i].name_at, &entries[i]};
  }
  if (carried) qsort(sorted, count, sizeof(Recorded), by_name);
  for (uint32_t entry = 0; carried && entry < rule.index.entry_count; ++entry) {
    const Recorded* found = find_recorded(sorted, count, indexed_entry_name(rule.index, entry));
    // The file is kept by the record only when the bytes it recorded are this entry's.
    if (found != nullptr && found->entry->size == indexed_entry_size(rule.index, entry) &&
        found->entry->checksum == indexed_entry_checksum(rule.index, entry)) {
      rule.carried[entry] = found->entry->time;
    }
  }
  free(sorted);
  if (!carried) {
    free(rule.carried);
    rule.carried = nullptr;
  }
  return carried;
}

uint64_t stamp_of(const StampRule& rule) {
  return (static_cast<uint64_t>(rule.stamp.dwHighDateTime) << 32) | rule.stamp.dwLowDateTime;
}

// The time the entry's file carries as this start leaves it, or 0 when it is not known.
uint64_t time_of(const StampRule& rule, uint32_t entry) {
  if (rule.given_entries != nullptr && rule.given_entries[entry] != 0) return stamp_of(rule);
  unsigned char listed = rule.listed_current != nullptr ? rule.listed_current[entry] : 0;
  if (listed == listed_by_stamp) return stamp_of(rule);
  if (listed == listed_by_record && rule.carried != nullptr) return rule.carried[entry];
  return 0;
}

}  // namespace

bool use_stamp_record(StampRule& rule, const wchar_t* path, const wchar_t* id) {
  if (rule.reuse != ReuseRule::stamp || rule.index.entry_count == 0) return false;
  DWORD length = 0;
  unsigned char* bytes = read_whole(path, &length);
  if (bytes == nullptr) return false;
  bool used = holds_together(bytes, length, id) && carry_times(rule, bytes);
  free(bytes);
  return used;
}

void write_stamp_record(const StampRule& rule, const wchar_t* path, const wchar_t* id) {
  if (rule.reuse != ReuseRule::stamp || rule.index.entry_count == 0) return;
  uint32_t count = 0;
  uint64_t units = 0;
  for (uint32_t entry = 0; entry < rule.index.entry_count; ++entry) {
    if (time_of(rule, entry) == 0) continue;
    ++count;
    units += wcslen(indexed_entry_name(rule.index, entry)) + 1;
  }
  if (count == 0) units = 1;
  uint64_t length = header_size + count * uint64_t{entry_size} + units * 2 + 4;
  if (length >= size_limit) return;
  unsigned char* bytes = static_cast<unsigned char*>(calloc(length, 1));
  if (bytes == nullptr) return;
  Header& header = *reinterpret_cast<Header*>(bytes);
  header.magic = record_magic;
  wmemcpy(header.id, id, build_id_units);
  header.count = count;
  header.name_units = static_cast<uint32_t>(units);
  Entry* entries = reinterpret_cast<Entry*>(bytes + header_size);
  wchar_t* names = reinterpret_cast<wchar_t*>(bytes + header_size + count * entry_size);
  uint32_t name_at = 0;
  for (uint32_t entry = 0; entry < rule.index.entry_count; ++entry) {
    uint64_t time = time_of(rule, entry);
    if (time == 0) continue;
    const wchar_t* name = indexed_entry_name(rule.index, entry);
    size_t name_units = wcslen(name) + 1;
    *entries++ = Entry{indexed_entry_size(rule.index, entry), time,
                       indexed_entry_checksum(rule.index, entry), name_at};
    wmemcpy(names + name_at, name, name_units);
    name_at += static_cast<uint32_t>(name_units);
  }
  uint32_t checksum = crc32_buffer(bytes, length - 4);
  memcpy(bytes + length - 4, &checksum, 4);
  // Written in place: a start that reads it meanwhile, or after a write cut short, finds its
  // checksum wrong and reads the files instead; a start writing at the same time is turned
  // away by the sharing.
  HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(file, bytes, static_cast<DWORD>(length), &written, nullptr);
    CloseHandle(file);
  }
  free(bytes);
}
