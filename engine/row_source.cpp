#include "engine/row_source.hpp"

#include "engine/conversion_error.hpp"

namespace ferro {

namespace {

void clearKeyOffs(Bytes& rows) {
    for (std::size_t i = 0; i + kXmCellSize <= rows.size(); i += kXmCellSize)
        if (rows[i] == kXmKeyOff) rows[i] = 0;
}

}  // namespace

RowStream MemoryRowSource::rowStream(int channel, int rows) const {
    if (channel < 1 || channel > module_.channelCount) failConversion();
    const auto found = changed_.find(channel);
    const auto data = found != changed_.end() ? std::span<const std::uint8_t>(found->second) : module_.rowStream(channel);
    RowStream stream(channel, Bytes(data.begin(), data.end()));
    if (stream.rowCount() < rows) failConversion();
    return stream;
}

bool MemoryRowSource::removeKeyOffs(int channel) {
    if (channel < 1 || channel > module_.channelCount) return false;
    auto [entry, added] = changed_.try_emplace(channel);
    if (added) {
        const auto data = module_.rowStream(channel);
        entry->second.assign(data.begin(), data.end());
    }
    clearKeyOffs(entry->second);
    return true;
}

}  // namespace ferro
