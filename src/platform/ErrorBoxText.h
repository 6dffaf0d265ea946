// The text of the standard error box, shared by the main window and the
// viewers.
#pragma once

#include <QString>

namespace pelandor {

// The message, with "." appended when the code of its last character is
// greater than that of "." (so ".", " " and "!" get nothing).
QString errorBoxText(const QString &message);

} // namespace pelandor
