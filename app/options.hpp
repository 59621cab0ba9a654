#pragma once
// The user's options: what a yellow light does to a conversion, whether
// closing asks first, and whether the success message shows the binary's size.
#include "app/shared_types.hpp"

namespace ferro {

struct AppOptions {
    YellowPolicy generalPolicy = YellowPolicy::WarnAndAsk;
    YellowPolicy voicePolicy = YellowPolicy::WarnAndAsk;
    ExitPolicy exitPolicy = ExitPolicy::ExitAnyway;
    bool showSizeDecimal = false;
    bool showSizeHex = false;
    bool operator==(const AppOptions&) const = default;
};

}  // namespace ferro
