#include "pack/inspect/image_check.h"

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <vector>

#include "pack/archive/prune_rule.h"
#include "pack/archive/reuse_rule.h"
#include "pack/cli/progress.h"
#include "pack/image/embedded_stub.h"
#include "pack/image/pe_checksum.h"
#include "pack/image/resource_reader.h"
#include "pack/image/version_number.h"
#include "pack/image/version_reader.h"
#include "pack/pack_error.h"
#include "pack/platform/file_reader.h"
#include "pack/scan/target_spec_check.h"
#include "pack/scan/utf.h"
#include "support/constants_record.h"

namespace pack {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

constexpr uint32_t certificate_revision = 0x0200, pkcs_signed_data = 2;
// Signatures take kilobytes; a table beyond this is not one.
constexpr uint32_t max_certificate_table = 16u << 20;

[[noreturn]] void fault(const std::string& what) { throw PackError(what); }

std::string hex(uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
  return text;
}

// The sections the tool adds after the stub's: .rsrc, the entry index's when there is
// one, .payload.
size_t added_sections(const PeHeaders& h) {
  size_t n = h.sections.size();
  return n >= 4 && h.sections[n - 2].name == index_section_name ? 3 : 2;
}

const PeSection& resource_section_of(const PeHeaders& h) {
  return h.sections[h.sections.size() - added_sections(h)];
}

const PeSection* index_section_of(const PeHeaders& h) {
  return added_sections(h) == 3 ? &h.sections[h.sections.size() - 2] : nullptr;
}

// Each section right after the one before it, in memory and in the file; those the tool
// adds as it writes them.
void check_sections(const PeHeaders& h) {
  size_t n = h.sections.size();
  size_t added = added_sections(h);
  if (n < added + 1 || h.sections[n - added].name != ".rsrc" ||
      h.sections[n - 1].name != ".payload") {
    fault("its last sections are not .rsrc, " + std::string(index_section_name) +
          " (when it has an entry index) and .payload, as the pack tool writes them");
  }
  uint64_t file_end = h.size_of_headers;
  for (size_t i = 0; i < n; ++i) {
    const PeSection& s = h.sections[i];
    if (i > 0) {
      const PeSection& p = h.sections[i - 1];
      if (s.virtual_address !=
          align_up(uint64_t{p.virtual_address} + p.virtual_size, h.section_alignment)) {
        fault("section " + s.name + " does not follow " + p.name + " in memory");
      }
    }
    if (s.raw_size == 0) continue;
    uint64_t alignment =
        i == n - 1 ? std::max(h.file_alignment, pe_payload_file_alignment) : h.file_alignment;
    if (s.raw_offset != align_up(file_end, alignment)) {
      fault("section " + s.name + " does not follow the section before it in the file");
    }
    file_end = uint64_t{s.raw_offset} + s.raw_size;
  }
  for (size_t i = n - added; i < n; ++i) {
    const PeSection& s = h.sections[i];
    if (s.characteristics != pe_added_section_flags ||
        s.raw_size != align_up(s.virtual_size, h.file_alignment)) {
      fault("section " + s.name + " has other sizes or flags than the pack tool writes");
    }
  }
  const PeSection& last = h.sections[n - 1];
  if (h.size_of_image !=
      align_up(uint64_t{last.virtual_address} + last.virtual_size, h.section_alignment)) {
    fault("the image size in its header does not match its sections");
  }
  const PeSection& rsrc = resource_section_of(h);
  if (h.directories.size() <= pe_certificate_directory ||
      h.directories[pe_resource_directory] !=
          std::make_pair(rsrc.virtual_address, rsrc.virtual_size)) {
    fault("its resource directory is not the .rsrc section");
  }
}

// After the last section: nothing, or the certificate table of a signature.
ImageFacts check_file_end(std::ifstream& in, const PeHeaders& h) {
  uint64_t file_size = h.file_size;
  const PeSection& last = h.sections.back();
  uint64_t end = uint64_t{last.raw_offset} + last.raw_size;
  auto [offset, size] = h.directories[pe_certificate_directory];
  ImageFacts facts;
  if (offset == 0 && size == 0) {
    if (file_size != end) {
      uint64_t appended = file_size - end;
      fault(counted(appended, "byte") + (appended == 1 ? " follows" : " follow") +
            " the last section: something was appended after packing");
    }
    return facts;
  }
  if (offset != align_up(end, 8) || uint64_t{offset} + size != file_size) {
    fault("its certificate table is not where a signing tool puts it, at the end of the file");
  }
  if (size > max_certificate_table) fault("its certificate table is larger than any signature");
  Bytes table = read_range(in, offset, size);
  for (size_t at = 0; at < table.size();) {
    if (table.size() - at < 8) fault("its certificate table is cut short");
    uint32_t length = get_le(&table[at], 4);
    if (length < 8 || length > table.size() - at ||
        get_le(&table[at + 4], 2) != certificate_revision ||
        get_le(&table[at + 6], 2) != pkcs_signed_data) {
      fault("its certificate table holds no signature of the usual kind");
    }
    at = align_up(at + length, 8);
  }
  facts.is_signed = true;
  facts.certificate_bytes = size;
  return facts;
}

std::u16string record_text(const Bytes& record, size_t at, size_t capacity, const char* what) {
  std::u16string text;
  size_t i = 0;
  for (; i < capacity; ++i) {
    char16_t c = static_cast<char16_t>(get_le(&record[at + 2 * i], 2));
    if (c == 0) break;
    text += c;
  }
  for (; i < capacity; ++i) {
    if (get_le(&record[at + 2 * i], 2) != 0) {
      fault(std::string("its constants record holds bytes after the ") + what);
    }
  }
  return text;
}

// The reuse rule and its stamp as the pack tool writes them, and the entry index in its
// own section under the stamp rule unless the payload block was not decoded.
void check_reuse_fields(const LauncherFacts& facts) {
  const PeSection* index = index_section_of(facts.headers);
  if (facts.record_layout == 0) {
    if (index) fault("it has an entry index, but its constants record has no place for one");
    return;
  }
  bool known_layout = facts.record_layout == record_layout_with_reuse ||
                      facts.record_layout == record_layout_with_options;
  if (!known_layout) {
    fault("its constants record has another layout than the pack tool writes");
  }
  if ((facts.options & ~known_options) != 0) fault("its constants record asks for unknown options");
  if (facts.prune_after_days != prune_never && facts.prune_after_days > max_prune_after_days) {
    fault("its constants record holds a time to keep other builds the pack tool does not give");
  }
  bool by_stamp = facts.reuse_rule == reuse_by_stamp;
  if (!by_stamp && facts.reuse_rule != reuse_by_crc) fault("its reuse rule is unknown");
  if (by_stamp ? !is_reuse_stamp(facts.stamp) : facts.stamp != 0) {
    fault("its constants record holds a stamp the pack tool does not give");
  }
  bool names_index = index && facts.index_rva == index->virtual_address &&
                     facts.index_length == index->virtual_size && facts.index_length > 0;
  bool names_none = !index && facts.index_rva == 0 && facts.index_length == 0;
  if (!(by_stamp ? names_index || names_none : names_none)) {
    fault("its constants record does not name the " + std::string(index_section_name) + " section");
  }
}

// The record as the pack tool fills it: the payload where the last section is, a
// template the launcher can expand, a version A.B.C.D, the reuse rule.
std::u16string check_record(const LauncherFacts& facts) {
  const Bytes& record = facts.record;
  const PeSection& payload = facts.headers.sections.back();
  if (get_le(&record[offsetof(ConstantsRecord, payload_rva)], 4) != payload.virtual_address ||
      facts.payload_length != payload.virtual_size || facts.payload_length == 0) {
    fault("its constants record does not name the .payload section");
  }
  check_reuse_fields(facts);
  std::u16string spec = record_text(record, offsetof(ConstantsRecord, target_spec),
                                    record_spec_capacity, "target directory template");
  std::string problem = spec_problem(spec);
  if (!problem.empty()) fault("its target directory template is unusable: " + problem);
  std::u16string version = record_text(record, offsetof(ConstantsRecord, version_string),
                                       record_version_capacity, "version");
  if (!parse_version(utf16_to_utf8(version))) fault("its version is not A.B.C.D");
  return version;
}

const ResourceLeaf* find_leaf(const std::vector<ResourceLeaf>& leaves, uint32_t type, uint32_t id) {
  for (const ResourceLeaf& leaf : leaves) {
    if (leaf.type == type && leaf.name.empty() && leaf.id == id) return &leaf;
  }
  return nullptr;
}

// Icons 1 to n, icon group 1 naming them in order, version resource 1 with the record's
// version, manifest 1: all language neutral, nothing else.
void check_resources(std::ifstream& in, const PeHeaders& h, const std::u16string& version) {
  const PeSection& rsrc = resource_section_of(h);
  if (rsrc.virtual_size > max_resource_section)
    fault("its resource section is larger than the pack tool writes");
  ResourceBytes section{read_range(in, rsrc.raw_offset, rsrc.virtual_size), rsrc.virtual_address};
  try {
    std::vector<ResourceLeaf> leaves = read_resource_leaves(section);
    for (const ResourceLeaf& leaf : leaves) {
      if (leaf.type == 0 || !leaf.name.empty() || leaf.language != 0 ||
          (leaf.type != rt_icon && leaf.id != 1) ||
          (leaf.type != rt_icon && leaf.type != rt_group_icon && leaf.type != rt_version &&
           leaf.type != rt_manifest)) {
        fault("a resource the pack tool does not write");
      }
      resource_data(section, leaf);
    }
    const ResourceLeaf* group = find_leaf(leaves, rt_group_icon, 1);
    if (!group) fault("no icon group");
    Bytes g = resource_data(section, *group);
    size_t count = g.size() >= 6 ? get_le(&g[4], 2) : 0;
    if (count == 0 || g.size() != 6 + 14 * count) fault("its icon group is malformed");
    for (size_t i = 0; i < count; ++i) {
      const ResourceLeaf* icon = find_leaf(leaves, rt_icon, static_cast<uint32_t>(i + 1));
      if (get_le(&g[6 + 14 * i + 12], 2) != i + 1 || !icon ||
          get_le(&g[6 + 14 * i + 8], 4) != icon->size) {
        fault("its icon group does not match its icons");
      }
    }
    if (leaves.size() != count + 3) fault("icons that its icon group does not name");
    const ResourceLeaf* version_leaf = find_leaf(leaves, rt_version, 1);
    if (!version_leaf || !find_leaf(leaves, rt_manifest, 1))
      fault("no version resource or manifest");
    ProgramVersion parsed = parse_program_version(resource_data(section, *version_leaf));
    std::u16string wide = parsed.fixed ? format_version_u16(parsed.fixed->file_version) : u"";
    if (wide != version) fault("its version resource does not carry the launcher's version");
  } catch (const PackError& error) {
    fault(std::string("resources: ") + error.what());
  }
}

// Where the launcher's stub sections first differ from this tool's stub, the
// constants record aside; nothing when the launcher was made by another build.
std::string first_code_change(std::ifstream& in, const LauncherFacts& facts) {
  StubBytes stub = embedded_stub();
  PeHeaders ours = read_pe_headers(stub.data, stub.size, stub.size);
  const std::vector<PeSection>& theirs = facts.headers.sections;
  if (theirs.size() != ours.sections.size() + added_sections(facts.headers)) return "";
  for (size_t i = 0; i < ours.sections.size(); ++i) {
    const PeSection& a = ours.sections[i];
    const PeSection& b = theirs[i];
    if (a.name != b.name || a.raw_offset != b.raw_offset || a.raw_size != b.raw_size) return "";
  }
  uint64_t record_end = facts.record_offset + constants_record_size(facts.record_layout);
  for (const PeSection& s : ours.sections) {
    Bytes bytes = read_range(in, s.raw_offset, s.raw_size);
    if (bytes.size() != s.raw_size) return "";
    for (uint64_t i = 0; i < s.raw_size; ++i) {
      uint64_t at = s.raw_offset + i;
      if (at >= facts.record_offset && at < record_end) continue;
      if (bytes[i] != stub.data[at])
        return ", at " + hex(at) + " in section " + s.name + " of the launcher code";
    }
  }
  return ", outside the launcher code";
}

}  // namespace

