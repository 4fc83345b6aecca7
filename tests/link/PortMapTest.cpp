#include "link/PortMap.h"

#include "support/TempFolder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace fs = std::filesystem;

namespace {

void touch(const fs::path& path) {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << "";
}

// A temporary home and Wine prefix standing in for the user's.
struct PortMapTest : ::testing::Test {
    fs::path userMap(int n) const {
        return home.path() / ".config" / "r550tool" / "ports" / ("com" + std::to_string(n));
    }
    fs::path defaultWine(int n) const {
        return home.path() / ".wine" / "dosdevices" / ("com" + std::to_string(n));
    }
    fs::path prefixWine(int n) const {
        return wine.path() / "dosdevices" / ("com" + std::to_string(n));
    }

    TempFolder home;
    TempFolder wine;
    TempFolder ports;
};

// Sets an environment variable for one test and puts the old value back.
class ScopedEnvironment {
public:
    ScopedEnvironment(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) {
            old_ = old;
        }
        if (value != nullptr) {
            ::setenv(name, value, 1);
        } else {
            ::unsetenv(name);
        }
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
    ~ScopedEnvironment() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

} // namespace

TEST_F(PortMapTest, PortsFolderIsTheOnlyPlaceLookedAt) {
    touch(userMap(2));
    touch(defaultWine(2));
    const PortMap map(ports.path().string(), home.path().string(), std::nullopt);
    // Named whether it exists or not, so that the open, not the map, reports it missing.
    EXPECT_EQ(map.resolve(2), ports.path() / "com2");
    EXPECT_EQ(map.candidates(2), std::vector<fs::path>{ports.path() / "com2"});
    EXPECT_EQ(map.resolve(255), ports.path() / "com255");
}

TEST_F(PortMapTest, NumbersOutsideTheRangeResolveToNothing) {
    const PortMap folder(ports.path().string(), std::nullopt, std::nullopt);
    const PortMap system(std::nullopt, home.path().string(), wine.path().string());
    for (const int n : {0, -1, 256, 1000}) {
        EXPECT_FALSE(folder.resolve(n)) << n;
        EXPECT_FALSE(system.resolve(n)) << n;
        EXPECT_TRUE(system.candidates(n).empty()) << n;
    }
}

TEST_F(PortMapTest, FirstExistingPlaceWins) {
    const fs::path system = ports.path() / "system";
    const PortMap map(std::nullopt, home.path().string(), std::nullopt, system);
    EXPECT_EQ(map.candidates(3), (std::vector<fs::path>{userMap(3), system / "com3", defaultWine(3),
                                                        fs::path("/dev/ttyS2")}));

    touch(defaultWine(3));
    EXPECT_EQ(map.resolve(3), defaultWine(3));
    touch(system / "com3");
    EXPECT_EQ(map.resolve(3), system / "com3");
    touch(userMap(3));
    EXPECT_EQ(map.resolve(3), userMap(3));
    // Other numbers are looked up on their own.
    EXPECT_EQ(map.resolve(200), std::nullopt); // /dev/ttyS199 does not exist either
}

TEST_F(PortMapTest, WinePrefixReplacesTheDefaultWineFolder) {
    touch(defaultWine(1));
    const PortMap map(std::nullopt, home.path().string(), wine.path().string());
    EXPECT_EQ(map.candidates(1),
              (std::vector<fs::path>{userMap(1), fs::path("/etc/r550tool/ports/com1"),
                                     prefixWine(1), fs::path("/dev/ttyS0")}));
    touch(prefixWine(1));
    EXPECT_EQ(map.resolve(1), prefixWine(1));
}

TEST_F(PortMapTest, MapEntryToAnUnpluggedDeviceStillDecides) {
    fs::create_directories(userMap(4).parent_path());
    fs::create_symlink(home.path() / "no-such-adapter", userMap(4));
    touch(defaultWine(4));
    const PortMap map(std::nullopt, home.path().string(), std::nullopt);
    EXPECT_EQ(map.resolve(4), userMap(4));
}

TEST_F(PortMapTest, EmptyValuesCountAsUnset) {
    touch(defaultWine(5));
    const PortMap map(std::string(), home.path().string(), std::string());
    EXPECT_EQ(map.resolve(5), defaultWine(5));

    const PortMap noHome(std::nullopt, std::string(), std::nullopt);
    EXPECT_EQ(noHome.candidates(5), (std::vector<fs::path>{fs::path("/etc/r550tool/ports/com5"),
                                                           fs::path("/dev/ttyS4")}));
}

TEST_F(PortMapTest, EnvironmentNamesTheFolders) {
    touch(prefixWine(6));
    {
        const ScopedEnvironment portsDir("R550_PORTS_DIR", ports.path().c_str());
        EXPECT_EQ(PortMap::fromEnvironment().resolve(6), ports.path() / "com6");
    }
    const ScopedEnvironment portsDir("R550_PORTS_DIR", nullptr);
    const ScopedEnvironment homeDir("HOME", home.path().c_str());
    const ScopedEnvironment prefix("WINEPREFIX", wine.path().c_str());
    EXPECT_EQ(PortMap::fromEnvironment().resolve(6), prefixWine(6));
    touch(userMap(6));
    EXPECT_EQ(PortMap::fromEnvironment().resolve(6), userMap(6));
}
