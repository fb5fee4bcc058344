// A main program's icon group and version resource, read from handmade programs and
// taken over by the launcher; malformed resources are named and never stop a pack.
#include <gtest/gtest.h>

#include <chrono>

#include "pack/image/default_icon.h"
#include "pack/image/png_encode.h"
#include "pack/image/program_identity.h"
#include "pack/image/version_resource.h"
#include "pack/pack_error.h"
#include "tests/pack/image/handmade_program.h"
#include "tests/pack/image/pe_resources.h"
#include "tests/pack/test_files.h"
#include "tests/pack/tool_runner.h"

namespace pack_test {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<unsigned char>;

void put(Bytes& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<unsigned char>(value >> (8 * i)));
}

// One node of a version resource, written here by hand so that tables, translations
// and value lengths can be what other compilers write.
Bytes node(const std::u16string& key, uint16_t type, const Bytes& value, uint16_t value_length,
           const std::vector<Bytes>& children = {}) {
  Bytes out;
  put(out, 0, 2);
  put(out, value_length, 2);
  put(out, type, 2);
  for (char16_t c : key + u'\0') put(out, c, 2);
  while (out.size() % 4) out.push_back(0);
  out.insert(out.end(), value.begin(), value.end());
  for (const Bytes& child : children) {
    while (out.size() % 4) out.push_back(0);
    out.insert(out.end(), child.begin(), child.end());
  }
  out[0] = static_cast<unsigned char>(out.size());
  out[1] = static_cast<unsigned char>(out.size() >> 8);
  return out;
}

// length_factor 1 counts UTF-16 units, as the format says; 2 counts bytes, as some
// compilers do.
Bytes text(const std::u16string& key, const std::u16string& value, int length_factor = 1) {
  Bytes bytes;
  for (char16_t c : value + u'\0') put(bytes, c, 2);
  return node(key, 1, bytes, static_cast<uint16_t>((value.size() + 1) * length_factor));
}

Bytes fixed(uint32_t signature = 0xFEEF04BD) {
  Bytes out;
  for (uint32_t f : {signature, 0x10000u, 0x40003u, 0x20001u, 0x40003u, 0u, 0x3Fu, 0x20u, 0x40004u,
                     1u, 0u, 0u, 0u}) {
    put(out, f, 4);
  }
  return out;
}

Bytes version_info(const Bytes& fixed_bytes, const std::vector<Bytes>& tables,
                   const std::vector<uint16_t>& translation) {
  std::vector<Bytes> children = {node(u"StringFileInfo", 1, {}, 0, tables)};
  if (!translation.empty()) {
    Bytes pairs;
    for (uint16_t v : translation) put(pairs, v, 2);
    children.push_back(node(u"VarFileInfo", 1, {}, 0,
                            {node(u"Translation", 0, pairs, static_cast<uint16_t>(pairs.size()))}));
  }
  return node(u"VS_VERSION_INFO", 0, fixed_bytes, static_cast<uint16_t>(fixed_bytes.size()),
              children);
}

const std::u16string* value_of(const pack::VersionStrings& strings, const std::u16string& key) {
  for (const auto& [k, v] : strings) {
    if (k == key) return &v;
  }
  return nullptr;
}

TEST(VersionParser, TakesTheTableTheTranslationListNamesFirst) {
  std::vector<Bytes> tables = {
      node(u"040704b0", 1, {}, 0, {text(u"ProductName", u"Gezeiten")}),
      node(u"040904E4", 1, {}, 0,
           {text(u"ProductName", u"Tides"), text(u"CompanyName", u"Vellmar")})};
  pack::ProgramVersion listed =
      pack::parse_program_version(version_info(fixed(), tables, {0x40c, 1200, 0x409, 1252}));
  EXPECT_EQ(0x409, listed.language);
  EXPECT_EQ(1252, listed.code_page);
  ASSERT_EQ(2u, listed.strings.size());
  EXPECT_EQ(u"ProductName", listed.strings[0].first);
  EXPECT_EQ(u"Tides", listed.strings[0].second);
  EXPECT_EQ(u"Vellmar", listed.strings[1].second);

  // Without a translation list, or one naming no table of it: the first table.
  for (const std::vector<uint16_t>& translation :
       {std::vector<uint16_t>{}, std::vector<uint16_t>{0x40c, 1200}}) {
    pack::ProgramVersion first =
        pack::parse_program_version(version_info(fixed(), tables, translation));
    EXPECT_EQ(0x407, first.language);
    EXPECT_EQ(1200, first.code_page);
    EXPECT_EQ(u"Gezeiten", *value_of(first.strings, u"ProductName"));
  }
}

