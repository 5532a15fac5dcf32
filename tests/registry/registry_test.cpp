#include <signal.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <random>
#include <thread>

#include "../../platform/src/registry_format.h"
#include "registry/reg_test_util.h"

using regtest::Create;
using regtest::InChild;
using regtest::Query;
using regtest::ReadText;
using regtest::SetDword;
using regtest::SetString;
using regtest::TempRegistry;
using regtest::WriteText;

namespace {

std::vector<BYTE> Bytes(const std::u16string& text, bool terminator = true) {
    std::vector<BYTE> out;
    for (const char16_t c : text) {
        out.push_back(static_cast<BYTE>(c & 0xFF));
        out.push_back(static_cast<BYTE>(c >> 8));
    }
    if (terminator) {
        out.push_back(0);
        out.push_back(0);
    }
    return out;
}

// Values of the stored file as a fresh parse sees them.
ov::reg::Hive ParseFile(const std::string& path, const char16_t* root) {
    ov::reg::Hive hive;
    std::string error;
    EXPECT_TRUE(ov::reg::ParseHive(ReadText(path), root, hive, error)) << error;
    return hive;
}

struct Sample {
    const char16_t* name;
    DWORD type;
    std::vector<BYTE> data;
};

std::vector<Sample> EveryKind() {
    std::vector<BYTE> big(3000);
    for (size_t i = 0; i < big.size(); ++i) {
        big[i] = static_cast<BYTE>(i * 7);
    }
    return {
        {u"Plain", REG_SZ, Bytes(u"Orvantek Ping Tool")},
        {u"Escapes", REG_SZ, Bytes(u"quote \" backslash \\ end\\")},
        {u"Lines", REG_SZ, Bytes(u"one\ntwo\r\n\tthree")},
        {u"Unicode", REG_SZ, Bytes(u"Gr\u00fc\u00dfe \u4e2d\u6587 \U0001F600")},
        {u"Empty", REG_SZ, Bytes(u"")},
        {u"NoTerminator", REG_SZ, Bytes(u"abc", false)},
        {u"OddLength", REG_SZ, {0x41, 0x00, 0x42}},
        {u"InnerNul", REG_SZ, Bytes(std::u16string(u"a\0b", 3))},
        {u"LoneSurrogate", REG_SZ, Bytes(u"x\xD800y")},
        {u"Expand", REG_EXPAND_SZ, Bytes(u"%HOME%/mui")},
        {u"Number", REG_DWORD, {0x78, 0x56, 0x34, 0x12}},
        {u"ShortNumber", REG_DWORD, {0x01, 0x02}},
        {u"Binary", REG_BINARY, big},
        {u"EmptyBinary", REG_BINARY, {}},
        {u"Qword", 11, {1, 2, 3, 4, 5, 6, 7, 8}},
        {u"", REG_SZ, Bytes(u"default value")},
        {u"Name \"with\" \\ and \n", REG_DWORD, {1, 0, 0, 0}},
    };
}

}  // namespace

