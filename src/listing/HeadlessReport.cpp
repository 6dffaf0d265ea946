#include "listing/HeadlessReport.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QSet>
#include <QTextStream>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "decode/Bitmap.h"
#include "decode/BmpWriter.h"
#include "listing/FileListModel.h"
#include "listing/ReadingPass.h"
#include "listing/ThumbnailCache.h"
#include "platform/FileNames.h"
#include "platform/MessageSink.h"
#include "plugin/TSpi.h"
#include "plugin/TypeListBuilder.h"
#include "platform/NativeName.h"

namespace pelandor {

namespace {

const QString ReportOption = QStringLiteral("--report");
const QString ThumbnailsOption = QStringLiteral("--thumbnails");

// Host messages of a headless run: one line each on the error stream.
class StreamMessageSink : public MessageSink {
public:
    explicit StreamMessageSink(QTextStream &err)
        : m_err(err)
    {
    }
    void showMessage(const QString &text) override
    {
        QString line = text;
        line.replace(QLatin1Char('\n'), QLatin1Char(' '));
        m_err << line << Qt::endl;
    }

private:
    QTextStream &m_err;
};

// mkdir -p by the path's own bytes (QDir would create a folder of another
// name for a path that is not UTF-8).
bool makeFolders(const QByteArray &path)
{
    for (qsizetype slash = path.indexOf('/', 1); slash > 0; slash = path.indexOf('/', slash + 1))
        ::mkdir(path.left(slash).constData(), 0777);
    ::mkdir(path.constData(), 0777);
    struct stat status {};
    return ::stat(path.constData(), &status) == 0 && S_ISDIR(status.st_mode);
}

// Writes `bytes` as the file `name` in the open folder: into a new file of
// a short name of its own, then renamed over `name`, so no name ever holds
// half a bitmap and two runs into one folder never share a temporary file.
// Not forced to disk, as the cells can always be made again. 0, or the
// system's reason (errno) of the first step that failed.
int replaceFileIn(int folder, const QByteArray &name, const QByteArray &bytes)
{
    QByteArray temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = ".pelandor-" + QByteArray::number(QRandomGenerator::global()->generate(), 36);
        // A new file only, never a link followed.
        fd = ::openat(folder, temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return errno;
    }
    if (fd < 0)
        return EEXIST;
    int error = 0;
    for (qsizetype done = 0; done < bytes.size() && error == 0;) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n < 0 && errno != EINTR)
            error = errno;
        else if (n == 0)
            error = EIO;
    }
    if (::close(fd) != 0 && error == 0 && errno != EINTR)
        error = errno;
    if (error == 0 && ::renameat(folder, temporary.constData(), folder, name.constData()) != 0)
        error = errno;
    if (error != 0)
        ::unlinkat(folder, temporary.constData(), 0);
    return error;
}

// Writes one bitmap as `target` in the open output folder (path names it in
// messages). 0, or WriteFailedStatus with the reason on err.
int writeBitmapIn(int folder, const QByteArray &target, const QByteArray &bytes, const QString &path,
                  QTextStream &err)
{
    // Saving replaces the file a link points to: never write outside the
    // output folder through a link that was already there.
    struct stat existing {};
    if (::fstatat(folder, target.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(existing.st_mode)) {
        err << "pelandor: not written, is a link: " << NativeName::display(path) << Qt::endl;
        return HeadlessReport::WriteFailedStatus;
    }
    if (const int error = replaceFileIn(folder, target, bytes); error != 0) {
        err << "pelandor: cannot write " << NativeName::display(path) << ": "
            << QString::fromLocal8Bit(std::strerror(error)) << Qt::endl;
        return HeadlessReport::WriteFailedStatus;
    }
    return 0;
}

int sortKeyOf(const QString &name)
{
    static const QStringList names = {QStringLiteral("none"), QStringLiteral("name"), QStringLiteral("type"),
                                      QStringLiteral("size"), QStringLiteral("date")};
    return int(names.indexOf(name)); // -1 when unknown
}

} // namespace

bool HeadlessReport::isHeadlessCommand(const QStringList &args)
{
    return args.contains(ReportOption) || args.contains(ThumbnailsOption);
}

