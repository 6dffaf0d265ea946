// The application's standard error box and the guard that ends a command in
// it: an error escaping a command is shown, and the program goes on.
#pragma once

#include <QString>
#include <exception>
#include <new>
#include <utility>

#include "platform/ErrorBoxText.h"
#include "platform/PelandorError.h"

class QWidget;

namespace pelandor {

// A modal box captioned "Pelandor" with the error icon and an OK button.
void showErrorBox(QWidget *parent, const QString &message);

template <typename F> void runGuarded(QWidget *parent, F &&command)
{
    try {
        std::forward<F>(command)();
    } catch (const PelandorError &e) {
        showErrorBox(parent, e.message());
    } catch (const std::bad_alloc &) {
        showErrorBox(parent, QStringLiteral("Out of memory"));
    } catch (const std::exception &e) {
        showErrorBox(parent, QString::fromLocal8Bit(e.what()));
    }
}

} // namespace pelandor
