#include "quorlix/core/Registry.h"
#include "quorlix/platform/Process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace Quorlix;
namespace fs = std::filesystem;

namespace {

// Every test gets a store of its own in a fresh folder, and the folder around it to prove that
// nothing is ever written beside the store.
class RegistryTest : public testing::Test {
protected:
    void SetUp() override {
        m_Folder = fs::temp_directory_path() /
                   ("RegistryTest." + std::to_string(::getpid()) + "." +
                    testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(m_Folder);
        fs::create_directories(m_Folder);
        m_Store = m_Folder / "store";
        ::setenv("QUORLIX_SETTINGS_DIR", m_Store.c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("QUORLIX_SETTINGS_DIR");
        fs::remove_all(m_Folder);
    }

    fs::path Key(const std::string& relative) const {
        return m_Store / "HKEY_CURRENT_USER" / relative;
    }
    static std::string ReadFile(const fs::path& path) {
        std::ifstream file(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    }
    static std::vector<std::string> Names(const Array<String>& names) {
        std::vector<std::string> result;
        for (const String& name : names)
            result.emplace_back(name.GetCPtr(), static_cast<size_t>(name.Size()));
        std::sort(result.begin(), result.end());
        return result;
    }

    fs::path m_Folder;
    fs::path m_Store;
};

} // namespace

TEST_F(RegistryTest, KeysHoldTypedValues) {
    Registry registry;
    EXPECT_EQ(registry.GetPredefinedKey(), Registry::CurrentUser);
    EXPECT_FALSE(registry.SetValueData("x", "no key open"));
    EXPECT_EQ(registry.GetLastWriteTime(), 0u);
    EXPECT_FALSE(registry.OpenKey("Software\\Quorlix")); // not there yet
    ASSERT_TRUE(registry.CreateKey("Software\\Quorlix\\Engine\\OpenGL"));
    EXPECT_TRUE(fs::is_directory(Key("Software/Quorlix/Engine/OpenGL")));

    EXPECT_TRUE(registry.SetValueData("Renderer", "fast path"));
    EXPECT_TRUE(registry.SetValueDataU32("Depth", 0x80000018u));
    const unsigned char blob[5] = {0, 1, 2, 0xFF, 0};
    EXPECT_TRUE(registry.SetValueDataBinary("Blob", blob, 5));
    EXPECT_TRUE(registry.SetValueData("", "default value"));
    EXPECT_EQ(registry.GetValueData("Renderer"), "fast path");
    EXPECT_EQ(registry.GetValueData(""), "default value");
    EXPECT_EQ(registry.GetValueDataU32("Depth"), 0x80000018u);
    EXPECT_EQ(registry.GetValueDataU32("Missing"), 0xFFFFFFFFu);
    EXPECT_EQ(registry.GetValueDataU32("Renderer"), 0xFFFFFFFFu); // not four bytes
    EXPECT_EQ(registry.GetValueData("Missing"), "");
    EXPECT_EQ(registry.GetValueData("Blob"), ""); // the bytes up to the first NUL

    unsigned char out[8] = {};
    int size = 4;
    EXPECT_FALSE(registry.GetValueDataBinary("Blob", out, size)); // too small: the size needed
    EXPECT_EQ(size, 5);
    EXPECT_EQ(out[1], 0);
    size = -1;
    EXPECT_TRUE(registry.GetValueDataBinary("Blob", nullptr, size));
    EXPECT_EQ(size, 5);
    size = 8;
    EXPECT_TRUE(registry.GetValueDataBinary("Blob", out, size));
    EXPECT_EQ(size, 5);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 5), std::string("\0\1\2\xFF\0", 5));
    EXPECT_FALSE(registry.GetValueDataBinary("Missing", out, size));
    EXPECT_FALSE(registry.SetValueDataBinary("Huge", blob, (1 << 20) + 1));
    EXPECT_FALSE(registry.SetValueDataBinary("Negative", blob, -1));

    // A write of another type replaces the value; a deleted value is missing.
    EXPECT_TRUE(registry.SetValueDataU32("Renderer", 7));
    EXPECT_EQ(registry.GetValueDataU32("Renderer"), 7u);
    EXPECT_TRUE(registry.DeleteValue("Renderer"));
    EXPECT_FALSE(registry.DeleteValue("Renderer"));
    EXPECT_EQ(registry.GetValueDataU32("Renderer"), 0xFFFFFFFFu);

