// The one guard of the main window's long commands. A long command is one
// that processes events while it works (reading a folder, refreshing
// thumbnails, opening viewers, and later the file operations and tool
// launches): while it runs the user reaches every other handler, and a
// handler that re-read or cleared the file list would pull the list out from
// under it (a refresh would then write its cells into another folder's list).
//
// The rule: a long command holds the guard for as long as it runs; a command
// that re-reads or clears the list refuses while the guard is held. Long
// commands that leave the list's rows alone may run side by side (opening a
// viewer during a reading), so holding is counted; a long command that also
// re-reads or clears the list takes the guard only when it is free.
//
// How a new long command takes the guard:
//
//     void TMainWindow::someLongCommandClick()
//     {
//         const CommandGuard::Token token = m_guard->hold();
//         ... work, pumping events; follow list items by
//             QPersistentModelIndex, never by row or image index ...
//     }                                   // the token's end releases it
//
// How a command that re-reads or clears the list refuses:
//
//     const auto token = m_guard->holdIfIdle();
//     if (!token)
//         return;                         // a long command runs: refuse
//
// (or, for a command that is not long itself: `if (m_guard->busy()) return;`).
// Sorting, view style and the status bar never refuse: the long commands
// follow their items by persistent index, so a new order is no danger.
#pragma once

#include <QObject>
#include <optional>

namespace pelandor {

class CommandGuard : public QObject {
    Q_OBJECT

public:
    // One hold of the guard, released when the token ends; movable, not
    // copyable.
    class Token {
    public:
        Token(Token &&other) noexcept;
        Token &operator=(Token &&other) noexcept;
        Token(const Token &) = delete;
        Token &operator=(const Token &) = delete;
        ~Token();

    private:
        friend class CommandGuard;
        explicit Token(CommandGuard *guard);
        void release();

        CommandGuard *m_guard;
    };

    explicit CommandGuard(QObject *parent = nullptr);

    // A hold for a long command that leaves the list's rows alone; always
    // granted.
    [[nodiscard]] Token hold();
    // A hold for a long command that re-reads or clears the list: nothing
    // while any other command holds the guard.
    [[nodiscard]] std::optional<Token> holdIfIdle();
    // True while any long command holds the guard.
    bool busy() const { return m_holds > 0; }

signals:
    // The last hold has ended: no long command runs any more.
    void released();

private:
    int m_holds = 0;
};

} // namespace pelandor
