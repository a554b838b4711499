// A fresh folder per test, removed afterwards.
#ifndef QUILLON_TESTS_DATACONTROL_TEMP_FOLDER_H
#define QUILLON_TESTS_DATACONTROL_TEMP_FOLDER_H

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace quillon::test {

class TempFolder {
public:
    TempFolder() {
        const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
        path = std::filesystem::temp_directory_path() /
               (std::string("quillon_") + info->test_suite_name() + "_" + info->name());
        std::filesystem::remove_all(path);
        std::filesystem::create_directories(path);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
    TempFolder(const TempFolder &) = delete;
    TempFolder &operator=(const TempFolder &) = delete;

    std::filesystem::path operator/(const std::string &name) const { return path / name; }

    std::filesystem::path path;
};

inline void writeBytes(const std::filesystem::path &file, const std::string &bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline std::string readBytes(const std::filesystem::path &file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// A text file the program wrote, with its lines ending in "\n" whatever the
// platform's text files end them with.
inline std::string readText(const std::filesystem::path &file) {
    std::string text = readBytes(file);
#ifdef _WIN32
    std::string lines;
    lines.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!(text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n')) {
            lines += text[i];
        }
    }
    text = std::move(lines);
#endif
    return text;
}

} // namespace quillon::test

#endif