TEST(Registry, EveryValueTypeRoundTripsThroughTheFile) {
    TempRegistry reg;
    const HKEY key = Create(HKEY_CURRENT_USER, u"Software\\Orvantek\\Round Trip");
    ASSERT_NE(key, nullptr);
    const std::vector<Sample> samples = EveryKind();
    for (const Sample& s : samples) {
        ASSERT_EQ(RegSetValueExW(key, s.name, 0, s.type, s.data.data(), static_cast<DWORD>(s.data.size())),
                  ERROR_SUCCESS);
    }
    RegCloseKey(key);

    ov::reg::Hive hive = ParseFile(reg.user(), u"HKEY_CURRENT_USER");
    ov::reg::Key* stored = hive.Find(ov::reg::Fold(u"Software\\Orvantek\\Round Trip"));
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->path, u"Software\\Orvantek\\Round Trip");
    ASSERT_EQ(stored->values.size(), samples.size());
    for (const Sample& s : samples) {
        const ov::reg::Value* v = ov::reg::FindValue(*stored, s.name);
        ASSERT_NE(v, nullptr) << ov::WideToUtf8(s.name);
        EXPECT_EQ(v->name, s.name);
        EXPECT_EQ(v->type, s.type) << ov::WideToUtf8(s.name);
        EXPECT_EQ(v->data, s.data) << ov::WideToUtf8(s.name);
    }
    // A second serialisation of the parsed file is the same text.
    EXPECT_EQ(ov::reg::SerializeHive(hive, u"HKEY_CURRENT_USER"), ReadText(reg.user()));

    // Another process reads the same values through the calls.
    EXPECT_TRUE(InChild([&] {
        for (const Sample& s : samples) {
            DWORD type = 0;
            std::vector<BYTE> data;
            if (!Query(HKEY_CURRENT_USER, u"software\\orvantek\\round trip", s.name, &type, &data) || type != s.type ||
                data != s.data) {
                return false;
            }
        }
        return true;
    }));
}