    // A failed open keeps the open key; a successful one replaces it.
    const uint64_t written = registry.GetLastWriteTime();
    EXPECT_GT(written, 116444736000000000u); // after 1970
    EXPECT_FALSE(registry.OpenKey("Software\\Nowhere"));
    EXPECT_EQ(registry.GetValueDataU32("Depth"), 0x80000018u);
    EXPECT_TRUE(registry.Flush());
    ASSERT_TRUE(registry.OpenKey("\\Software\\\\Quorlix\\")); // empty parts are skipped
    EXPECT_EQ(registry.GetValueDataU32("Depth"), 0xFFFFFFFFu);
    EXPECT_TRUE(registry.OpenKey("Software\\Quorlix\\Engine\\OpenGL"));
    EXPECT_EQ(registry.GetValueDataU32("Depth"), 0x80000018u);

    // Other roots are other trees; a read-only registry changes nothing.
    Registry machine(Registry::LocalMachine);
    EXPECT_FALSE(machine.OpenKey("Software\\Quorlix\\Engine\\OpenGL"));
    Registry reader(Registry::CurrentUser, Registry::AccessRead);
    ASSERT_TRUE(reader.OpenKey("Software\\Quorlix\\Engine\\OpenGL"));
    EXPECT_EQ(reader.GetValueData(""), "default value");
    EXPECT_FALSE(reader.SetValueData("", "changed"));
    EXPECT_FALSE(reader.DeleteValue(""));
    EXPECT_FALSE(reader.CreateKey("Software\\Other"));
    EXPECT_FALSE(reader.DeleteKey("Software"));
    EXPECT_EQ(reader.GetValueData(""), "default value");
}

TEST_F(RegistryTest, EnumeratesAndDeletesSubkeys) {
    Registry registry;
    Array<String> names;
    names.Add(String("stale"));
    EXPECT_FALSE(registry.EnumerateKey("Software", names)); // no store yet
    EXPECT_TRUE(names.IsEmpty());

    for (const char* path : {"Software\\A\\Deep\\Deeper", "Software\\B", "Software\\a/b"})
        ASSERT_TRUE(registry.CreateKey(path));
    ASSERT_TRUE(registry.OpenKey("Software\\A"));
    ASSERT_TRUE(registry.SetValueData("NotAKey", "values are not listed"));
    ASSERT_TRUE(registry.OpenKey("Software\\B"));
    EXPECT_TRUE(registry.EnumerateKey("Software", names));
    EXPECT_EQ(Names(names), (std::vector<std::string>{"A", "B", "a/b"}));
    EXPECT_TRUE(registry.EnumerateKey("Software\\B", names)); // a key without subkeys
    EXPECT_TRUE(names.IsEmpty());
    EXPECT_TRUE(registry.IsOpen()); // the caller's key stays open, and no other is left open
    EXPECT_TRUE(registry.SetValueData("StillOpen", "yes"));
    EXPECT_TRUE(fs::exists(Key("Software/B/=StillOpen")));

    // DeleteKey works below the open key, or the root when none is open; it takes the subtree.
    ASSERT_TRUE(registry.OpenKey("Software"));
    EXPECT_TRUE(registry.DeleteKey("A"));
    EXPECT_FALSE(registry.DeleteKey("A"));
    EXPECT_FALSE(registry.DeleteKey(""));
    EXPECT_FALSE(registry.DeleteKey("\\"));
    registry.CloseKey();
    EXPECT_TRUE(registry.DeleteKey("Software\\a/b"));
    EXPECT_TRUE(registry.EnumerateKey("Software", names));
    EXPECT_EQ(Names(names), (std::vector<std::string>{"B"}));
    EXPECT_FALSE(fs::exists(Key("Software/A")));
    // Nothing half-deleted or temporary is left beside the keys.
    for (const fs::directory_entry& entry : fs::directory_iterator(Key("Software")))
        EXPECT_EQ(entry.path().filename(), "B");
}

TEST_F(RegistryTest, HostileNamesStayInsideTheStore) {
    Registry registry;
    const std::vector<std::string> hostile = {
        "..",    ".",      "../../escape", "/etc",     "a/b/../../..",      ".hidden",
        "~temp", "=value", "%2E%2E",       "\x01\x7F", std::string(80, '/')};
    for (const std::string& name : hostile) {
        ASSERT_TRUE(registry.CreateKey(("Keys\\" + name).c_str())) << name;
        EXPECT_TRUE(registry.SetValueData(name.c_str(), name.c_str())) << name;
        EXPECT_EQ(registry.GetValueData(name.c_str()), name.c_str()) << name;
        EXPECT_TRUE(registry.SetValueData("..", "parent")) << name;
    }
    Array<String> names;
    EXPECT_TRUE(registry.EnumerateKey("Keys", names));
    std::vector<std::string> expected = hostile;
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(Names(names), expected); // "." and ".." are names like any other
    EXPECT_TRUE(fs::exists(Key("Keys/%2E")));

    // Names too long for one file name fail instead of being cut.
    const std::string longName(255, 'x');
    EXPECT_FALSE(registry.CreateKey(("Keys\\" + longName).c_str()));
    EXPECT_FALSE(registry.SetValueData(longName.c_str(), "x"));
    EXPECT_FALSE(registry.SetValueData(std::string(100, '/').c_str(), "x")); // 300 encoded

    // A link planted in the store is never followed.
    fs::create_directories(m_Folder / "outside");
    fs::create_directory_symlink(m_Folder / "outside", Key("Keys/link"));
    EXPECT_FALSE(registry.OpenKey("Keys\\link"));
    EXPECT_FALSE(registry.CreateKey("Keys\\link\\inner"));
    fs::create_symlink(m_Folder / "outside" / "target", Key("Keys/=linked"));
    ASSERT_TRUE(registry.OpenKey("Keys"));
    EXPECT_EQ(registry.GetValueData("linked"), "");
    EXPECT_FALSE(registry.DeleteKey("link")); // no key, and what it points at stays
    EXPECT_TRUE(fs::is_directory(m_Folder / "outside"));

    // Nothing was written beside the store.
    for (const fs::directory_entry& entry : fs::directory_iterator(m_Folder))
        EXPECT_TRUE(entry.path().filename() == "store" || entry.path().filename() == "outside")
            << entry.path();
    EXPECT_TRUE(fs::is_empty(m_Folder / "outside"));
}

TEST_F(RegistryTest, DamagedValuesReadAsMissingAndStayAsTheyAre) {
    Registry registry;
    ASSERT_TRUE(registry.CreateKey("Damage"));
    ASSERT_TRUE(registry.SetValueDataU32("Number", 42));
    const fs::path file = Key("Damage/=Number");
    const std::string good = ReadFile(file);
    ASSERT_EQ(good.size(), 20u);
    ASSERT_EQ(good.substr(0, 4), "QXRV");

    const auto damaged = [&](const std::string& bytes) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
        int size = 16;
        unsigned char out[16];
        const bool missing = registry.GetValueDataU32("Number") == 0xFFFFFFFFu &&
                             registry.GetValueData("Number") == "" &&
                             !registry.GetValueDataBinary("Number", out, size);
        return missing && ReadFile(file) == bytes; // a read never rewrites the file
    };
    EXPECT_TRUE(damaged(""));
    EXPECT_TRUE(damaged(good.substr(0, 19)));      // cut short
    EXPECT_TRUE(damaged(good + "x"));              // longer than its size
    EXPECT_TRUE(damaged("QXRW" + good.substr(4))); // magic
    std::string flipped = good;
    flipped[17] ^= 0x10;
    EXPECT_TRUE(damaged(flipped)); // checksum
    std::string type = good;
    type[4] = 9;
    EXPECT_TRUE(damaged(type)); // unknown type
    std::string huge = good;
    huge[11] = '\x7F';
    EXPECT_TRUE(damaged(huge)); // size far past the limit

