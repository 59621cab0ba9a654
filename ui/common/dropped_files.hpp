#pragma once
// The local files a drag from a file manager carries, as the windows that
// take dropped files read them.
#include <QMimeData>
#include <QStringList>
#include <QUrl>

namespace ferro {

inline QStringList droppedLocalFiles(const QMimeData* data) {
    QStringList files;
    if (data == nullptr) return files;
    for (const QUrl& url : data->urls())
        if (url.isLocalFile()) files << url.toLocalFile();
    return files;
}

}  // namespace ferro
