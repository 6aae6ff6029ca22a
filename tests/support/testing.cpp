#include "support/testing.hpp"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/output.hpp"

namespace fs = std::filesystem;

namespace tp::testing {

CapturedOutput::CapturedOutput() {
  std::fflush(nullptr);
  saved_ = std_out().f;
  file_ = std::tmpfile();
  std_out().f = static_cast<std::FILE*>(file_);
}

CapturedOutput::~CapturedOutput() {
  std_out().f = static_cast<std::FILE*>(saved_);
  std::fclose(static_cast<std::FILE*>(file_));
}

std::string CapturedOutput::text() {
  auto* f = static_cast<std::FILE*>(file_);
  std::fflush(f);
  const long end = std::ftell(f);
  std::string s(static_cast<std::size_t>(end), '\0');
  std::rewind(f);
  const std::size_t got = std::fread(s.data(), 1, s.size(), f);
  s.resize(got);
  std::fseek(f, 0, SEEK_END);
  return s;
}

std::string fresh_dir(const std::string& tag) {
  static int counter = 0;
  const fs::path base =
      fs::temp_directory_path() /
      ("threephase_" + tag + "_" + std::to_string(::getpid()) + "_" + std::to_string(counter++));
  fs::remove_all(base);
  fs::create_directories(base);
  return base.string();
}

void write_file(const std::string& path, const std::string& text) {
  std::ofstream f(path, std::ios::binary);
  f << text;
}

std::string read_file(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::stringstream ss;
  ss << f.rdbuf();
  return ss.str();
}

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::string cur;
  for (char c : text) {
    if (c == '\n') {
      lines.push_back(cur);
      cur.clear();
    } else {
      cur += c;
    }
  }
  if (!cur.empty()) lines.push_back(cur);
  return lines;
}

std::string without_warnings(const std::string& err) {
  std::string kept;
  for (const std::string& line : split_lines(err)) {
    if (line.rfind("threephase: warning: ", 0) != 0) kept += line + "\n";
  }
  return kept;
}

void copy_example(const std::string& name, const std::string& dir) {
  for (const auto& e : fs::directory_iterator(source_path("examples/" + name))) {
    fs::copy_file(e.path(), fs::path(dir) / e.path().filename(),
                  fs::copy_options::overwrite_existing);
  }
}

std::string source_path(const std::string& rel) {
  return std::string(THREEPHASE_SOURCE_DIR) + "/" + rel;
}

}  // namespace tp::testing