TEST(Registry, QueryFollowsTheWin32Contract) {
    TempRegistry reg;
    const HKEY key = Create(HKEY_CURRENT_USER, u"Software\\Q");
    ASSERT_NE(key, nullptr);
    ASSERT_EQ(SetString(key, u"Text", u"abcdef"), ERROR_SUCCESS);

    DWORD type = 0;
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExW(key, u"Text", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 14u);
    BYTE small[4] = {0xEE, 0xEE, 0xEE, 0xEE};
    size = sizeof(small);
    EXPECT_EQ(RegQueryValueExW(key, u"Text", nullptr, &type, small, &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 14u);
    EXPECT_EQ(RegQueryValueExW(key, u"Text", nullptr, nullptr, small, nullptr), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(RegQueryValueExW(key, u"Missing", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValueW(key, u"Missing"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteValueW(key, u"TEXT"), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExW(key, u"Text", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegSetValueExW(key, u"Bad", 0, REG_BINARY, nullptr, 4), ERROR_INVALID_PARAMETER);

    // Access rights of the handle are enforced.
    HKEY readOnly = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Q", 0, KEY_READ, &readOnly), ERROR_SUCCESS);
    EXPECT_EQ(SetDword(readOnly, u"N", 1), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteValueW(readOnly, u"N"), ERROR_ACCESS_DENIED);
    HKEY writeOnly = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Q", 0, KEY_SET_VALUE, &writeOnly), ERROR_SUCCESS);
    EXPECT_EQ(SetDword(writeOnly, u"N", 1), ERROR_SUCCESS);
    EXPECT_EQ(RegQueryValueExW(writeOnly, u"N", nullptr, &type, nullptr, &size), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegCloseKey(readOnly), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(writeOnly), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);

    // Closed or unknown handles are refused, never followed.
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegQueryValueExW(key, u"Text", nullptr, &type, nullptr, &size), ERROR_INVALID_HANDLE);
    HKEY missing = reinterpret_cast<HKEY>(std::uintptr_t{1});
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Nothing", 0, KEY_READ, &missing), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(missing, nullptr);
}

TEST(Registry, NamesCompareWithoutCaseAndKeepTheirFirstCase) {
    TempRegistry reg;
    HKEY key = Create(HKEY_CURRENT_USER, u"Software\\MixedCase\\\u00c4rger");
    ASSERT_NE(key, nullptr);
    ASSERT_EQ(SetString(key, u"Language", u"de_de"), ERROR_SUCCESS);
    ASSERT_EQ(SetString(key, u"LANGUAGE", u"fr_fr"), ERROR_SUCCESS);
    RegCloseKey(key);

    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"SOFTWARE\\mixedcase\\\u00e4RGER\\Sub", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_CREATED_NEW_KEY));
    RegCloseKey(key);
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, u"software\\MIXEDCASE", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, static_cast<DWORD>(REG_OPENED_EXISTING_KEY));

    char16_t name[64];
    DWORD chars = 64;
    ASSERT_EQ(RegEnumKeyExW(key, 0, name, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(name, chars), u"\u00c4rger");
    chars = 64;
    EXPECT_EQ(RegEnumKeyExW(key, 1, name, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    chars = 3;
    EXPECT_EQ(RegEnumKeyExW(key, 0, name, &chars, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    RegCloseKey(key);

    DWORD type = 0;
    std::vector<BYTE> data;
    ASSERT_TRUE(Query(HKEY_CURRENT_USER, u"software\\MIXEDCASE\\\u00e4rger", u"language", &type, &data));
    EXPECT_EQ(data, Bytes(u"fr_fr"));
    const std::string text = ReadText(reg.user());
    EXPECT_NE(text.find("[HKEY_CURRENT_USER\\Software\\MixedCase\\\xC3\x84rger\\Sub]"), std::string::npos) << text;
    EXPECT_NE(text.find("\"Language\"=\"fr_fr\""), std::string::npos) << text;
    EXPECT_EQ(text.find("LANGUAGE"), std::string::npos) << text;
}

TEST(Registry, DeletingKeys) {
    TempRegistry reg;
    const HKEY top = Create(HKEY_CURRENT_USER, u"Software\\Del\\A\\B\\C");
    ASSERT_NE(top, nullptr);
    ASSERT_EQ(SetDword(top, u"N", 7), ERROR_SUCCESS);
    const HKEY sibling = Create(HKEY_CURRENT_USER, u"Software\\Del\\A2");
    ASSERT_NE(sibling, nullptr);
    RegCloseKey(sibling);

    HKEY del = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Del", 0, KEY_ALL_ACCESS, &del), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteKeyW(del, u"A"), ERROR_ACCESS_DENIED);  // it has subkeys
    EXPECT_EQ(RegDeleteKeyW(del, u"Missing"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, u""), ERROR_ACCESS_DENIED);
    EXPECT_EQ(RegDeleteKeyW(del, u"a\\b\\c"), ERROR_SUCCESS);
    // The open handle of a deleted key reports that, and so does a re-creation attempt below it.
    EXPECT_EQ(SetDword(top, u"N", 8), ERROR_KEY_DELETED);
    HKEY below = nullptr;
    EXPECT_EQ(RegCreateKeyExW(top, u"D", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &below, nullptr), ERROR_KEY_DELETED);
    RegCloseKey(top);

    const HKEY again = Create(HKEY_CURRENT_USER, u"Software\\Del\\A\\B\\C\\D");
    ASSERT_NE(again, nullptr);
    RegCloseKey(again);
    EXPECT_EQ(RegDeleteTreeW(del, u"A"), ERROR_SUCCESS);
    HKEY gone = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Del\\A\\B", 0, KEY_READ, &gone), ERROR_FILE_NOT_FOUND);
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"Software\\Del\\A2", 0, KEY_READ, &gone), ERROR_SUCCESS);
    RegCloseKey(gone);
    RegCloseKey(del);

    const std::string text = ReadText(reg.user());
    EXPECT_EQ(text.find("Del\\A]"), std::string::npos) << text;
    EXPECT_EQ(text.find("Del\\A\\"), std::string::npos) << text;
    EXPECT_NE(text.find("Del\\A2]"), std::string::npos) << text;
}

TEST(Registry, EnumeratesValuesAndReportsKeyInfo) {
    TempRegistry reg;
    const HKEY key = Create(HKEY_CURRENT_USER, u"Software\\Info");
    ASSERT_NE(key, nullptr);
    ASSERT_EQ(SetString(key, u"Second", u"longest text here"), ERROR_SUCCESS);
    ASSERT_EQ(SetDword(key, u"A", 1), ERROR_SUCCESS);
    RegCloseKey(Create(key, u"Child"));
    RegCloseKey(Create(key, u"LongerChild"));

    DWORD subKeys = 0, maxSub = 0, values = 0, maxName = 0, maxData = 0;
    ASSERT_EQ(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, &maxSub, nullptr, &values, &maxName, &maxData,
                               nullptr, nullptr),
              ERROR_SUCCESS);
    EXPECT_EQ(subKeys, 2u);
    EXPECT_EQ(maxSub, 11u);
    EXPECT_EQ(values, 2u);
    EXPECT_EQ(maxName, 6u);
    EXPECT_EQ(maxData, 36u);

    char16_t name[16];
    DWORD chars = 16;
    DWORD type = 0;
    ASSERT_EQ(RegEnumValueW(key, 0, name, &chars, nullptr, &type, nullptr, nullptr), ERROR_SUCCESS);
    EXPECT_EQ(std::u16string(name, chars), u"Second");  // creation order
    EXPECT_EQ(type, REG_SZ);
    chars = 16;
    EXPECT_EQ(RegEnumValueW(key, 2, name, &chars, nullptr, &type, nullptr, nullptr), ERROR_NO_MORE_ITEMS);
    RegCloseKey(key);
}

TEST(Registry, MachineRootIsReadOnlyForAnOrdinaryUser) {
    TempRegistry reg;
    const HKEY key = Create(HKEY_LOCAL_MACHINE, u"Software\\Orvantek\\mui");
    ASSERT_NE(key, nullptr);
    ASSERT_EQ(SetString(key, u"Path", u"/usr/share/orvantek/mui"), ERROR_SUCCESS);
    RegCloseKey(key);

    const auto readOnlyChecks = [] {
        HKEY k = nullptr;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"Software\\Orvantek\\mui", 0, KEY_READ | KEY_WRITE, &k) !=
                ERROR_ACCESS_DENIED ||
            k != nullptr) {
            return false;
        }
        if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"Software\\New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                            nullptr) != ERROR_ACCESS_DENIED) {
            return false;
        }
        if (SetDword(HKEY_LOCAL_MACHINE, u"Root", 1) != ERROR_ACCESS_DENIED ||
            RegDeleteTreeW(HKEY_LOCAL_MACHINE, u"Software") != ERROR_ACCESS_DENIED) {
            return false;
        }
        DWORD type = 0;
        std::vector<BYTE> data;
        return Query(HKEY_LOCAL_MACHINE, u"Software\\Orvantek\\mui", u"Path", &type, &data) &&
               data == Bytes(u"/usr/share/orvantek/mui");
    };

    // A read-only machine file: writes refused, reads served.
    ::chmod(reg.machine().c_str(), 0444);
    EXPECT_TRUE(readOnlyChecks());
    ::chmod(reg.machine().c_str(), 0644);

    if (::geteuid() != 0) {
        GTEST_SKIP() << "switching to an unprivileged user needs root";
    }
    // A user who may not write the machine folder or file.
    ::chmod(reg.dir().c_str(), 0755);
    EXPECT_TRUE(InChild(readOnlyChecks, true));
    EXPECT_NE(ReadText(reg.machine()).find("/usr/share/orvantek/mui"), std::string::npos);
}

