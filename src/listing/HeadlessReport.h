// The command-line listings that need no window and no display:
//   pelandor --report FOLDER [--type PATTERN] [--sort name|type|size|date|none] [--descending]
//     prints one line per list item in the final order: the six column texts
//     separated by tabs; with --sort none each line is printed as soon as its
//     file is read, in directory order;
//   pelandor --thumbnails FOLDER OUTDIR [--type PATTERN]
//     writes every listed file's thumbnail cell as OUTDIR/<file name>.bmp,
//     each as soon as its file is read.
// Neither keeps a cell, and only the sorted report keeps its rows (the names
// and texts it prints at the end), so memory grows with the folder by no
// more than the list of names.
// Both read the folder exactly as the window does (all image types unless
// --type names an entry of the type list) and end with the window's sort
// (none for --sort none).
// Exit status 2 with a one-line message for a bad command line, a FOLDER that
// is no folder or cannot be read, or an unknown PATTERN; 1 when a bitmap
// cannot be written (also where a link stands in its place: links in OUTDIR
// are never written through).
#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

#include "decode/ImageTypeEntry.h"

class QTextStream;

namespace pelandor {

class FileListModel;
class MessageSink;
class ReadingPass;
class TSpi;

class HeadlessReport {
public:
    enum class Command { Report, Thumbnails };
    struct Options {
        Command command = Command::Report;
        QString folder;
        QString outputFolder;
        std::optional<QString> type;
        int sortKey = 1; // 1 name, 2 type, 3 size, 4 date; 0 directory order
        bool descending = false;
    };

    static constexpr int BadUsageStatus = 2;
    static constexpr int WriteFailedStatus = 1;

    // True when the arguments (without the program name) ask for a headless run.
    static bool isHeadlessCommand(const QStringList &args);
    // Parses and runs; messages go to standard error, the report to standard
    // output. Returns the exit status.
    static int runHeadlessCommand(const QStringList &args, const QString &moduleFolder);

    // The options of a headless command line, or nothing with the reason in error.
    static std::optional<Options> parse(const QStringList &args, QString *error);

    static int runReport(const Options &options, const QString &moduleFolder, QTextStream &out, QTextStream &err);
    static int runThumbnails(const Options &options, const QString &moduleFolder, QTextStream &err);

    // One report line of a row: caption and the five sub-items, tab-separated,
    // each escaped so that a line always has six columns.
    static QString reportLine(const FileListModel &model, int row);
    // A column text with backslash, tab, newline and carriage return written
    // as \\, \t, \n and \r, and each byte of a name that is not UTF-8 as
    // \xNN.
    static QString escaped(const QString &text);

private:
    // Checks the folder and the type, lets setUp prepare the reading pass
    // (a status other than 0 ends the run with it; setUp says why), reads,
    // and sorts by the options' key. BadUsageStatus with the reason in error
    // when the folder or the type is bad or the folder cannot be read.
    static int list(const Options &options, const QString &moduleFolder, FileListModel &model, MessageSink &messages,
                    const std::function<int(ReadingPass &pass)> &setUp, QString *error);
};

} // namespace pelandor
