#include "pack/cli/pack_command.h"

#include <chrono>
#include <cstdio>

#include "pack/archive/content_id.h"
#include "pack/archive/entry_index.h"
#include "pack/archive/payload_block.h"
#include "pack/archive/prune_rule.h"
#include "pack/archive/reuse_rule.h"
#include "pack/cli/block_check.h"
#include "pack/cli/launcher_identity.h"
#include "pack/cli/launcher_subsystem.h"
#include "pack/cli/output_guard.h"
#include "pack/image/default_icon.h"
#include "pack/image/embedded_stub.h"
#include "pack/image/launcher_image.h"
#include "pack/image/pe_probe.h"
#include "pack/image/pe_subsystem.h"
#include "pack/pack_error.h"
#include "pack/platform/file_reader.h"
#include "pack/platform/output_file.h"
#include "pack/platform/terminal.h"
#include "pack/scan/archive_plan.h"
#include "pack/scan/exclude_glob.h"
#include "pack/scan/target_spec_check.h"
#include "pack/scan/utf.h"
#include "support/constants_record.h"

namespace pack {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

void warn(const std::string& text) {
  std::fprintf(stderr, "kovran-onefile: warning: %s\n", text.c_str());
}

ProgramKind check_main_program(const AppFile& main) {
  ProgramKind kind = probe_program(main.source);
  if (!kind.problem.empty()) {
    throw PackError(main.source.u8string() + ": the main executable is " + kind.problem);
  }
  if (!kind.is_x64()) {
    warn(main.source.u8string() + " is not an x86-64 program; the launcher starts it all the same");
  }
  return kind;
}

// Everything that can be checked in a moment, before the long compression starts.
struct Inputs {
  LauncherContent content;
  std::vector<AppFile> entries;
  uint64_t block_size = 0;  // --payload-block
  // For the entry index under the stamp rule: checksums of a folder's files come later.
  std::vector<EntryHeader> index_entries;
  std::u16string main_name;
  std::optional<ProgramKind> main_kind;  // when its headers were read
  std::string main_label;                // names it in messages and warnings
  SubsystemChoice subsystem;
  ProgramIdentity main_identity;
  size_t excluded = 0;
  bool default_target = false;
};

// When no main executable can be chosen among the files left: whether it is because
// --exclude left it out, said in a way that helps more than "not found".
void explain_excluded_main(const std::vector<AppFile>& all, const ExcludeResult& excluded,
                           const PackOptions& options, const fs::path& app_dir) {
  if (excluded.left_out.empty()) return;
  std::vector<AppFile> planned;
  try {
    planned = plan_archive(all, options.main, app_dir);
  } catch (const PackError&) {
    return;  // no main without the excludes either
  }
  for (const auto& [file, pattern] : excluded.left_out) {
    if (file.name != planned.front().name) continue;
    throw PackError(file.source.u8string() + ": the main executable is left out by --exclude '" +
                    options.excludes[pattern] + "'; change the pattern" +
                    (options.main ? "" : ", or name the main executable with --main"));
  }
}

void gather_files(const PackOptions& options, Inputs& inputs) {
  fs::path app_dir = fs::u8path(options.app_dir);
  std::vector<AppFile> files;
  {
    StatusLine status(!options.quiet && stderr_is_terminal());
    files = scan_app_dir(app_dir, [&status](size_t count) {
      status.show("scanning: " + std::to_string(count) + " files");
    });
  }
  std::string note;
  files = leave_out_output(std::move(files), fs::u8path(options.output), note);
  if (!note.empty() && !options.quiet) std::fprintf(stderr, "kovran-onefile: %s\n", note.c_str());
  ExcludeResult excluded = apply_excludes(files, options.excludes);
  for (size_t i = 0; i < options.excludes.size(); ++i) {
    if (excluded.matches[i] == 0) warn("--exclude '" + options.excludes[i] + "' matches no file");
  }
  inputs.excluded = excluded.left_out.size();
  if (excluded.kept.empty()) {
    throw PackError(app_dir.u8string() + (files.empty() ? ": no files left to pack"
                                                        : ": --exclude leaves no file to pack"));
  }
  try {
    inputs.entries = plan_archive(std::move(excluded.kept), options.main, app_dir);
  } catch (const PackError&) {
    explain_excluded_main(files, excluded, options, app_dir);
    throw;
  }
  const AppFile& main = inputs.entries.front();
  inputs.main_kind = check_main_program(main);
  inputs.main_name = main.name;
  inputs.main_label = main.source.u8string();
  inputs.main_identity = read_program_identity(main.source);
}

// A payload the image cannot address is refused before anything is written.
void check_payload_fits(const LauncherLayout& layout, uint64_t size) {
  if (size > layout.max_payload) throw PackError(payload_too_large(size, layout.max_payload));
}

void fill_version(const PackOptions& options, Inputs& inputs) {
  inputs.content.version =
      version_resource(options, inputs.main_name, inputs.main_identity.version);
  inputs.content.version_text = format_version_u16(inputs.content.version.fixed.file_version);
}

// The size is checked before the block is decoded, which takes a while for a large one.
void gather_block(const PackOptions& options, Inputs& inputs) {
  fs::path block = fs::u8path(options.payload_block);
  std::error_code error;
  if (!fs::is_regular_file(block, error)) {
    throw PackError(options.payload_block + ": payload block not found, or not a file");
  }
  inputs.block_size = fs::file_size(block, error);
  if (error) throw PackError(options.payload_block + ": " + error.message());
  fill_version(options, inputs);
  check_payload_fits(plan_launcher(embedded_stub(), inputs.content), inputs.block_size);
  if (options.check_block) {
    BlockMain main = checked_block_main(block, inputs.block_size, options.reuse == "stamp",
                                        !options.quiet && stderr_is_terminal());
    inputs.main_name = main.name;
    inputs.main_kind = main.kind;
    inputs.main_label = block.u8string() + ": entry '" + utf16_to_utf8(main.name) + "'";
    inputs.main_identity = std::move(main.identity);
    inputs.index_entries = std::move(main.entries);
  }
}

// Under the stamp rule the launcher carries an index of the entries; a block that was not
// decoded (tests of the launcher's own checks) has none, and its launcher always decodes.
void plan_index(const PackOptions& options, Inputs& inputs) {
  if (options.reuse != "stamp") return;
  inputs.content.reuse_rule = reuse_by_stamp;
  for (const AppFile& file : inputs.entries)
    inputs.index_entries.push_back({file.name, file.size, 0});
  if (!inputs.index_entries.empty()) {
    inputs.content.index_size = entry_index_size(inputs.index_entries);
  }
}

// The main executable's icon and version resource, where the options leave them open.
void take_identity(const PackOptions& options, Inputs& inputs) {
  if (!options.icon && !inputs.main_identity.icons.empty()) {
    inputs.content.icons = inputs.main_identity.icons;
  }
  fill_version(options, inputs);
  for (const std::string& warning :
       identity_warnings(inputs.main_label, inputs.main_identity, options)) {
    warn(warning);
  }
}

Inputs gather_inputs(const PackOptions& options) {
  Inputs inputs;
  inputs.default_target = !options.target_dir;
  inputs.content.prune_after_days = prune_after_days(options.prune_after, inputs.default_target);
  if (options.prune_after && !inputs.default_target) {
    warn(
        "--prune-after has no effect with --target-dir: only builds in the default target "
        "directory's folder are removed");
  }
  // Checked for length with an id of the final length; the id itself comes last.
  inputs.content.spec = options.target_dir
                            ? checked_spec(*options.target_dir)
                            : default_target_dir(u"app", std::string(ContentId::text_length, '0'));
  if (options.target_dir) {
    std::string where = relative_spec_note(inputs.content.spec);
    if (!where.empty()) {
      warn("--target-dir '" + *options.target_dir + "' is not a full path: the launcher unpacks " +
           where + "; start it with {PROGRAM_DIR}\\ to unpack beside the launcher");
    }
  }
  inputs.content.icons = options.icon ? read_icon_file(fs::u8path(*options.icon)) : default_icons();
  check_output_path(fs::u8path(options.output));
  if (options.payload_block.empty()) {
    gather_files(options, inputs);
  } else {
    gather_block(options, inputs);
  }
  plan_index(options, inputs);
  size_t entries = !inputs.entries.empty() ? inputs.entries.size() : inputs.index_entries.size();
  if (entries <= UINT32_MAX) inputs.content.entry_count = static_cast<uint32_t>(entries);
  if (options.unpack_progress) inputs.content.options |= option_unpack_progress;
  inputs.subsystem = choose_subsystem(options.subsystem, inputs.main_kind, inputs.main_label);
  inputs.content.subsystem = inputs.subsystem.subsystem;
  take_identity(options, inputs);
  return inputs;
}

ContentId copy_block(const fs::path& path, uint64_t size, ByteSink& out) {
  std::vector<unsigned char> buffer(1u << 20);
  FileReader reader(path, size);
  ContentId id;
  reader.read_all(buffer, [&](const unsigned char* data, size_t n) {
    id.add(data, n);
    out.write(data, n);
  });
  return id;
}

std::string reuse_line(const Inputs& inputs, uint64_t stamp) {
  bool without_index =
      inputs.content.reuse_rule == reuse_by_stamp && inputs.content.index_size == 0;
  return "\n  reuse: " + reuse_description(inputs.content.reuse_rule, stamp) +
         (without_index ? " (no entry index: every start decodes)" : "");
}

std::string summary(const Inputs& inputs, const BlockSizes& sizes, uint64_t exe_bytes,
                    double seconds, const std::string& output, const std::u16string& spec,
                    uint64_t stamp) {
  char figures[256];
  std::string text;
  if (inputs.entries.empty()) {
    std::snprintf(figures, sizeof figures, "attached a payload block of %s: %s out, %.1f s -> ",
                  human_bytes(sizes.block).c_str(), human_bytes(exe_bytes).c_str(), seconds);
    text = figures + output;
  } else {
    // The files' own bytes: the figure that verify, extract and info show for the launcher.
    uint64_t file_bytes = 0;
    for (const AppFile& entry : inputs.entries) file_bytes += entry.size;
    double ratio =
        file_bytes ? 100.0 * static_cast<double>(exe_bytes) / static_cast<double>(file_bytes) : 0;
    std::snprintf(figures, sizeof figures, "packed %s: %s in, %s out (%.1f%%), %.1f s -> ",
                  counted(inputs.entries.size(), "file").c_str(), human_bytes(file_bytes).c_str(),
                  human_bytes(exe_bytes).c_str(), ratio, seconds);
    text = figures + output;
    if (inputs.excluded > 0) {
      text += "\n  left out by --exclude: " + counted(inputs.excluded, "file");
    }
  }
  text += "\n  subsystem: " + subsystem_name(inputs.subsystem.subsystem) + ", " +
          inputs.subsystem.source;
  text += "\n  unpacks into: " + utf16_to_utf8(spec) + reuse_line(inputs, stamp);
  if (inputs.content.options & option_unpack_progress) {
    text += "\n  unpack progress: shown by a first start still writing after a second";
  }
  return text;
}

// A folder's checksums are known once its files are packed.
std::vector<unsigned char> index_of(Inputs& inputs, const BlockSizes& sizes) {
  if (inputs.content.index_size == 0) return {};
  if (!inputs.entries.empty()) {
    for (size_t i = 0; i < inputs.index_entries.size(); ++i) {
      inputs.index_entries[i].checksum = sizes.checksums.at(i);
    }
  }
  return entry_index(inputs.index_entries);
}

void make_output_folder(const fs::path& output) {
  fs::path folder = output.parent_path();
  if (folder.empty()) return;
  std::error_code error;
  fs::create_directories(folder, error);
  if (error) {
    throw PackError(output.u8string() + ": cannot create the output folder: " + error.message());
  }
}

}  // namespace