std::optional<HeadlessReport::Options> HeadlessReport::parse(const QStringList &args, QString *error)
{
    auto fail = [error](const QString &text) {
        if (error)
            *error = text;
        return std::nullopt;
    };
    Options options;
    std::optional<Command> command;
    QStringList positional;
    bool sortGiven = false;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        auto value = [&](const QString &option) -> std::optional<QString> {
            if (arg.startsWith(option + QLatin1Char('=')))
                return arg.mid(option.size() + 1);
            if (i + 1 < args.size())
                return args[++i];
            return std::nullopt;
        };
        if (arg == ReportOption || arg == ThumbnailsOption) {
            if (command)
                return fail(QStringLiteral("only one of --report and --thumbnails may be given"));
            command = arg == ReportOption ? Command::Report : Command::Thumbnails;
        } else if (arg == QLatin1String("--type") || arg.startsWith(QLatin1String("--type="))) {
            const std::optional<QString> v = value(QStringLiteral("--type"));
            if (!v)
                return fail(QStringLiteral("--type needs a pattern"));
            options.type = *v;
        } else if (arg == QLatin1String("--sort") || arg.startsWith(QLatin1String("--sort="))) {
            const std::optional<QString> v = value(QStringLiteral("--sort"));
            if (!v || sortKeyOf(*v) < 0)
                return fail(QStringLiteral("--sort needs one of name, type, size, date, none"));
            options.sortKey = sortKeyOf(*v);
            sortGiven = true;
        } else if (arg == QLatin1String("--descending")) {
            options.descending = true;
            sortGiven = true;
        } else if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            return fail(QStringLiteral("unknown option: %1").arg(arg));
        } else {
            positional << arg;
        }
    }
    if (!command)
        return fail(QStringLiteral("--report or --thumbnails is missing"));
    options.command = *command;
    if (options.command == Command::Report) {
        if (positional.size() != 1)
            return fail(QStringLiteral("usage: pelandor --report FOLDER [--type PATTERN] "
                                       "[--sort name|type|size|date|none] [--descending]"));
        options.folder = positional[0];
    } else {
        if (sortGiven)
            return fail(QStringLiteral("--sort and --descending belong to --report"));
        if (positional.size() != 2)
            return fail(QStringLiteral("usage: pelandor --thumbnails FOLDER OUTDIR [--type PATTERN]"));
        options.folder = positional[0];
        options.outputFolder = positional[1];
    }
    return options;
}

QString HeadlessReport::escaped(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        switch (c.unicode()) {
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        default:
            // A byte of a name that is not UTF-8: its value, so the line
            // still tells which file it is.
            if (const int byte = NativeName::escapedByte(text, i); byte >= 0) {
                out += QStringLiteral("\\x%1").arg(byte, 2, 16, QLatin1Char('0'));
            } else if (c.category() == QChar::Other_Control) {
                // Any other control character (C0, DEL, C1) would reach the
                // terminal as a command: its UTF-8 bytes, each as \xNN, as
                // for the bytes above.
                for (const char byte : QString(c).toUtf8())
                    out += QStringLiteral("\\x%1").arg(uchar(byte), 2, 16, QLatin1Char('0'));
            } else {
                out += c;
            }
        }
    }
    return out;
}

QString HeadlessReport::reportLine(const FileListModel &model, int row)
{
    QString line = escaped(model.caption(row));
    for (int i = 0; i < FileListItem::SubItemCount; ++i)
        line += QLatin1Char('\t') + escaped(model.subItem(row, i));
    return line;
}

int HeadlessReport::list(const Options &options, const QString &moduleFolder, FileListModel &model,
                         MessageSink &messages, const std::function<int(ReadingPass &pass)> &setUp, QString *error)
{
    // Asked by the folder's own bytes: a name that is not UTF-8 is found too.
    const QByteArray folderBytes = NativeName::encode(options.folder);
    struct stat folderStatus {};
    if (options.folder.isEmpty() || ::stat(folderBytes.constData(), &folderStatus) != 0
        || !S_ISDIR(folderStatus.st_mode)) {
        *error = QStringLiteral("not a folder: %1").arg(NativeName::display(options.folder));
        return BadUsageStatus;
    }
    const QString folder = QDir::cleanPath(QFileInfo(options.folder).absoluteFilePath());
    if (::access(folderBytes.constData(), R_OK | X_OK) != 0) {
        *error = QStringLiteral("cannot read the folder: %1").arg(NativeName::display(folder));
        return BadUsageStatus;
    }

    TSpi host(moduleFolder, messages);
    const TypeListBuilder::Result types = TypeListBuilder::build(host, moduleFolder);
    int selected = int(types.entries.size()) - 1;
    if (options.type) {
        selected = -1;
        for (int i = 0; i < types.entries.size(); ++i) {
            if (types.entries[i].text == *options.type) {
                selected = i;
                break;
            }
        }
        if (selected < 0) {
            *error = QStringLiteral("unknown image type: %1").arg(*options.type);
            return BadUsageStatus;
        }
    }
    ThumbnailCache cache(ThumbnailCache::defaultFolder());
    ReadingPass pass(model, host, types.jpegPluginFound);
    pass.setCache(&cache);
    if (const int status = setUp(pass); status != 0)
        return status;
    pass.run(folder, types.entries, selected);
    if (!pass.folderError().isEmpty()) {
        *error = QStringLiteral("cannot read the folder: %1: %2").arg(NativeName::display(folder), pass.folderError());
        return BadUsageStatus;
    }
    model.sortItems(options.descending ? -options.sortKey : options.sortKey);
    return 0;
}

