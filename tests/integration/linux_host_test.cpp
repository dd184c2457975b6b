#include "platform/linux/linux_host.h"
#include "tools/local_time_text.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>

namespace twk {
namespace {

namespace fs = std::filesystem;

/// A scratch folder standing in for /etc, removed afterwards.
class FakeEtc {
public:
    FakeEtc()
    {
        std::string pattern = (fs::temp_directory_path() / "twk-etc-XXXXXX").string();
        dir_ = mkdtemp(pattern.data());
    }
    ~FakeEtc() { fs::remove_all(dir_); }
    void write(const std::string& name, const std::string& text) const { std::ofstream(dir_ / name) << text; }
    void link(const std::string& name, const std::string& target) const { fs::create_symlink(target, dir_ / name); }
    std::string path() const { return dir_.string(); }

private:
    fs::path dir_;
};

/// Sets (or with nullptr removes) TZ for one test and puts it back after.
class ScopedTz {
public:
    explicit ScopedTz(const char* value)
    {
        if (const char* old = std::getenv("TZ")) old_ = old;
        value ? setenv("TZ", value, 1) : unsetenv("TZ");
    }
    ~ScopedTz() { old_ ? setenv("TZ", old_->c_str(), 1) : unsetenv("TZ"); }

private:
    std::optional<std::string> old_;
};

std::string kernelHostName()
{
    char name[256] = {};
    gethostname(name, sizeof name - 1);
    return name;
}

TEST(LinuxHost, TheFullNameIsTheFirstGecosField)
{
    EXPECT_EQ(fullNameFromGecos("Ada Lovelace,Room 1,555-0100,,"), "Ada Lovelace");
    EXPECT_EQ(fullNameFromGecos(" Ren\u00e9 M\u00fcller "), "Ren\u00e9 M\u00fcller");
    EXPECT_EQ(fullNameFromGecos(",,,"), "");
    EXPECT_EQ(fullNameFromGecos(""), "");
    EXPECT_FALSE(LinuxHost().shortUserName().empty());
}

TEST(LinuxHost, ThePrettyNameWinsOverTheHostName)
{
    FakeEtc etc;
    LinuxHost host(etc.path());
    EXPECT_EQ(host.displayName(), kernelHostName()) << "no machine-info";

    etc.write("machine-info", "CHASSIS=laptop\nPRETTY_HOSTNAME=\"Ada's \\\"Work\\\" Laptop\"\nICON_NAME=computer\n");
    EXPECT_EQ(host.displayName(), "Ada's \"Work\" Laptop");
    etc.write("machine-info", "PRETTY_HOSTNAME=Studio\n");
    EXPECT_EQ(host.displayName(), "Studio");
    etc.write("machine-info", "PRETTY_HOSTNAME='R\u00e9sum\u00e9 box'\n");
    EXPECT_EQ(host.displayName(), "R\u00e9sum\u00e9 box");
    etc.write("machine-info", "PRETTY_HOSTNAME=\n");
    EXPECT_EQ(host.displayName(), kernelHostName());
}

TEST(LinuxHost, TzNamesTheZoneWhenSet)
{
    LinuxHost host;
    {
        ScopedTz tz(":Europe/Berlin");
        EXPECT_EQ(host.timeZoneIdentifier(), "Europe/Berlin");
    }
    {
        ScopedTz tz("/usr/share/zoneinfo/Asia/Tokyo");
        EXPECT_EQ(host.timeZoneIdentifier(), "Asia/Tokyo");
    }
    ScopedTz tz("");
    EXPECT_EQ(host.timeZoneIdentifier(), "UTC");
}

TEST(LinuxHost, WithoutTzTheLocaltimeLinkNamesTheZone)
{
    ScopedTz tz(nullptr);
    FakeEtc etc;
    LinuxHost host(etc.path());
    EXPECT_EQ(host.timeZoneIdentifier(), "UTC") << "nothing configured";

    etc.write("timezone", "Europe/Lisbon\n");
    EXPECT_EQ(host.timeZoneIdentifier(), "Europe/Lisbon");
    // The link is what the C library follows; a stale timezone file loses.
    etc.link("localtime", "../usr/share/zoneinfo/posix/America/New_York");
    EXPECT_EQ(host.timeZoneIdentifier(), "America/New_York");

    FakeEtc copied;
    copied.write("localtime", "TZif");
    EXPECT_EQ(LinuxHost(copied.path()).timeZoneIdentifier(), "Etc/Unknown");
}

TEST(LinuxHost, LocalTimeFollowsTheZoneInEffect)
{
    LinuxHost host;
    ScopedTz tz("Asia/Tokyo");
    const std::time_t before = std::time(nullptr);
    const LocalTime t = host.localTime();
    EXPECT_EQ(t.utcOffsetSeconds, 9 * 3600);
    EXPECT_EQ(t.zoneAbbreviation, "JST");
    std::tm utc{};
    const std::time_t tokyo = before + 9 * 3600;
    gmtime_r(&tokyo, &utc);
    EXPECT_EQ(t.day, utc.tm_mday);
    EXPECT_EQ(t.weekday, utc.tm_wday);
    EXPECT_EQ(t.hour, utc.tm_hour);

    ScopedTz dubai("Asia/Dubai"); // a zone tzdata names only by its offset
    const LocalTime d = host.localTime();
    EXPECT_EQ(d.utcOffsetSeconds, 4 * 3600);
    EXPECT_TRUE(clockTimeText(d).ends_with(" GMT+4")) << clockTimeText(d);
}

TEST(LinuxHost, TheMusicFolderIsTheUsersXdgMusicDirectory)
{
    // Each test desktop has its own HOME and config home.
    const std::string home = std::getenv("HOME");
    const std::filesystem::path dirs = std::filesystem::path(std::getenv("XDG_CONFIG_HOME")) / "user-dirs.dirs";
    LinuxHost host;
    EXPECT_EQ(host.musicFolder(), home + "/Music");

    std::ofstream(dirs) << "# written by xdg-user-dirs-update\nXDG_DESKTOP_DIR=\"$HOME/Desktop\"\n"
                           "XDG_MUSIC_DIR=\"$HOME/Musik und Hörbücher\"\n";
    EXPECT_EQ(host.musicFolder(), home + "/Musik und Hörbücher");

    std::ofstream(dirs) << "XDG_MUSIC_DIR=\"/srv/music/\"\n";
    EXPECT_EQ(host.musicFolder(), "/srv/music");

    // Pointing it at the home is how the folder is turned off.
    std::ofstream(dirs) << "XDG_MUSIC_DIR=\"$HOME/\"\n";
    EXPECT_EQ(host.musicFolder(), std::nullopt);
}

} // namespace
} // namespace twk
