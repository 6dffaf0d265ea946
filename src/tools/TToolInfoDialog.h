// The edit dialog of one tool: registered name and executable file. Opened by
// the tools dialog for add and for edit; its OK hands both texts to that
// dialog, which applies them according to its add/edit flag.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace pelandor {

class TExtToolsDialog;

class TToolInfoDialog : public QDialog {
    Q_OBJECT

public:
    explicit TToolInfoDialog(TExtToolsDialog *owner);

    static const char *const OpenDialogFilter;

    QLabel *Label1 = nullptr;
    QLineEdit *Edit1 = nullptr;
    QLabel *Label2 = nullptr;
    QLineEdit *Edit2 = nullptr;
    QPushButton *btn_ok = nullptr;
    QPushButton *btn_cancel = nullptr;
    QPushButton *btn_ref = nullptr;

    void Edit1Change();
    void btn_refClick();
    void btn_okClick();
    void btn_cancelClick();
    // A path picked through "参照": its file name into Edit1, the path into Edit2.
    void TakePickedFile(const QString &path);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    TExtToolsDialog *m_owner;
};

} // namespace pelandor
