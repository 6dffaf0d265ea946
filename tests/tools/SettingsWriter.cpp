// Saves one writer's tool lists over and over, for the test of two
// instances writing at once: settings_writer FILE TAG ROUNDS. Round r saves
// 1 + r % 5 tools named "TAG:i/n" with programs "/opt/TAG/tool i". Exits
// with 1 when a save failed, 3 when the store had to report a damaged file.
#include <QCoreApplication>
#include <QThread>
#include <cstdio>

#include "platform/MessageSink.h"
#include "platform/PelandorError.h"
#include "tools/SettingsStore.h"
#include "tools/ToolList.h"
#include "tools/ToolStore.h"

namespace {

class CountingSink : public pelandor::MessageSink {
public:
    void showMessage(const QString &text) override
    {
        std::fprintf(stderr, "%s\n", text.toUtf8().constData());
        ++count;
    }
    int count = 0;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4)
        return 2;
    CountingSink messages;
    pelandor::SettingsStore store(args[1], messages);
    const QString tag = args[2];
    try {
        for (int round = 0; round < args[3].toInt(); ++round) {
            const int n = 1 + round % 5;
            pelandor::ToolList tools;
            for (int i = 0; i < n; ++i)
                tools.append(QStringLiteral("%1:%2/%3").arg(tag).arg(i).arg(n), QStringLiteral("/opt/%1/tool %2").arg(tag).arg(i));
            pelandor::SaveTools(store, tools);
            // Leave the lock free now and then, as instances in use do. A
            // waiting instance polls for it at growing intervals (100 ms,
            // 200 ms, ...), so a pause much shorter than a save would starve
            // it on a loaded machine, where saves slow down.
            QThread::msleep(10);
        }
    } catch (const pelandor::PelandorError &e) {
        std::fprintf(stderr, "%s\n", e.message().toUtf8().constData());
        return 1;
    }
    return messages.count == 0 ? 0 : 3;
}
