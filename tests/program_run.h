// What the tests of the command-line programs share: a run's status and output, files read
// whole, paths quoted for the shell, and a folder of their own for each test's files.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct CRun {
    int status = -1;  // the exit status, or 128 + the signal that ended it
    std::string out;
    std::string err;
};

inline std::string Slurp(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

inline std::string Quote(const std::filesystem::path& path) {
    return "'" + path.string() + "'";
}

// A test with a folder of its own, made before it and removed after it.
class CProgramTest : public ::testing::Test {
  protected:
    std::filesystem::path m_dir;

    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_dir = std::filesystem::temp_directory_path() /
                ("velmo-" + std::string(info->test_suite_name()) + "-" +
                 std::to_string(::getpid()) + "-" + info->name());
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }

    // Writes `text` as the file `name` of the test's folder, and returns its path.
    std::filesystem::path Write(const std::string& name, const std::string& text) {
        const std::filesystem::path path = m_dir / name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
};
