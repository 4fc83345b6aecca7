#include "link/PortIoSelection.h"

#include "link/HardwarePortIo.h"
#include "link/NullPortIo.h"
#include "link/TracePortIo.h"

#include <string_view>

std::unique_ptr<PortIo> makePortIo(const char* setting, const Clock& clock, std::int64_t startMs) {
    if (setting == nullptr) {
        return std::make_unique<HardwarePortIo>();
    }
    constexpr std::string_view kTracePrefix = "trace:";
    const std::string_view value(setting);
    if (value.starts_with(kTracePrefix) && value.size() > kTracePrefix.size()) {
        return std::make_unique<TracePortIo>(std::string(value.substr(kTracePrefix.size())), clock,
                                             startMs);
    }
    return std::make_unique<NullPortIo>();
}
