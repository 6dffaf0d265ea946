// The questions the file-operation engine asks while it works. The window
// answers them with message boxes; tests answer them in code.
#pragma once

#include <QByteArray>
#include <QList>

namespace pelandor {

class FileOperationQuestions {
public:
    enum class Answer {
        Yes,    // replace the existing file / delete permanently
        Skip,   // leave this file alone and go on with the next
        Cancel, // stop the whole operation
    };
    struct Reply {
        Answer answer = Answer::Cancel;
        // Give the same answer to the same question for the remaining files.
        bool applyToAll = false;
    };

    virtual ~FileOperationQuestions() = default;

    // Before anything is deleted: all of paths, to the trash or for good.
    // True goes ahead.
    virtual bool confirmDelete(const QList<QByteArray> &paths, bool toTrash) = 0;
    // target exists already; moreFollow: there are further files after this
    // one (so "apply to all" means something).
    virtual Reply askReplace(const QByteArray &target, bool moreFollow) = 0;
    // path cannot go to a trash (its volume has none that can be used).
    virtual Reply askDeletePermanently(const QByteArray &path, bool moreFollow) = 0;
};

} // namespace pelandor