TEST(Registry, WritableFileInAShutFolderTakesChanges) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "switching to an unprivileged user needs root";
    }
    TempRegistry reg;
    ASSERT_EQ(SetDword(HKEY_CURRENT_USER, u"Before", 1), ERROR_SUCCESS);
    ::unlink((reg.user() + ".lock").c_str());
    ASSERT_EQ(::chown(reg.user().c_str(), 65534, 65534), 0);
    ::chmod(reg.dir().c_str(), 0755);
    EXPECT_TRUE(InChild([] { return SetDword(HKEY_CURRENT_USER, u"After", 2) == ERROR_SUCCESS; }, true));
    EXPECT_NE(ReadText(reg.user()).find("\"After\"=dword:00000002"), std::string::npos);
}

TEST(Registry, ThreadsOfOneProcessLoseNothing) {
    TempRegistry reg;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            const HKEY key = Create(HKEY_CURRENT_USER, u"Software\\Threads");
            for (int i = 0; i < 50; ++i) {
                const std::u16string name = ov::Utf8ToWide("t" + std::to_string(t) + "_" + std::to_string(i));
                SetDword(key, name.c_str(), static_cast<DWORD>(i));
            }
            RegCloseKey(key);
        });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    const ov::reg::Hive hive = ParseFile(reg.user(), u"HKEY_CURRENT_USER");
    EXPECT_EQ(hive.keys.at(ov::reg::Fold(u"Software\\Threads")).values.size(), 200u);
}

