#include "pack/launcher_link.h"

#include <cerrno>
#include <cstring>
#include <fstream>

#include "pack/manifest.h"
#include "pack/pack_error.h"
#include "pack/run_tool.h"
#include "pack/stub_assembly.h"

namespace pack {
namespace {

namespace fs = std::filesystem;

template <typename Bytes>
void write_file(const fs::path& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  out.close();
  if (!out) throw PackError(path.string() + ": write failed: " + std::strerror(errno));
}

std::u16string widen(const std::string& ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

// Image settings of every launcher; ld's own defaults are not relied upon. The entry
// point lives in the library, and the block is kept even where nothing refers to it.
// Page-aligned sections in the file let a loader map the payload from the file instead
// of copying it into private memory (Wine copies sections at other offsets).
const std::vector<std::string> link_settings = {
    "-static",
    "-static-libgcc",
    "-static-libstdc++",
    "-municode",
    "-mwindows",
    "-s",
    "-Wl,--gc-sections",
    "-Wl,--no-insert-timestamp",
    "-Wl,--file-alignment=0x1000",
    "-Wl,--undefined=wWinMain",
    "-Wl,--undefined=kovran_attached_payload",
    "-Wl,--subsystem,windows:5.2",
    "-Wl,--dynamicbase,--high-entropy-va,--nxcompat,--disable-tsaware",
    "-Xlinker",
    "--stack",
    "-Xlinker",
    "0x968000,0x1000",
    "-Xlinker",
    "--heap",
    "-Xlinker",
    "0x100000,0x1000"};

}  // namespace

fs::path link_launcher(const LauncherParts& parts, const Toolchain& tools,
                       OutputTransaction& work) {
  fs::path icon = work.work_file("icons.ico");
  fs::path manifest = work.work_file("manifest.xml");
  fs::path script = work.work_file("resources.rc");
  fs::path resources = work.work_file("resources.o");
  fs::path assembly = work.work_file("constants.s");
  fs::path constants = work.work_file("constants.o");
  fs::path exe = work.work_file("launcher.exe");

  write_file(icon, icon_file_bytes(parts.icons));
  write_file(manifest, application_manifest());
  write_file(script, resource_script(parts.version, icon.filename(), manifest.filename()));
  std::u16string version = widen(format_version(parts.version.version));
  write_file(assembly,
             stub_assembly(fs::absolute(parts.block), parts.block_length, parts.spec, version));

  // The resource compiler preprocesses through a shell command line, so it gets plain
  // names relative to the work folder.
  run_tool({tools.windres, "--preprocessor=" + tools.cxx, "--preprocessor-arg=-E",
            "--preprocessor-arg=-xc", "--preprocessor-arg=-DRC_INVOKED", "-O", "coff", "-i",
            script.filename(), "-o", resources.filename()},
           work.work_dir(), "compiling the resources");
  run_tool({tools.cxx, "-c", "-x", "assembler", assembly.filename(), "-o", constants.filename()},
           work.work_dir(), "assembling the build-time constants");
  std::vector<std::string> link = {tools.cxx};
  link.insert(link.end(), link_settings.begin(), link_settings.end());
  link.insert(link.end(), {constants.filename(), resources.filename(), tools.launcher_library,
                           tools.zstd_library, "-lshell32", "-o", exe.filename()});
  run_tool(link, work.work_dir(), "linking the launcher");
  return exe;
}

}  // namespace pack
