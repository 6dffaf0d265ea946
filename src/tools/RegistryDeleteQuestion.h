// The question before the stored settings are deleted: OK (the default) or
// Cancel, no icon. Esc and the close box count as Cancel.
#pragma once

#include <QString>

class QWidget;

namespace pelandor {

class RegistryDeleteQuestion {
public:
    static QString Caption();
    static QString Text();
    // True unless the user answered Cancel.
    static bool Ask(QWidget *parent);
};

} // namespace pelandor
