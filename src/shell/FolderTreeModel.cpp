#include "shell/FolderTreeModel.h"

#include "platform/FileNames.h"

#include <QHash>

#include <algorithm>

#include "platform/VolumeList.h"
#include "shell/FolderEnumerator.h"
#include "platform/NativeName.h"

namespace pelandor {

FolderTreeModel::FolderTreeModel(QObject *parent)
    : QAbstractItemModel(parent)
{
}

FolderTreeModel::~FolderTreeModel() = default;

void FolderTreeModel::setIcons(const QIcon &volumeIcon, const QIcon &folderIcon)
{
    m_volumeIcon = volumeIcon;
    m_folderIcon = folderIcon;
    if (m_root)
        emit dataChanged(rootIndex(), rootIndex(), {Qt::DecorationRole});
}

void FolderTreeModel::setRoot(const QString &rootPath, const QString &text)
{
    beginResetModel();
    m_root = std::make_unique<Node>();
    m_root->text = text;
    m_root->path = rootPath;
    m_root->hasSubfoldersHint = FolderEnumerator::hasSubfolders(rootPath);
    // The first level is part of the new content, not an insertion after it.
    appendChildren(m_root.get(), sortedSubfolders(rootPath));
    endResetModel();
}

void FolderTreeModel::clear()
{
    beginResetModel();
    m_root.reset();
    endResetModel();
}

QModelIndex FolderTreeModel::rootIndex() const
{
    return m_root ? createIndex(0, 0, m_root.get()) : QModelIndex();
}

QString FolderTreeModel::path(const QModelIndex &index) const
{
    const Node *node = nodeOf(index);
    return node ? node->path : QString();
}

QModelIndex FolderTreeModel::indexForPath(const QString &absolutePath)
{
    if (!m_root)
        return {};
    const QString target = VolumeList::normalizedPath(absolutePath);
    if (!VolumeList::contains(m_root->path, target))
        return {};
    const QStringList parts = target.mid(m_root->path.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    Node *node = m_root.get();
    for (const QString &part : parts) {
        if (canFetchMore(indexOf(node)))
            fetchMore(indexOf(node));
        const auto found = std::find_if(node->children.begin(), node->children.end(),
                                        [&part](const std::unique_ptr<Node> &child) { return child->text == part; });
        if (found == node->children.end())
            return {};
        node = found->get();
    }
    return indexOf(node);
}

bool FolderTreeModel::isPopulated(const QModelIndex &index) const
{
    const Node *node = nodeOf(index);
    return node && !node->children.empty();
}

QModelIndex FolderTreeModel::loadedIndexForPath(const QString &absolutePath) const
{
    if (!m_root)
        return {};
    const QString target = VolumeList::normalizedPath(absolutePath);
    if (!VolumeList::contains(m_root->path, target))
        return {};
    const QStringList parts = target.mid(m_root->path.size()).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    const Node *node = m_root.get();
    for (const QString &part : parts) {
        const auto found = std::find_if(node->children.begin(), node->children.end(),
                                        [&part](const std::unique_ptr<Node> &child) { return child->text == part; });
        if (found == node->children.end())
            return {};
        node = found->get();
    }
    return indexOf(node);
}

QStringList FolderTreeModel::populatedPaths() const
{
    QStringList paths;
    if (!m_root)
        return paths;
    std::vector<const Node *> todo{m_root.get()};
    while (!todo.empty()) {
        const Node *node = todo.back();
        todo.pop_back();
        if (node != m_root.get() && node->children.empty())
            continue;
        paths.append(node->path);
        for (const std::unique_ptr<Node> &child : node->children)
            todo.push_back(child.get());
    }
    return paths;
}

void FolderTreeModel::renumber(Node *node, size_t from)
{
    for (size_t i = from; i < node->children.size(); ++i)
        node->children[i]->row = int(i);
}

void FolderTreeModel::refreshNode(const QModelIndex &index)
{
    Node *node = nodeOf(index);
    if (!node)
        return;
    if (node->children.empty() && node != m_root.get()) {
        const bool hint = FolderEnumerator::hasSubfolders(node->path);
        if (hint != node->hasSubfoldersHint) {
            node->hasSubfoldersHint = hint;
            emit dataChanged(index, index);
        }
        return;
    }
    // A folder that cannot be read any more (gone, or access taken away)
    // shows no subfolders.
    const QList<FolderEnumerator::Subfolder> found = sortedSubfolders(node->path);
    QHash<QString, bool> hintOf;
    for (const FolderEnumerator::Subfolder &sub : found)
        hintOf.insert(sub.name, sub.hasSubfolders);

    for (size_t row = node->children.size(); row-- > 0;) {
        if (hintOf.contains(node->children[row]->text))
            continue;
        beginRemoveRows(index, int(row), int(row));
        node->children.erase(node->children.begin() + std::ptrdiff_t(row));
        renumber(node, row);
        endRemoveRows();
    }
    for (const FolderEnumerator::Subfolder &sub : found) {
        const auto at = std::find_if(node->children.begin(), node->children.end(),
                                     [&](const std::unique_ptr<Node> &child) {
                                         return child->text == sub.name || m_collator.compare(child->text, sub.name) > 0;
                                     });
        if (at != node->children.end() && (*at)->text == sub.name) {
            Node *child = at->get();
            if (child->children.empty() && child->hasSubfoldersHint != sub.hasSubfolders) {
                child->hasSubfoldersHint = sub.hasSubfolders;
                const QModelIndex childIndex = indexOf(child);
                emit dataChanged(childIndex, childIndex);
            }
            continue;
        }
        const int row = int(at - node->children.begin());
        beginInsertRows(index, row, row);
        node->children.insert(node->children.begin() + row, makeChild(node, sub));
        renumber(node, size_t(row));
        endInsertRows();
    }
    node->hasSubfoldersHint = !node->children.empty();
}

FolderTreeModel::Node *FolderTreeModel::nodeOf(const QModelIndex &index) const
{
    if (!index.isValid() || index.model() != this)
        return nullptr;
    return static_cast<Node *>(index.internalPointer());
}

QModelIndex FolderTreeModel::indexOf(const Node *node) const
{
    return node ? createIndex(node->row, 0, const_cast<Node *>(node)) : QModelIndex();
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex &parent) const
{
    if (column != 0 || row < 0)
        return {};
    if (!parent.isValid())
        return row == 0 && m_root ? rootIndex() : QModelIndex();
    const Node *node = nodeOf(parent);
    if (!node || parent.column() != 0 || row >= int(node->children.size()))
        return {};
    return createIndex(row, 0, node->children[size_t(row)].get());
}

QModelIndex FolderTreeModel::parent(const QModelIndex &child) const
{
    const Node *node = nodeOf(child);
    return node ? indexOf(node->parent) : QModelIndex();
}

int FolderTreeModel::rowCount(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return m_root ? 1 : 0;
    const Node *node = nodeOf(parent);
    return node && parent.column() == 0 ? int(node->children.size()) : 0;
}

int FolderTreeModel::columnCount(const QModelIndex &) const
{
    return 1;
}

bool FolderTreeModel::hasChildren(const QModelIndex &parent) const
{
    if (!parent.isValid())
        return bool(m_root);
    const Node *node = nodeOf(parent);
    return node && parent.column() == 0 && (!node->children.empty() || node->hasSubfoldersHint);
}

QVariant FolderTreeModel::data(const QModelIndex &index, int role) const
{
    const Node *node = nodeOf(index);
    if (!node)
        return {};
    switch (role) {
    case Qt::DisplayRole:
        return NativeName::display(node->text);
    case Qt::DecorationRole:
        return node->parent ? m_folderIcon : m_volumeIcon;
    case Qt::ToolTipRole:
        return NativeName::display(node->path);
    case PathRole:
        return node->path;
    default:
        return {};
    }
}

Qt::ItemFlags FolderTreeModel::flags(const QModelIndex &index) const
{
    return nodeOf(index) ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}

bool FolderTreeModel::canFetchMore(const QModelIndex &parent) const
{
    const Node *node = nodeOf(parent);
    return node && node->hasSubfoldersHint && node->children.empty();
}

void FolderTreeModel::fetchMore(const QModelIndex &parent)
{
    if (Node *node = nodeOf(parent); node && node->children.empty())
        readChildren(node, parent);
}

QList<FolderEnumerator::Subfolder> FolderTreeModel::sortedSubfolders(const QString &path) const
{
    QList<FolderEnumerator::Subfolder> found;
    if (!FolderEnumerator::subfolders(path, found))
        return {};
    // Sorted once, before insertion, rather than per inserted row.
    std::stable_sort(found.begin(), found.end(),
                     [this](const FolderEnumerator::Subfolder &a, const FolderEnumerator::Subfolder &b) {
                         return m_collator.compare(a.name, b.name) < 0;
                     });
    return found;
}

std::unique_ptr<FolderTreeModel::Node> FolderTreeModel::makeChild(Node *parent, const FolderEnumerator::Subfolder &sub)
{
    auto child = std::make_unique<Node>();
    child->text = sub.name;
    child->path = FileNames::joinPath(parent->path, sub.name);
    child->parent = parent;
    child->hasSubfoldersHint = sub.hasSubfolders;
    return child;
}

void FolderTreeModel::appendChildren(Node *node, const QList<FolderEnumerator::Subfolder> &subfolders)
{
    node->children.reserve(node->children.size() + size_t(subfolders.size()));
    for (const FolderEnumerator::Subfolder &sub : subfolders) {
        node->children.push_back(makeChild(node, sub));
        node->children.back()->row = int(node->children.size()) - 1;
    }
    // Once read, the children themselves decide whether there is a button.
    if (!subfolders.isEmpty())
        node->hasSubfoldersHint = true;
}

void FolderTreeModel::readChildren(Node *node, const QModelIndex &nodeIndex)
{
    const QList<FolderEnumerator::Subfolder> found = sortedSubfolders(node->path);
    if (found.isEmpty())
        return; // the node keeps its hint, so the next request reads again
    beginInsertRows(nodeIndex, 0, int(found.size()) - 1);
    appendChildren(node, found);
    endInsertRows();
}

} // namespace pelandor