TEST(VersionParser, ReadsValuesWhateverTheirLengthFieldCounts) {
  std::vector<Bytes> table = {
      node(u"000004b0", 1, {}, 0,
           {text(u"CompanyName", u"Units", 1), text(u"FileDescription", u"Bytes counted", 2),
            text(u"Comments", u""), text(u"LegalCopyright", u"\u00a9 2024")})};
  pack::ProgramVersion read = pack::parse_program_version(version_info(fixed(), table, {0, 1200}));
  ASSERT_EQ(4u, read.strings.size());
  EXPECT_EQ(u"Units", *value_of(read.strings, u"CompanyName"));
  EXPECT_EQ(u"Bytes counted", *value_of(read.strings, u"FileDescription"));
  EXPECT_EQ(u"", *value_of(read.strings, u"Comments"));
  EXPECT_EQ(u"\u00a9 2024", *value_of(read.strings, u"LegalCopyright"));

  ASSERT_TRUE(read.fixed);
  EXPECT_EQ((pack::VersionNumber{4, 3, 2, 1}), read.fixed->file_version);
  EXPECT_EQ((pack::VersionNumber{4, 3, 0, 0}), read.fixed->product_version);
  EXPECT_EQ(0x20u, read.fixed->flags);
  EXPECT_EQ(0x40004u, read.fixed->os);

  // Fixed information with a wrong signature is left out; the strings are still read.
  pack::ProgramVersion unsigned_fixed =
      pack::parse_program_version(version_info(fixed(0x12345678), table, {}));
  EXPECT_FALSE(unsigned_fixed.fixed);
  EXPECT_EQ(4u, unsigned_fixed.strings.size());
}

TEST(VersionParser, MalformedResourcesAreRefusedWithAReason) {
  Bytes good = version_info(fixed(), {node(u"000004b0", 1, {}, 0, {text(u"A", u"b")})}, {0, 1200});
  Bytes wrong_key = good;
  wrong_key[6] = 'W';
  Bytes overrun = good;
  overrun[0] = static_cast<unsigned char>(good.size() + 8);
  Bytes child_overrun = good;
  child_overrun[good.size() - 36] = 0xF0;  // the translation's block length
  const std::pair<Bytes, std::string> cases[] = {
      {wrong_key, "no VS_VERSION_INFO"},
      {overrun, "overruns"},
      {child_overrun, "overruns"},
      {Bytes(1), "cut short"},
  };
  for (const auto& [bytes, expected] : cases) {
    SCOPED_TRACE(expected);
    try {
      pack::parse_program_version(bytes);
      ADD_FAILURE() << "accepted";
    } catch (const pack::PackError& error) {
      EXPECT_NE(std::string::npos, std::string(error.what()).find(expected)) << error.what();
    }
  }
}

Bytes png_icon(uint32_t size) {
  return pack::encode_png_rgba(Bytes(size * size * 4, 0x55), size, size);
}

Bytes dib_icon(uint32_t size) {
  Bytes dib;
  for (uint32_t v : {40u, size, 2 * size}) put(dib, v, 4);
  put(dib, 1, 2);
  put(dib, 32, 2);
  dib.resize(40, 0);
  dib.resize(40 + size * size * 4 + size * 4, 0x21);
  return dib;
}

// A group listing (width, icon id) pairs as 32-bit images.
Bytes group(const std::vector<std::pair<uint8_t, uint16_t>>& entries) {
  Bytes out;
  put(out, 0, 2);
  put(out, 1, 2);
  put(out, static_cast<uint32_t>(entries.size()), 2);
  for (const auto& [width, id] : entries) {
    out.insert(out.end(), {width, width, 0, 0});
    put(out, 1, 2);
    put(out, 32, 2);
    put(out, 0, 4);  // the size is the icon resource's own
    put(out, id, 2);
  }
  return out;
}

Bytes company_version() {
  return version_info(fixed(), {node(u"040904b0", 1, {}, 0, {text(u"CompanyName", u"Vellmar")})},
                      {0x409, 1200});
}