TEST(Registry, ReadersSeeEveryChangeOfAnotherProcess) {
    TempRegistry reg;
    const HKEY key = Create(HKEY_CURRENT_USER, u"Software\\Seen");
    ASSERT_NE(key, nullptr);
    // Same-sized rewrites in quick succession: file time stamps cannot tell them apart.
    for (DWORD round = 0; round < 20; ++round) {
        ASSERT_EQ(SetDword(key, u"N", round * 2), ERROR_SUCCESS);
        DWORD type = 0;
        std::vector<BYTE> data;
        ASSERT_TRUE(Query(HKEY_CURRENT_USER, u"Software\\Seen", u"N", &type, &data));
        ASSERT_TRUE(InChild([key, round] { return SetDword(key, u"N", round * 2 + 1) == ERROR_SUCCESS; }));
        ASSERT_TRUE(Query(HKEY_CURRENT_USER, u"Software\\Seen", u"N", &type, &data));
        DWORD value = 0;
        std::memcpy(&value, data.data(), sizeof(value));
        EXPECT_EQ(value, round * 2 + 1);
    }
    RegCloseKey(key);
}

TEST(Registry, EightProcessesWritingAtOnceLoseNothing) {
    TempRegistry reg;
    constexpr int kProcesses = 8;
    constexpr int kValues = 200;
    std::vector<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            const HKEY key = Create(HKEY_CURRENT_USER, u"Software\\Stress");
            bool ok = key != nullptr;
            for (int i = 0; ok && i < kValues; ++i) {
                const std::u16string name = ov::Utf8ToWide("p" + std::to_string(p) + "_" + std::to_string(i));
                ok = SetDword(key, name.c_str(), static_cast<DWORD>(p * 1000 + i)) == ERROR_SUCCESS;
            }
            ::_exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ::waitpid(pid, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    for (int p = 0; p < kProcesses; ++p) {
        for (int i = 0; i < kValues; ++i) {
            const std::u16string name = ov::Utf8ToWide("p" + std::to_string(p) + "_" + std::to_string(i));
            DWORD type = 0;
            std::vector<BYTE> data;
            ASSERT_TRUE(Query(HKEY_CURRENT_USER, u"Software\\Stress", name.c_str(), &type, &data))
                << ov::WideToUtf8(name);
            DWORD value = 0;
            std::memcpy(&value, data.data(), sizeof(value));
            EXPECT_EQ(value, static_cast<DWORD>(p * 1000 + i));
        }
    }
    EXPECT_TRUE(reg.Files("user.reg.tmp-").empty());
}

TEST(Registry, WriterKilledAtRandomMomentsLeavesAReadableFile) {
    TempRegistry reg;
    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> delayUs(0, 40000);
    std::vector<BYTE> big(30000, 0x5A);
    int changes = 0;
    std::string before;
    for (int round = 0; round < 50; ++round) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            const HKEY key = Create(HKEY_CURRENT_USER, u"Software\\Killed");
            for (DWORD i = 0;; ++i) {
                if (i == 1) {
                    // Killed only once writing is under way.
                    (void)!::write(ready[1], "r", 1);
                }
                big[i % big.size()] = static_cast<BYTE>(i);
                RegSetValueExW(key, u"Big", 0, REG_BINARY, big.data(), static_cast<DWORD>(big.size() - i % 1000));
                SetDword(key, u"Counter", static_cast<DWORD>(round) * 100000 + i);
                RegCloseKey(Create(key, u"Sub"));
                RegDeleteKeyW(key, u"Sub");
            }
        }
        ::close(ready[1]);
        char byte = 0;
        ASSERT_EQ(::read(ready[0], &byte, 1), 1);
        ::close(ready[0]);
        std::this_thread::sleep_for(std::chrono::microseconds(delayUs(random)));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);

        const std::string text = ReadText(reg.user());
        changes += text != before ? 1 : 0;
        before = text;
        if (!text.empty()) {
            ov::reg::Hive hive;
            std::string error;
            ASSERT_TRUE(ov::reg::ParseHive(text, u"HKEY_CURRENT_USER", hive, error))
                << "round " << round << ": " << error;
        }
    }
    EXPECT_GT(changes, 25);  // the kills did land among writes
    EXPECT_TRUE(reg.Files("user.reg.damaged").empty());
    // The survivor still takes changes, and the temporary files of the dead go.
    const HKEY key = Create(HKEY_CURRENT_USER, u"Software\\Killed");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(SetDword(key, u"After", 1), ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_TRUE(reg.Files("user.reg.tmp-").empty());
}

