// Sorting, view style and the status bar. The sort key lives in the radio
// menu entries and the key buttons, the direction in the check mark of
// "降順(&D)", the view style in the list with its menu entry and button.
#include "app/TMainWindow.h"

#include <QAction>
#include <QToolButton>

#include "listing/FileListModel.h"
#include "listing/FileListView.h"
#include "listing/ItemComparison.h"
#include "platform/NativeName.h"

namespace pelandor {

namespace {

// Sorts the list by key, descending when the direction entry is checked,
// and shows the key on the entry, the button and the list's hint.
void sortByKey(FileListView *list, const QAction *descending, SortKey key, QAction *entry, QToolButton *button)
{
    int k = int(key);
    if (descending->isChecked())
        k = -k;
    list->model()->sortItems(k);
    entry->setChecked(true);
    button->setChecked(true);
    list->setHint(sortKeyHint(key));
}

} // namespace

void TMainWindow::mnuView_sort_nameClick()
{
    sortByKey(ListView1, mnuView_sort_down, SortKey::Name, mnuView_sort_name, sbSortByName);
}

void TMainWindow::mnuView_sort_typeClick()
{
    sortByKey(ListView1, mnuView_sort_down, SortKey::Type, mnuView_sort_type, sbSortByType);
}

void TMainWindow::mnuView_sort_sizeClick()
{
    sortByKey(ListView1, mnuView_sort_down, SortKey::Size, mnuView_sort_size, sbSortBySize);
}

void TMainWindow::mnuView_sort_dateClick()
{
    sortByKey(ListView1, mnuView_sort_down, SortKey::Date, mnuView_sort_date, sbSortByDate);
}

// The direction handlers leave sbUpSort and sbDownSort alone: a direction
// chosen from the menu does not move the buttons, and the menu's check mark
// is what every sort reads.
void TMainWindow::mnuView_sort_upClick()
{
    mnuView_sort_up->setChecked(true);
    ResortByCheckedKey();
}

void TMainWindow::mnuView_sort_downClick()
{
    mnuView_sort_down->setChecked(true);
    ResortByCheckedKey();
}

void TMainWindow::ResortByCheckedKey()
{
    if (mnuView_sort_name->isChecked())
        mnuView_sort_nameClick();
    else if (mnuView_sort_type->isChecked())
        mnuView_sort_typeClick();
    else if (mnuView_sort_size->isChecked())
        mnuView_sort_sizeClick();
    else if (mnuView_sort_date->isChecked())
        mnuView_sort_dateClick();
}

void TMainWindow::mnuView_style_iconClick()
{
    ListView1->setViewStyle(false);
    mnuView_style_icon->setChecked(true);
    sbIcon->setChecked(true);
}

void TMainWindow::mnuView_style_reportClick()
{
    ListView1->setViewStyle(true);
    mnuView_style_report->setChecked(true);
    sbReport->setChecked(true);
}

void TMainWindow::ListView1Change(int row)
{
    const FileListModel *model = ListView1->model();
    if (row < 0 || row >= model->count())
        return;
    SetStatusPanel(0, NativeName::display(model->caption(row)));
    SetStatusPanel(1, model->subItem(row, 0));
    SetStatusPanel(2, model->subItem(row, 1) + QStringLiteral("Byte"));
    SetStatusPanel(3, model->subItem(row, 2));
    SetStatusPanel(4, model->subItem(row, 3));
}

} // namespace pelandor
