// A temporary folder that is removed with everything in it, also names that
// are not valid UTF-8: QTemporaryDir removes its contents by decoded names,
// so a folder holding such a name was left behind in /tmp after every run.
#pragma once

#include <QFile>
#include <QTemporaryDir>

#include <filesystem>
#include <system_error>

class TemporaryFolder : public QTemporaryDir {
public:
    using QTemporaryDir::QTemporaryDir;
    ~TemporaryFolder()
    {
        if (!isValid() || !autoRemove())
            return;
        std::error_code ignored;
        std::filesystem::remove_all(std::filesystem::path(QFile::encodeName(path()).toStdString()), ignored);
    }
    TemporaryFolder(const TemporaryFolder &) = delete;
    TemporaryFolder &operator=(const TemporaryFolder &) = delete;
};
