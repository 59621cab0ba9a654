#include "params/instrument_maps.hpp"

#include <cstdio>

namespace ferro {

namespace {

std::string& mapBytes(InstrumentMaps& maps, InstrumentMapKind kind) {
    switch (kind) {
    case InstrumentMapKind::Fm: return maps.instrumentVoices;
    case InstrumentMapKind::Psg: return maps.instrumentPsgEnvelopes;
    case InstrumentMapKind::Dac: return maps.drumSamples;
    case InstrumentMapKind::HiHat: break;
    }
    return maps.hihatKinds;
}

bool keyedByNote(const InstrumentMaps& maps, InstrumentMapKind kind) {
    return (kind == InstrumentMapKind::Dac && maps.drumsByNote) ||
           (kind == InstrumentMapKind::HiHat && maps.hihatsByNote);
}

int valueItemCount(InstrumentMapKind kind) {
    switch (kind) {
    case InstrumentMapKind::Fm: return 256;
    case InstrumentMapKind::Psg: return kPsgVoiceCount;
    case InstrumentMapKind::Dac: return kLastDacSample - kFirstDacSample + 1;
    case InstrumentMapKind::HiHat: break;
    }
    return 2;
}

int valueFromPosition(InstrumentMapKind kind, int position) {
    if (kind == InstrumentMapKind::Dac) return position + kFirstDacSample;
    if (kind == InstrumentMapKind::HiHat)
        return static_cast<int>(position == 0 ? HiHatKind::Closed : HiHatKind::Open);
    return position;
}

int positionFromValue(InstrumentMapKind kind, int value) {
    if (kind == InstrumentMapKind::Dac) return value - kFirstDacSample;
    if (kind == InstrumentMapKind::HiHat) return value == static_cast<int>(HiHatKind::Open) ? 1 : 0;
    return value;
}

// "3 Slap bass", or the number alone for an empty or missing name. A name
// is 8-bit text from a file: control characters would break the list's line.
std::string numberWithName(const std::string& number, const std::vector<std::string>& names, int index) {
    if (index < 0 || index >= static_cast<int>(names.size()) || names[static_cast<std::size_t>(index)].empty())
        return number;
    std::string name = names[static_cast<std::size_t>(index)];
    for (char& c : name)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
    return number + ' ' + name;
}

}  // namespace

std::string initialInstrumentVoices() {
    std::string map(kInstrumentKeyCount, '\0');
    for (int k = 1; k <= kInstrumentKeyCount; ++k) map[k - 1] = static_cast<char>(k - 1);
    return map;
}

const std::string& mapBytes(const InstrumentMaps& maps, InstrumentMapKind kind) {
    return mapBytes(const_cast<InstrumentMaps&>(maps), kind);
}

int mapKeyCount(const InstrumentMaps& maps, InstrumentMapKind kind) {
    return static_cast<int>(mapBytes(maps, kind).size());
}

std::optional<int> mapEntry(const InstrumentMaps& maps, InstrumentMapKind kind, int key) {
    const std::string& bytes = mapBytes(maps, kind);
    if (key < 1 || key > static_cast<int>(bytes.size())) return std::nullopt;
    return static_cast<unsigned char>(bytes[key - 1]);
}

int mapValuePosition(const InstrumentMaps& maps, InstrumentMapKind kind, int key) {
    const auto value = mapEntry(maps, kind, key);
    if (!value) return -1;
    const int position = positionFromValue(kind, *value);
    return position >= 0 && position < valueItemCount(kind) ? position : -1;
}

bool setMapValue(InstrumentMaps& maps, InstrumentMapKind kind, int key, int position) {
    std::string& bytes = mapBytes(maps, kind);
    if (key < 1 || key > static_cast<int>(bytes.size())) return false;
    if (position < 0 || position >= valueItemCount(kind)) return false;
    bytes[key - 1] = static_cast<char>(valueFromPosition(kind, position));
    return true;
}

void setDrumKeying(InstrumentMaps& maps, bool byNote) {
    maps.drumsByNote = byNote;
    maps.drumSamples.assign(byNote ? kNoteKeyCount : kInstrumentKeyCount, static_cast<char>(kFirstDacSample));
}

void setHiHatKeying(InstrumentMaps& maps, bool byNote) {
    maps.hihatsByNote = byNote;
    maps.hihatKinds.assign(byNote ? kNoteKeyCount : kInstrumentKeyCount, static_cast<char>(HiHatKind::Closed));
}

MapFrameTexts mapFrameTexts(const InstrumentMaps& maps, InstrumentMapKind kind) {
    MapFrameTexts texts;
    texts.keyHeading = keyedByNote(maps, kind) ? "XM note number" : "XM instrument number";
    texts.connectingCaption = "will use";
    switch (kind) {
    case InstrumentMapKind::Fm:
        texts.frameCaption = "FM voice assignments";
        texts.valueHeading = "FM voice number";
        break;
    case InstrumentMapKind::Psg:
        texts.frameCaption = "PSG voice assignments";
        texts.valueHeading = "PSG voice number";
        break;
    case InstrumentMapKind::Dac:
        texts.frameCaption = "DAC assignments";
        texts.valueHeading = "DAC sample";
        break;
    case InstrumentMapKind::HiHat:
        texts.frameCaption = "Hi-hats assignments";
        texts.connectingCaption = "is";
        break;
    }
    return texts;
}

std::vector<std::string> mapKeyItems(const InstrumentMaps& maps, InstrumentMapKind kind,
                                     const std::vector<std::string>& instrumentNames) {
    std::vector<std::string> items;
    const int count = mapKeyCount(maps, kind);
    const bool named = !keyedByNote(maps, kind);
    for (int k = 1; k <= count; ++k) items.push_back(named ? numberWithName(std::to_string(k), instrumentNames, k - 1)
                                                           : std::to_string(k));
    return items;
}

std::vector<std::string> mapValueItems(InstrumentMapKind kind, const std::vector<std::string>& voiceNames) {
    if (kind == InstrumentMapKind::HiHat) return {kClosedHiHatCaption, kOpenHiHatCaption};
    std::vector<std::string> items;
    const int count = valueItemCount(kind);
    for (int p = 0; p < count; ++p) {
        const std::string number = hexText(valueFromPosition(kind, p));
        items.push_back(kind == InstrumentMapKind::Fm ? numberWithName(number, voiceNames, p) : number);
    }
    return items;
}

std::vector<std::string> mapValueItems(InstrumentMapKind kind, const std::vector<std::string>& voiceNames,
                                       const DriverProfile& driver) {
    std::vector<std::string> items = mapValueItems(kind, voiceNames);
    for (int p = 0; p < static_cast<int>(items.size()); ++p) {
        const int value = valueFromPosition(kind, p);
        std::string& item = items[static_cast<std::size_t>(p)];
        if (kind == InstrumentMapKind::Dac) {
            const std::string name = drumName(driver, value);
            if (!name.empty()) item += " " + name;
        } else if (kind == InstrumentMapKind::Psg && value > driver.psgEnvelopes) {
            item += std::string(" (not in ") + driver.name + ")";
        }
    }
    return items;
}

std::string hexText(int value) {
    char text[16];
    std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(value));
    return text;
}

}  // namespace ferro