TEST(Registry, DamagedFileIsKeptAsideAndReportedOnce) {
    TempRegistry reg;
    const std::string damaged =
        "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A]\n"
        "\"x\"=dword:zz\n";
    WriteText(reg.user(), damaged);

    testing::internal::CaptureStderr();
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"A", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, u"A", 0, KEY_READ, &key), ERROR_FILE_NOT_FOUND);
    key = Create(HKEY_CURRENT_USER, u"B");
    ASSERT_NE(key, nullptr);
    ASSERT_EQ(SetDword(key, u"y", 2), ERROR_SUCCESS);
    RegCloseKey(key);
    const std::string err = testing::internal::GetCapturedStderr();

    const std::vector<std::string> aside = reg.Files("user.reg.damaged-");
    ASSERT_EQ(aside.size(), 1u);
    EXPECT_EQ(ReadText(reg.dir() + "/" + aside[0]), damaged);
    EXPECT_NE(err.find("line 4"), std::string::npos) << err;
    EXPECT_NE(err.find(aside[0]), std::string::npos) << err;
    EXPECT_EQ(err.find("registry:"), err.rfind("registry:")) << err;  // once
    EXPECT_NE(ReadText(reg.user()).find("\"y\"=dword:00000002"), std::string::npos);
}

TEST(Registry, DamagedMachineFileThatCannotMoveIsNeverOverwritten) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to switch users";
    }
    TempRegistry reg;
    const std::string damaged = "garbage\n";
    WriteText(reg.machine(), damaged);
    ::chmod(reg.machine().c_str(), 0644);
    ::chmod(reg.dir().c_str(), 0755);
    EXPECT_TRUE(InChild(
        [] {
            HKEY key = nullptr;
            return RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"A", 0, KEY_READ, &key) == ERROR_FILE_NOT_FOUND &&
                   SetDword(HKEY_LOCAL_MACHINE, u"x", 1) == ERROR_ACCESS_DENIED;
        },
        true));
    EXPECT_EQ(ReadText(reg.machine()), damaged);
}

