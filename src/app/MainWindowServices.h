// What the main window reaches outside itself and a test may replace: the
// settings file, the starter of the external tools and the sink of the
// messages for the user. Every member left empty gets the program's own.
#pragma once

#include <QString>
#include <memory>

#include "tools/ProcessStarter.h"

namespace pelandor {

class MessageSink;

struct MainWindowServices {
    // The settings file; empty: SettingsStore::defaultFilePath().
    QString settingsFile;
    // Starts the external tools; null: DetachedProcessStarter. The window
    // takes it over.
    std::unique_ptr<ProcessStarter> processStarter;
    // Where messages for the user go; null: modal boxes over the window.
    // Must outlive the window.
    MessageSink *messages = nullptr;
};

} // namespace pelandor
