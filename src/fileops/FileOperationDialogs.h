// The engine's questions as message boxes over the main window, captioned
// "Pelandor". Return takes the safe answer wherever a file would be
// destroyed (skip, or cancel when no further files follow); Esc cancels. A
// name conflict also offers "keep both".
#pragma once

#include "fileops/FileOperationQuestions.h"

class QWidget;

namespace pelandor {

class FileOperationDialogs : public FileOperationQuestions {
public:
    explicit FileOperationDialogs(QWidget *parent);

    bool confirmDelete(const QList<QByteArray> &paths, bool toTrash) override;
    Reply askReplace(const Conflict &conflict, bool moreFollow) override;
    Reply askDeletePermanently(const QByteArray &path, bool moreFollow) override;

private:
    // keepBoth: offer "keep both" beside yes, skip and cancel.
    Reply ask(const QString &text, const QString &yesText, bool moreFollow, bool keepBoth);

    QWidget *m_parent;
};

} // namespace pelandor
