#include "app/ApplicationShell.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>
#include <QFont>
#include <QLibraryInfo>
#include <QTranslator>
#include <cstdio>
#include <memory>

#include "app/CommandLine.h"
#include "decode/ExifOrientation.h"
#include "app/ErrorBox.h"
#include "app/TMainWindow.h"
#include "app/ToolGlyphs.h"
#include "listing/HeadlessReport.h"
#include "listing/ThumbnailCache.h"
#include "platform/MessageSink.h"
#include "plugin/TSpi.h"
#include "plugin/TypeListBuilder.h"
#include "platform/NativeName.h"
#include "platform/UiLanguage.h"

namespace pelandor {

namespace {

QStringList argumentsOf(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args << NativeName::decode(argv[i]); // file names keep their exact bytes
    return args;
}

void writeTo(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

} // namespace

QString ApplicationShell::typeListLines(const ImageTypeList &entries)
{
    QString out;
    for (const ImageTypeEntry &entry : entries)
        out += entry.text + QLatin1Char('\t') + entry.pluginName + QLatin1Char('\n');
    return out;
}

void ApplicationShell::installFont()
{
    QFont::insertSubstitutions(QStringLiteral("MS PGothic"),
                               {QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")});
    QFont::insertSubstitutions(QStringLiteral("ＭＳ Ｐゴシック"), // not-translated: a font family name
                               {QStringLiteral("IPAPGothic"), QStringLiteral("Noto Sans CJK JP")});
    QFont font(QStringLiteral("MS PGothic"));
    font.setPixelSize(12);
    QApplication::setFont(font);
}

int ApplicationShell::listTypes(const QString &moduleFolder)
{
    StderrMessageSink messages;
    TSpi host(moduleFolder, messages);
    const TypeListBuilder::Result result = TypeListBuilder::build(host, moduleFolder);
    const QByteArray text = typeListLines(result.entries).toUtf8();
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
    std::fflush(stdout);
    return 0;
}

int ApplicationShell::run(int argc, char **argv)
{
    QStringList args = argumentsOf(argc, argv);
    if (CommandLine::takeNoOrientation(args))
        ExifOrientation::setApplied(false);
    const CommandLine::Parsed parsed = CommandLine::parse(args);
    switch (parsed.action) {
    case CommandLine::Action::Help:
        writeTo(stdout, CommandLine::usageText());
        return 0;
    case CommandLine::Action::Version:
        writeTo(stdout, CommandLine::versionText());
        return 0;
    case CommandLine::Action::BadUsage:
        writeTo(stderr, QStringLiteral("pelandor: %1\n").arg(parsed.error) + CommandLine::usageText());
        return CommandLine::BadUsageStatus;
    case CommandLine::Action::ListTypes: {
        QCoreApplication app(argc, argv);
        return listTypes(QCoreApplication::applicationDirPath());
    }
    case CommandLine::Action::ClearCache: {
        ThumbnailCache cache(ThumbnailCache::defaultFolder());
        if (cache.clear())
            return 0;
        writeTo(stderr, QStringLiteral("pelandor: cannot empty %1\n").arg(cache.folder()));
        return StartFailedStatus;
    }
    case CommandLine::Action::Headless: {
        // Drawing thumbnails needs a GUI application, but never a display.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication app(argc, argv);
        return HeadlessReport::runHeadlessCommand(args, QCoreApplication::applicationDirPath());
    }
    case CommandLine::Action::Window:
        break;
    }
    return runWindow(argc, argv);
}

void ApplicationShell::setUpApplication(QApplication &app)
{
    QApplication::setApplicationName(QStringLiteral("Pelandor"));
    QApplication::setWindowIcon(ToolGlyphs::applicationIcon());
    installFont();

    installTranslations(app, UiLanguage::current(), QCoreApplication::applicationDirPath());
}

void ApplicationShell::installTranslations(QApplication &app, UiLanguage::Language language,
    const QString &programFolder)
{
    if (language == UiLanguage::Language::Japanese) {
        // The program's own texts are Japanese; Qt's standard dialogs follow.
        auto *qt = new QTranslator(&app);
        if (qt->load(QStringLiteral("qtbase_ja"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            QApplication::installTranslator(qt);
        else
            delete qt;
        return;
    }
    // Qt's own texts are English already.
    auto *own = new QTranslator(&app);
    const QString name = UiLanguage::translationName(language);
    for (const QString &folder : UiLanguage::translationFolders(programFolder)) {
        if (own->load(name, folder)) {
            QApplication::installTranslator(own);
            return;
        }
    }
    delete own;
    writeTo(stderr, QStringLiteral("pelandor: %1.qm not found; the window stays in Japanese\n").arg(name));
}

int ApplicationShell::startAndRun(QApplication &app, const std::function<void()> &start)
{
    try {
        start();
    } catch (const PelandorError &e) {
        showErrorBox(nullptr, e.message());
        return StartFailedStatus;
    } catch (const std::exception &e) {
        showErrorBox(nullptr, QString::fromLocal8Bit(e.what()));
        return StartFailedStatus;
    }
    return app.exec();
}

int ApplicationShell::runWindow(int argc, char **argv)
{
    QApplication app(argc, argv);
    setUpApplication(app);

    QStringList args = argumentsOf(argc, argv);
    CommandLine::takeNoOrientation(args);
    std::unique_ptr<TMainWindow> window;
    return startAndRun(app, [&] {
        window = std::make_unique<TMainWindow>(QCoreApplication::applicationDirPath());
        window->show();
        window->OpenPaths(CommandLine::parse(args).paths);
    });
}

} // namespace pelandor
