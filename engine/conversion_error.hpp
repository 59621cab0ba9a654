#pragma once
// How the engine's steps stop a conversion: they throw ConversionError, and
// convertSong turns it into the result the window shows.
#include <stdexcept>
#include <string>

#include "base/shared_types.hpp"

namespace ferro {

enum class FailureKind {
    Error,    // an unexpected failure: "Some kind of error happened", critical icon
    Refused,  // the song holds something the driver cannot play: own message, exclamation icon
};

class ConversionError : public std::runtime_error {
public:
    explicit ConversionError(FailureKind kind = FailureKind::Error, const std::string& message = kSomeError)
        : std::runtime_error(message), kind_(kind) {}
    FailureKind kind() const { return kind_; }

private:
    FailureKind kind_;
};

// Ends the conversion with the general error.
[[noreturn]] inline void failConversion() { throw ConversionError(); }

}  // namespace ferro
