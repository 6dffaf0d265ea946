// The tools dialog: the registered names of the external tools with add,
// edit, delete, OK and cancel. It edits the caller's tool list directly; OK
// saves it through the caller, and every close (OK, cancel, Esc, the close
// box) emits formClosed so the caller reloads the list and its menu from the
// store, which is what makes cancel discard the edits.
#pragma once

#include <QDialog>
#include <functional>

class QListWidget;
class QPushButton;

namespace pelandor {

class ToolList;

class TExtToolsDialog : public QDialog {
    Q_OBJECT

public:
    // Saves the tool list; false when it could not (the caller has told the
    // user why), and the dialog then stays open with the edited list.
    using SaveHandler = std::function<bool()>;

    TExtToolsDialog(ToolList &tools, SaveHandler saveTools, QWidget *parent = nullptr);

    QListWidget *ListBox1 = nullptr;
    QWidget *Panel1 = nullptr;
    QPushButton *btn_add = nullptr;
    QPushButton *btn_edit = nullptr;
    QPushButton *btn_delete = nullptr;
    QPushButton *btn_ok = nullptr;
    QPushButton *btn_cancel = nullptr;

    // What OK of the edit dialog means: 1 add, 0 edit.
    int AddEditFlag = 0;

    // The selected line, or -1.
    int SelectedLine() const;
    // OK of the edit dialog: a new tool goes in front of the selected line
    // (at the end without one); an edit replaces the selected tool.
    void ApplyToolInfo(const QString &name, const QString &exeFile);

    void btn_addClick();
    void btn_editClick();
    void btn_deleteClick();
    void btn_okClick();
    void btn_cancelClick();
    void ListBox1MouseUp(const QPoint &pos);

signals:
    void formClosed();

protected:
    void done(int result) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void FormClose();

    ToolList &m_tools;
    SaveHandler m_saveTools;
};

} // namespace pelandor
