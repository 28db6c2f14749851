// Tests that rewrite real files: a folder of their own, and a sink that fails on the way.
#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "stream_helpers.h"

namespace fs = std::filesystem;

// Writes through to the file until its budget of bytes is spent, then fails.
class FailingSink : public FileByteSink {
public:
    FailingSink(std::FILE* file, size_t budget) : FileByteSink(file), budget_(budget) {}
    bool write(const void* data, size_t n) override {
        if (n > budget_) return false;
        budget_ -= n;
        return FileByteSink::write(data, n);
    }

private:
    size_t budget_;
};

// Each test in a folder of its own.
class RewriteFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("aurecho-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    fs::path write(const std::string& utf8Name, const Bytes& bytes) {
        const fs::path p = dir_ / fs::u8path(utf8Name);
        std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
        return p;
    }
public:
    static Bytes read(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }
protected:
    size_t filesInFolder() const { return static_cast<size_t>(std::distance(fs::directory_iterator(dir_), {})); }

    fs::path dir_;
};