ImageFacts check_launcher_image(const fs::path& path, const LauncherFacts& facts) {
  std::ifstream in(path, std::ios::binary);
  if (!in) fault("cannot read the file");
  check_sections(facts.headers);
  ImageFacts image = check_file_end(in, facts.headers);
  const PeHeaders& h = facts.headers;
  if (h.section_table_end() <= image_digest_offset(h)) {
    image.digests =
        read_image_digests(read_range(in, image_digest_offset(h), image_digest_record_size).data());
  }
  std::u16string version = check_record(facts);
  check_resources(in, facts.headers, version);
  return image;
}

void check_entry_count(const LauncherFacts& facts, uint64_t files) {
  uint64_t told = facts.record_layout == 0
                      ? 0
                      : get_le(&facts.record[offsetof(ConstantsRecord, entry_count)], 4);
  if (told != 0 && told != files) {
    fault("its constants record counts " + counted(told, "file") + ", its archive holds " +
          std::to_string(files));
  }
}

void check_image_sums(const fs::path& path, const LauncherFacts& facts, const ImageFacts& image) {
  std::ifstream in(path, std::ios::binary);
  uint64_t field_at = facts.headers.optional_offset + pe_field::checksum;
  const PeSection& payload = facts.headers.sections.back();
  ImageDigester digester(facts.headers, payload.raw_offset,
                         uint64_t{payload.raw_offset} + payload.raw_size);
  PeChecksum sum;
  Bytes buffer(1u << 20);
  uint64_t offset = 0;
  while (offset < facts.headers.file_size) {
    in.read(reinterpret_cast<char*>(buffer.data()), static_cast<std::streamsize>(buffer.size()));
    size_t got = static_cast<size_t>(in.gcount());
    if (got == 0) fault("cannot read the file to its end");
    for (uint64_t at = field_at; at < field_at + 4; ++at) {
      if (at >= offset && at < offset + got) buffer[static_cast<size_t>(at - offset)] = 0;
    }
    sum.add(offset, buffer.data(), got);
    digester.add(buffer.data(), got);
    offset += got;
  }
  uint32_t computed = sum.value(facts.headers.file_size);
  in.clear();
  if (computed != facts.headers.checksum) {
    fault("the PE checksum in its header is " + hex(facts.headers.checksum) +
          ", the file sums to " + hex(computed) + ": it was changed after packing" +
          first_code_change(in, facts));
  }
  if (!image.digests) return;
  ImageDigests digests = digester.finish();
  if (digests.head != image.digests->head) {
    fault(
        "its SHA-256 differs from the one recorded at packing, though its PE checksum "
        "matches: it was changed after packing" +
        first_code_change(in, facts));
  }
  if (digests.payload != image.digests->payload) {
    fault(
        "the SHA-256 of its payload's section differs from the one recorded at packing: it "
        "was changed after packing");
  }
}

}  // namespace pack
