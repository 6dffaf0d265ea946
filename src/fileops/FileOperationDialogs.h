// The engine's questions as message boxes over the main window, captioned
// "Pelandor". The confirming button is the default (Return confirms), Esc
// cancels.
#pragma once

#include "fileops/FileOperationQuestions.h"

class QWidget;

namespace pelandor {

class FileOperationDialogs : public FileOperationQuestions {
public:
    explicit FileOperationDialogs(QWidget *parent);

    bool confirmDelete(const QList<QByteArray> &paths, bool toTrash) override;
    Reply askReplace(const QByteArray &target, bool moreFollow) override;
    Reply askDeletePermanently(const QByteArray &path, bool moreFollow) override;

private:
    Reply ask(const QString &text, const QString &yesText, bool moreFollow);

    QWidget *m_parent;
};

} // namespace pelandor
