#include "fileops/FileOperationTexts.h"

#include "fileops/FileOperationRequest.h"
#include "fileops/RawPath.h"

namespace pelandor {

namespace {

QString verb(int operation)
{
    switch (operation) {
    case FO_MOVE:
        return QStringLiteral("移動");
    case FO_DELETE:
        return QStringLiteral("削除");
    default:
        return QStringLiteral("ｺﾋﾟｰ");
    }
}

QString name(const QByteArray &path) { return RawPath::display(RawPath::baseName(path)); }

} // namespace

QString FileOperationTexts::copyProgressTitle() { return QStringLiteral("ｺﾋﾟｰしています..."); }
QString FileOperationTexts::moveProgressTitle() { return QStringLiteral("移動しています..."); }
QString FileOperationTexts::deleteProgressTitle() { return QStringLiteral("削除しています..."); }
QString FileOperationTexts::copyChooserTitle() { return QStringLiteral("ｺﾋﾟｰ先のﾌｫﾙﾀﾞを選択して下さい"); }
QString FileOperationTexts::moveChooserTitle() { return QStringLiteral("移動先のﾌｫﾙﾀﾞを選択して下さい"); }

QString FileOperationTexts::deleteConfirmation(const QList<QByteArray> &paths, bool toTrash)
{
    if (paths.size() == 1) {
        return toTrash ? QStringLiteral("'%1' をごみ箱に移しますか?").arg(name(paths.first()))
                       : QStringLiteral("'%1' を完全に削除しますか?").arg(name(paths.first()));
    }
    return toTrash ? QStringLiteral("これらの %1 個のﾌｧｲﾙをごみ箱に移しますか?").arg(paths.size())
                   : QStringLiteral("これらの %1 個のﾌｧｲﾙを完全に削除しますか?").arg(paths.size());
}

QString FileOperationTexts::replaceQuestion(const QByteArray &target)
{
    return QStringLiteral("このﾌｫﾙﾀﾞには既に '%1' という名前のﾌｧｲﾙがあります。\n置き換えますか?")
        .arg(name(target));
}

QString FileOperationTexts::deletePermanentlyQuestion(const QByteArray &path)
{
    return QStringLiteral("'%1' はごみ箱に移せません。\n完全に削除しますか?").arg(RawPath::display(path));
}

QString FileOperationTexts::applyToAll() { return QStringLiteral("以降のﾌｧｲﾙにも同じ処理を行う(&A)"); }
QString FileOperationTexts::replaceButton() { return QStringLiteral("置き換える(&R)"); }
QString FileOperationTexts::deleteButton() { return QStringLiteral("削除する(&D)"); }
QString FileOperationTexts::skipButton() { return QStringLiteral("ｽｷｯﾌﾟ(&S)"); }

QString FileOperationTexts::sameFile(int operation, const QByteArray &path)
{
    return QStringLiteral("'%1' を%2できません: %2元と%2先が同じﾌｧｲﾙです")
        .arg(RawPath::display(path), verb(operation));
}

QString FileOperationTexts::failed(int operation, const QByteArray &path, int error)
{
    return QStringLiteral("'%1' を%2できません: %3")
        .arg(RawPath::display(path), verb(operation), qt_error_string(error));
}

QString FileOperationTexts::notAFolder(const QByteArray &path)
{
    return QStringLiteral("'%1' はﾌｫﾙﾀﾞではありません").arg(RawPath::display(path));
}

QString FileOperationTexts::notAFile(int operation, const QByteArray &path)
{
    return QStringLiteral("'%1' はﾌｧｲﾙではないので%2できません").arg(RawPath::display(path), verb(operation));
}

QString FileOperationTexts::changedWhileCopying(const QByteArray &path)
{
    return QStringLiteral("'%1' はｺﾋﾟｰ中に変更されました").arg(RawPath::display(path));
}

QString FileOperationTexts::sourceKept(const QByteArray &source, const QByteArray &copy, int error)
{
    return QStringLiteral("'%1' を '%2' へｺﾋﾟｰしましたが、元のﾌｧｲﾙを削除できません: %3")
        .arg(RawPath::display(source), RawPath::display(copy), qt_error_string(error));
}

QString FileOperationTexts::sourceChanged(const QByteArray &source, const QByteArray &copy)
{
    return QStringLiteral("'%1' はｺﾋﾟｰ中に変更されたため削除しませんでした。ｺﾋﾟｰ前の内容は '%2' にあります")
        .arg(RawPath::display(source), RawPath::display(copy));
}

} // namespace pelandor
