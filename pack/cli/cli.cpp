#include "pack/cli/cli.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <thread>

#include "pack/archive/prune_rule.h"
#include "pack/cli/pack_command.h"
#include "pack/cli/usage_error.h"
#include "pack/inspect/inspect_commands.h"
#include "pack/pack_error.h"
#include "pack/platform/full_path.h"
#include "paths/placeholder_names.h"

namespace pack {
namespace {

int all_cores() {
  unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : static_cast<int>(cores);
}

// Every placeholder the launcher knows, as its expansion's table lists them.
std::string target_dir_help() {
  std::string help = "Where the launcher unpacks, a template; placeholders";
  for (const PlaceholderName& placeholder : placeholder_names) {
    help += std::string(" {") + placeholder.name + "}";
  }
  return help +
         " (default: {CACHE_DIR}\\kovran-onefile\\NAME-ID, NAME the main executable's, ID 12 "
         "hex digits naming the payload's content)";
}

void add_target_options(CLI::App& command, PackOptions& options) {
  command.add_option("--target-dir", options.target_dir, target_dir_help())->type_name("TEMPLATE");
  // The option's earlier name, kept for scripts.
  command.add_option("--spec", options.target_dir)->group("");
  command
      .add_option("--prune-after", options.prune_after,
                  "Days after its last start that another build of the app, unused, is "
                  "removed from the default target directory's folder, when this launcher "
                  "or one that is gone started it last; never keeps every build; the most "
                  "recently started other build of this launcher is always kept (default: 7)")
      ->type_name("DAYS|never")
      ->check(CLI::Validator([](std::string& text) { return prune_after_fault(text); }, "",
                             "prune days"));
  command
      .add_option("--app-version", options.app_version,
                  "Version for the version resource and the {VERSION} placeholders (default: "
                  "the main executable's file version, else 1.17.4.0)")
      ->type_name("A.B.C.D");
  command
      .add_option("--product-name", options.product_name,
                  "Product name and description in the version resource (default: the main "
                  "executable's, else its name without .exe)")
      ->type_name("NAME");
}

void add_pack_options(CLI::App& command, PackOptions& options) {
  CLI::Option* app_dir =
      command
          .add_option(
              "APP_DIR", options.app_dir,
              "Folder of the application to pack: its main .exe, DLLs and data, folders included")
          ->type_name("DIR");
  command
      .add_option("-o,--output", options.output,
                  "Launcher executable to write (replaced as a whole; its folder is made)")
      ->type_name("OUT.exe")
      ->required();
  CLI::Option* block = command
                           .add_option("--payload-block", options.payload_block,
                                       "Attach this ready-made payload block (\"QVJ\", zstd frame, "
                                       "fill, trailer) as it is, instead "
                                       "of packing APP_DIR; it is checked first")
                           ->type_name("FILE");
  // For tests of the launcher's own checks, which need broken blocks.
  command
      .add_flag_function("--unchecked-block", [&options](int64_t) { options.check_block = false; })
      ->group("");
  CLI::Option* main =
      command
          .add_option("--main", options.main,
                      "Main executable, relative to APP_DIR; it is unpacked first and started "
                      "(default: the only .exe at the top of APP_DIR)")
          ->type_name("REL_PATH");
  CLI::Option* exclude =
      command
          .add_option("--exclude", options.excludes,
                      "Leave out files matching GLOB, a path relative to APP_DIR with / between "
                      "folders: * and ? within a name, ** across folders; a folder's pattern "
                      "leaves out all below it. Repeatable")
          ->type_name("GLOB");
  add_target_options(command, options);
  command
      .add_option("--icon", options.icon,
                  "Icon file (.ico) for the launcher (default: the main executable's own icon, "
                  "else the kovran-onefile icon, 16 to 256 px)")
      ->type_name("FILE.ico");
  command
      .add_option("--subsystem", options.subsystem,
                  "Whether the launcher is a console or a GUI program (default: what the main "
                  "executable is; a console launcher shares the caller's console with it)")
      ->type_name("MODE")
      ->check(CLI::IsMember({"console", "gui"}));
  command
      .add_option("--reuse", options.reuse,
                  "How a later start knows that an unpacked file is current: crc, by reading "
                  "it for its CRC-32; stamp, by its size and a last-write time that the "
                  "launcher gave it, from a listing of its folder (every file current: "
                  "nothing is read or decoded; a file changed on purpose without a change "
                  "of size and time is kept)")
      ->type_name("RULE")
      ->check(CLI::IsMember({"crc", "stamp"}))
      ->capture_default_str();
  CLI::Option* level =
      command
          .add_option("--level", options.level, "zstd compression level, 1 to 22; 19 for releases")
          ->type_name("N")
          ->check(CLI::Range(1, 22))
          ->capture_default_str();
  CLI::Option* threads =
      command
          .add_option(
              "--threads", options.threads,
              "Compression threads (default: all cores); the output is the same for any number")
          ->type_name("N")
          ->check(CLI::Range(1, 200));
  CLI::Option* no_checksum = command.add_flag_function(
      "--no-checksum", [&options](int64_t) { options.checksum = false; },
      "Leave out the zstd content checksum (default: on, so the launcher detects damage)");
  command.add_flag("-q,--quiet", options.quiet, "No progress line and no summary");
  command.add_flag("--unpack-progress", options.unpack_progress,
                   "A first start still unpacking after a second of writing shows how far it is: "
                   "a GUI launcher in a small window whose close button cancels the start, a "
                   "console launcher on one line of its console, erased before the program starts");

  app_dir->excludes(block);
  for (CLI::Option* packing_only : {main, exclude, level, threads, no_checksum})
    packing_only->excludes(block);
}

struct InspectArgs {
  std::string launcher;
  std::string folder;
};

void add_inspect_commands(CLI::App& app, InspectArgs& args) {
  const char* launcher_help = "A launcher made by kovran-onefile";
  app.add_subcommand("list", "List a launcher's files: CRC-32, size in bytes, name")
      ->add_option("LAUNCHER", args.launcher, launcher_help)
      ->required();
  app.add_subcommand("verify",
                     "Check a launcher whole: headers, sections, resources and PE checksum as "
                     "packed, every file's CRC-32 and the compressed frame (exit 0 when intact, "
                     "1 naming the first fault)")
      ->add_option("LAUNCHER", args.launcher, launcher_help)
      ->required();
  CLI::App* extract = app.add_subcommand(
      "extract",
      "Unpack a launcher's files into a new or empty folder, never outside it; they arrive "
      "only once every one is decoded and checked, and a failure leaves nothing behind");
  extract->add_option("LAUNCHER", args.launcher, launcher_help)->required();
  extract->add_option("FOLDER", args.folder, "Folder to unpack into (made when missing)")
      ->required();
  app.add_subcommand("info",
                     "Show a launcher's target directory template, app version, sizes and "
                     "compression")
      ->add_option("LAUNCHER", args.launcher, launcher_help)
      ->required();
}

// Before any work: a path in Windows' device namespace is no file or folder to read or
// write, whichever argument names it.
void refuse_device_paths(const PackOptions& options, const InspectArgs& args) {
  for (const std::string* path :
       {&options.app_dir, &options.payload_block, &options.output, &args.launcher, &args.folder}) {
    if (!path->empty()) refuse_device_path(std::filesystem::u8path(*path));
  }
  if (options.icon) refuse_device_path(std::filesystem::u8path(*options.icon));
}

void run_inspect(const std::string& name, const InspectArgs& args) {
  if (name == "list") run_list(args.launcher);
  if (name == "verify") run_verify(args.launcher);
  if (name == "extract") run_extract(args.launcher, args.folder);
  if (name == "info") run_info(args.launcher);
}

}  // namespace

int run_command_line(int argc, char** argv) {
  CLI::App app{
      "kovran-onefile: turns a Windows application folder into one self-unpacking "
      "executable, and looks inside one.",
      "kovran-onefile"};
  app.require_subcommand(1);
  app.set_version_flag("--version", "kovran-onefile " KOVRAN_VERSION);
  // "/path" is a path on every platform, never an option (CLI11 reads it as one on Windows).
  app.allow_windows_style_options(false);
  PackOptions options;
  options.threads = all_cores();
  CLI::App* command = app.add_subcommand(
      "pack",
      "Build a launcher executable from APP_DIR, or from a ready-made --payload-block:\n"
      "  kovran-onefile pack APP_DIR -o OUT.exe [options]\n"
      "  kovran-onefile pack --payload-block BLOCK -o OUT.exe [options]");
  add_pack_options(*command, options);
  command->footer(
      "Same inputs and options give a byte-identical executable, on Linux and on Windows.\n"
      "The launcher is built into this program: packing needs nothing else.");
  InspectArgs inspect;
  add_inspect_commands(app, inspect);
  app.footer(
      "Exit status: 0 done, 1 refused or failed (one line on standard error), 100 and above "
      "a command line that could not be read.");
  try {
    app.parse(argc, argv);
    refuse_device_paths(options, inspect);
    if (command->parsed()) {
      if (options.app_dir.empty() == options.payload_block.empty()) {
        throw CLI::ValidationError("give APP_DIR or --payload-block");
      }
      run_pack(options);
    } else {
      run_inspect(app.get_subcommands().front()->get_name(), inspect);
    }
  } catch (const CLI::Success& done) {
    return app.exit(done);  // --help, --version
  } catch (const CLI::ParseError& error) {
    std::fprintf(stderr, "%s\n", usage_error_line(app, error).c_str());
    return error.get_exit_code();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "kovran-onefile: error: %s\n", error.what());
    return 1;
  }
  return 0;
}

}  // namespace pack
