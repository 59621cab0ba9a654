#include "engine/conversion.hpp"

#include <system_error>

#include "base/byte_reader.hpp"
#include "base/paths.hpp"
#include "engine/module_effects.hpp"
#include "engine/saxman.hpp"
#include "engine/sections.hpp"
#include "engine/song_writer.hpp"

namespace ferro {

namespace fs = std::filesystem;

// ---- Messages.

std::string conversionSuccessMessage(const std::string& baseName, bool writeBin, bool writeAsm,
                                     bool showSizeDecimal, bool showSizeHex, std::uintmax_t binaryLength) {
    const std::string binName = baseName + ".bin";
    std::string text;
    if (writeBin) {
        text += binName;
        if (writeAsm) text += " and ";
    }
    if (writeAsm) text += baseName + ".asm";
    text += " created successfully!";
    if (writeBin && showSizeDecimal) {
        text += "\r\n" + binName + " is " + std::to_string(binaryLength) + " bytes big.";
    }
    if (writeBin && showSizeHex) {
        static const char digits[] = "0123456789ABCDEF";
        std::string hex;
        std::uintmax_t n = binaryLength;
        do {
            hex.insert(hex.begin(), digits[n % 16]);
            n /= 16;
        } while (n != 0);
        text += "\r\n" + binName + " is $" + hex + " bytes big.";
    }
    return text;
}

// ---- Outputs replaced only when everything succeeded.

namespace {

bool pathIsFree(const fs::path& p) {
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(p, ec);
    return status.type() == fs::file_type::not_found;
}

// A name beside `target` that no file has: "~song.bin.ferrocanto-1.new".
fs::path freeSiblingName(const fs::path& target, const char* suffix) {
    for (int k = 1; k <= 1000; ++k) {
        fs::path name = "~";
        name += target.filename();
        name += ".ferrocanto-" + std::to_string(k) + suffix;
        const fs::path candidate = target.parent_path() / name;
        if (pathIsFree(candidate)) return candidate;
    }
    failConversion();
}

struct PendingOutput {
    fs::path target;
    const Bytes* content = nullptr;
    fs::path temporary;
    fs::path backup;
    bool placed = false;
};

// Writes every output to a temporary name, then moves the earlier outputs
// aside and the new ones into place; any failure puts everything back.
class OutputCommit {
public:
    void add(fs::path target, const Bytes& content) { outputs_.push_back({std::move(target), &content, {}, {}, false}); }

    void commit() {
        try {
            for (PendingOutput& o : outputs_) {
                std::error_code ec;
                const fs::file_status status = fs::symlink_status(o.target, ec);
                // A folder (or anything but a file) under the output's name is
                // the user's; it is never moved.
                if (status.type() != fs::file_type::not_found && status.type() != fs::file_type::regular &&
                    status.type() != fs::file_type::symlink) {
                    failConversion();
                }
                o.temporary = freeSiblingName(o.target, ".new");
                if (!writeWholeFile(o.temporary, *o.content)) failConversion();
            }
            for (PendingOutput& o : outputs_) {
                std::error_code ec;
                if (!pathIsFree(o.target)) {
                    o.backup = freeSiblingName(o.target, ".old");
                    fs::rename(o.target, o.backup, ec);
                    if (ec) {
                        o.backup.clear();
                        failConversion();
                    }
                }
                fs::rename(o.temporary, o.target, ec);
                if (ec) failConversion();
                o.placed = true;
            }
        } catch (...) {
            rollBack();
            throw;
        }
        for (const PendingOutput& o : outputs_) {
            std::error_code ec;
            if (!o.backup.empty()) fs::remove(o.backup, ec);
        }
    }

private:
    void rollBack() {
        for (auto o = outputs_.rbegin(); o != outputs_.rend(); ++o) {
            std::error_code ec;
            if (o->placed) fs::remove(o->target, ec);
            if (!o->backup.empty()) fs::rename(o->backup, o->target, ec);
            if (!o->temporary.empty()) fs::remove(o->temporary, ec);
        }
    }

