// One request to the file-operation engine: what to do, with which files,
// where to, how.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace pelandor {

enum class Operation { Copy, Move, Delete };

struct FileOperationRequest {
    Operation operation = Operation::Copy;
    // Full paths of the files, raw bytes (NativeName::encode).
    QList<QByteArray> sources;
    // The destination folder; empty for delete.
    QByteArray destination;
    // Delete: the files go to the trash instead of being removed for good.
    bool toTrash = false;
    // Shown as the progress dialog's title.
    QString progressTitle;
};

} // namespace pelandor
