// The operation codes and option flags the window's file commands pass to
// ShellFileOperation, and their translation into the engine's request. The
// engine itself speaks Operation and toTrash; the codes end here.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

#include "fileops/FileOperationRequest.h"

namespace pelandor {

enum ShellOperationCode : int {
    FO_MOVE = 1,
    FO_COPY = 2,
    FO_DELETE = 3,
};

// Deleted files go to the trash instead of being removed for good.
constexpr quint16 FOF_ALLOWUNDO = 0x0040;

class ShellOperationCodes {
public:
    // The engine's operation for a code; empty for any other value.
    static std::optional<Operation> operation(int code);
    // The engine's request for one call; empty when the code is unknown.
    // Only FOF_ALLOWUNDO of the flags means anything to the engine.
    static std::optional<FileOperationRequest> request(int code, QList<QByteArray> sources,
        const QByteArray &destination, quint16 flags, const QString &progressTitle);
};

} // namespace pelandor
