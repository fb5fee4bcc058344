#include "pack/cli/cli.h"

#include <CLI/CLI.hpp>
#include <cstdio>
#include <thread>

#include "pack/cli/pack_command.h"
#include "pack/pack_error.h"

namespace pack {
namespace {

int all_cores() {
  unsigned cores = std::thread::hardware_concurrency();
  return cores == 0 ? 1 : static_cast<int>(cores);
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
                  "Launcher executable to write (replaced as a whole)")
      ->type_name("OUT.exe")
      ->required();
  CLI::Option* block = command
                           .add_option("--payload-block", options.payload_block,
                                       "Attach this ready-made payload block (\"QVJ\", zstd frame, "
                                       "fill, trailer) as it is, instead "
                                       "of packing APP_DIR")
                           ->type_name("FILE");
  CLI::Option* main =
      command
          .add_option("--main", options.main,
                      "Main executable, relative to APP_DIR; it is unpacked first and started "
                      "(default: the only .exe at the top of APP_DIR)")
          ->type_name("REL_PATH");
  command
      .add_option("--spec", options.spec,
                  "Target directory template; placeholders {PROGRAM_DIR} {PROGRAM} "
                  "{PROGRAM_BASE} {TEMP} {HOME} {CACHE_DIR} {PID} {RANDOM} {TIME} {TIME_US} "
                  "{VERSION} {FILE_VERSION} {PRODUCT_VERSION}")
      ->type_name("TEMPLATE")
      ->capture_default_str();
  command
      .add_option("--version", options.version,
                  "Version for the version resource and the {VERSION} placeholders")
      ->type_name("A.B.C.D")
      ->capture_default_str();
  command
      .add_option("--product-name", options.product_name,
                  "Product name and description in the version resource "
                  "(default: the main executable's name without .exe)")
      ->type_name("NAME");
  command
      .add_option("--icon", options.icon,
                  "Icon file (.ico) for the launcher (default: the kovran-onefile icon, "
                  "16 to 256 px)")
      ->type_name("FILE.ico");
  CLI::Option* level =
      command.add_option("--level", options.level, "zstd compression level, 1 to 22")
          ->type_name("N")
          ->check(CLI::Range(1, 22))
          ->capture_default_str();
  CLI::Option* threads =
      command
          .add_option(
              "--threads", options.threads,
              "Compression threads (default: all cores); the output is the same for any number")
          ->type_name("N")
          ->check(CLI::Range(1, 200))
          ->capture_default_str();
  CLI::Option* no_checksum = command.add_flag_function(
      "--no-checksum", [&options](int64_t) { options.checksum = false; },
      "Leave out the zstd content checksum (default: on, so the launcher detects damage)");
  command.add_flag("-q,--quiet", options.quiet, "No progress line and no summary");

  app_dir->excludes(block);
  for (CLI::Option* packing_only : {main, level, threads, no_checksum})
    packing_only->excludes(block);
}

}  // namespace

int run_command_line(int argc, char** argv) {
  CLI::App app{
      "kovran-onefile: turns a Windows application folder into one self-unpacking "
      "executable.",
      "kovran-onefile"};
  app.require_subcommand(1);
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
  try {
    app.parse(argc, argv);
    if (options.app_dir.empty() == options.payload_block.empty()) {
      throw CLI::ValidationError("pack needs APP_DIR or --payload-block");
    }
    run_pack(options);
  } catch (const CLI::ParseError& error) {
    return app.exit(error);
  } catch (const PackError& error) {
    std::fprintf(stderr, "kovran-onefile: error: %s\n", error.what());
    return 1;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "kovran-onefile: error: %s\n", error.what());
    return 1;
  }
  return 0;
}

}  // namespace pack
