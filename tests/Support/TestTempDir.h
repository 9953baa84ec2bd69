// A scratch directory for one test, removed with everything in it at the end.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

class CTestTempDir {
public:
    CTestTempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "qm-test-XXXXXX").string();
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (mkdtemp(buffer.data()))
            root = buffer.data();
    }
    ~CTestTempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    CTestTempDir(const CTestTempDir&) = delete;
    CTestTempDir& operator=(const CTestTempDir&) = delete;

    const std::string& Path() const { return root; }
    std::string operator/(const std::string& relative) const { return root + "/" + relative; }

    // Writes bytes to a file below the directory, creating its directories.
    std::string Write(const std::string& relative, const std::string& bytes) const
    {
        std::filesystem::path path = root + "/" + relative;
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return path.string();
    }

    static std::string Read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

private:
    std::string root;
};
