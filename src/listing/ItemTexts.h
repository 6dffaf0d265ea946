// The texts of a file list item's detail columns: type description, size in
// bytes, file date, image size and colours.
#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>

namespace pelandor {

// Human-readable description of the file's type, from its name (the MIME
// database's comment in the user's language, without trailing blanks).
QString typeDescription(const QString &fileName);

// Decimal digits, no separators or unit.
QString sizeText(qint64 bytes);

// The file's last-modification time as "yy/mm/dd hh:nn" in local time, with
// the locale's date and time separators. Empty when the file cannot be looked
// up or its time lies outside what a two-second file date can hold.
QString FileDateText(const QString &path);
// The same for a time already read (in any time zone; shown in local time).
QString fileDateTextOf(const QDateTime &modified);

// "W * H".
QString imageSizeText(int width, int height);

// The colours column for a colour depth in bits per pixel. Only a depth a
// picture can have gives a text: 1 to 32 bits, or 48 and 64 (16 bits per
// channel); 0, a negative depth or any other number (a module's garbage)
// gives none.
QString ColorDepthText(int16_t depth);
// The colours column of a decoded picture: empty for one without pixels
// (a failed decode), whatever depth its record was left with.
QString colorsText(int width, int height, int16_t depth);

} // namespace pelandor