void run_pack(const PackOptions& options) {
  Clock::time_point start = Clock::now();
  Inputs inputs = gather_inputs(options);
  StubBytes stub = embedded_stub();
  LauncherLayout layout = plan_launcher(stub, inputs.content);
  if (!options.payload_block.empty()) check_payload_fits(layout, inputs.block_size);
  std::string warning = output_name_warning(fs::u8path(options.output));
  if (!warning.empty()) std::fprintf(stderr, "kovran-onefile: %s\n", warning.c_str());

  make_output_folder(fs::u8path(options.output));
  OutputFile out(fs::u8path(options.output));
  LauncherImage image(stub, inputs.content, out);
  BlockSizes sizes;
  if (inputs.entries.empty()) {
    sizes.content_id = copy_block(fs::u8path(options.payload_block), inputs.block_size, image);
    sizes.block = inputs.block_size;
  } else {
    Progress progress(!options.quiet && stderr_is_terminal(), archive_size(inputs.entries));
    CompressionSettings settings{options.level, options.threads, options.checksum};
    sizes = write_payload_block(inputs.entries, settings, image, progress);
  }
  ContentId& id = sizes.content_id;
  add_reuse_rule(id, inputs.content.reuse_rule);
  std::u16string spec = inputs.content.spec;
  if (inputs.default_target) spec = default_target_dir(inputs.main_name, id.text());
  image.set_spec(spec);
  uint64_t stamp = 0;
  if (inputs.content.reuse_rule == reuse_by_stamp) {
    stamp = reuse_stamp(id);
    image.set_reuse(stamp, index_of(inputs, sizes));
  }
  uint64_t exe_bytes = image.finish();
  out.commit();
  if (!options.quiet) {
    double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    std::printf("%s\n",
                summary(inputs, sizes, exe_bytes, seconds, options.output, spec, stamp).c_str());
  }
}

}  // namespace pack