std::vector<pack::ResourceItem> program_resources() {
  return {{rt_icon, 7, dib_icon(16)},
          {rt_icon, 9, png_icon(32)},
          {rt_icon, 11, png_icon(48)},
          {rt_group_icon, 3, group({{32, 9}, {16, 7}})},
          {rt_group_icon, 5, group({{48, 11}})},
          {rt_version, 1, company_version()}};
}

pack::ProgramIdentity identity_of(const std::string& program) {
  TempDir dir;
  write_file(dir / "main.exe", program);
  return pack::read_program_identity(dir / "main.exe");
}

TEST(ProgramIdentity, TheFirstIconGroupAndTheVersionAsTheProgramHasThem) {
  pack::ProgramIdentity identity = identity_of(program_with_resources(program_resources()));
  EXPECT_EQ("", identity.resources_problem + identity.icon_problem + identity.version_problem);
  ASSERT_EQ(2u, identity.icons.size());
  EXPECT_EQ(png_icon(32), identity.icons[0].data);
  EXPECT_EQ(32, identity.icons[0].width);
  EXPECT_EQ(dib_icon(16), identity.icons[1].data);
  EXPECT_EQ(16, identity.icons[1].height);
  ASSERT_TRUE(identity.version);
  EXPECT_EQ(u"Vellmar", *value_of(identity.version->strings, u"CompanyName"));

  pack::ProgramIdentity none = identity_of(minimal_program());
  EXPECT_TRUE(none.icons.empty());
  EXPECT_FALSE(none.version);
  EXPECT_EQ("", none.resources_problem + none.icon_problem + none.version_problem);
}

// A payload block's main program is read as it is decoded, in pieces of any size,
// with its resource section inside or after the first bytes kept.
TEST(ProgramIdentity, StreamedInPiecesGivesWhatTheFileGives) {
  for (uint32_t raw_offset : {0x400u, 0x30000u}) {
    std::string program = program_with_resources(program_resources(), raw_offset);
    program += std::string(5000, 'x');
    pack::ProgramIdentity from_file = identity_of(program);
    for (size_t piece : {size_t{1}, size_t{4093}, size_t{65536}, program.size()}) {
      SCOPED_TRACE(std::to_string(raw_offset) + " " + std::to_string(piece));
      pack::ResourceCapture capture;
      for (size_t at = 0; at < program.size(); at += piece) {
        size_t n = std::min(piece, program.size() - at);
        capture.add(reinterpret_cast<const unsigned char*>(program.data()) + at, n);
      }
      pack::ProgramIdentity streamed = capture.finish();
      ASSERT_EQ(from_file.icons.size(), streamed.icons.size());
      for (size_t i = 0; i < streamed.icons.size(); ++i) {
        EXPECT_EQ(from_file.icons[i].data, streamed.icons[i].data);
      }
      ASSERT_TRUE(streamed.version);
      EXPECT_EQ(from_file.version->strings, streamed.version->strings);
    }
  }
}

