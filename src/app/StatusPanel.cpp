#include "app/StatusPanel.h"

#include <QPainter>
#include <algorithm>
#include <QStyle>

namespace pelandor {

StatusPanel::StatusPanel(QWidget *parent)
    : QLabel(parent)
{
}

QString StatusPanel::shownText() const
{
    const int room = contentsRect().width() - 2 * margin() - 2 * indent();
    return fontMetrics().elidedText(text(), Qt::ElideRight, std::max(0, room));
}

void StatusPanel::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    drawFrame(&painter);
    const QString shown = shownText();
    setToolTip(shown == text() ? QString() : text());
    const QRect room = contentsRect().adjusted(margin(), margin(), -margin(), -margin());
    style()->drawItemText(&painter, room, int(alignment()), palette(), isEnabled(), shown, foregroundRole());
}

} // namespace pelandor
