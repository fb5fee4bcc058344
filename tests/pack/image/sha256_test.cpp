// The tool's SHA-256 against published test vectors and digests from Python's hashlib.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "pack/image/sha256.h"

namespace pack_test {
namespace {

std::string hex(const pack::Sha256Digest& digest) {
  std::string text;
  char two[3];
  for (unsigned char b : digest) {
    std::snprintf(two, sizeof two, "%02x", b);
    text += two;
  }
  return text;
}

// Each message whole and in pieces that end on and around the 64-byte blocks.
TEST(Sha256, GivesTheKnownDigestsInAnyPieces) {
  const std::pair<std::string, const char*> cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {std::string(55, 'x'), "d5e285683cd4efc02d021a5c62014694958901005d6f71e89e0989fac77e4072"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(64, 'x'), "7ce100971f64e7001e8fe5a51973ecdfe1ced42befe7ee8d5fd6219506b5393c"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& [message, expected] : cases) {
    for (size_t piece : {message.size() + 1, size_t{1}, size_t{63}, size_t{64}, size_t{65}}) {
      SCOPED_TRACE(std::to_string(message.size()) + " bytes in pieces of " + std::to_string(piece));
      pack::Sha256 sha;
      for (size_t at = 0; at < message.size(); at += piece) {
        sha.add(message.data() + at, std::min(piece, message.size() - at));
      }
      EXPECT_EQ(expected, hex(sha.finish()));
    }
  }
}

}  // namespace
}  // namespace pack_test
