// The folders of one volume as an item model: one top-level node for the
// volume's root, below it one node per folder. A node's children are read
// from the disk the first time the view asks for them (canFetchMore /
// fetchMore), sorted by the user's word order; until then the node's
// has-subfolders hint decides whether it shows an expand button. A node whose
// hint is set but that got no children is read again at the next request.
#pragma once

#include <QAbstractItemModel>
#include <QIcon>

#include <memory>
#include <vector>

#include "platform/TextCollator.h"
#include "shell/FolderEnumerator.h"

namespace pelandor {

class FolderTreeModel : public QAbstractItemModel {
    Q_OBJECT

public:
    // Path of the folder a node stands for.
    static constexpr int PathRole = Qt::UserRole + 1;

    explicit FolderTreeModel(QObject *parent = nullptr);
    ~FolderTreeModel() override;

    // Icons of volume roots and of folders. The folder icon may carry an
    // open-folder picture for QIcon::Selected.
    void setIcons(const QIcon &volumeIcon, const QIcon &folderIcon);

    // Drops every node and makes a root node for the folder at rootPath
    // (absolute, no trailing "/" except "/"), shown as text, and reads its
    // first level of subfolders.
    void setRoot(const QString &rootPath, const QString &text);
    void clear();

    QModelIndex rootIndex() const;
    QString path(const QModelIndex &index) const;
    // The node of an absolute folder path below (or at) the root, reading
    // the folders on the way down. Invalid when the path is not under the
    // root or a folder on the way does not exist.
    QModelIndex indexForPath(const QString &absolutePath);

    // Whether a node's subfolders have been read (with at least one found).
    bool isPopulated(const QModelIndex &index) const;
    // The node of a folder whose node exists already, without reading
    // anything; invalid otherwise.
    QModelIndex loadedIndexForPath(const QString &absolutePath) const;
    // The folders of the root and of every populated node: the folders whose
    // subfolders the tree shows.
    QStringList populatedPaths() const;
    // Reads a node's subfolders again and brings its children in line: gone
    // folders leave (with their branches), new ones come in at their sorted
    // places, and the children that stay keep their nodes (and so their
    // expansion and selection) with their expand hints renewed. A node whose
    // subfolders were never read only renews its hint.
    void refreshNode(const QModelIndex &index);

    QModelIndex index(int row, int column, const QModelIndex &parent = {}) const override;
    QModelIndex parent(const QModelIndex &child) const override;
    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    bool hasChildren(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

private:
    struct Node {
        QString text;
        QString path;
        Node *parent = nullptr;
        int row = 0;
        bool hasSubfoldersHint = false;
        std::vector<std::unique_ptr<Node>> children;
    };

    Node *nodeOf(const QModelIndex &index) const;
    QModelIndex indexOf(const Node *node) const;
    QList<FolderEnumerator::Subfolder> sortedSubfolders(const QString &path) const;
    static void appendChildren(Node *node, const QList<FolderEnumerator::Subfolder> &subfolders);
    // A node for the subfolder `sub` of `parent`, not yet placed among its children.
    static std::unique_ptr<Node> makeChild(Node *parent, const FolderEnumerator::Subfolder &sub);
    void readChildren(Node *node, const QModelIndex &nodeIndex);
    static void renumber(Node *node, size_t from);

    std::unique_ptr<Node> m_root;
    TextCollator m_collator;
    QIcon m_volumeIcon;
    QIcon m_folderIcon;
};

} // namespace pelandor
