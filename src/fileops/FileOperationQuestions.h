// The questions the file-operation engine asks while it works. The window
// answers them with message boxes; tests answer them in code.
#pragma once

#include <QByteArray>
#include <QList>
#include <QtGlobal>

namespace pelandor {

class FileOperationQuestions {
public:
    enum class Answer {
        Yes,      // replace the existing file / delete permanently
        Skip,     // leave this file alone and go on with the next
        Cancel,   // stop the whole operation
        KeepBoth, // (name conflicts only) place the file under a new, numbered name
    };
    struct Reply {
        Answer answer = Answer::Cancel;
        // Give the same answer to the same question for the remaining files.
        bool applyToAll = false;
    };

    // A name conflict: the file to be placed and the one that has the name.
    // Sizes in bytes, times in seconds since the epoch; -1 when unknown.
    struct Conflict {
        QByteArray source;
        QByteArray target;
        qint64 sourceSize = -1;
        qint64 sourceTime = -1;
        qint64 targetSize = -1;
        qint64 targetTime = -1;
    };

    virtual ~FileOperationQuestions() = default;

    // Before anything is deleted: all of paths, to the trash or for good.
    // True goes ahead.
    virtual bool confirmDelete(const QList<QByteArray> &paths, bool toTrash) = 0;
    // conflict.target exists already; moreFollow: there are further files
    // after this one (so "apply to all" means something).
    virtual Reply askReplace(const Conflict &conflict, bool moreFollow) = 0;
    // path cannot go to a trash (its volume has none that can be used).
    virtual Reply askDeletePermanently(const QByteArray &path, bool moreFollow) = 0;
};

} // namespace pelandor
