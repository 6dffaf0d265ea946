#include "fileops/FileOperationDialogs.h"

#include <QCheckBox>
#include <QMessageBox>
#include <QPushButton>

#include "fileops/FileOperationTexts.h"

namespace pelandor {

namespace {

const QString Caption = QStringLiteral("Pelandor");

} // namespace

FileOperationDialogs::FileOperationDialogs(QWidget *parent)
    : m_parent(parent)
{
}

bool FileOperationDialogs::confirmDelete(const QList<QByteArray> &paths, bool toTrash)
{
    QMessageBox box(toTrash ? QMessageBox::Question : QMessageBox::Warning, Caption,
        FileOperationTexts::deleteConfirmation(paths, toTrash), QMessageBox::Yes | QMessageBox::No, m_parent);
    // Return may send files to the trash, where they can be had back; it
    // never deletes them for good.
    box.setDefaultButton(toTrash ? QMessageBox::Yes : QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

FileOperationQuestions::Reply FileOperationDialogs::ask(
    const QString &text, const QString &yesText, bool moreFollow, bool keepBoth)
{
    QMessageBox box(QMessageBox::Question, Caption, text, QMessageBox::NoButton, m_parent);
    QPushButton *yes = box.addButton(yesText, QMessageBox::AcceptRole);
    QPushButton *both = keepBoth ? box.addButton(FileOperationTexts::keepBothButton(), QMessageBox::AcceptRole)
                                 : nullptr;
    QPushButton *skip = moreFollow ? box.addButton(FileOperationTexts::skipButton(), QMessageBox::DestructiveRole)
                                   : nullptr;
    QPushButton *cancel = box.addButton(QMessageBox::Cancel);
    // Both questions are about destroying a file: Return takes the safe
    // answer.
    box.setDefaultButton(skip ? skip : cancel);
    box.setEscapeButton(cancel);
    QCheckBox *all = nullptr;
    if (moreFollow) {
        all = new QCheckBox(FileOperationTexts::applyToAll(), &box);
        box.setCheckBox(all);
    }
    box.exec();
    Reply reply;
    if (box.clickedButton() == yes)
        reply.answer = Answer::Yes;
    else if (both && box.clickedButton() == both)
        reply.answer = Answer::KeepBoth;
    else if (skip && box.clickedButton() == skip)
        reply.answer = Answer::Skip;
    reply.applyToAll = all && all->isChecked();
    return reply;
}

FileOperationQuestions::Reply FileOperationDialogs::askReplace(const Conflict &conflict, bool moreFollow)
{
    return ask(FileOperationTexts::replaceQuestion(conflict), FileOperationTexts::replaceButton(), moreFollow, true);
}

FileOperationQuestions::Reply FileOperationDialogs::askDeletePermanently(const QByteArray &path, bool moreFollow)
{
    return ask(FileOperationTexts::deletePermanentlyQuestion(path), FileOperationTexts::deleteButton(), moreFollow,
        false);
}

} // namespace pelandor
