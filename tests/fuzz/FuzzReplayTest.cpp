// Replays a fuzz target's seeds and regression inputs through the target itself. The
// target checks its own properties and aborts when one fails; the name of the input is
// written before each run so that the failing one is named in the test's output.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> FilesBelow(const fs::path& dir) {
  std::vector<fs::path> files;
  std::error_code ec;
  for (const auto& entry : fs::recursive_directory_iterator(dir, ec))
    if (entry.is_regular_file()) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

std::size_t Replay(const std::vector<fs::path>& files) {
  std::size_t replayed = 0;
  for (const fs::path& file : files) {
    std::ifstream in(file, std::ios::binary);
    EXPECT_TRUE(in.good()) << file;
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::fprintf(stderr, "replaying %s\n", file.c_str());
    EXPECT_EQ(LLVMFuzzerTestOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), 0) << file;
    ++replayed;
  }
  return replayed;
}

TEST(ZARVO_FUZZ_SUITE, SeedsAndRegressionInputsPassTheTargetsChecks) {
  const fs::path fuzz(ZARVO_FUZZ_DIR);
  const std::string topic = ZARVO_FUZZ_TOPIC;
  EXPECT_GE(Replay(FilesBelow(fuzz / "corpus" / topic)), 3u) << "the seeds of " << topic << " are missing";
  Replay(FilesBelow(fuzz / "regressions" / topic));
}

}  // namespace