TEST(RegistryFormat, DamagedTextsAreRejected) {
    const std::string header = "Windows Registry Editor Version 5.00\n";
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"no header", "[HKEY_CURRENT_USER\\A]\n"},
        {"value before key", header + "\"a\"=\"b\"\n"},
        {"other root", header + "[HKEY_LOCAL_MACHINE\\A]\n"},
        {"root prefix only", header + "[HKEY_CURRENT_USERX\\A]\n"},
        {"unclosed key", header + "[HKEY_CURRENT_USER\\A\n"},
        {"empty component", header + "[HKEY_CURRENT_USER\\A\\\\B]\n"},
        {"deletion entry", header + "[-HKEY_CURRENT_USER\\A]\n"},
        {"unterminated name", header + "[HKEY_CURRENT_USER\\A]\n\"a=\"b\"\n"},
        {"unterminated string", header + "[HKEY_CURRENT_USER\\A]\n\"a\"=\"b\n"},
        {"trailing text", header + "[HKEY_CURRENT_USER\\A]\n\"a\"=\"b\"x\n"},
        {"bad escape", header + "[HKEY_CURRENT_USER\\A]\n\"a\"=\"\\q\"\n"},
        {"short unicode escape", header + "[HKEY_CURRENT_USER\\A]\n\"a\"=\"\\u12\"\n"},
        {"bad dword", header + "[HKEY_CURRENT_USER\\A]\n\"a\"=dword:123456789\n"},
        {"bad hex", header + "[HKEY_CURRENT_USER\\A]\n\"a\"=hex:0g\n"},
        {"dangling comma", header + "[HKEY_CURRENT_USER\\A]\n\"a\"=hex:01,\n"},
        {"bad hex type", header + "[HKEY_CURRENT_USER\\A]\n\"a\"=hex(x):01\n"},
        {"cut continuation", header + "[HKEY_CURRENT_USER\\A]\n\"a\"=hex:01,\\\n"},
        {"deleted value", header + "[HKEY_CURRENT_USER\\A]\n\"a\"=-\n"},
        {"stray text", header + "[HKEY_CURRENT_USER\\A]\nabc\n"},
        {"not UTF-8", header + "[HKEY_CURRENT_USER\\A\xff]\n"},
    };
    for (const auto& [what, text] : cases) {
        ov::reg::Hive hive;
        std::string error;
        EXPECT_FALSE(ov::reg::ParseHive(text, u"HKEY_CURRENT_USER", hive, error)) << what;
        EXPECT_FALSE(error.empty()) << what;
    }
}

TEST(RegistryFormat, AcceptsHandWrittenExports) {
    const std::string text =
        "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n"
        "; comment\r\n"
        "[hkey_current_user\\Software\\X]\r\n"
        "@=\"def\"\r\n"
        "\"Bin\"=hex:01,02,\\\r\n"
        "  03\r\n"
        "\"N\"=dword:0000000A\r\n"
        "\"n\"=dword:b\r\n"
        "\"E\"=hex(2):41,00,00,00\r\n";
    ov::reg::Hive hive;
    std::string error;
    ASSERT_TRUE(ov::reg::ParseHive(text, u"HKEY_CURRENT_USER", hive, error)) << error;
    ASSERT_NE(hive.Find(u"software"), nullptr);  // parents exist
    ov::reg::Key* key = hive.Find(u"software\\x");
    ASSERT_NE(key, nullptr);
    ASSERT_EQ(key->values.size(), 4u);
    EXPECT_EQ(ov::reg::FindValue(*key, u"")->data, Bytes(u"def"));
    EXPECT_EQ(ov::reg::FindValue(*key, u"bin")->data, (std::vector<BYTE>{1, 2, 3}));
    EXPECT_EQ(ov::reg::FindValue(*key, u"N")->data, (std::vector<BYTE>{0x0b, 0, 0, 0}));
    EXPECT_EQ(ov::reg::FindValue(*key, u"E")->type, REG_EXPAND_SZ);
    EXPECT_TRUE(ov::reg::ParseHive("", u"HKEY_CURRENT_USER", hive, error));
    EXPECT_TRUE(ov::reg::ParseHive("\n\n", u"HKEY_CURRENT_USER", hive, error));
}
