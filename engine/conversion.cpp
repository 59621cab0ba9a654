#include "engine/conversion.hpp"

#include <fstream>
#include <set>
#include <system_error>

#include "base/byte_reader.hpp"
#include "base/paths.hpp"
#include "engine/sections.hpp"
#include "engine/song_writer.hpp"
#include "xm/scratch_files.hpp"

namespace ferro {

namespace fs = std::filesystem;

// ---- "Remove rests".

bool removeDacKeyOffs(const fs::path& directory, int dacChannel) {
    if (dacChannel < 1) return false;
    const fs::path file = directory / rowStreamFileName(dacChannel);
    const std::optional<Bytes> data = readWholeFile(file);
    if (!data) return false;
    std::fstream stream(file, std::ios::in | std::ios::out | std::ios::binary);
    if (!stream) return false;
    const std::size_t rows = data->size() / kXmCellSize;
    for (std::size_t i = 0; i < rows; ++i) {
        if ((*data)[i * kXmCellSize] != kXmKeyOff) continue;
        stream.seekp(static_cast<std::streamoff>(i * kXmCellSize));
        stream.put('\0');
    }
    stream.flush();
    return static_cast<bool>(stream);
}

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

// ---- Section files.

namespace {

std::string lowerAscii(std::string s) {
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

// Deletes the section files when the conversion ends, however it ends.
class SectionFilesGuard {
public:
    SectionFilesGuard(fs::path directory, int channelCount)
        : directory_(std::move(directory)), channelCount_(channelCount) {}
    ~SectionFilesGuard() {
        try {
            deleteSectionFiles(directory_, channelCount_);
        } catch (...) {
        }
    }
    SectionFilesGuard(const SectionFilesGuard&) = delete;
    SectionFilesGuard& operator=(const SectionFilesGuard&) = delete;

private:
    fs::path directory_;
    int channelCount_;
};

}  // namespace

void deleteSectionFiles(const fs::path& directory, int channelCount) {
    std::error_code ec;
    std::set<std::string> names;
    for (int n = 1; n <= channelCount; ++n) {
        fs::remove(directory / mainSectionFileName(n), ec);
        names.insert(lowerAscii(mainSectionFileName(n)));
    }
    for (int n = 1; n <= channelCount; ++n) {
        fs::remove(directory / introSectionFileName(n), ec);
        names.insert(lowerAscii(introSectionFileName(n)));
    }
    // Where letter case matters, another spelling of the same names (left by
    // an earlier run) is the same working file to this program.
    fs::directory_iterator it(directory, ec);
    if (ec) return;
    std::vector<fs::path> doomed;
    for (; it != fs::directory_iterator(); it.increment(ec)) {
        if (ec) break;
        std::error_code typeEc;
        if (!it->is_regular_file(typeEc) || it->is_symlink(typeEc)) continue;
        if (names.count(lowerAscii(utf8FromPath(it->path().filename())))) doomed.push_back(it->path());
    }
    for (const fs::path& p : doomed) fs::remove(p, ec);
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

Bytes voiceTableOf(const ConversionRequest& request) {
    Bytes voiceTable;
    for (const FmVoice& v : request.voices) voiceTable.insert(voiceTable.end(), v.bytes.begin(), v.bytes.end());
    return voiceTable;
}

// The song, every part of it in memory.
SongImage buildSong(const ConversionRequest& request, const RowSource& source, const RandomSource& random) {
    checkRequest(request);
    const std::vector<ChannelRole> roles = buildChannelRoles(request);
    refuseUnplayableNotes(request, source, roles);
    std::vector<ChannelSections> sections(static_cast<std::size_t>(request.channelCount) + 1);
    for (int n = 1; n <= request.channelCount; ++n) {
        const ChannelRole role = roles[static_cast<std::size_t>(n)];
        if (role == ChannelRole::None) continue;
        sections[static_cast<std::size_t>(n)] = buildChannelSections(
            request, source.rowStream(n, request.totalRows), role, panChoiceFor(request, n), random);
    }
    return assembleSong(request, sections, voiceTableOf(request));
}

// The same song through the working files the windows' conversion writes
// beside the module: voices.tmp, then BATMAN<n>.tmp and LOL<n>.tmp, read
// back to assemble the song and deleted on every path.
SongImage buildSongThroughWorkingFiles(const ConversionRequest& request, const RowSource& source,
                                       const RandomSource& random) {
    checkRequest(request);
    const fs::path& dir = request.workingDirectory;
    SectionFilesGuard sectionFiles(dir, request.channelCount);
    const std::vector<ChannelRole> roles = buildChannelRoles(request);
    refuseUnplayableNotes(request, source, roles);
    if (!writeWholeFile(dir / kVoicesFileName, voiceTableOf(request))) failConversion();
    for (int n = 1; n <= request.channelCount; ++n) buildChannelTracks(request, roles, n, source, random);
    MemorySink binary;
    MemorySink listing;
    writeSongFiles(request, binary, listing);
    const Bytes& text = listing.bytes();
    return SongImage{binary.bytes(), std::string(text.begin(), text.end())};
}

// Places the selected outputs and says so.
ConversionResult writeOutputs(const ConversionRequest& request, const SongImage& song) {
    const std::string base = *outputBaseName(request.fileName);
    const Bytes listing(song.listing.begin(), song.listing.end());
    OutputCommit outputs;
    const fs::path& dir = request.workingDirectory;
    if (request.writeBin) outputs.add(dir / pathFromUtf8(base + ".bin"), song.binary);
    if (request.writeAsm) outputs.add(dir / pathFromUtf8(base + ".asm"), listing);
    outputs.commit();
    ConversionResult result;
    result.succeeded = true;
    result.binaryLength = song.binary.size();
    result.baseName = base;
    result.message = conversionSuccessMessage(base, request.writeBin, request.writeAsm, false, false, result.binaryLength);
    return result;
}

template <typename Convert>
ConversionResult convertAndWrite(const ConversionRequest& request, Convert convert) {
    try {
        if (!request.writeBin && !request.writeAsm) failConversion();
        return writeOutputs(request, convert());
    } catch (const ConversionError& e) {
        return ConversionResult{false, e.kind(), e.what(), 0};
    } catch (...) {
        return ConversionResult{false, FailureKind::Error, kSomeError, 0};
    }
}

}  // namespace

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

ConversionResult MAINCONVERSIONCODE(const ConversionRequest& request, const RandomSource& random) {
    const ScratchRowSource rows(request.workingDirectory);
    return convertAndWrite(request, [&] { return buildSongThroughWorkingFiles(request, rows, random); });
}

ConversionResult MAINCONVERSIONCODE(const ConversionRequest& request, const RowSource& rows,
                                    const RandomSource& random) {
    return convertAndWrite(request, [&] { return buildSong(request, rows, random); });
}

ConversionResult MAINCONVERSIONCODE(const ConversionRequest& request) {
    return MAINCONVERSIONCODE(request, clockSeededRandom());
}

}  // namespace ferro
