// A fresh folder under the system's temporary folder, removed with its contents at
// the end of the test.
#pragma once

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

class TempDir {
public:
    TempDir() {
#ifdef _WIN32
        static int count = 0;
        do {
            mpath = std::filesystem::temp_directory_path() /
                    ("xlsdb-test-" + std::to_string(_getpid()) + "-" + std::to_string(++count));
        } while (!std::filesystem::create_directory(mpath));
#else
        std::string strTemplate =
            (std::filesystem::temp_directory_path() / "xlsdb-test-XXXXXX").string();
        char* psz = ::mkdtemp(strTemplate.data());
        if (!psz) throw std::runtime_error("mkdtemp failed");
        mpath = psz;
#endif
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::permissions(mpath, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
        std::filesystem::remove_all(mpath, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    std::string file(const std::string& strName) const { return (mpath / strName).string(); }
    const std::filesystem::path& path() const { return mpath; }
    std::string str() const { return mpath.string(); }

private:
    std::filesystem::path mpath;
};

inline std::string readBytes(const std::string& strPath) {
    std::ifstream in(strPath, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeBytes(const std::string& strPath, const std::string& strBytes) {
    std::ofstream out(strPath, std::ios::binary | std::ios::trunc);
    out << strBytes;
}
