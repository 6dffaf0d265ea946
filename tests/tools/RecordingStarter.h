// A process starter for tests: records every start instead of starting, and
// refuses the files listed in `refused` with `errorText`.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include "tools/ProcessStarter.h"

class RecordingStarter : public pelandor::ProcessStarter {
public:
    struct Start {
        QString program;
        QStringList arguments;
    };
    bool startDetached(const QString &program, const QStringList &arguments, QString *errorText) override
    {
        starts.append({program, arguments});
        if (refused.contains(arguments.value(0))) {
            *errorText = refusal;
            return false;
        }
        return true;
    }
    QList<Start> starts;
    QStringList refused;
    QString refusal = QStringLiteral("No such file or directory");
};
