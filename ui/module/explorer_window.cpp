#include "ui/module/explorer_window.hpp"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QListWidget>
#include <QPushButton>
#include <QStorageInfo>
#include <QStyle>

#include "base/paths.hpp"
#include "base/shared_types.hpp"
#include "ui/common/dialogs.hpp"
#include "ui/common/scratch_area.hpp"
#include "ui/common/twips.hpp"
#include "song/song_model.hpp"
#include "xm/scratch_files.hpp"

namespace ferro {

namespace {
constexpr int kFolderRole = Qt::UserRole + 1;
std::filesystem::path toPath(const QString& s) { return pathFromUtf8(s.toStdString()); }
}  // namespace

ExplorerWindow::ExplorerWindow(SongModel& model, Dialogs& dialogs, QWidget* parent)
    : QWidget(parent), model_(model), dialogs_(dialogs) {
    setObjectName("ExplorerWindow");
    setWindowTitle("XM explorer");
    setWindowIcon(style()->standardIcon(QStyle::SP_DirOpenIcon));
    // It lives for the whole run: its close control only hides it.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);

    folders_ = new QListWidget(this);
    folders_->setObjectName("folderList");
    folders_->setAccessibleName("Folders");
    drives_ = new QComboBox(this);
    drives_->setObjectName("driveBox");
    drives_->setAccessibleName("Drives");
    files_ = new QListWidget(this);
    files_->setObjectName("fileList");
    files_->setAccessibleName("XM files");
    refreshButton_ = new QPushButton("Refresh &file list", this);
    refreshButton_->setObjectName("refreshButton");
    infoButton_ = new QPushButton("Show XM info&...", this);
    infoButton_->setObjectName("infoButton");
    loadButton_ = new QPushButton(style()->standardIcon(QStyle::SP_DialogOpenButton), "Load t&his XM file", this);
    loadButton_->setObjectName("loadButton");
    reloadButton_ = new QPushButton(style()->standardIcon(QStyle::SP_BrowserReload), "&Reload this XM file", this);
    reloadButton_->setObjectName("reloadButton");
    unloadButton_ = new QPushButton(style()->standardIcon(QStyle::SP_DialogDiscardButton),
                                    "Unload the currently loa&ded XM file", this);
    unloadButton_->setObjectName("unloadButton");
    for (QPushButton* b : {loadButton_, reloadButton_, unloadButton_}) {
        b->setIconSize(QSize(32, 32));
        b->setMinimumHeight(px(1215));
    }
    // The long caption wraps on the big button.
    unloadButton_->setStyleSheet("text-align: center;");
    unloadButton_->setText("Unload the currently\nloa&ded XM file");

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(4, 4, 4, 4);
    grid->addWidget(folders_, 0, 0, 3, 1);
    grid->addWidget(drives_, 3, 0);
    grid->addWidget(files_, 0, 1, 1, 2);
    grid->addWidget(refreshButton_, 1, 1);
    grid->addWidget(infoButton_, 1, 2);
    grid->addWidget(loadButton_, 2, 1, 2, 1);
    grid->addWidget(reloadButton_, 2, 1, 2, 1);
    grid->addWidget(unloadButton_, 2, 2, 2, 1);
    grid->setColumnMinimumWidth(0, px(3735));
    grid->setColumnMinimumWidth(1, px(1875));
    grid->setColumnMinimumWidth(2, px(1875));
    grid->setRowStretch(0, 1);
    resize(px(7755), px(5535));

    connect(drives_, &QComboBox::activated, this, &ExplorerWindow::changeDrive);
    connect(folders_, &QListWidget::itemActivated, this,
            [this](QListWidgetItem* item) { changeDirectory(item->data(kFolderRole).toString()); });
    connect(folders_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { changeDirectory(item->data(kFolderRole).toString()); });
    connect(files_, &QListWidget::itemClicked, this, &ExplorerWindow::selectFile);
    connect(files_, &QListWidget::itemDoubleClicked, this, [this] {
        if (!files_->selectedItems().isEmpty()) loadSelectedFile();
    });
    connect(refreshButton_, &QPushButton::clicked, this, &ExplorerWindow::refreshFileList);
    connect(infoButton_, &QPushButton::clicked, this, &ExplorerWindow::showXmInfo);
    connect(loadButton_, &QPushButton::clicked, this, &ExplorerWindow::loadSelectedFile);
    connect(reloadButton_, &QPushButton::clicked, this, &ExplorerWindow::reloadXmModule);
    connect(unloadButton_, &QPushButton::clicked, this, &ExplorerWindow::unloadXmModule);

    fillDrives();
    reloadButton_->hide();
    unloadButton_->setEnabled(false);
    changeDirectory(QDir::currentPath());
}

ExplorerWindow::~ExplorerWindow() {
    // The scratch files go before their folder does.
    scratch_.reset();
}

void ExplorerWindow::fillDrives() {
    drives_->clear();
    QStringList roots;
#ifdef Q_OS_WIN
    for (const QFileInfo& drive : QDir::drives()) roots << QDir::toNativeSeparators(drive.absolutePath());
#else
    roots << "/";
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        const QString root = volume.rootPath();
        if (!roots.contains(root)) roots << root;
    }
#endif
    drives_->addItems(roots);
}

