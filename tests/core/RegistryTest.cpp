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
    EXPECT_FALSE(registry.SetValueData("x", "no key open"));
    EXPECT_FALSE(registry.OpenKey("Software\\Quorlix")); // not there yet
    ASSERT_TRUE(registry.CreateKey("Software\\Quorlix\\Engine\\OpenGL"));
    EXPECT_TRUE(fs::is_directory(Key("Software/Quorlix/Engine/OpenGL")));

    const unsigned char blob[5] = {0, 1, 2, 0xFF, 0};
    EXPECT_TRUE(registry.SetValueData("Renderer", "fast path") &&
                registry.SetValueDataU32("Depth", 0x80000018u) &&
                registry.SetValueDataBinary("Blob", blob, 5) &&
                registry.SetValueData("", "default value"));
    EXPECT_EQ(registry.GetValueData("Renderer"), "fast path");
    EXPECT_EQ(registry.GetValueData(""), "default value");
    EXPECT_EQ(registry.GetValueDataU32("Depth"), 0x80000018u);
    EXPECT_EQ(registry.GetValueDataU32("Missing"), 0xFFFFFFFFu);
    EXPECT_EQ(registry.GetValueDataU32("Renderer"), 0xFFFFFFFFu); // not four bytes
    EXPECT_EQ(registry.GetValueData("Blob"), "");                 // the bytes up to a NUL

    unsigned char out[8] = {};
    int size = 4;
    EXPECT_FALSE(registry.GetValueDataBinary("Blob", out, size)); // too small: the size needed
    EXPECT_EQ(size + out[1], 5);
    EXPECT_TRUE(registry.GetValueDataBinary("Blob", nullptr, size = -1) && size == 5);
    EXPECT_TRUE(registry.GetValueDataBinary("Blob", out, size = 8) && size == 5);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(out), 5), std::string("\0\1\2\xFF\0", 5));
    EXPECT_FALSE(registry.SetValueDataBinary("Huge", blob, (1 << 20) + 1));
    EXPECT_FALSE(registry.SetValueDataBinary("Negative", blob, -1));

    // Another type replaces a value; a deleted value is missing.
    EXPECT_TRUE(registry.SetValueDataU32("Renderer", 7));
    EXPECT_EQ(registry.GetValueDataU32("Renderer"), 7u);
    EXPECT_TRUE(registry.DeleteValue("Renderer"));
    EXPECT_FALSE(registry.DeleteValue("Renderer"));

    // A failed open keeps the open key; a successful one replaces it.
    EXPECT_GT(registry.GetLastWriteTime(), 116444736000000000u); // after 1970
    EXPECT_FALSE(registry.OpenKey("Software\\Nowhere"));
    EXPECT_EQ(registry.GetValueDataU32("Depth"), 0x80000018u);
    EXPECT_TRUE(registry.Flush());
    ASSERT_TRUE(registry.OpenKey("\\Software\\\\Quorlix\\")); // empty parts are skipped
    EXPECT_EQ(registry.GetValueDataU32("Depth"), 0xFFFFFFFFu);

    // Other roots are other trees; a read-only registry changes nothing.
    EXPECT_FALSE(Registry(Registry::LocalMachine).OpenKey("Software"));
    Registry reader(Registry::CurrentUser, Registry::AccessRead);
    ASSERT_TRUE(reader.OpenKey("Software\\Quorlix\\Engine\\OpenGL"));
    EXPECT_FALSE(reader.SetValueData("", "changed") || reader.DeleteValue("") ||
                 reader.CreateKey("Software\\Other") || reader.DeleteKey("Software"));
    EXPECT_EQ(reader.GetValueData(""), "default value");
    EXPECT_FALSE(Registry(Registry::CurrentUser, Registry::AccessAll & ~Registry::AccessDelete)
                     .DeleteKey("Software"));
    EXPECT_TRUE(fs::exists(Key("Software")));
}

TEST_F(RegistryTest, EnumeratesAndDeletesSubkeys) {
    const auto openFiles = [] {
        return std::distance(fs::directory_iterator("/proc/self/fd"), fs::directory_iterator());
    };
    const auto filesBefore = openFiles();
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
    EXPECT_EQ(openFiles(), filesBefore + 1); // the caller's key stays open, no other is left
    EXPECT_TRUE(registry.SetValueData("StillOpen", "yes"));
    EXPECT_TRUE(fs::exists(Key("Software/B/=StillOpen")));

    // DeleteKey takes its path below the root, as OpenKey, CreateKey and EnumerateKey do,
    // whatever key is open; it takes the subtree.
    ASSERT_TRUE(registry.CreateKey("Software\\Software\\A"));
    ASSERT_TRUE(registry.OpenKey("Software"));
    EXPECT_FALSE(registry.DeleteKey("A")); // not below the open key
    EXPECT_TRUE(fs::exists(Key("Software/A")));
    EXPECT_TRUE(registry.DeleteKey("Software\\A"));
    EXPECT_FALSE(registry.DeleteKey("Software\\A"));
    EXPECT_TRUE(fs::exists(Key("Software/Software/A"))); // the same name below the open key
    EXPECT_FALSE(registry.DeleteKey(""));
    EXPECT_FALSE(registry.DeleteKey("\\"));
    EXPECT_TRUE(registry.DeleteKey("Software\\Software"));
    registry.CloseKey();
    EXPECT_TRUE(registry.DeleteKey("Software\\a/b"));
    EXPECT_TRUE(registry.EnumerateKey("Software", names));
    EXPECT_EQ(Names(names), (std::vector<std::string>{"B"}));
    EXPECT_FALSE(fs::exists(Key("Software/A")));
    // Nothing half-deleted or temporary is left beside the keys.
    for (const fs::directory_entry& entry : fs::directory_iterator(Key("Software")))
        EXPECT_EQ(entry.path().filename(), "B");
    // The open key itself may go: it stays open and takes no more values.
    ASSERT_TRUE(registry.OpenKey("Software\\B"));
    EXPECT_TRUE(registry.DeleteKey("Software\\B"));
    EXPECT_TRUE(registry.IsOpen());
    EXPECT_FALSE(registry.SetValueData("Late", "lost"));
    EXPECT_FALSE(fs::exists(Key("Software/B")));
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
    EXPECT_FALSE(registry.DeleteKey("Keys\\link")); // no key, and what it points at stays
    EXPECT_TRUE(fs::is_directory(m_Folder / "outside"));

    // Nothing was written beside the store.
    for (const fs::directory_entry& entry : fs::directory_iterator(m_Folder))
        EXPECT_TRUE(entry.path().filename() == "store" || entry.path().filename() == "outside")
            << entry.path();
    EXPECT_TRUE(fs::is_empty(m_Folder / "outside"));
}

