#pragma once
// Where a conversion reads the XM channels' row streams: the parsed module
// in memory, with the drum channel's key-offs removed when "Remove rests"
// asks for it.
#include <map>

#include "engine/track_encoder.hpp"
#include "xm/xm_parser.hpp"

namespace ferro {

class RowSource {
public:
    virtual ~RowSource() = default;
    // Channel n's row stream; it must hold at least `rows` rows. A missing,
    // unreadable or short stream ends the conversion with the general error.
    virtual RowStream rowStream(int channel, int rows) const = 0;
    // "Remove rests": every key-off (97) of channel n becomes "no note" (0);
    // afterwards a drum note lasts until the next drum note. A trailing
    // partial row is left alone. False when the stream cannot be changed.
    virtual bool removeKeyOffs(int channel) = 0;
};

// The row streams of a parsed module, which must outlive the source. The
// module itself is never changed: a channel whose key-offs were removed is
// kept here as a changed copy.
class MemoryRowSource final : public RowSource {
public:
    explicit MemoryRowSource(const XmModule& module) : module_(module) {}
    RowStream rowStream(int channel, int rows) const override;
    bool removeKeyOffs(int channel) override;

private:
    const XmModule& module_;
    std::map<int, Bytes> changed_;
};

}  // namespace ferro