void ExplorerWindow::changeDrive(int index) {
    if (index < 0 || index >= drives_->count()) return;
    const QString root = drives_->itemText(index);
    QDir dir(root);
    // A drive that cannot be read leaves the explorer where it was.
    if (!dir.exists() || !dir.isReadable()) {
        dialogs_.showMessage("The drive " + root + " cannot be read.", MessageIcon::Exclamation);
        fillFolders();
        return;
    }
    changeDirectory(root);
}

void ExplorerWindow::changeDirectory(const QString& folder) {
    const QString clean = QDir::cleanPath(QDir(folder).absolutePath());
    if (!QDir(clean).exists()) return;
    folder_ = clean;
    QDir::setCurrent(folder_);
    // Select the volume the folder lies on.
    int best = -1, bestLength = -1;
    for (int i = 0; i < drives_->count(); ++i) {
        QString root = QDir::cleanPath(QDir::fromNativeSeparators(drives_->itemText(i)));
        const bool inside = folder_.compare(root, Qt::CaseInsensitive) == 0 ||
                            folder_.startsWith(root.endsWith('/') ? root : root + '/', Qt::CaseInsensitive);
        if (inside && root.length() > bestLength) {
            best = i;
            bestLength = static_cast<int>(root.length());
        }
    }
    if (best >= 0) drives_->setCurrentIndex(best);
    fillFolders();
    refreshFileList();
}

void ExplorerWindow::fillFolders() {
    folders_->clear();
    QStringList chain;
    QDir dir(folder_);
    chain.prepend(dir.absolutePath());
    while (dir.cdUp()) chain.prepend(dir.absolutePath());
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    int depth = 0;
    for (const QString& path : chain) {
        const QString name = QDir(path).isRoot() ? QDir::toNativeSeparators(path) : QDir(path).dirName();
        auto* item = new QListWidgetItem(open, QString(depth * 2, ' ') + name, folders_);
        item->setData(kFolderRole, path);
        ++depth;
    }
    folders_->setCurrentRow(static_cast<int>(chain.size()) - 1);
    const QStringList subfolders =
        QDir(folder_).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Readable, QDir::Name | QDir::IgnoreCase);
    for (const QString& sub : subfolders) {
        auto* item = new QListWidgetItem(closed, QString(depth * 2, ' ') + sub, folders_);
        item->setData(kFolderRole, QDir(folder_).filePath(sub));
    }
}

void ExplorerWindow::refreshFileList() {
    files_->clear();
    // Matched without regard to letter case: song.xm and SONG.XM are both listed.
    const QFileInfoList entries = QDir(folder_).entryInfoList(QDir::Files, QDir::Name | QDir::IgnoreCase);
    for (const QFileInfo& info : entries)
        if (info.suffix().compare("xm", Qt::CaseInsensitive) == 0) files_->addItem(info.fileName());
    loadButton_->setEnabled(false);
    infoButton_->setEnabled(false);
}

void ExplorerWindow::selectFile() {
    if (files_->selectedItems().isEmpty()) return;
    loadButton_->setEnabled(true);
    infoButton_->setEnabled(true);
}

QString ExplorerWindow::selectedFileName() const {
    const auto selected = files_->selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}