TEST_F(RegistryTest, DamagedValuesReadAsMissingAndStayAsTheyAre) {
    // The fuzz corpus covers each kind of damage; here: reads never touch the file.
    Registry registry;
    ASSERT_TRUE(registry.CreateKey("Damage") && registry.SetValueDataU32("Number", 42));
    const fs::path file = Key("Damage/=Number");
    const std::string good = ReadFile(file);
    std::string flipped = good;
    flipped[17] ^= 0x10;
    for (const std::string& bytes : {std::string(), good.substr(0, 19), good + "x", flipped}) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes;
        int size = 16;
        unsigned char out[16];
        EXPECT_EQ(registry.GetValueDataU32("Number"), 0xFFFFFFFFu);
        EXPECT_EQ(registry.GetValueData("Number"), "");
        EXPECT_FALSE(registry.GetValueDataBinary("Number", out, size));
        EXPECT_EQ(ReadFile(file), bytes);
    }
    fs::resize_file(file, 64 << 20); // past the limit: missing, and never read into memory
    EXPECT_EQ(registry.GetValueDataU32("Number"), 0xFFFFFFFFu);
    EXPECT_TRUE(registry.SetValueDataU32("Number", 5)); // only a write replaces the damage
    EXPECT_EQ(registry.GetValueDataU32("Number"), 5u);
    fs::remove(file);
    fs::create_directory(file); // a folder where a value should be
    EXPECT_EQ(registry.GetValueDataU32("Number"), 0xFFFFFFFFu);
    EXPECT_FALSE(registry.SetValueDataU32("Number", 1));
}

TEST_F(RegistryTest, ProcessesWritingAtOnceLoseNothingAndNeverShowHalfAValue) {
    ASSERT_TRUE(Registry().CreateKey("Shared"));
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
    for (char fill : {'c', 'p'})
        if (::fork() == 0)
            ::_exit(write(fill) ? 0 : 1);

    Registry reader;
    ASSERT_TRUE(reader.OpenKey("Shared"));
    std::vector<char> buffer(k_Bytes);
    int exited = 0, failed = 0, torn = 0, seen = 0;
    while (exited < 2) {
        int status = 0;
        if (::waitpid(-1, &status, WNOHANG) > 0) {
            ++exited;
            failed += !WIFEXITED(status) || WEXITSTATUS(status) != 0;
        }
        int size = k_Bytes;
        if (!reader.GetValueDataBinary("Same", buffer.data(), size)) {
            torn += seen > 0; // once written, a value is never missing while being replaced
            continue;
        }
        ++seen;
        torn += size != k_Bytes || std::count(buffer.begin(), buffer.end(), buffer[0]) != k_Bytes;
    }
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(torn, 0) << "of " << seen << " reads";

    for (char fill : {'c', 'p'})
        for (int i = 0; i < k_Writes; ++i)
            ASSERT_EQ(reader.GetValueDataU32((std::string(1, fill) + std::to_string(i)).c_str()),
                      static_cast<uint32_t>(i));
    // No temporary file is left behind: the key holds exactly the values written.
    EXPECT_EQ(std::distance(fs::directory_iterator(Key("Shared")), fs::directory_iterator()),
              2 * k_Writes + 1);
}

TEST_F(RegistryTest, StoreFolderFollowsTheEnvironment) {
    const std::string home = Platform::GetEnvironmentVariable("HOME");
    ::unsetenv("QUORLIX_SETTINGS_DIR");
    ::setenv("XDG_CONFIG_HOME", "/config", 1);
    EXPECT_EQ(Platform::SettingsStorePath(), "/config/quorlix/registry");
    ::setenv("XDG_CONFIG_HOME", "relative", 1); // ignored
    ::setenv("HOME", "/home/someone", 1);
    EXPECT_EQ(Platform::SettingsStorePath(), "/home/someone/.config/quorlix/registry");
    ::unsetenv("HOME");
    EXPECT_FALSE(Registry().CreateKey("Nowhere")); // no store: nothing is written anywhere
    ::setenv("HOME", home.c_str(), 1);
}
