// The text form of the settings file, the one registry exports use, so that a
// user can read and edit it:
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\Software\Tobrek\Pelandor\Tools]
//   "Count"=dword:00000001
//
//   [HKEY_CURRENT_USER\Software\Tobrek\Pelandor\Tools\0]
//   "Exe_file"="/usr/bin/gimp"
//   "Name"="GIMP \"2\""
//
// Texts are UTF-8. A REG_SZ is written quoted (backslash and double quote
// escaped with a backslash) unless it holds a line break, then as hex(1);
// REG_DWORD as dword: and eight hex digits; REG_EXPAND_SZ as hex(2): and its
// NUL-terminated bytes; any other type as hex: or hex(N):. Every key gets its
// block, also a key without values.
#pragma once

#include <QByteArray>
#include <QString>

#include "tools/RegistryTree.h"

namespace pelandor {

class RegFile {
public:
    static constexpr const char *Header = "REGEDIT4";
    static constexpr const char *RootName = "HKEY_CURRENT_USER";

    struct ParseError {
        int line = 0; // 1-based
        QString reason;
    };

    static QByteArray write(const RegistryTree &tree);
    // Reads a whole file. On a fault returns false and says where it is.
    static bool read(const QByteArray &bytes, RegistryTree *tree, ParseError *error);
};

} // namespace pelandor
