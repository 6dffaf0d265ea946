// One request to the file-operation engine: what to do, with which files,
// where to, how. The codes and the undo flag keep the values the window's
// commands pass around.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace pelandor {

enum FileOperationCode : int {
    FO_MOVE = 1,
    FO_COPY = 2,
    FO_DELETE = 3,
};

// Deleted files go to the trash instead of being removed for good.
constexpr quint16 FOF_ALLOWUNDO = 0x0040;

struct FileOperationRequest {
    int operation = FO_COPY;
    // Full paths of the files, raw bytes (NativeName::encode).
    QList<QByteArray> sources;
    // The destination folder; empty for delete.
    QByteArray destination;
    quint16 flags = 0;
    // Shown as the progress dialog's title.
    QString progressTitle;
};

} // namespace pelandor
