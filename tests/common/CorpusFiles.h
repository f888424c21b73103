#pragma once
// Files that tests read: a whole file as bytes, every regular file below a folder, and
// the shared corpus of real vCard and vCalendar files (ZARVO_CORPUS_DIR when set, else
// the corpus folder of the shared material; tests that use it skip when it is absent).

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every regular file below dir (none when dir is missing), sorted.
inline std::vector<std::filesystem::path> FilesBelow(const std::filesystem::path& dir) {
  std::vector<std::filesystem::path> files;
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) return files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir, ec))
    if (entry.is_regular_file()) files.push_back(entry.path());
  std::sort(files.begin(), files.end());
  return files;
}

inline std::filesystem::path CorpusDir(const std::filesystem::path& sharedDir) {
  if (const char* dir = std::getenv("ZARVO_CORPUS_DIR")) return dir;
  return sharedDir / "corpus";
}
