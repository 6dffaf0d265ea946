#include "viewer/ImageFileWriter.h"

#include <QDir>
#include <QSaveFile>

#include "decode/Bitmap.h"
#include "decode/BmpWriter.h"
#include "decode/JpegWriter.h"
#include "platform/PelandorError.h"

namespace pelandor {

void ImageFileWriter::write(const Bitmap &bitmap, const QString &path, Format format)
{
    const QString shownPath = QDir::toNativeSeparators(path);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw PelandorError(QStringLiteral("Cannot create file \"%1\". %2").arg(shownPath, file.errorString()));

    QString reason;
    const bool written = format == Format::Bmp ? writeBmp(bitmap, file, &reason) : writeJpeg(bitmap, file, &reason);
    if (!written) {
        file.cancelWriting();
        throw PelandorError(QStringLiteral("Cannot write file \"%1\". %2").arg(shownPath, reason));
    }
    if (!file.commit())
        throw PelandorError(QStringLiteral("Cannot write file \"%1\". %2").arg(shownPath, file.errorString()));
}

} // namespace pelandor