    std::vector<PendingOutput> outputs_;
};

// The checks every conversion makes before it reads a row.
void checkRequest(const ConversionRequest& request) {
    if (!requestIsUsable(request) || !outputBaseName(request.fileName)) failConversion();
}

// Refuses the first note, in song order, that an FM or PSG tone channel
// cannot play; checked before anything is written.
void refuseUnplayableNotes(const ConversionRequest& request, const RowSource& source,
                          const std::vector<ChannelRole>& roles) {
    std::optional<int> worstRow;
    int worstChannel = 0;
    int worstNote = 0;
    for (int n = 1; n <= request.channelCount; ++n) {
        const ChannelRole role = roles[static_cast<std::size_t>(n)];
        if (role != ChannelRole::Fm && role != ChannelRole::PsgTone) continue;
        const RowStream rows = source.rowStream(n, request.totalRows);
        const std::optional<int> row = firstUnplayableNoteRow(rows, request.totalRows);
        if (row && (!worstRow || *row < *worstRow)) {
            worstRow = row;
            worstChannel = n;
            worstNote = rows.cell(*row).note;
        }
    }
    if (worstRow) {
        throw ConversionError(FailureKind::Refused,
                              unplayableNoteMessage(request, worstChannel, *worstRow, worstNote));
    }
}

// The song, every part of it in memory.
SongImage buildSong(const ConversionRequest& request, const RowSource& source, const RandomSource& random) {
    checkRequest(request);
    const std::vector<ChannelRole> roles = buildChannelRoles(request);
    refuseUnplayableNotes(request, source, roles);
    std::vector<ChannelSections> sections(static_cast<std::size_t>(request.channelCount) + 1);
    const std::vector<XmTempo> tempos = request.moduleEffects ? songTempos(request, source) : std::vector<XmTempo>{};
    const SongTimeline timeline =
        songTimeline(request, tempos, request.moduleEffects ? songPatternDelays(request, source) : std::vector<int>{});
    for (int n = 1; n <= request.channelCount; ++n) {
        const ChannelRole role = roles[static_cast<std::size_t>(n)];
        if (role == ChannelRole::None) continue;
        const RowStream rows = source.rowStream(n, request.totalRows);
        std::optional<ChannelFollow> follow;
        if (request.moduleEffects) follow = followChannel(request, rows, role, tempos, &timeline);
        sections[static_cast<std::size_t>(n)] = buildChannelSections(request, rows, role, panChoiceFor(request, n),
                                                                     random, follow ? &*follow : nullptr);
    }
    SongImage song = assembleSong(request, sections, voiceTable(request),
                                  request.moduleEffects ? timeline.unitAt(request.totalRows) : -1);
    if (request.moduleEffects) {
        if (const std::string comment = approximationComment(request, source); !comment.empty())
            song.listing = comment + "\r\n" + song.listing;
    }
    return song;
}

}  // namespace

Bytes voiceTable(const ConversionRequest& request) {
    Bytes table;
    for (const FmVoice& v : request.voices) table.insert(table.end(), v.bytes.begin(), v.bytes.end());
    return table;
}

SongConversion convertSong(const ConversionRequest& request, const RowSource& rows, const RandomSource& random) {
    SongConversion result;
    try {
        SongImage song = buildSong(request, rows, random);
        result.succeeded = true;
        result.binary = std::move(song.binary);
        result.listing = std::move(song.listing);
    } catch (const ConversionError& e) {
        result.failureKind = e.kind();
        result.message = e.what();
    } catch (...) {
        result.failureKind = FailureKind::Error;
        result.message = kSomeError;
    }
    return result;
}

ConversionResult writeSong(const ConversionRequest& request, const SongConversion& song) {
    const auto failed = [](FailureKind kind, std::string message) {
        ConversionResult result;
        result.failureKind = kind;
        result.message = std::move(message);
        return result;
    };
    const std::optional<std::string> base = outputBaseName(request.fileName);
    if ((!request.writeBin && !request.writeAsm) || !base) return failed(FailureKind::Error, kSomeError);
    if (!song.succeeded) return failed(song.failureKind, song.message);
    try {
        const Bytes listing(song.listing.begin(), song.listing.end());
        OutputCommit outputs;
        const fs::path& dir = request.workingDirectory;
        if (request.writeBin) outputs.add(dir / pathFromUtf8(*base + ".bin"), song.binary);
        // A song for the unpacking buffer also in the form its slot stores.
        const Bytes packed = storedSongForm(request, song.binary);
        if (request.writeBin && !packed.empty()) outputs.add(dir / pathFromUtf8(*base + ".sax"), packed);
        if (request.writeAsm) outputs.add(dir / pathFromUtf8(*base + ".asm"), listing);
        outputs.commit();
    } catch (...) {
        return failed(FailureKind::Error, kSomeError);
    }
    ConversionResult result;
    result.succeeded = true;
    result.binaryLength = song.binary.size();
    result.baseName = *base;
    result.message = conversionSuccessMessage(*base, request.writeBin, request.writeAsm, false, false, result.binaryLength);
    return result;
}

}  // namespace ferro
