#include "pack/inspect/launcher_file.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <fstream>
#include <vector>

#include "pack/cli/progress.h"
#include "pack/image/launcher_image.h"
#include "pack/image/pe_headers.h"
#include "pack/pack_error.h"
#include "pack/platform/file_reader.h"
#include "support/constants_record.h"

namespace pack {
namespace {

namespace fs = std::filesystem;

constexpr size_t header_bytes = 64 * 1024;

std::u16string record_text(const unsigned char* at, size_t capacity) {
  std::u16string text;
  for (size_t i = 0; i < capacity; ++i) {
    char16_t c = static_cast<char16_t>(get_le(at + 2 * i, 2));
    if (c == 0) break;
    text += c;
  }
  return text;
}

// The record lies in one of the stub's own sections, never in those the tool adds. One
// made before the reuse fields or the options is shorter; what follows it is the stub's.
std::optional<std::vector<unsigned char>> find_record(std::ifstream& in, const PeHeaders& headers,
                                                      uint64_t& offset) {
  for (const PeSection& s : headers.sections) {
    if (s.name == ".rsrc" || s.name == index_section_name || s.name == ".payload" ||
        s.raw_size == 0) {
      continue;
    }
    if (s.raw_size > (64u << 20)) continue;
    std::vector<unsigned char> bytes = read_range(in, s.raw_offset, s.raw_size);
    auto found = std::search(bytes.begin(), bytes.end(), std::begin(constants_marker),
                             std::end(constants_marker));
    if (found == bytes.end()) continue;
    size_t at = static_cast<size_t>(found - bytes.begin());
    if (at + record_size_before_reuse > bytes.size()) return std::nullopt;
    size_t size =
        constants_record_size(get_le(&bytes[at + offsetof(ConstantsRecord, record_layout)], 4));
    if (at + size > bytes.size()) return std::nullopt;
    offset = s.raw_offset + at;
    std::vector<unsigned char> record(found, found + size);
    record.resize(sizeof(ConstantsRecord));  // fields an older record lacks read as 0
    return record;
  }
  return std::nullopt;
}

// For headers that do not fit the file: the size of the launcher the file was cut from,
// when they are this tool's, whose sections end in .payload.
std::optional<uint64_t> cut_from(const std::vector<unsigned char>& head) {
  try {
    PeHeaders whole = read_pe_headers(head.data(), head.size(), UINT64_MAX);
    const PeSection& last = whole.sections.back();
    if (last.name != ".payload") return std::nullopt;
    return uint64_t{last.raw_offset} + last.raw_size;
  } catch (const PackError&) {
    return std::nullopt;
  }
}

}  // namespace

LauncherFacts read_launcher(const fs::path& path) {
  auto fail = [&path](const std::string& why) -> PackError {
    return PackError(path.u8string() + ": not a launcher made by kovran-onefile (" + why + ")");
  };
  std::error_code error;
  fs::file_status status = fs::status(path, error);
  if (!fs::exists(status)) throw PackError(path.u8string() + ": no such file");
  if (fs::is_directory(status)) throw PackError(path.u8string() + ": a folder, not a launcher");
  uint64_t size = fs::file_size(path, error);
  if (error) throw PackError(path.u8string() + ": cannot read the file: " + error.message());
  std::ifstream in(path, std::ios::binary);
  if (!in) throw PackError(path.u8string() + ": cannot read the file: " + std::strerror(errno));
  std::vector<unsigned char> head = read_range(in, 0, header_bytes);
  PeHeaders headers;
  try {
    headers = read_pe_headers(head.data(), head.size(), size);
  } catch (const PackError& problem) {
    if (std::optional<uint64_t> whole = cut_from(head); whole && *whole > size) {
      throw PackError(path.u8string() + ": cut short: a launcher made by kovran-onefile of " +
                      counted(*whole, "byte") + ", of which the file holds " +
                      counted(size, "byte"));
    }
    throw fail(problem.what());
  }
  LauncherFacts facts;
  std::optional<std::vector<unsigned char>> record = find_record(in, headers, facts.record_offset);
  if (!record) throw fail("no constants record");
  const unsigned char* r = record->data();
  uint32_t rva = get_le(r + offsetof(ConstantsRecord, payload_rva), 4);
  facts.payload_length = get_le64(r + offsetof(ConstantsRecord, payload_length));
  facts.record_layout = get_le(r + offsetof(ConstantsRecord, record_layout), 4);
  facts.reuse_rule = get_le(r + offsetof(ConstantsRecord, reuse_rule), 4);
  facts.stamp = get_le64(r + offsetof(ConstantsRecord, stamp));
  facts.options = get_le(r + offsetof(ConstantsRecord, options), 4);
  if (facts.record_layout >= record_layout_with_options) {
    facts.prune_after_days = get_le(r + offsetof(ConstantsRecord, prune_after_days), 4);
  }
  facts.index_rva = get_le(r + offsetof(ConstantsRecord, index_rva), 4);
  facts.index_length = get_le(r + offsetof(ConstantsRecord, index_length), 4);
  facts.spec = record_text(r + offsetof(ConstantsRecord, target_spec), record_spec_capacity);
  facts.version =
      record_text(r + offsetof(ConstantsRecord, version_string), record_version_capacity);
  if (facts.payload_length > 0xFFFFFFFFu) throw fail("payload length out of range");
  std::optional<uint64_t> offset =
      headers.file_offset(rva, static_cast<uint32_t>(facts.payload_length));
  if (!offset) throw fail("its payload lies outside the sections");
  facts.payload_offset = *offset;
  if (facts.index_length > 0) {
    std::optional<uint64_t> index_at = headers.file_offset(facts.index_rva, facts.index_length);
    if (!index_at) throw fail("its entry index lies outside the sections");
    facts.index_offset = *index_at;
  }
  facts.headers = std::move(headers);
  facts.record = std::move(*record);
  return facts;
}

bool is_our_launcher(const fs::path& path) {
  try {
    read_launcher(path);
    return true;
  } catch (const PackError&) {
    return false;
  }
}

}  // namespace pack
