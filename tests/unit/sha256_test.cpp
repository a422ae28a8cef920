// The SHA-256 of the system's library (libcrypto on Linux, CNG on Windows), against the published vectors.
#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <string>

#include "digest/sha256.h"
#include "digest/sha256_beside.h"

namespace tarnwick {
namespace {

constexpr char kEmpty[] = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
constexpr char kAbc[] = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
constexpr char kMillionA[] = "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0";

TEST(Sha256, KnownDigestsWhateverThePieces) {
  Sha256 sha;
  EXPECT_EQ(sha.Finish(), kEmpty);
  sha.Add("abc");
  EXPECT_EQ(sha.Finish(), kAbc);

  // Pieces that end inside a 64-byte block, on its edge and across several, as a file arrives.
  const std::string a(1 << 20, 'a');
  const size_t pieces[] = {1, 63, 64, 65, 0, 127, 4096, 99999, 1 << 20};
  size_t fed = 0;
  for (size_t i = 0; fed < 1000000; ++i) {
    const size_t piece = std::min(pieces[i % std::size(pieces)], 1000000 - fed);
    sha.Add(std::string_view(a).substr(0, piece));
    fed += piece;
  }
  EXPECT_EQ(sha.Finish(), kMillionA);
}

// The same on the digest's own thread: what Finish gives waits for every block handed over.
template <typename Digest>
void FinishStartsAnewAndResetDropsWhatWasAdded() {
  Digest sha;
  sha.Add("abc");
  EXPECT_EQ(sha.Finish(), kAbc);
  EXPECT_EQ(sha.Finish(), kEmpty);
  sha.Add("the half of another file");
  sha.Reset();
  sha.Add("ab");
  sha.Add("c");
  EXPECT_EQ(sha.Finish(), kAbc);
  for (int i = 0; i < 1000; ++i) {
    sha.Add(std::string(1000, 'a'));
  }
  EXPECT_EQ(sha.Finish(), kMillionA);
}

TEST(Sha256, FinishStartsAnewAndResetDropsWhatWasAdded) { FinishStartsAnewAndResetDropsWhatWasAdded<Sha256>(); }
TEST(Sha256Beside, FinishStartsAnewAndResetDropsWhatWasAdded) {
  FinishStartsAnewAndResetDropsWhatWasAdded<Sha256Beside>();
}

}  // namespace
}  // namespace tarnwick
