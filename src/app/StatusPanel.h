// One panel of the main window's status bar: a label of fixed width whose
// text, when it does not fit, is cut at its end with "…" (never at its
// start, where a right-aligned label would drop the leading digits and show
// another number). The whole text stays the label's text and its tool tip.
#pragma once

#include <QLabel>

namespace pelandor {

class StatusPanel : public QLabel {
    Q_OBJECT

public:
    explicit StatusPanel(QWidget *parent = nullptr);

    // The text as the panel paints it in its current width.
    QString shownText() const;

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace pelandor