TEST(ProgramIdentity, MalformedPartsAreNamedAndTheRestIsRead) {
  struct Case {
    const char* title;
    std::vector<pack::ResourceItem> items;
    std::string icon_problem, version_problem;
  };
  std::vector<Case> cases = {
      {"missing image",
       {{rt_group_icon, 1, group({{16, 5}})}, {rt_version, 1, company_version()}},
       "image 1 (icon 5) is missing",
       ""},
      {"empty group",
       {{rt_group_icon, 1, group({})}, {rt_version, 1, company_version()}},
       "lists no images",
       ""},
      {"not an image",
       {{rt_icon, 1, Bytes(100, 1)}, {rt_group_icon, 1, group({{16, 1}})}},
       "neither PNG nor a bitmap",
       ""},
      {"size not as listed",
       {{rt_icon, 1, png_icon(32)}, {rt_group_icon, 1, group({{16, 1}})}},
       "PNG image of 32x32 listed as 16x16",
       ""},
      {"one image named again and again",
       {{rt_icon, 1, png_icon(16)},
        {rt_group_icon, 1, group(std::vector<std::pair<uint8_t, uint16_t>>(300, {16, 1}))}},
       "more image data than its resource section holds",
       ""},
      {"broken version",
       {{rt_icon, 1, png_icon(16)},
        {rt_group_icon, 1, group({{16, 1}})},
        {rt_version, 1, Bytes(3)}},
       "",
       "the version resource is malformed"},
      {"fixed information without its signature",
       {{rt_icon, 1, png_icon(16)},
        {rt_group_icon, 1, group({{16, 1}})},
        {rt_version, 1,
         version_info(fixed(0x12345678),
                      {node(u"040904b0", 1, {}, 0, {text(u"CompanyName", u"Vellmar")})},
                      {0x409, 1200})}},
       "",
       "lacks the 0xFEEF04BD signature"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    pack::ProgramIdentity identity = identity_of(program_with_resources(c.items));
    EXPECT_EQ("", identity.resources_problem);
    EXPECT_NE(std::string::npos, identity.icon_problem.find(c.icon_problem))
        << identity.icon_problem;
    EXPECT_EQ(c.icon_problem.empty(), identity.icon_problem.empty()) << identity.icon_problem;
    EXPECT_EQ(c.icon_problem.empty(), !identity.icons.empty());
    EXPECT_NE(std::string::npos, identity.version_problem.find(c.version_problem))
        << identity.version_problem;
    EXPECT_EQ(c.version_problem.empty(), identity.version_problem.empty());
    if (!c.version_problem.empty()) {
      EXPECT_FALSE(identity.version);
    }
  }

  // A resource directory that no section holds.
  Bytes section = pack::resource_section(program_resources(), 0x1000);
  pack::ProgramIdentity outside = identity_of(program_with_section(section, 0x9000));
  EXPECT_NE(std::string::npos, outside.resources_problem.find("outside its sections"))
      << outside.resources_problem;
  // Data entries pointing before the section.
  pack::ProgramIdentity before =
      identity_of(program_with_section(pack::resource_section(program_resources(), 0x100), 0x1000));
  EXPECT_NE(std::string::npos, before.icon_problem.find("outside the resource section"))
      << before.icon_problem;
}

// Every byte of the directories and the version resource, and every length, changed:
// read without a crash or an exception, whatever comes out.
TEST(ProgramIdentity, DamagedSectionsAreReadWithoutFault) {
  Bytes section = pack::resource_section(program_resources(), 0x1000);
  size_t version_at = section.size() - company_version().size() - 8;
  for (size_t at = 0; at < section.size(); at += (at < 600 || at >= version_at) ? 1 : 61) {
    for (unsigned char value : {0x00, 0xFF, 0x80, 0x7F}) {
      pack::ResourceBytes damaged{section, 0x1000};
      damaged.bytes[at] = value;
      pack::read_identity(damaged);
    }
  }
  for (size_t size = 0; size < section.size(); size += 13) {
    pack::read_identity(
        {Bytes(section.begin(), section.begin() + static_cast<long>(size)), 0x1000});
  }
}

// A root of 65535 types that all point to one directory of 65535 names, each of them
// an empty directory of languages: billions of steps to walk, given up at once.
TEST(ProgramIdentity, DirectoriesWithoutEndAreGivenUp) {
  const uint32_t names_at = 16 + 8 * 0xFFFF, empty_at = 2 * names_at;
  Bytes section(empty_at + 16, 0);
  for (uint32_t directory : {0u, names_at}) {
    section[directory + 14] = section[directory + 15] = 0xFF;
    for (uint32_t i = 0; i < 0xFFFF; ++i) {
      uint32_t at = directory + 16 + 8 * i;
      uint32_t target = (directory == 0 ? names_at : empty_at) | 0x80000000u;
      section[at] = static_cast<unsigned char>(i + 1);
      for (int b = 0; b < 4; ++b)
        section[at + 4 + b] = static_cast<unsigned char>(target >> (8 * b));
    }
  }
  auto start = std::chrono::steady_clock::now();
  pack::ProgramIdentity identity = pack::read_identity({section, 0x1000});
  EXPECT_NE(std::string::npos, identity.resources_problem.find("more than any program"))
      << identity.resources_problem;
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

// What the tool does with a main program whose icon cannot be used: one warning line,
// the default icons, and the program's version all the same.
TEST(PackIdentity, AnUnusableIconGivesAWarningAndTheDefaults) {
  TempDir dir;
  write_file(dir / "app/app.exe", program_with_resources({{rt_group_icon, 1, group({{16, 5}})},
                                                          {rt_version, 1, company_version()}}));
  ToolResult result = run_pack_tool(
      {"pack", "-q", (dir / "app").string(), "-o", (dir / "out.exe").string(), "--level", "3"});
  ASSERT_EQ(0, result.exit_code) << result.err;
  EXPECT_EQ("kovran-onefile: warning: " + (dir / "app/app.exe").string() +
                ": its icon cannot be used (image 1 (icon 5) is missing); the launcher gets the "
                "default icons\n",
            result.err);
  std::vector<Resource> resources = read_resources(read_file(dir / "out.exe"));
  std::vector<pack::IconImage> defaults = pack::default_icons();
  for (size_t i = 0; i < defaults.size(); ++i) {
    const Resource* icon = find_resource(resources, rt_icon, static_cast<uint32_t>(i + 1));
    ASSERT_NE(nullptr, icon);
    EXPECT_EQ(defaults[i].data, icon->data);
  }
  VersionInfo info = parse_version_resource(find_resource(resources, rt_version, 1)->data);
  EXPECT_EQ(u"Vellmar", info.strings["CompanyName"]);
  EXPECT_EQ("040904b0", info.string_table_key);

  // With --icon the program's icon is not needed, and not warned about.
  pack::IconImage image;
  image.width = image.height = 16;
  image.data = png_icon(16);
  Bytes ico = pack::icon_file_bytes({image});
  write_file(dir / "one.ico", std::string(ico.begin(), ico.end()));
  ToolResult given =
      run_pack_tool({"pack", "-q", (dir / "app").string(), "-o", (dir / "out.exe").string(),
                     "--level", "3", "--icon", (dir / "one.ico").string()});
  EXPECT_EQ(0, given.exit_code) << given.err;
  EXPECT_EQ("", given.err);
}

// A launcher made by the tool as the main program of another: the options first, then
// what the inner one carries, then the defaults.
TEST(PackIdentity, OptionsFirstThenTheProgramThenDefaults) {
  TempDir dir;
  write_file(dir / "inner/inner.exe", minimal_program());
  ASSERT_EQ(0, run_pack_tool({"pack", "-q", (dir / "inner").string(), "-o",
                              (dir / "app/app.exe").string(), "--app-version", "2.5.0.7",
                              "--product-name", "Inner Product"})
                   .exit_code);
  auto version_of = [&](const std::string& folder, const std::vector<std::string>& extra) {
    std::vector<std::string> args = {"pack", "-q", (dir / folder).string(), "-o",
                                     (dir / "outer.exe").string()};
    args.insert(args.end(), extra.begin(), extra.end());
    ToolResult result = run_pack_tool(args);
    EXPECT_EQ(0, result.exit_code) << result.err;
    EXPECT_EQ("", result.err);
    return parse_version_resource(
        find_resource(read_resources(read_file(dir / "outer.exe")), rt_version, 1)->data);
  };
  VersionInfo inherited = version_of("app", {});
  EXPECT_EQ(0x00020005u, inherited.file_ms);
  EXPECT_EQ(0x00000007u, inherited.file_ls);
  EXPECT_EQ(u"Inner Product", inherited.strings["ProductName"]);
  EXPECT_EQ(u"inner.exe", inherited.strings["OriginalFilename"]);

  VersionInfo given = version_of("app", {"--app-version", "9.0.0.1"});
  EXPECT_EQ(0x00090000u, given.file_ms);
  EXPECT_EQ(u"9.0.0.1", given.strings["FileVersion"]);
  EXPECT_EQ(u"9.0.0.1", given.strings["ProductVersion"]);
  EXPECT_EQ(u"Inner Product", given.strings["ProductName"]);
  EXPECT_EQ(u"Inner Product", given.strings["FileDescription"]);

  // A main program without a version resource: the defaults.
  VersionInfo plain = version_of("inner", {});
  EXPECT_EQ(0x00010011u, plain.file_ms);
  EXPECT_EQ(0x00040000u, plain.file_ls);
  EXPECT_EQ(u"inner", plain.strings["ProductName"]);
  EXPECT_EQ(u"inner.exe", plain.strings["OriginalFilename"]);
}

}  // namespace
}  // namespace pack_test
