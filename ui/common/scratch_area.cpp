#include "ui/common/scratch_area.hpp"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QStandardPaths>

namespace ferro {

namespace {

QString& rootOverride() {
    static QString root;
    return root;
}

// A lock taken at once or not at all. Only a run that is gone leaves a lock
// that can be taken (the lock names its process), whatever its age.
std::unique_ptr<QLockFile> takeLock(const QString& file) {
    auto lock = std::make_unique<QLockFile>(file);
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) return nullptr;
    return lock;
}

QString lockFileOf(const QString& folder) { return folder + ".lock"; }

}  // namespace

QString ScratchArea::root() {
    if (!rootOverride().isEmpty()) return rootOverride();
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + "/Ferrocanto/scratch";
}

void ScratchArea::setRoot(const QString& root) { rootOverride() = root; }

void ScratchArea::removeLeftovers() {
    const QDir dir(root());
    if (!dir.exists()) return;
    for (const QFileInfo& entry : dir.entryInfoList(QDir::Dirs | QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden)) {
        const bool isLock = entry.isFile() && entry.suffix() == "lock";
        const QString folder = isLock ? entry.absolutePath() + "/" + entry.completeBaseName() : entry.absoluteFilePath();
        if (!isLock && !entry.isDir()) continue;
        const auto lock = takeLock(lockFileOf(folder));
        if (!lock) continue;  // its run goes on
        QDir(folder).removeRecursively();
        lock->unlock();  // the lock file goes too
    }
}

ScratchArea::ScratchArea() {
    static int made = 0;
    const QString base = root();
    if (!QDir().mkpath(base)) return;
    // A name no other live run holds: this process's id and a count.
    for (int attempt = 0; attempt < 8 && !lock_; ++attempt) {
        const QString folder = base + QString("/run-%1-%2").arg(QCoreApplication::applicationPid()).arg(++made);
        auto lock = takeLock(lockFileOf(folder));
        if (!lock) continue;
        // A folder of that name is a gone run's: start afresh.
        QDir(folder).removeRecursively();
        if (!QDir().mkpath(folder)) return;
        path_ = folder;
        lock_ = std::move(lock);
    }
}

ScratchArea::~ScratchArea() {
    if (!lock_) return;
    QDir(path_).removeRecursively();
    lock_->unlock();
}

std::filesystem::path ScratchArea::directory() const {
    return usable() ? std::filesystem::path(path_.toStdU16String()) : std::filesystem::path();
}

}  // namespace ferro
