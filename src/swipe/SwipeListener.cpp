#include "swipe/SwipeListener.h"

#include "settings/SettingTable.h"
#include "settings/SettingText.h"

#include <array>
#include <cerrno>
#include <charconv>
#include <string>
#include <termios.h>
#include <utility>

namespace {

constexpr int kDefaultSpeed = 9600;

constexpr std::array<std::pair<int, speed_t>, 7> kSpeeds{{{600, B600},
                                                          {1200, B1200},
                                                          {2400, B2400},
                                                          {4800, B4800},
                                                          {9600, B9600},
                                                          {19200, B19200},
                                                          {38400, B38400}}};

} // namespace

bool SwipeListener::open(const PortName& port, int bitsPerSecond) {
    speedFailure_ = {};
    if (!link_.open(port)) {
        return false;
    }
    if (!setSpeed(bitsPerSecond)) {
        speedFailure_.kind = FailureKind::NotSerial;
        speedFailure_.port = port.portNumber();
        speedFailure_.systemError = errno;
        link_.close();
        return false;
    }
    return true;
}

Failure SwipeListener::lastFailure() const {
    return speedFailure_.failed() ? speedFailure_ : link_.lastFailure();
}

bool SwipeListener::readArrived(std::vector<std::uint8_t>& swipe) {
    std::array<std::uint8_t, 512> buffer{};
    for (;;) {
        const ReadResult read = link_.read(buffer.data(), static_cast<int>(buffer.size()));
        if (read.status != ReadStatus::Data) {
            return !read.gone();
        }
        swipe.insert(swipe.end(), buffer.begin(), buffer.begin() + read.count);
    }
}

int SwipeListener::bitsPerSecond(const SettingsImage& image) {
    const NamedSetting* setting = SettingTable::find("main.baud_rate");
    const std::string text = setting != nullptr ? settingText(*setting, image) : std::string();
    int speed = 0;
    std::from_chars(text.data(), text.data() + text.size(), speed);
    for (const auto& [bits, code] : kSpeeds) {
        if (bits == speed) {
            return speed;
        }
    }
    return kDefaultSpeed;
}

bool SwipeListener::setSpeed(int bitsPerSecond) {
    speed_t code = B9600;
    for (const auto& [bits, value] : kSpeeds) {
        if (bits == bitsPerSecond) {
            code = value;
        }
    }
    termios settings{};
    if (::tcgetattr(link_.descriptor(), &settings) != 0) {
        return false;
    }
    if (::cfsetispeed(&settings, code) != 0 || ::cfsetospeed(&settings, code) != 0) {
        return false;
    }
    return ::tcsetattr(link_.descriptor(), TCSANOW, &settings) == 0;
}
