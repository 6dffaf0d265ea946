#include "tools/TExtToolsDialog.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QStyledItemDelegate>

#include "tools/DialogFont.h"
#include "tools/TToolInfoDialog.h"
#include "tools/ToolList.h"

namespace pelandor {

namespace {

// List lines 12 pixels high.
class LineHeightDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override
    {
        return QSize(QStyledItemDelegate::sizeHint(option, index).width(), 12);
    }
};

QPushButton *makeButton(QWidget *panel, const char *name, const QString &caption, int y)
{
    auto *button = new QPushButton(caption, panel);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(12, y, 61, 25);
    return button;
}

} // namespace

TExtToolsDialog::TExtToolsDialog(ToolList &tools, SaveHandler saveTools, QWidget *parent)
    : QDialog(parent)
    , m_tools(tools)
    , m_saveTools(std::move(saveTools))
{
    setObjectName(QStringLiteral("ExtToolsDialog"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(tr("外部ﾂｰﾙの設定"));
    setFont(DialogFont::font());

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    ListBox1 = new QListWidget(this);
    ListBox1->setObjectName(QStringLiteral("ListBox1"));
    ListBox1->setSelectionMode(QAbstractItemView::SingleSelection);
    ListBox1->setSortingEnabled(false);
    ListBox1->setUniformItemSizes(true);
    ListBox1->setItemDelegate(new LineHeightDelegate(ListBox1));
    ListBox1->viewport()->installEventFilter(this);
    ListBox1->installEventFilter(this);

    Panel1 = new QWidget(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setFixedWidth(82);
    btn_add = makeButton(Panel1, "btn_add", tr("追加"), 12);
    btn_edit = makeButton(Panel1, "btn_edit", tr("編集"), 40);
    btn_delete = makeButton(Panel1, "btn_delete", tr("削除"), 68);
    btn_ok = makeButton(Panel1, "btn_ok", QStringLiteral("OK"), 104);
    btn_cancel = makeButton(Panel1, "btn_cancel", tr("ｷｬﾝｾﾙ"), 132);

    row->addWidget(ListBox1, 1);
    row->addWidget(Panel1);

    // The panel comes first, and the cancel button first within it.
    setTabOrder(btn_cancel, btn_add);
    setTabOrder(btn_add, btn_delete);
    setTabOrder(btn_delete, btn_edit);
    setTabOrder(btn_edit, btn_ok);
    setTabOrder(btn_ok, ListBox1);
    btn_cancel->setFocus();

    connect(btn_add, &QPushButton::clicked, this, &TExtToolsDialog::btn_addClick);
    connect(btn_edit, &QPushButton::clicked, this, &TExtToolsDialog::btn_editClick);
    connect(btn_delete, &QPushButton::clicked, this, &TExtToolsDialog::btn_deleteClick);
    connect(btn_ok, &QPushButton::clicked, this, &TExtToolsDialog::btn_okClick);
    connect(btn_cancel, &QPushButton::clicked, this, &TExtToolsDialog::btn_cancelClick);

    for (int i = 0; i < m_tools.ToolCount(); ++i)
        ListBox1->addItem(m_tools.ToolNames()[i]);

    resize(258, 194);
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

int TExtToolsDialog::SelectedLine() const
{
    const QList<QListWidgetItem *> selected = ListBox1->selectedItems();
    return selected.isEmpty() ? -1 : ListBox1->row(selected.first());
}

void TExtToolsDialog::ApplyToolInfo(const QString &name, const QString &exeFile)
{
    const int line = SelectedLine();
    if (AddEditFlag == 1) {
        const int p = line < 0 ? m_tools.ToolCount() : line;
        m_tools.insert(p, name, exeFile);
        ListBox1->insertItem(p, name);
    } else if (line >= 0) {
        m_tools.replace(line, name, exeFile);
        ListBox1->item(line)->setText(name);
    }
}

void TExtToolsDialog::btn_addClick()
{
    auto *info = new TToolInfoDialog(this);
    AddEditFlag = 1;
    info->exec();
}

void TExtToolsDialog::btn_editClick()
{
    const int line = SelectedLine();
    if (line < 0) {
        QApplication::beep();
        return;
    }
    auto *info = new TToolInfoDialog(this);
    info->Edit1->setText(m_tools.ToolNames()[line]);
    info->Edit2->setText(m_tools.ToolExeFiles()[line]);
    AddEditFlag = 0;
    info->exec();
}

void TExtToolsDialog::btn_deleteClick()
{
    const int line = SelectedLine();
    if (line < 0) {
        QApplication::beep();
        return;
    }
    delete ListBox1->takeItem(line);
    m_tools.removeAt(line);
    // The list box would move the selection to the next line; after a delete
    // no line is selected, so that a second delete cannot remove another
    // tool unasked and an add appends.
    ListBox1->clearSelection();
    ListBox1->setCurrentItem(nullptr, QItemSelectionModel::Clear);
}

void TExtToolsDialog::btn_okClick()
{
    if (m_saveTools())
        accept();
}

void TExtToolsDialog::btn_cancelClick()
{
    reject();
}

void TExtToolsDialog::ListBox1MouseUp(const QPoint &pos)
{
    if (!ListBox1->itemAt(pos)) {
        ListBox1->clearSelection();
        ListBox1->setCurrentItem(nullptr);
    }
}

bool TExtToolsDialog::eventFilter(QObject *watched, QEvent *event)
{
    // No button of this dialog answers Return. The button that had the focus
    // last (the cancel button when the dialog opens) would otherwise take a
    // Return typed in the list, and a cancel throws away every edit.
    if (watched == ListBox1 && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter)
            return true;
    }
    if (watched == ListBox1->viewport() && event->type() == QEvent::MouseButtonRelease)
        ListBox1MouseUp(static_cast<QMouseEvent *>(event)->position().toPoint());
    return QDialog::eventFilter(watched, event);
}

void TExtToolsDialog::done(int result)
{
    QDialog::done(result);
    FormClose();
}

void TExtToolsDialog::FormClose()
{
    emit formClosed();
}

} // namespace pelandor
