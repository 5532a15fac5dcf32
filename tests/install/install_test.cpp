// The installed program: cmake --install into a temporary DESTDIR once for
// the whole suite, then the layout, the RUNPATH of every binary, a console
// run from the installed folder, the installer modes and the package's
// maintainer scripts against that folder, and the desktop files.
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "PingServices.h"

namespace {

namespace fs = std::filesystem;

struct Shell {
    int status = -1;  // exit status, -1 when the command did not end normally
    std::string out;  // standard output and error
};

std::string Quote(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// Runs command through /bin/sh with its error output folded into its output.
Shell Sh(const std::string& command) {
    Shell result;
    FILE* pipe = ::popen((command + " 2>&1 </dev/null").c_str(), "r");
    if (pipe == nullptr) {
        return result;
    }
    std::array<char, 4096> buffer{};
    size_t n = 0;
    while ((n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        result.out.append(buffer.data(), n);
    }
    const int raw = ::pclose(pipe);
    result.status = raw != -1 && WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return result;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// Width and height from a PNG file's header chunk; 0 when it is no PNG.
std::pair<unsigned, unsigned> PngSize(const fs::path& path) {
    const std::string data = ReadFile(path);
    if (data.size() < 24 || data.compare(0, 8, "\x89PNG\r\n\x1a\n") != 0 || data.compare(12, 4, "IHDR") != 0) {
        return {0, 0};
    }
    auto be32 = [&](size_t at) {
        unsigned v = 0;
        for (size_t i = 0; i < 4; ++i) {
            v = (v << 8) | static_cast<unsigned char>(data[at + i]);
        }
        return v;
    };
    return {be32(16), be32(20)};
}

// The language folders of the source tree: every mui/<code>/ but the tools.
std::vector<fs::path> LanguageFolders() {
    std::vector<fs::path> folders;
    for (const auto& entry : fs::directory_iterator(fs::path(OV_SOURCE_DIR) / "mui")) {
        if (entry.is_directory() && entry.path().filename() != "tools") {
            folders.push_back(entry.path());
        }
    }
    return folders;
}

class InstallTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        std::string pattern = (fs::temp_directory_path() / "ov-install-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        s_root = pattern;
        s_install = Sh("DESTDIR=" + Quote((s_root / "root").string()) + " " + Quote(OV_CMAKE_COMMAND) + " --install " +
                       Quote(OV_BUILD_DIR));
    }
    static void TearDownTestSuite() {
        std::error_code ec;
        fs::remove_all(s_root, ec);
    }
    void SetUp() override { ASSERT_EQ(s_install.status, 0) << s_install.out; }

    static fs::path Root() { return s_root / "root"; }
    static fs::path Prefix() { return Root() / fs::path(OV_INSTALL_PREFIX).relative_path(); }
    static fs::path System() { return Root() / fs::path(OV_SYSTEM_PREFIX).relative_path(); }
    static std::string Program() { return (Prefix() / "tapper").string(); }

    static fs::path s_root;
    static Shell s_install;
};

fs::path InstallTest::s_root;
Shell InstallTest::s_install;

TEST_F(InstallTest, ProgramLibrariesAndDataShareOneFolder) {
    for (const char* name : {"tapper", "libovmui.so", "libovmfcstd.so", "libovcoder.so", "libovplatform.so", "OUI.dat",
                             "EtherProto.dat"}) {
        const fs::path file = Prefix() / name;
        EXPECT_TRUE(fs::is_regular_file(file)) << file;
        EXPECT_GT(fs::exists(file) ? fs::file_size(file) : 0, 0u) << file;
    }
    EXPECT_EQ(::access(Program().c_str(), X_OK), 0);
    // The data tables are the ones the build generated, unchanged.
    EXPECT_EQ(ReadFile(Prefix() / "EtherProto.dat"), ReadFile(fs::path(OV_BUILD_DIR) / "bin" / "EtherProto.dat"));
}

TEST_F(InstallTest, EveryLanguageOfTheSourceTreeHasItsModuleHelpAndPage) {
    const std::vector<fs::path> languages = LanguageFolders();
    ASSERT_FALSE(languages.empty());
    for (const fs::path& source : languages) {
        const fs::path code = source.filename();
        const fs::path installed = Prefix() / "mui" / code;
        if (fs::exists(source / "OvPingRes.xml")) {
            EXPECT_TRUE(fs::is_regular_file(installed / "OvPingRes.so")) << code;
        }
        for (const char* book : {"help", "Website"}) {
            if (!fs::is_directory(source / book)) {
                continue;
            }
            for (const auto& entry : fs::recursive_directory_iterator(source / book)) {
                if (entry.is_regular_file()) {
                    const fs::path rel = fs::relative(entry.path(), source);
                    EXPECT_EQ(ReadFile(installed / rel), ReadFile(entry.path())) << code / rel;
                }
            }
        }
    }
}

TEST_F(InstallTest, BinariesFindTheirLibrariesBesideThemselves) {
    std::vector<fs::path> binaries = {Prefix() / "tapper"};
    for (const auto& entry : fs::directory_iterator(Prefix())) {
        if (entry.path().extension() == ".so") {
            binaries.push_back(entry.path());
        }
    }
    ASSERT_GE(binaries.size(), 5u);
    const std::regex runpath(R"(\((RUNPATH|RPATH)\)\s+Library (runpath|rpath): \[([^\]]*)\])");
    for (const fs::path& binary : binaries) {
        const Shell elf = Sh("readelf -d " + Quote(binary.string()));
        ASSERT_EQ(elf.status, 0) << elf.out;
        std::smatch m;
        ASSERT_TRUE(std::regex_search(elf.out, m, runpath)) << binary << "\n" << elf.out;
        EXPECT_EQ(m[1], "RUNPATH") << binary;
        EXPECT_EQ(m[3], "$ORIGIN") << binary;
    }
    // Every library the program needs resolves, our own ones to the installed copies.
    const Shell ldd = Sh("ldd " + Quote(Program()));
    ASSERT_EQ(ldd.status, 0) << ldd.out;
    EXPECT_FALSE(Contains(ldd.out, "not found")) << ldd.out;
    EXPECT_TRUE(Contains(ldd.out, (Prefix() / "libovmui.so").string())) << ldd.out;
    EXPECT_FALSE(Contains(ldd.out, OV_BUILD_DIR)) << ldd.out;
}

TEST_F(InstallTest, InstalledProgramPingsLoopbackFromItsFolder) {
    const std::string env = "OV_REGISTRY_DIR=" + Quote((s_root / "console-reg").string()) + " ";
    const Shell help = Sh(env + Quote(Program()) + " --console --help");
    EXPECT_EQ(help.status, 0) << help.out;
    if (!BindPingServices()) {
        GTEST_SKIP() << "no ICMP provider can be opened here (datagram sockets not allowed by "
                        "ping_group_range and no raw-socket privilege)";
    }
    UnbindPingServices();
    const Shell run = Sh(env + "timeout 60 " + Quote(Program()) + " --console --count=2 -d200 127.0.0.1");
    EXPECT_EQ(run.status, 0) << run.out;
    const std::regex reply(R"(Reply form 127\.0\.0\.1: bytes = \d+ time)");
    const auto replies =
        std::distance(std::sregex_iterator(run.out.begin(), run.out.end(), reply), std::sregex_iterator());
    EXPECT_EQ(replies, 2) << run.out;
    EXPECT_TRUE(Contains(run.out, "Packets Sent:2")) << run.out;
}

TEST_F(InstallTest, DesktopEntryIconsMetainfoAndLauncher) {
    const std::string id = OV_APP_ID;
    const fs::path desktop = System() / "share/applications" / (id + ".desktop");
    const Shell entry = Sh("desktop-file-validate " + Quote(desktop.string()));
    EXPECT_EQ(entry.status, 0) << entry.out;
    EXPECT_TRUE(entry.out.empty()) << entry.out;  // no warnings either
    const std::string text = ReadFile(desktop);
    EXPECT_TRUE(Contains(text, "\nCategories=Network;Monitor;\n")) << text;
    EXPECT_TRUE(Contains(text, "\nExec=tapper %U\n")) << text;
    EXPECT_TRUE(Contains(text, "\nIcon=" + id + "\n")) << text;

    const fs::path metainfo = System() / "share/metainfo" / (id + ".metainfo.xml");
    const Shell meta = Sh("appstreamcli validate --no-net " + Quote(metainfo.string()));
    EXPECT_EQ(meta.status, 0) << meta.out;
    const std::string info = ReadFile(metainfo);
    EXPECT_TRUE(Contains(info, "<launchable type=\"desktop-id\">" + id + ".desktop</launchable>"));
    EXPECT_FALSE(Contains(info, "@")) << "a placeholder was left unreplaced";

    const fs::path icons = System() / "share/icons/hicolor";
    EXPECT_EQ(ReadFile(icons / "scalable/apps" / (id + ".svg")),
              ReadFile(fs::path(OV_SOURCE_DIR) / "packaging" / (id + ".svg")));
    for (const unsigned size : {16u, 22u, 24u, 32u, 48u, 64u, 128u, 256u}) {
        const std::string dim = std::to_string(size) + "x" + std::to_string(size);
        const auto [w, h] = PngSize(icons / dim / "apps" / (id + ".png"));
        EXPECT_EQ(w, size) << dim;
        EXPECT_EQ(h, size) << dim;
    }

    EXPECT_EQ(ReadFile(System() / "share/doc/tapper/copyright"), ReadFile(fs::path(OV_SOURCE_DIR) / "LICENSE"));
    EXPECT_GT(fs::file_size(System() / "share/man/man1/tapper.1.gz"), 0u);

    const fs::path launcher = System() / "bin" / "tapper";
    ASSERT_TRUE(fs::is_symlink(launcher)) << launcher;
    EXPECT_EQ(fs::read_symlink(launcher), fs::path(OV_INSTALL_PREFIX) / "tapper");
}

TEST_F(InstallTest, TheProbeServiceComesDisabledWithItsHostsAndOptions) {
    const std::string unit = ReadFile(System() / "lib/systemd/system/tapper-probe.service");
    EXPECT_NE(unit.find("\nExecStart=" + std::string(OV_INSTALL_PREFIX) +
                        "/tapper --console --quiet --metrics --hosts-file=/etc/tapper/hosts "
                        "$TAPPER_PROBE_OPTIONS\n"),
              std::string::npos)
        << unit;
    EXPECT_NE(unit.find("\nDynamicUser=yes\n"), std::string::npos);
    EXPECT_NE(unit.find("\nEnvironmentFile=-/etc/default/tapper-probe\n"), std::string::npos);
    EXPECT_NE(unit.find("\nExecReload=/bin/kill -HUP $MAINPID\n"), std::string::npos);
    EXPECT_NE(unit.find("\nCapabilityBoundingSet=\n"), std::string::npos) << "no privilege at all";
    EXPECT_FALSE(fs::exists(Root() / "etc/systemd/system/multi-user.target.wants/tapper-probe.service"));

    const std::string options = ReadFile(Root() / "etc/default/tapper-probe");
    EXPECT_NE(options.find("\nTAPPER_PROBE_OPTIONS=\"--metrics=127.0.0.1:9374 "), std::string::npos);
    // The hosts file as shipped is a host list the program takes.
    if (!BindPingServices()) {
        GTEST_SKIP() << "no ICMP provider can be opened here";
    }
    UnbindPingServices();
    const Shell check =
        Sh("OV_REGISTRY_DIR=" + Quote((s_root / "probe-reg").string()) + " timeout 60 " + Quote(Program()) +
           " --console --count=1 -d100 --hosts-file=" + Quote((Root() / "etc/tapper/hosts").string()));
    EXPECT_EQ(check.status, 0) << check.out;
    EXPECT_NE(check.out.find("127.0.0.1"), std::string::npos) << check.out;
}

// The companion analyzer's tool entry of the program and the registry
// files of a registration folder.
constexpr char kToolGuid[] = "{7A3C9E51-4B2D-4F86-9C1E-5D0B8A6F2E47}";
constexpr char kAppPathKey[] = "App Paths\\tapper]";

// The text of a hex(1) value (UTF-16 without its closing NUL, as the tool
// entry stores it) in a registry file; ASCII characters only.
std::string HexTextValue(const std::string& file, const std::string& name) {
    const std::string start = "\"" + name + "\"=hex(1):";
    size_t at = file.find(start);
    if (at == std::string::npos) {
        return {};
    }
    std::string bytes;
    for (at += start.size(); at < file.size() && file[at] != '\n'; ++at) {
        if (file[at] == '\\') {  // continued on the next line
            at = file.find_first_not_of(" ", file.find('\n', at) + 1) - 1;
        } else if (std::isxdigit(static_cast<unsigned char>(file[at]))) {
            bytes += file[at];
        }
    }
    std::string text;
    for (size_t i = 0; i + 4 <= bytes.size(); i += 4) {
        text += static_cast<char>(std::stoi(bytes.substr(i, 2), nullptr, 16));
    }
    return text;
}

void WriteFile(const fs::path& path, const std::string& text) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

TEST_F(InstallTest, InstallerModesOfTheInstalledProgram) {
    const fs::path reg = s_root / "modes-reg";
    const std::string env = "OV_REGISTRY_DIR=" + Quote(reg.string()) +
                            " HOME=" + Quote((s_root / "modes-home").string()) +
                            " XDG_DATA_HOME=" + Quote((s_root / "modes-home").string()) + " ";
    const Shell reg1 = Sh(env + "timeout 120 " + Quote(Program()) + " /Register /lan ZH_CN /regtool /autocheckupdate");
    ASSERT_EQ(reg1.status, 0) << reg1.out;
    std::string user = ReadFile(reg / "user.reg");
    std::string machine = ReadFile(reg / "machine.reg");
    EXPECT_TRUE(Contains(user, "\"Language\"=\"zh_cn\"")) << user;
    EXPECT_TRUE(Contains(user, kToolGuid)) << user;
    EXPECT_EQ(HexTextValue(user, "Command"), Program()) << user;
    EXPECT_TRUE(Contains(machine, kAppPathKey)) << machine;
    EXPECT_TRUE(fs::is_regular_file(Prefix() / "Tapper.ini"));

    const Shell unreg = Sh(env + "timeout 120 " + Quote(Program()) + " /Unregister /unregtool");
    ASSERT_EQ(unreg.status, 0) << unreg.out;
    user = ReadFile(reg / "user.reg");
    machine = ReadFile(reg / "machine.reg");
    EXPECT_FALSE(Contains(user, "zh_cn")) << user;
    EXPECT_FALSE(Contains(user, kToolGuid)) << user;
    EXPECT_FALSE(Contains(machine, kAppPathKey)) << machine;
    fs::remove(Prefix() / "Tapper.ini");
}

// The package's maintainer scripts run against the installed tree as dpkg
// runs them for another root (DPKG_ROOT), with the registry files in that
// root's /etc/orvantek.
class MaintainerScripts : public InstallTest {
protected:
    Shell Script(const std::string& name, const std::string& action) const {
        const std::string env =
            "DPKG_ROOT=" + Quote(Root().string()) + " OV_REGISTRY_DIR=" + Quote(Etc().string()) + " ";
        return Sh(env + "sh " + Quote((fs::path(OV_DEB_SCRIPTS_DIR) / name).string()) + " " + action);
    }
    static fs::path Etc() { return Root() / "etc/orvantek"; }
    static fs::path State() { return Root() / "var/lib/tapper"; }
    static void SetLocale(const std::string& lang) {
        WriteFile(Root() / "etc/default/locale", "#  File generated by update-locale\nLANG=\"" + lang + "\"\n");
    }
};

TEST_F(MaintainerScripts, RegisterInTheLocaleLanguageAndLeaveNothingBehind) {
    SetLocale("de_DE.UTF-8");
    const Shell inst = Script("postinst", "configure");
    ASSERT_EQ(inst.status, 0) << inst.out;
    EXPECT_TRUE(Contains(ReadFile(Etc() / "user.reg"), "\"Language\"=\"de_de\""));
    EXPECT_TRUE(Contains(ReadFile(Etc() / "user.reg"), kToolGuid));
    EXPECT_TRUE(fs::is_regular_file(Prefix() / "Tapper.ini"));
    ASSERT_TRUE(fs::is_directory(State()));
    EXPECT_EQ(fs::status(State()).permissions(), fs::perms::owner_all);

    const Shell pre = Script("prerm", "remove");
    ASSERT_EQ(pre.status, 0) << pre.out;
    EXPECT_FALSE(fs::exists(Prefix() / "Tapper.ini"));
    EXPECT_FALSE(Contains(ReadFile(Etc() / "user.reg"), "de_de"));
    EXPECT_FALSE(Contains(ReadFile(Etc() / "user.reg"), kToolGuid));
    EXPECT_FALSE(Contains(ReadFile(Etc() / "machine.reg"), kAppPathKey));

    // A value of another program keeps the machine-wide file, also on purge.
    const std::string ours = ReadFile(Etc() / "machine.reg");
    WriteFile(Etc() / "machine.reg",
              ours + "\n[HKEY_LOCAL_MACHINE\\Software\\Orvantek\\Harbor]\n\"Path\"=\"/opt/x\"\n");
    ASSERT_EQ(Script("postrm", "purge").status, 0);
    EXPECT_TRUE(fs::exists(Etc() / "machine.reg"));
    EXPECT_FALSE(fs::exists(State()));

    // What the registration left alone goes with the package.
    WriteFile(Etc() / "machine.reg", ours);
    const Shell post = Script("postrm", "remove");
    ASSERT_EQ(post.status, 0) << post.out;
    EXPECT_FALSE(fs::exists(Etc() / "machine.reg")) << ours;
    EXPECT_FALSE(fs::exists(Etc() / "machine.reg.lock"));
    fs::remove_all(Etc());
}

TEST_F(MaintainerScripts, LocaleWithoutModuleRegistersEnglish) {
    SetLocale("fr_FR.UTF-8");
    ASSERT_EQ(Script("postinst", "configure").status, 0);
    EXPECT_TRUE(Contains(ReadFile(Etc() / "user.reg"), "\"Language\"=\"en_us\""));
    EXPECT_TRUE(Contains(ReadFile(Etc() / "machine.reg"), kAppPathKey));
    // A purge after a removal that could not unregister still takes the
    // registration's machine-wide keys away.
    ASSERT_EQ(Script("postrm", "purge").status, 0);
    EXPECT_FALSE(fs::exists(Etc() / "machine.reg"));
    EXPECT_FALSE(fs::exists(State()));
    fs::remove(Prefix() / "Tapper.ini");
    fs::remove_all(Etc());
}

TEST_F(MaintainerScripts, FailedRegistrationNeverFailsThePackage) {
    // Another root without the program: every script says so and succeeds.
    const fs::path empty = s_root / "empty-root";
    fs::create_directories(empty);
    for (const auto& [name, action] : {std::pair{"postinst", "configure"}, {"prerm", "remove"}, {"postrm", "purge"}}) {
        const Shell run =
            Sh("DPKG_ROOT=" + Quote(empty.string()) + " OV_REGISTRY_DIR=" + Quote((empty / "reg").string()) + " sh " +
               Quote((fs::path(OV_DEB_SCRIPTS_DIR) / name).string()) + " " + action);
        EXPECT_EQ(run.status, 0) << name << "\n" << run.out;
    }
    EXPECT_FALSE(fs::exists(empty / "var/lib/tapper"));
}

}  // namespace
