// The texts of a file list item's detail columns: type description, size in
// bytes, file date, image size and colours.
#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>

#include "listing/FileListItem.h"

namespace pelandor {

// Human-readable description of the file's type, from its name (the MIME
// database's comment in the user's language, without trailing blanks).
// Texts already given are kept by the part of the name from its last dot
// on, for the whole program. Any thread.
QString typeDescription(const QString &fileName);
// The same looked up in the database every time.
QString typeDescriptionUncached(const QString &fileName);

// The type texts seen so far, each held once for the whole program: the
// index of a text (the same for equal texts), and the text of an index
// (empty for -1 or an unknown index). Any thread.
int typeIndexOf(const QString &typeText);
QString typeTextOf(int typeIndex);

// Decimal digits, no separators or unit.
QString sizeText(qint64 bytes);

// The file's last-modification time as "yy/mm/dd hh:nn" in local time, with
// the locale's date and time separators. Empty when the file cannot be looked
// up or its time lies outside what a two-second file date can hold.
QString FileDateText(const QString &path);
// The same for a time already read (in any time zone; shown in local time).
QString fileDateTextOf(const QDateTime &modified);
// The date of those texts as the number its ten digits spell (yyMMddhhmm),
// -1 where the text is empty; fileDateText() makes the text of such a number.
qint64 FileDateKey(const QString &path);
qint64 fileDateKeyOf(const QDateTime &modified);
// The same for a time in seconds since the epoch, in the time zone read last
// by readLocalZone() (or at the first call): many file dates in a row do not
// read the zone again for each, as a QDateTime conversion does.
qint64 fileDateKeyOfSeconds(qint64 secondsSinceEpoch);
void readLocalZone();
QString fileDateText(qint64 key);

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

// The text of a list item's sub-item i (0 to 4, column i + 1) made from its
// facts; empty for an item without details or an i out of range.
QString subItemText(const FileListItem &item, int i);

} // namespace pelandor