void ExplorerWindow::setBusy(bool busy) {
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void ExplorerWindow::showLoadedState(bool loaded) {
    unloadButton_->setEnabled(loaded);
    loadButton_->setVisible(!loaded);
    reloadButton_->setVisible(loaded);
    refreshButton_->setEnabled(!loaded);
    infoButton_->setEnabled(!loaded);
    files_->setEnabled(!loaded);
    folders_->setEnabled(!loaded);
    drives_->setEnabled(!loaded);
}

void ExplorerWindow::loadSelectedFile() {
    const QString fileName = selectedFileName();
    if (fileName.isEmpty()) return;
    setBusy(true);
    // A module loaded and not unloaded since: this is a reload.
    const bool reload = isLoaded();
    std::string problem;
    auto read = readXmModule(toPath(folder_), fileName.toStdString(), &problem);
    finishLoad(std::move(read), std::move(problem), fileName, reload);
}

bool ExplorerWindow::writeScratchFiles(const XmModule& module) {
    if (!scratchArea_) scratchArea_ = std::make_unique<ScratchArea>();
    if (!scratchArea_->usable()) return false;
    if (!scratch_) scratch_.emplace(scratchArea_->directory());
    return scratch_->write(module);
}

void ExplorerWindow::finishLoad(std::variant<XmModule, XmError> read, std::string problem, const QString& fileName,
                                bool reload) {
    if (auto* module = std::get_if<XmModule>(&read); module && !writeScratchFiles(*module)) {
        problem = fileName.toStdString() + ": its scratch files cannot be written into " +
                  QDir::toNativeSeparators(ScratchArea::root()).toStdString();
        read = XmError::ReadError;
    }
    if (auto* error = std::get_if<XmError>(&read)) {
        setBusy(false);
        dialogs_.showMessage(QString::fromStdString(xmFailureText(*error, problem)), MessageIcon::Critical);
        if (*error == XmError::InvalidXm) return;
        unloadXmModule();
        emit loadFailed();
        return;
    }
    XmModule& loaded = std::get<XmModule>(read);
    const std::string warning = xmWarningText(loaded);
    showLoadedState(true);
    if (reload) {
        if (model_.reload(std::move(loaded))) emit channelCountChanged();
    } else {
        model_.load(std::move(loaded));
    }
    setBusy(false);
    emit moduleLoaded(QDir::toNativeSeparators(folder_), fileName, reload);
    // The module is loaded and shown; what it lacks is said after.
    if (!warning.empty()) dialogs_.showMessage(QString::fromStdString(warning), MessageIcon::Exclamation);
}

void ExplorerWindow::reloadXmModule() {
    setBusy(true);
    if (scratch_) scratch_->clear();
    setBusy(false);
    loadSelectedFile();
}

void ExplorerWindow::unloadXmModule() {
    setBusy(true);
    scratch_.reset();  // deletes the scratch files
    scratchArea_.reset();
    model_.unload();
    showLoadedState(false);
    setFocus();
    emit moduleUnloaded();
    setBusy(false);
}

void ExplorerWindow::showXmInfo() {
    const QString fileName = selectedFileName();
    if (fileName.isEmpty()) return;
    emit infoRequested(folder_, fileName);
}

bool ExplorerWindow::openModule(const QString& path) {
    const QFileInfo file(path);
    if (isLoaded() && file == QFileInfo(loadedModulePath())) {
        reloadXmModule();
        return isLoaded();
    }
    // Only a module the file list would show: one that is gone, hidden or
    // not an .xm file leaves the loaded module alone.
    const bool listed = file.suffix().compare("xm", Qt::CaseInsensitive) == 0 &&
                        QDir(file.absolutePath()).entryList(QDir::Files).contains(file.fileName());
    if (!listed) {
        dialogs_.showMessage(QDir::toNativeSeparators(file.absoluteFilePath()) + " cannot be opened.",
                             MessageIcon::Exclamation);
        return false;
    }
    if (!isLoaded()) {
        changeDirectory(file.absolutePath());
        files_->setCurrentItem(files_->findItems(file.fileName(), Qt::MatchExactly).value(0));
        selectFile();
        loadSelectedFile();
        return isLoaded();
    }
    // Read before anything changes: a module that cannot be read leaves the
    // loaded song and its choices as they were.
    setBusy(true);
    std::string problem;
    auto read = readXmModule(toPath(file.absolutePath()), file.fileName().toStdString(), &problem);
    if (auto* error = std::get_if<XmError>(&read)) {
        setBusy(false);
        dialogs_.showMessage(QString::fromStdString(xmFailureText(*error, problem)), MessageIcon::Critical);
        return false;
    }
    unloadXmModule();
    changeDirectory(file.absolutePath());
    files_->setCurrentItem(files_->findItems(file.fileName(), Qt::MatchExactly).value(0));
    selectFile();
    finishLoad(std::move(read), std::move(problem), file.fileName(), false);
    return isLoaded();
}

std::filesystem::path ExplorerWindow::scratchDirectory() const {
    return scratch_ ? scratch_->directory() : std::filesystem::path();
}

QString ExplorerWindow::loadedModulePath() const {
    return isLoaded() ? QDir(folder_).filePath(selectedFileName()) : QString();
}

const XmModule* ExplorerWindow::module() const { return model_.module(); }

bool ExplorerWindow::closingStep(ExitPolicy policy) {
    if (policy == ExitPolicy::DoNotExit) return false;
    const bool ask = policy == ExitPolicy::AskAlways || (policy == ExitPolicy::AskIfLoaded && isLoaded());
    if (ask && !dialogs_.askYesNo("Are you sure you want to quit?", MessageIcon::Question)) return false;
    if (isLoaded()) {
        scratch_.reset();  // deletes the scratch files
        scratchArea_.reset();
    }
    return true;
}

bool ExplorerWindow::replacingStep(ExitPolicy policy, const QString& nextFileName) {
    if (!isLoaded() || policy == ExitPolicy::ExitAnyway) return true;
    return dialogs_.askYesNo("Load " + nextFileName + "? The choices made for " + selectedFileName() + " will be lost.",
                             MessageIcon::Question);
}

}  // namespace ferro