int HeadlessReport::runReport(const Options &options, const QString &moduleFolder, QTextStream &out,
                              QTextStream &err)
{
    StreamMessageSink messages(err);
    FileListModel model;
    QString error;
    // In directory order every line goes out as soon as its file is read, so
    // whatever happens later in the folder, the lines before it are out; the
    // row is dropped then, so the list never grows. A sorted report keeps
    // the rows (names and texts) until the end. No report needs the cells.
    const bool streamed = options.sortKey == 0;
    const int status = list(options, moduleFolder, model, messages, [&](ReadingPass &pass) {
        pass.setCellTaken([](const QString &, const QImage &) {});
        if (streamed) {
            // Nothing sorts the list during a headless reading: the finished
            // file is the last row.
            pass.setFileDone([&out, &model] {
                const int row = model.count() - 1;
                out << reportLine(model, row) << '\n';
                out.flush();
                model.removeRows(row, 1);
                return true;
            });
        }
        return 0;
    }, &error);
    if (status != 0) {
        out.flush();
        err << "pelandor: " << error << Qt::endl;
        return status;
    }
    if (!streamed) {
        for (int row = 0; row < model.count(); ++row)
            out << reportLine(model, row) << '\n';
    }
    out.flush();
    return 0;
}

int HeadlessReport::runThumbnails(const Options &options, const QString &moduleFolder, QTextStream &err)
{
    StreamMessageSink messages(err);
    FileListModel model;
    QString error;
    const QString outputFolder = QFileInfo(options.outputFolder).absoluteFilePath();
    int folder = -1;
    const auto closeFolder = qScopeGuard([&folder] {
        if (folder >= 0)
            ::close(folder);
    });
    // The output folder of a reading into its own folder: a bitmap whose
    // name is that of a file still to be read waits until the end, so every
    // file is read as it was before the run. Only the names read so far are
    // kept for that.
    bool intoReadFolder = false;
    QSet<QString> namesRead;
    QList<std::pair<QByteArray, QByteArray>> waiting; // (bitmap name, bytes)
    int status = 0;
    // Each file's bitmap is written as soon as its file is read; neither the
    // cell nor the row is kept.
    auto writeCell = [&](const QString &name, const QImage &image) {
        Bitmap cell;
        cell.assign(PixelFormat::Bits24, image);
        const QString bitmapName = name + QStringLiteral(".bmp");
        const QString path = FileNames::joinPath(outputFolder, bitmapName);
        QByteArray bytes;
        QBuffer buffer(&bytes);
        QString writeError;
        buffer.open(QIODevice::WriteOnly);
        if (!writeBmp(cell, buffer, &writeError)) {
            err << "pelandor: cannot write " << NativeName::display(path) << ": " << writeError << Qt::endl;
            status = WriteFailedStatus;
            return;
        }
        const QByteArray target = NativeName::encode(bitmapName);
        if (intoReadFolder) {
            namesRead.insert(name);
            struct stat existing {};
            if (!namesRead.contains(bitmapName)
                && ::fstatat(folder, target.constData(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
                waiting.append({target, bytes});
                return;
            }
        }
        if (const int result = writeBitmapIn(folder, target, bytes, path, err); result != 0)
            status = result;
    };
    const int listed = list(options, moduleFolder, model, messages, [&](ReadingPass &pass) {
        // Made only once the folder and the type are known to be good.
        if (!makeFolders(NativeName::encode(outputFolder))) {
            err << "pelandor: cannot create the folder " << NativeName::display(outputFolder) << Qt::endl;
            return WriteFailedStatus;
        }
        // Every name is used relative to the open folder, so a long folder
        // path plus a long name never meets the path length limit on its own.
        folder = ::open(NativeName::encode(outputFolder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (folder < 0) {
            err << "pelandor: cannot open the folder " << NativeName::display(outputFolder) << ": "
                << QString::fromLocal8Bit(std::strerror(errno)) << Qt::endl;
            return WriteFailedStatus;
        }
        struct stat in {}, out {};
        intoReadFolder = ::stat(NativeName::encode(options.folder).constData(), &in) == 0
            && ::fstat(folder, &out) == 0 && in.st_dev == out.st_dev && in.st_ino == out.st_ino;
        pass.setCellTaken(writeCell);
        pass.setFileDone([&model] {
            model.removeRows(model.count() - 1, 1);
            return true;
        });
        return 0;
    }, &error);
    if (!error.isEmpty())
        err << "pelandor: " << error << Qt::endl;
    if (listed != 0)
        return listed;
    for (const auto &[target, bytes] : std::as_const(waiting)) {
        const QString path = FileNames::joinPath(outputFolder, NativeName::decode(target));
        if (const int result = writeBitmapIn(folder, target, bytes, path, err); result != 0)
            status = result;
    }
    return status;
}

int HeadlessReport::runHeadlessCommand(const QStringList &args, const QString &moduleFolder)
{
    QTextStream out(stdout);
    QTextStream err(stderr);
    out.setEncoding(QStringConverter::Utf8);
    err.setEncoding(QStringConverter::Utf8);
    QString error;
    const std::optional<Options> options = parse(args, &error);
    if (!options) {
        err << "pelandor: " << error << Qt::endl;
        return BadUsageStatus;
    }
    if (options->command == Command::Report)
        return runReport(*options, moduleFolder, out, err);
    return runThumbnails(*options, moduleFolder, err);
}

} // namespace pelandor
