// Where a viewer stands in the main window's file list, for stepping to the
// next or previous file (or the first or last) in the list's current order;
// the list holds only files of the chosen type, so the steps keep to it. The
// viewer's item is followed by persistent index, never by row number, so a
// sort keeps it; when the list drops the item (the file was deleted, the list
// re-read), the viewer stays on its file, and the next step goes to the item
// that followed it (the previous step to the one before it), or to the same
// file again if the list holds it once more.
#pragma once

#include <QObject>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QString>
#include <functional>

namespace pelandor {

class FileListModel;

class ViewerSequence : public QObject {
    Q_OBJECT

public:
    enum class Step { Next, Previous, First, Last };

    // `pathOfRow` gives a row's full path (empty when it is no file of the
    // viewer's folder any more, e.g. after another folder was chosen).
    ViewerSequence(const FileListModel *model, std::function<QString(int row)> pathOfRow, int row,
                   const QString &path, QObject *parent = nullptr);

    QString currentPath() const { return m_path; }

    // The path a step would go to, without going; empty when there is none
    // (at the end of the list, an empty list).
    QString peek(Step step) const;
    // Goes one step; returns the new path, or an empty text (staying) when
    // there is none.
    QString go(Step step);

private:
    void rowsAboutToBeRemoved(const QModelIndex &parent, int first, int last);
    int currentRow() const;
    int targetRow(Step step) const;
    bool usable(int row) const;

    QPointer<const FileListModel> m_model;
    std::function<QString(int)> m_pathOfRow;
    QPersistentModelIndex m_current;
    // The neighbours of the item when the list dropped it.
    QPersistentModelIndex m_after;
    QPersistentModelIndex m_before;
    QString m_path;
};

} // namespace pelandor
