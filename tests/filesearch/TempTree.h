#pragma once

// Builds small folder trees of plug-in files under a temporary folder.

#include <QTemporaryDir>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

inline std::string ReadAll(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

class TempTree {
public:
  std::string root() const { return m_dir.path().toStdString(); }
  std::string path(const std::string& relative) const { return root() + "/" + relative; }

  // "a/b/Foo.vst/" makes a folder, "a/b/Foo.so" a file; parents are created.
  std::string add(const std::string& relative) const {
    const std::string full = path(relative);
    if (!relative.empty() && relative.back() == '/') {
      std::filesystem::create_directories(full);
      return full.substr(0, full.size() - 1);
    }
    std::filesystem::create_directories(std::filesystem::path(full).parent_path());
    std::ofstream(full) << "x";
    return full;
  }
  void link(const std::string& relative, const std::string& target) const {
    std::filesystem::create_directories(std::filesystem::path(path(relative)).parent_path());
    std::filesystem::create_directory_symlink(target, path(relative));
  }

private:
  QTemporaryDir m_dir;
};
