// The texts of the file operations: progress titles, folder chooser titles,
// the engine's questions and its error messages.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include "fileops/FileOperationQuestions.h"
#include "fileops/FileOperationRequest.h"

namespace pelandor {

class FileOperationTexts {
public:
    static QString copyProgressTitle();
    static QString moveProgressTitle();
    static QString deleteProgressTitle();
    static QString copyChooserTitle();
    static QString moveChooserTitle();

    // Names the file for one path, the number of files for several.
    static QString deleteConfirmation(const QList<QByteArray> &paths, bool toTrash);
    // Names the file and shows both files' sizes and modification dates.
    static QString replaceQuestion(const FileOperationQuestions::Conflict &conflict);
    static QString deletePermanentlyQuestion(const QByteArray &path);
    static QString applyToAll();
    static QString replaceButton();
    static QString skipButton();
    static QString keepBothButton();
    static QString deleteButton();

    static QString sameFile(Operation operation, const QByteArray &path);
    static QString failed(Operation operation, const QByteArray &path, int error);
    static QString notAFolder(const QByteArray &path);
    // The files are in the destination folder already.
    static QString sameFolder(Operation operation, const QByteArray &folder);
    static QString notAFile(Operation operation, const QByteArray &path);
    static QString changedWhileCopying(const QByteArray &path);
    static QString sourceKept(const QByteArray &source, const QByteArray &copy, int error);
    // The source changed while it was copied for a move: both are kept.
    static QString sourceChanged(const QByteArray &source, const QByteArray &copy);
};

} // namespace pelandor
