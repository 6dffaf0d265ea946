// Stand-ins for desktop setting programs (gsettings, xfconf-query, ...):
// small scripts in a temporary folder put first on PATH, which record every
// call's arguments exactly as received and answer with a canned output and
// exit code.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QStringList>
#include <QTemporaryDir>

namespace pelandor {

class StandInPrograms {
public:
    struct Call {
        QString program;
        QStringList arguments;
    };

    StandInPrograms()
        : m_oldPath(qgetenv("PATH"))
    {
        qputenv("PATH", QFile::encodeName(m_dir.path()) + ':' + m_oldPath);
    }
    ~StandInPrograms() { qputenv("PATH", m_oldPath); }
    StandInPrograms(const StandInPrograms &) = delete;
    StandInPrograms &operator=(const StandInPrograms &) = delete;

    // Makes `name` a program that logs its call, prints `output` and exits
    // with `exitCode`.
    bool add(const QString &name, const QByteArray &output = {}, int exitCode = 0)
    {
        const QString script = m_dir.filePath(name);
        const QString outFile = script + QStringLiteral(".out");
        QFile out(outFile);
        if (!out.open(QIODevice::WriteOnly) || out.write(output) != output.size())
            return false;
        out.close();
        // Each call: the program's name and every argument, NUL-terminated,
        // then a newline.
        const QByteArray body = "#!/bin/sh\n"
                                "printf '%s\\0' \"$(basename \"$0\")\" \"$@\" >> '"
            + QFile::encodeName(logPath()) + "'\n"
                                              "printf '\\n' >> '"
            + QFile::encodeName(logPath()) + "'\n"
                                              "cat '"
            + QFile::encodeName(outFile) + "'\nexit " + QByteArray::number(exitCode) + "\n";
        QFile file(script);
        if (!file.open(QIODevice::WriteOnly) || file.write(body) != body.size())
            return false;
        file.close();
        return file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

    QList<Call> calls() const
    {
        QFile log(logPath());
        QList<Call> result;
        if (!log.open(QIODevice::ReadOnly))
            return result;
        for (const QByteArray &record : log.readAll().split('\n')) {
            if (record.isEmpty())
                continue;
            QList<QByteArray> fields = record.split('\0');
            fields.removeLast(); // after the last terminator
            Call call;
            call.program = QString::fromUtf8(fields.takeFirst());
            for (const QByteArray &field : fields)
                call.arguments.append(QString::fromUtf8(field));
            result.append(call);
        }
        return result;
    }

    QString folder() const { return m_dir.path(); }

private:
    QString logPath() const { return m_dir.filePath(QStringLiteral("calls.log")); }

    QTemporaryDir m_dir;
    QByteArray m_oldPath;
};

} // namespace pelandor
