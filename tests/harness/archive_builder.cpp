#include "tests/harness/archive_builder.h"

#include <zstd.h>

#include <algorithm>
#include <numeric>

#include "payload/crc32.h"
#include "payload/entry_index_layout.h"

namespace {

void put_le(std::string& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

uint32_t checksum_of(const ArchiveEntry& entry) {
  if (entry.checksum_override) return entry.checksum;
  uint32_t crc = crc32_buffer(entry.data.data(), entry.data.size());
  return crc == 0 && !entry.data.empty() ? 1 : crc;
}

std::wstring folder_of(const std::wstring& name) {
  size_t slash = name.rfind(L'\\');
  return slash == std::wstring::npos ? L"" : name.substr(0, slash + 1);
}

}  // namespace

std::string build_archive(const std::vector<ArchiveEntry>& entries) {
  std::string archive;
  for (const auto& entry : entries) {
    for (wchar_t unit : entry.name) put_le(archive, static_cast<uint16_t>(unit), 2);
    put_le(archive, 0, 2);
    put_le(archive, entry.data.size(), 8);
    put_le(archive, checksum_of(entry), 4);
    archive += entry.data;
  }
  put_le(archive, 0, 2);
  return archive;
}

std::string build_block(const std::string& archive, int level) {
  std::string frame(ZSTD_compressBound(archive.size()), '\0');
  // With the content checksum, as the pack tool writes it, so damage is always caught.
  ZSTD_CCtx* context = ZSTD_createCCtx();
  ZSTD_CCtx_setParameter(context, ZSTD_c_compressionLevel, level);
  ZSTD_CCtx_setParameter(context, ZSTD_c_checksumFlag, 1);
  size_t size = ZSTD_compress2(context, frame.data(), frame.size(), archive.data(), archive.size());
  ZSTD_freeCCtx(context);
  frame.resize(ZSTD_isError(size) ? 0 : size);
  std::string block = "QVJ" + frame;
  while ((block.size() % 16) != 0) block += '\0';
  put_le(block, block.size(), 8);
  return block;
}

std::string build_index(const std::vector<ArchiveEntry>& entries) {
  std::string records, names;
  uint32_t units = 0;
  for (const auto& entry : entries) {
    put_le(records, entry.data.size(), 8);
    put_le(records, checksum_of(entry), 4);
    put_le(records, units, 4);
    for (wchar_t unit : entry.name) put_le(names, static_cast<uint16_t>(unit), 2);
    put_le(names, 0, 2);
    units += static_cast<uint32_t>(entry.name.size() + 1);
  }
  std::vector<uint32_t> order(entries.size());
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) {
    std::wstring folder_a = folder_of(entries[a].name), folder_b = folder_of(entries[b].name);
    if (folder_a != folder_b) return folder_a < folder_b;
    return index_name_order(entries[a].name.c_str() + folder_a.size(),
                            entries[b].name.c_str() + folder_b.size()) < 0;
  });
  std::string index;
  put_le(index, entries.size(), 4);
  put_le(index, units, 4);
  put_le(index, 0, 8);
  index += records;
  for (uint32_t entry : order) put_le(index, entry, 4);
  index += names;
  const auto* bytes = reinterpret_cast<const unsigned char*>(index.data());
  uint32_t own = index_own_checksum(bytes, index.size(), crc32_update);
  for (size_t i = 0; i < 4; ++i)
    index[index_own_checksum_offset + i] = static_cast<char>(own >> (8 * i));
  return index;
}

std::string noise(size_t size, uint32_t seed) {
  std::string bytes(size, '\0');
  for (char& byte : bytes) {
    seed = seed * 1664525u + 1013904223u;
    byte = static_cast<char>(seed >> 24);
  }
  return bytes;
}
