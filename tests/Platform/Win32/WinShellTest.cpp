// The per-user data folder: $XDG_DATA_HOME when it is absolute, else
// ~/.local/share, made with its missing parents so that the first start on a
// fresh account can write its settings and save slots.
#include "Platform/Win32/WinShell.h"
#include "tests/Support/TestTempDir.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <string>

namespace {

bool IsFolder(const std::string& path)
{
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Sets or unsets a variable for one test and puts the old value back.
class CScopedEnv {
public:
    CScopedEnv(const char* name, const char* value) : m_name(name)
    {
        const char* old = getenv(name);
        m_had = old != nullptr;
        if (old)
            m_old = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~CScopedEnv()
    {
        if (m_had)
            setenv(m_name, m_old.c_str(), 1);
        else
            unsetenv(m_name);
    }

private:
    const char* m_name;
    std::string m_old;
    bool m_had = false;
};

} // namespace

TEST(WinShell, TheLocalDataFolderIsMadeWithItsParents)
{
    CTestTempDir root;
    const std::string xdg = root / "fresh/data/home";
    const std::string home = root / "user";
    ASSERT_EQ(0, mkdir(home.c_str(), 0700));

    struct Case {
        const char* what;
        const char* xdgValue;
        std::string expected;
    } cases[] = {
        {"an absolute XDG_DATA_HOME, three levels missing", xdg.c_str(), xdg},
        {"a relative XDG_DATA_HOME is ignored", "relative/data", home + "/.local/share"},
        {"no XDG_DATA_HOME", nullptr, home + "/.local/share"},
    };
    CScopedEnv homeEnv("HOME", home.c_str());
    for (const Case& c : cases) {
        CScopedEnv xdgEnv("XDG_DATA_HOME", c.xdgValue);
        char path[MAX_PATH] = {};
        ASSERT_EQ(S_OK, SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, path)) << c.what;
        EXPECT_EQ(c.expected, path) << c.what;
        EXPECT_TRUE(IsFolder(c.expected)) << c.what;
    }
}

TEST(WinShell, OnlyTheLocalDataFolderIsKnown)
{
    char path[MAX_PATH] = {};
    EXPECT_EQ(E_INVALIDARG, SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA + 1, nullptr, 0, path));
    EXPECT_EQ(E_INVALIDARG, SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, nullptr));
    CScopedEnv xdgEnv("XDG_DATA_HOME", nullptr);
    CScopedEnv homeEnv("HOME", nullptr);
    EXPECT_EQ(E_FAIL, SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, path));
}
