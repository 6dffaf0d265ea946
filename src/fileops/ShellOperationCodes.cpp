#include "fileops/ShellOperationCodes.h"

namespace pelandor {

std::optional<Operation> ShellOperationCodes::operation(int code)
{
    switch (code) {
    case FO_MOVE:
        return Operation::Move;
    case FO_COPY:
        return Operation::Copy;
    case FO_DELETE:
        return Operation::Delete;
    default:
        return std::nullopt;
    }
}

std::optional<FileOperationRequest> ShellOperationCodes::request(int code, QList<QByteArray> sources,
    const QByteArray &destination, quint16 flags, const QString &progressTitle)
{
    const std::optional<Operation> op = operation(code);
    if (!op)
        return std::nullopt;
    FileOperationRequest request;
    request.operation = *op;
    request.sources = std::move(sources);
    request.destination = destination;
    request.toTrash = (flags & FOF_ALLOWUNDO) != 0;
    request.progressTitle = progressTitle;
    return request;
}

} // namespace pelandor
