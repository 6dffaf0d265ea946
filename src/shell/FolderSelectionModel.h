// Selection of the folder tree: one node at a time, and a move asked for by
// the user can be refused by the host (it refuses while a folder is being
// read). Each user input event asks the host at most once per target node, so
// a click (which moves the current node and then the selection) is one
// question. Moves made by the program itself are never refused. The user
// cannot empty the selection once a node is selected.
#pragma once

#include <QItemSelectionModel>
#include <QPersistentModelIndex>

#include <functional>
#include <utility>

namespace pelandor {

class FolderSelectionModel : public QItemSelectionModel {
    Q_OBJECT

public:
    explicit FolderSelectionModel(QAbstractItemModel *model, QObject *parent = nullptr);

    // Asked before the selection moves to another node; false refuses.
    void setChangingHandler(std::function<bool()> handler);

    // Starts a new user input event: the next move asks the host again.
    void beginUserEvent();

    // The selected node, or an invalid index.
    QModelIndex selectedNode() const;

    // Runs f as a move by the program: no question to the host. The veto
    // comes back however f ends, also by an exception, so it never stays
    // switched off.
    template <typename F> void programmatic(F &&f) { runWithMoveCount(m_programmatic + 1, f); }
    // True while a move by the program runs.
    bool inProgrammaticMove() const { return m_programmatic > 0; }
    // Runs f with the host's veto on, also inside a move by the program: f
    // reports a move, and what it starts may handle events (a reading does),
    // so the user's clicks meanwhile are asked of the host like any other.
    template <typename F> void askingTheHost(F &&f) { runWithMoveCount(0, f); }

    void setCurrentIndex(const QModelIndex &index, QItemSelectionModel::SelectionFlags command) override;
    void select(const QModelIndex &index, QItemSelectionModel::SelectionFlags command) override;
    void select(const QItemSelection &selection, QItemSelectionModel::SelectionFlags command) override;

private:
    // Runs f with `programmatic` moves by the program under way, then puts
    // the count back as it was.
    template <typename F> void runWithMoveCount(int programmatic, F &f)
    {
        struct Restore {
            int &count;
            int saved;
            ~Restore() { count = saved; }
        } restore{m_programmatic, std::exchange(m_programmatic, programmatic)};
        f();
    }
    // Whether the user may move the selection to target (invalid: to nothing).
    bool userMayMoveTo(const QModelIndex &target);
    QModelIndex targetOf(const QItemSelection &selection, QItemSelectionModel::SelectionFlags command) const;

    std::function<bool()> m_handler;
    int m_programmatic = 0;
    bool m_asked = false;
    QPersistentModelIndex m_askedTarget;
    bool m_answer = true;
};

} // namespace pelandor
