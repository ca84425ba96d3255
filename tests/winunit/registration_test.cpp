// The registry keys that self-registration writes and removes.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

namespace {

const char* const kNames[] = {"Mail", "HanZi", "SendMail", "Upload", "MailReader", "MailWriter"};
const char* const kClassIds[] = {
    "{C662D3A1-F2A2-4B07-BD19-6260E9282FD3}", "{B993161F-1069-4570-A951-3EF1D16D80BA}",
    "{EAE3CD03-FDBB-4258-9B92-7D698978CFC1}", "{0D236E21-5ECD-478C-A1EB-06437A68D2BB}",
    "{E6A0ABB3-37D5-416A-859F-C5AB6B45F9CB}", "{F2EB5F79-CFBF-42F5-843D-A53E5B80CBCF}"};
constexpr int kClassCount = sizeof kNames / sizeof kNames[0];
static_assert(sizeof kClassIds / sizeof kClassIds[0] == kClassCount, "one class id per name");

// The string value, or "<missing>".
std::string Read(const std::string& path, const char* name = nullptr) {
    char buffer[1024];
    DWORD size = sizeof buffer;
    if (RegGetValueA(HKEY_CLASSES_ROOT, path.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) !=
        ERROR_SUCCESS)
        return "<missing>";
    return buffer;
}

bool KeyExists(const std::string& path) {
    HKEY key;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// The ProgIDs under HKEY_CLASSES_ROOT that begin with "Tarnwick.".
int TarnwickProgIdCount() {
    int count = 0;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD size = sizeof name;
        const LONG result = RegEnumKeyExA(HKEY_CLASSES_ROOT, i, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS) break;
        if (result == ERROR_SUCCESS && std::string(name).rfind("Tarnwick.", 0) == 0) ++count;
    }
    return count;
}

DWORD SubkeyCount(const std::string& path) {
    HKEY key;
    DWORD count = 0;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr,
                     nullptr, nullptr, nullptr);
    RegCloseKey(key);
    return count;
}

class RegistrationTest : public ::testing::Test {
protected:
    using EntryPoint = HRESULT(STDAPICALLTYPE*)();
    void SetUp() override {
        char path[MAX_PATH] = "Tarnwick.dll";
        GetEnvironmentVariableA("TARNWICK_DLL", path, MAX_PATH);
        module = LoadLibraryA(path);
        ASSERT_NE(module, nullptr);
        modulePath = path;
        registerServer = reinterpret_cast<EntryPoint>(
            reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer")));
        unregisterServer = reinterpret_cast<EntryPoint>(
            reinterpret_cast<void*>(GetProcAddress(module, "DllUnregisterServer")));
        ASSERT_NE(registerServer, nullptr);
        ASSERT_NE(unregisterServer, nullptr);
    }
    void TearDown() override {
        // Leave the module registered for the tests that follow.
        if (registerServer) registerServer();
    }

    void ExpectRegistered(int i) {
        const std::string name = kNames[i], clsid = kClassIds[i];
        const std::string description = name + " Class";
        const std::string classKey = "CLSID\\" + clsid;
        EXPECT_EQ(Read("Tarnwick." + name + ".1"), description);
        EXPECT_EQ(Read("Tarnwick." + name + ".1\\CLSID"), clsid);
        EXPECT_EQ(Read("Tarnwick." + name), description);
        EXPECT_EQ(Read("Tarnwick." + name + "\\CLSID"), clsid);
        EXPECT_EQ(Read("Tarnwick." + name + "\\CurVer"), "Tarnwick." + name + ".1");
        EXPECT_EQ(Read(classKey), description);
        EXPECT_EQ(Read(classKey + "\\ProgID"), "Tarnwick." + name + ".1");
        EXPECT_EQ(Read(classKey + "\\VersionIndependentProgID"), "Tarnwick." + name);
        EXPECT_TRUE(KeyExists(classKey + "\\Programmable"));
        EXPECT_EQ(Read(classKey + "\\InprocServer32", "ThreadingModel"), "Apartment");
        EXPECT_EQ(Read(classKey + "\\TypeLib"), "{321A60A6-D9D5-4E55-A00E-80F524BC4887}");
        EXPECT_EQ(SubkeyCount(classKey), 5u);
        char full[MAX_PATH];
        GetModuleFileNameA(module, full, MAX_PATH);
        EXPECT_STRCASEEQ(Read(classKey + "\\InprocServer32").c_str(), full);
    }

    HMODULE module = nullptr;
    std::string modulePath;
    EntryPoint registerServer = nullptr;
    EntryPoint unregisterServer = nullptr;
};

TEST_F(RegistrationTest, WritesEveryKeyOfEveryClass) {
    ASSERT_EQ(registerServer(), S_OK);
    for (int i = 0; i < kClassCount; ++i) ExpectRegistered(i);
    EXPECT_TRUE(KeyExists("TypeLib\\{321A60A6-D9D5-4E55-A00E-80F524BC4887}\\1.0"));
    // Six classes, each under two ProgIDs, and no other.
    EXPECT_EQ(TarnwickProgIdCount(), 2 * 6);
}

TEST_F(RegistrationTest, RegisteringAgainReplacesTheClassKeyWhole) {
    ASSERT_EQ(registerServer(), S_OK);
    const std::string stray = std::string("CLSID\\") + kClassIds[0] + "\\Stray";
    HKEY key;
    ASSERT_EQ(RegCreateKeyA(HKEY_CLASSES_ROOT, stray.c_str(), &key), ERROR_SUCCESS);
    RegCloseKey(key);
    ASSERT_EQ(registerServer(), S_OK);
    EXPECT_FALSE(KeyExists(stray));
    for (int i = 0; i < kClassCount; ++i) ExpectRegistered(i);
}

TEST_F(RegistrationTest, UnregisteringRemovesTheKeysButNotTheClassIdRoot) {
    ASSERT_EQ(registerServer(), S_OK);
    ASSERT_EQ(unregisterServer(), S_OK);
    for (int i = 0; i < kClassCount; ++i) {
        EXPECT_FALSE(KeyExists(std::string("Tarnwick.") + kNames[i]));
        EXPECT_FALSE(KeyExists(std::string("Tarnwick.") + kNames[i] + ".1"));
        EXPECT_FALSE(KeyExists(std::string("CLSID\\") + kClassIds[i]));
    }
    EXPECT_EQ(TarnwickProgIdCount(), 0);
    EXPECT_TRUE(KeyExists("CLSID"));
    EXPECT_FALSE(KeyExists("TypeLib\\{321A60A6-D9D5-4E55-A00E-80F524BC4887}\\1.0"));
    EXPECT_EQ(unregisterServer(), S_OK) << "removing what is gone is no failure";
}

}  // namespace

namespace {

// The version block marks the module as self-registering and names it.
TEST(VersionBlock, DescribesTheModule) {
    char path[MAX_PATH] = "Tarnwick.dll";
    GetEnvironmentVariableA("TARNWICK_DLL", path, MAX_PATH);
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(path, &ignored);
    ASSERT_GT(size, 0u);
    std::string block(size, '\0');
    ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, &block[0]));

    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
    EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
    EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);

    char* text = nullptr;
    ASSERT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904B0\\FileDescription",
                               reinterpret_cast<void**>(&text), &length));
    EXPECT_STREQ(text, "Tarnwick Module");
    EXPECT_TRUE(VerQueryValueA(block.data(), "\\StringFileInfo\\040904B0\\OLESelfRegister",
                               reinterpret_cast<void**>(&text), &length));
}

}  // namespace
