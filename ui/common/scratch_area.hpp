#pragma once
// Where the windows keep a loaded module's scratch files: never beside the
// module, but in a folder of this run's own under "Ferrocanto/scratch" in the
// user's cache folder. A lock file beside each run's folder tells the others
// that its run goes on: a run starting removes only what runs no longer
// going left behind (a killed run's folder), never a live run's.
#include <QString>
#include <filesystem>
#include <memory>

class QLockFile;

namespace ferro {

class ScratchArea {
public:
    // The folder every run's folder lies in: the user's cache folder's,
    // unless set (tests give a folder of their own, so that parallel tests
    // never share one).
    static QString root();
    static void setRoot(const QString& root);
    // Removes the folders and locks of runs no longer going.
    static void removeLeftovers();

    // Makes this run's folder, locked; usable() is false when it cannot be.
    ScratchArea();
    ~ScratchArea();  // removes the folder and its lock
    ScratchArea(const ScratchArea&) = delete;
    ScratchArea& operator=(const ScratchArea&) = delete;

    bool usable() const { return lock_ != nullptr; }
    // The run's folder; empty while not usable().
    std::filesystem::path directory() const;
    QString path() const { return path_; }

private:
    QString path_;
    std::unique_ptr<QLockFile> lock_;
};

}  // namespace ferro
