#include "fileops/FileOperationTexts.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QLocale>

#include "fileops/FileOperationRequest.h"
#include "fileops/RawPath.h"

namespace pelandor {

namespace {

QString verb(Operation operation)
{
    switch (operation) {
    case Operation::Move:
        return QCoreApplication::translate("FileOperationTexts", "移動");
    case Operation::Delete:
        return QCoreApplication::translate("FileOperationTexts", "削除");
    case Operation::Copy:
        break;
    }
    return QCoreApplication::translate("FileOperationTexts", "ｺﾋﾟｰ");
}

QString name(const QByteArray &path) { return RawPath::display(RawPath::baseName(path)); }

} // namespace

QString FileOperationTexts::copyProgressTitle() { return QCoreApplication::translate("FileOperationTexts", "ｺﾋﾟｰしています..."); }
QString FileOperationTexts::moveProgressTitle() { return QCoreApplication::translate("FileOperationTexts", "移動しています..."); }
QString FileOperationTexts::deleteProgressTitle() { return QCoreApplication::translate("FileOperationTexts", "削除しています..."); }
QString FileOperationTexts::copyChooserTitle() { return QCoreApplication::translate("FileOperationTexts", "ｺﾋﾟｰ先のﾌｫﾙﾀﾞを選択して下さい"); }
QString FileOperationTexts::moveChooserTitle() { return QCoreApplication::translate("FileOperationTexts", "移動先のﾌｫﾙﾀﾞを選択して下さい"); }

QString FileOperationTexts::deleteConfirmation(const QList<QByteArray> &paths, bool toTrash)
{
    if (paths.size() == 1) {
        return toTrash ? QCoreApplication::translate("FileOperationTexts", "'%1' をごみ箱に移しますか?").arg(name(paths.first()))
                       : QCoreApplication::translate("FileOperationTexts", "'%1' を完全に削除しますか?").arg(name(paths.first()));
    }
    return toTrash ? QCoreApplication::translate("FileOperationTexts", "これらの %1 個のﾌｧｲﾙをごみ箱に移しますか?").arg(paths.size())
                   : QCoreApplication::translate("FileOperationTexts", "これらの %1 個のﾌｧｲﾙを完全に削除しますか?").arg(paths.size());
}

QString FileOperationTexts::replaceQuestion(const FileOperationQuestions::Conflict &conflict)
{
    auto describe = [](qint64 size, qint64 time) {
        const QString bytes = size < 0 ? QStringLiteral("?") : QLocale(QLocale::Japanese, QLocale::Japan).toString(size);
        const QString date = time < 0 ? QStringLiteral("?")
                                      : QDateTime::fromSecsSinceEpoch(time).toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
        return QCoreApplication::translate("FileOperationTexts", "%1 ﾊﾞｲﾄ  %2").arg(bytes, date);
    };
    return QCoreApplication::translate("FileOperationTexts", "このﾌｫﾙﾀﾞには既に '%1' という名前のﾌｧｲﾙがあります。\n\n"
                          "既存のﾌｧｲﾙ:  %2\n新しいﾌｧｲﾙ:  %3\n\n置き換えますか?")
        .arg(name(conflict.target), describe(conflict.targetSize, conflict.targetTime),
            describe(conflict.sourceSize, conflict.sourceTime));
}

QString FileOperationTexts::deletePermanentlyQuestion(const QByteArray &path)
{
    return QCoreApplication::translate("FileOperationTexts", "'%1' はごみ箱に移せません。\n完全に削除しますか?").arg(RawPath::display(path));
}

QString FileOperationTexts::applyToAll() { return QCoreApplication::translate("FileOperationTexts", "以降のﾌｧｲﾙにも同じ処理を行う(&A)"); }
QString FileOperationTexts::replaceButton() { return QCoreApplication::translate("FileOperationTexts", "置き換える(&R)"); }
QString FileOperationTexts::deleteButton() { return QCoreApplication::translate("FileOperationTexts", "削除する(&D)"); }
QString FileOperationTexts::skipButton() { return QCoreApplication::translate("FileOperationTexts", "ｽｷｯﾌﾟ(&S)"); }
QString FileOperationTexts::keepBothButton() { return QCoreApplication::translate("FileOperationTexts", "両方残す(&K)"); }

QString FileOperationTexts::sameFile(Operation operation, const QByteArray &path)
{
    return QCoreApplication::translate("FileOperationTexts", "'%1' を%2できません: %2元と%2先が同じﾌｧｲﾙです")
        .arg(RawPath::display(path), verb(operation));
}

QString FileOperationTexts::failed(Operation operation, const QByteArray &path, int error)
{
    return QCoreApplication::translate("FileOperationTexts", "'%1' を%2できません: %3")
        .arg(RawPath::display(path), verb(operation), qt_error_string(error));
}

QString FileOperationTexts::notAFolder(const QByteArray &path)
{
    return QCoreApplication::translate("FileOperationTexts", "'%1' はﾌｫﾙﾀﾞではありません").arg(RawPath::display(path));
}

QString FileOperationTexts::sameFolder(Operation operation, const QByteArray &folder)
{
    return QCoreApplication::translate("FileOperationTexts", "ﾌｧｲﾙは既に '%1' にあります: %2元と%2先が同じﾌｫﾙﾀﾞです")
        .arg(RawPath::display(folder), verb(operation));
}

QString FileOperationTexts::notAFile(Operation operation, const QByteArray &path)
{
    return QCoreApplication::translate("FileOperationTexts", "'%1' はﾌｧｲﾙではないので%2できません").arg(RawPath::display(path), verb(operation));
}

QString FileOperationTexts::changedWhileCopying(const QByteArray &path)
{
    return QCoreApplication::translate("FileOperationTexts", "'%1' はｺﾋﾟｰ中に変更されました").arg(RawPath::display(path));
}

QString FileOperationTexts::sourceKept(const QByteArray &source, const QByteArray &copy, int error)
{
    return QCoreApplication::translate("FileOperationTexts", "'%1' を '%2' へｺﾋﾟｰしましたが、元のﾌｧｲﾙを削除できません: %3")
        .arg(RawPath::display(source), RawPath::display(copy), qt_error_string(error));
}

QString FileOperationTexts::sourceChanged(const QByteArray &source, const QByteArray &copy)
{
    return QCoreApplication::translate("FileOperationTexts", "'%1' はｺﾋﾟｰ中に変更されたため削除しませんでした。ｺﾋﾟｰ前の内容は '%2' にあります")
        .arg(RawPath::display(source), RawPath::display(copy));
}

} // namespace pelandor