    // A folder or a file past the limit where a value should be.
    fs::remove(file);
    fs::create_directory(file);
    EXPECT_EQ(registry.GetValueDataU32("Number"), 0xFFFFFFFFu);
    EXPECT_FALSE(registry.SetValueDataU32("Number", 1));
    fs::remove(file);
    std::ofstream(file, std::ios::binary) << good;
    fs::resize_file(file, 64 << 20); // read as missing without reading it
    EXPECT_EQ(registry.GetValueDataU32("Number"), 0xFFFFFFFFu);
    EXPECT_TRUE(registry.SetValueDataU32("Number", 5)); // a write replaces the damage
    EXPECT_EQ(registry.GetValueDataU32("Number"), 5u);
}

TEST_F(RegistryTest, ProcessesWritingAtOnceLoseNothingAndNeverShowHalfAValue) {
    {
        Registry registry;
        ASSERT_TRUE(registry.CreateKey("Shared"));
    }
    constexpr int k_Writes = 150;
    constexpr int k_Bytes = 64 << 10; // many pages, so a torn write would show
    // Each writer fills the shared value with one byte repeated: any mix is half a value.
    const auto write = [&](char fill) {
        Registry registry;
        bool ok = registry.OpenKey("Shared");
        const std::string bytes(k_Bytes, fill);
        for (int i = 0; i < k_Writes; ++i) {
            ok = registry.SetValueDataBinary("Same", bytes.data(), k_Bytes) && ok;
            ok = registry.SetValueDataU32((std::string(1, fill) + std::to_string(i)).c_str(),
                                          static_cast<uint32_t>(i)) &&
                 ok;
        }
        return ok;
    };
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        ::_exit(write('c') ? 0 : 1);
    const pid_t other = ::fork();
    if (other == 0)
        ::_exit(write('p') ? 0 : 1);

    Registry reader;
    ASSERT_TRUE(reader.OpenKey("Shared"));
    std::vector<char> buffer(k_Bytes);
    int torn = 0, seen = 0;
    int childStatus = -1, otherStatus = -1;
    for (bool running = true; running;) {
        running = false;
        for (auto [pid, status] : {std::pair{child, &childStatus}, std::pair{other, &otherStatus}})
            if (*status == -1 && ::waitpid(pid, status, WNOHANG) == 0) {
                *status = -1;
                running = true;
            }
        int size = k_Bytes;
        if (!reader.GetValueDataBinary("Same", buffer.data(), size)) {
            torn += seen > 0; // once written, a value is never missing while being replaced
            continue;
        }
        ++seen;
        if (size != k_Bytes || std::count(buffer.begin(), buffer.end(), buffer[0]) != k_Bytes ||
            (buffer[0] != 'c' && buffer[0] != 'p'))
            ++torn;
    }
    EXPECT_TRUE(WIFEXITED(childStatus) && WEXITSTATUS(childStatus) == 0);
    EXPECT_TRUE(WIFEXITED(otherStatus) && WEXITSTATUS(otherStatus) == 0);
    EXPECT_GT(seen, 0);
    EXPECT_EQ(torn, 0) << "of " << seen << " reads";

    for (char fill : {'c', 'p'})
        for (int i = 0; i < k_Writes; ++i)
            ASSERT_EQ(reader.GetValueDataU32((std::string(1, fill) + std::to_string(i)).c_str()),
                      static_cast<uint32_t>(i));
    int size = k_Bytes;
    EXPECT_TRUE(reader.GetValueDataBinary("Same", buffer.data(), size));
    // No temporary file is left behind: the key holds exactly the values written.
    EXPECT_EQ(std::distance(fs::directory_iterator(Key("Shared")), fs::directory_iterator()),
              2 * k_Writes + 1);
}

TEST_F(RegistryTest, StoreFolderFollowsTheEnvironment) {
    const std::string home = Platform::GetEnvironmentVariable("HOME");
    const std::string xdg = Platform::GetEnvironmentVariable("XDG_CONFIG_HOME");
    const bool hadXdg = Platform::HasEnvironmentVariable("XDG_CONFIG_HOME");
    EXPECT_EQ(Platform::SettingsStorePath(), m_Store.string());
    ::unsetenv("QUORLIX_SETTINGS_DIR");
    ::setenv("XDG_CONFIG_HOME", "/config", 1);
    EXPECT_EQ(Platform::SettingsStorePath(), "/config/quorlix/registry");
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    ::setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(Platform::SettingsStorePath(), "/home/someone/.config/quorlix/registry");
    ::unsetenv("HOME");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(Platform::SettingsStorePath(), "");
    Registry registry;
    EXPECT_FALSE(registry.CreateKey("Nowhere")); // no store: nothing is written anywhere
    ::setenv("HOME", home.c_str(), 1);
    if (hadXdg)
        ::setenv("XDG_CONFIG_HOME", xdg.c_str(), 1);
}
