// The PE header reader on the embedded stub, on a launcher written from it, and on
// damaged images, which it must refuse rather than read past; the writer's limit.
#include <gtest/gtest.h>

#include "pack/image/default_icon.h"
#include "pack/image/embedded_stub.h"
#include "pack/image/launcher_image.h"
#include "pack/pack_error.h"
#include "tests/pack/archive/block_reader.h"
#include "tests/pack/test_files.h"

namespace pack_test {
namespace {

using Bytes = std::vector<unsigned char>;

pack::PeHeaders read(const Bytes& image) {
  return pack::read_pe_headers(image.data(), image.size(), image.size());
}

Bytes stub_bytes() {
  pack::StubBytes stub = pack::embedded_stub();
  return Bytes(stub.data, stub.data + stub.size);
}

TEST(PeHeaders, StubHasRoomAndNoResources) {
  pack::PeHeaders stub = read(stub_bytes());
  EXPECT_EQ(0x1000u, stub.file_alignment);
  EXPECT_EQ(0x1000u, stub.section_alignment);
  ASSERT_GT(stub.directories.size(), 4u);
  EXPECT_EQ(0u, stub.directories[pack::pe_resource_directory].first);
  EXPECT_EQ(0u, stub.directories[pack::pe_certificate_directory].first);
  for (const pack::PeSection& s : stub.sections) EXPECT_NE(".rsrc", s.name);
  EXPECT_LE(stub.section_table_end() + 80, stub.size_of_headers);
}

// Every packed program carries the stub.
TEST(PeHeaders, StubStaysWithinItsSize) {
  const size_t size = stub_bytes().size();
  EXPECT_LE(size, 160u * 1024) << "stub size " << size;
}

TEST(PeHeaders, LauncherPayloadIsFoundThroughTheSectionTable) {
  TempDir dir;
  pack::LauncherContent content{u"{TEMP}\\x", u"1.2.3.4", pack::default_icons(), {}};
  const std::string payload = "QVJ and then some bytes";
  {
    pack::OutputFile out(dir / "launcher.exe");
    pack::LauncherImage image(pack::embedded_stub(), content, out);
    image.write(payload.data(), payload.size());
    image.finish();
    out.commit();
  }
  Bytes launcher = read_file(dir / "launcher.exe");
  pack::PeHeaders headers = read(launcher);
  const pack::PeSection& last = headers.sections.back();
  EXPECT_EQ(".payload", last.name);
  EXPECT_EQ(payload.size(), last.virtual_size);
  std::optional<uint64_t> at = headers.file_offset(last.virtual_address, last.virtual_size);
  ASSERT_TRUE(at.has_value());
  EXPECT_EQ(last.raw_offset, *at);
  EXPECT_EQ(0u, *at % 4096);
  EXPECT_EQ(payload, std::string(launcher.begin() + static_cast<ptrdiff_t>(*at),
                                 launcher.begin() + static_cast<ptrdiff_t>(*at + payload.size())));
  EXPECT_FALSE(headers.file_offset(last.virtual_address, last.virtual_size + 4096).has_value());

  RecordInImage record = constants_in_executable(launcher);
  EXPECT_EQ(last.virtual_address, record.payload_rva);
  EXPECT_EQ(payload.size(), record.payload_length);
  EXPECT_EQ(u"{TEMP}\\x", record.spec);
  EXPECT_EQ(u"1.2.3.4", record.version);
}

TEST(PeHeaders, DamagedImagesAreRefused) {
  const Bytes stub = stub_bytes();
  pack::PeHeaders good = read(stub);
  auto refused = [](const Bytes& image, uint64_t file_size) {
    try {
      pack::read_pe_headers(image.data(), image.size(), file_size);
    } catch (const pack::PackError& error) {
      return std::string(error.what());
    }
    return std::string();
  };
  EXPECT_NE("", refused(Bytes(stub.begin(), stub.begin() + 200), 200));
  EXPECT_NE("", refused(stub, stub.size() - 4096));  // last section past the end

  Bytes not_mz = stub;
  not_mz[0] = 'X';
  EXPECT_EQ("not a usable PE image: no MZ header", refused(not_mz, not_mz.size()));
  Bytes far_header = stub;
  far_header[0x3C + 3] = 0x7F;  // e_lfanew far past the file
  EXPECT_EQ("not a usable PE image: headers cut short", refused(far_header, far_header.size()));
  Bytes pe32 = stub;
  pe32[good.optional_offset] = 0x0B;
  pe32[good.optional_offset + 1] = 0x01;
  EXPECT_EQ("not a usable PE image: not a PE32+ image", refused(pe32, pe32.size()));
  Bytes many_sections = stub;
  many_sections[good.coff_offset + 2] = 0xFF;
  EXPECT_NE("", refused(many_sections, many_sections.size()));
}

// The limit is what a 32-bit SizeOfImage allows after the payload's address, and a
// write that would pass it is refused before a byte of it reaches the file.
TEST(LauncherImage, PayloadPastTheLimitIsRefusedBeforeItIsWritten) {
  TempDir dir;
  pack::LauncherContent content{u"{TEMP}\\x", u"1.2.3.4", pack::default_icons(), {}};
  pack::OutputFile out(dir / "launcher.exe");
  pack::LauncherImage image(pack::embedded_stub(), content, out);
  const pack::LauncherLayout& layout = image.layout();
  EXPECT_EQ(0xFFFFF000u - layout.payload_section.virtual_address, layout.max_payload);
  EXPECT_GT(layout.max_payload, uint64_t{4000} << 20);

  image.write("QVJ", 3);
  uint64_t written = out.size();
  unsigned char byte = 0;
  // Only the length is looked at before the refusal, so one byte can stand for many.
  try {
    image.write(&byte, static_cast<size_t>(layout.max_payload - 2));
    ADD_FAILURE() << "not refused";
  } catch (const pack::PackError& error) {
    EXPECT_NE(std::string::npos,
              std::string(error.what()).find("the most a Windows executable can address"));
  }
  EXPECT_EQ(written, out.size());
}

}  // namespace
}  // namespace pack_test
