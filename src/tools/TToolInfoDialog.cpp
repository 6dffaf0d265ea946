#include "tools/TToolInfoDialog.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include "tools/DialogFont.h"
#include "tools/ExecutableFileFilter.h"
#include "tools/TExtToolsDialog.h"

namespace pelandor {

// The programs of this system (files the user may run, whatever their names)
// come first; the "*.exe" entry follows for programs run through Wine.
const char *const TToolInfoDialog::OpenDialogFilter =
    QT_TRANSLATE_NOOP("pelandor::TToolInfoDialog", "実行ﾌｧｲﾙ (*);;ﾌﾟﾛｸﾞﾗﾑﾌｧｲﾙ (*.exe);;全てのﾌｧｲﾙ (*)");

namespace {

QPushButton *makeButton(QWidget *parent, const char *name, const QString &caption, int x, int y)
{
    auto *button = new QPushButton(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(x, y, 61, 25);
    // Neither Enter nor Esc presses a button of this dialog.
    button->setAutoDefault(false);
    return button;
}

} // namespace

TToolInfoDialog::TToolInfoDialog(TExtToolsDialog *owner)
    : QDialog(owner)
    , m_owner(owner)
{
    setObjectName(QStringLiteral("ToolInfoDialog"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("登録ﾂｰﾙ情報"));
    setFont(DialogFont::font());
    setFixedSize(345, 126);

    Label1 = new QLabel(tr("登録名"), this);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->move(16, 16);
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(16, 32, 241, 20);
    Label2 = new QLabel(tr("実行ファイル"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->move(16, 68);
    Edit2 = new QLineEdit(this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setGeometry(16, 84, 241, 20);
    btn_ok = makeButton(this, "btn_ok", QStringLiteral("OK"), 272, 12);
    btn_ok->setEnabled(false);
    btn_cancel = makeButton(this, "btn_cancel", tr("ｷｬﾝｾﾙ"), 272, 40);
    btn_ref = makeButton(this, "btn_ref", tr("参照"), 272, 84);

    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, btn_ok);
    setTabOrder(btn_ok, btn_cancel);
    setTabOrder(btn_cancel, btn_ref);
    Edit1->setFocus();

    connect(Edit1, &QLineEdit::textChanged, this, &TToolInfoDialog::Edit1Change);
    connect(Edit2, &QLineEdit::textChanged, this, &TToolInfoDialog::Edit1Change);
    connect(btn_ok, &QPushButton::clicked, this, &TToolInfoDialog::btn_okClick);
    connect(btn_cancel, &QPushButton::clicked, this, &TToolInfoDialog::btn_cancelClick);
    connect(btn_ref, &QPushButton::clicked, this, &TToolInfoDialog::btn_refClick);

    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

void TToolInfoDialog::Edit1Change()
{
    btn_ok->setEnabled(!Edit1->text().isEmpty() && !Edit2->text().isEmpty());
}

void TToolInfoDialog::btn_refClick()
{
    QFileDialog OpenDialog1(this);
    OpenDialog1.setFileMode(QFileDialog::ExistingFile);
    // The first entry filters on the permission to run a file, which needs
    // the dialog's own file list.
    OpenDialog1.setOption(QFileDialog::DontUseNativeDialog);
    auto *programs = new ExecutableFileFilter(&OpenDialog1);
    OpenDialog1.setProxyModel(programs);
    const QStringList filters = tr(OpenDialogFilter).split(QStringLiteral(";;"));
    OpenDialog1.setNameFilters(filters);
    connect(&OpenDialog1, &QFileDialog::filterSelected, programs,
            [programs, first = filters.value(0)](const QString &filter) { programs->setActive(filter == first); });
    if (OpenDialog1.exec() == QDialog::Accepted && !OpenDialog1.selectedFiles().isEmpty())
        TakePickedFile(OpenDialog1.selectedFiles().first());
}

void TToolInfoDialog::TakePickedFile(const QString &path)
{
    Edit1->setText(QFileInfo(path).fileName());
    Edit2->setText(path);
}

void TToolInfoDialog::btn_okClick()
{
    m_owner->ApplyToolInfo(Edit1->text(), Edit2->text());
    accept();
}

void TToolInfoDialog::btn_cancelClick()
{
    reject();
}

void TToolInfoDialog::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace pelandor
