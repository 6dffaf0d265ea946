#include "tools/RegFile.h"

#include <QCoreApplication>
#include <QStringDecoder>
#include <QStringList>

namespace pelandor {

namespace {

QString quoted(const QString &text)
{
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('"'))
            out += QLatin1Char('\\');
        out += c;
    }
    return out + QLatin1Char('"');
}

QString hexBytes(const QByteArray &data)
{
    QStringList bytes;
    for (const char c : data)
        bytes.append(QStringLiteral("%1").arg(uchar(c), 2, 16, QLatin1Char('0')));
    return bytes.join(QLatin1Char(','));
}

// True when a REG_SZ's bytes can be written as a quoted text and read back
// unchanged: valid UTF-8 ending in its only NUL, without line breaks.
bool fitsQuoted(const QByteArray &data)
{
    if (data.isEmpty() || data.back() != '\0' || data.indexOf('\0') != data.size() - 1)
        return false;
    const QByteArray body = data.left(data.size() - 1);
    if (body.contains('\n') || body.contains('\r'))
        return false;
    QStringDecoder decoder(QStringDecoder::Utf8,
                           QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
    const QString text = decoder(body);
    Q_UNUSED(text);
    return !decoder.hasError();
}

QString valueText(const RegistryValue &value)
{
    quint32 number = 0;
    if (value.type == REG_SZ && fitsQuoted(value.data))
        return quoted(value.text());
    if (value.toDword(&number))
        return QStringLiteral("dword:%1").arg(number, 8, 16, QLatin1Char('0'));
    if (value.type == REG_BINARY)
        return QStringLiteral("hex:") + hexBytes(value.data);
    return QStringLiteral("hex(%1):").arg(value.type, 0, 16) + hexBytes(value.data);
}

void writeKey(const RegistryTree::Key &key, const QString &path, bool isRoot, QString &out)
{
    if (!isRoot || !key.values.isEmpty()) {
        out += QLatin1Char('[') + path + QStringLiteral("]\n");
        for (const auto &[name, value] : key.values)
            out += (name.isEmpty() ? QStringLiteral("@") : quoted(name)) + QLatin1Char('=') + valueText(value)
                + QLatin1Char('\n');
        out += QLatin1Char('\n');
    }
    for (const RegistryTree::Key &subkey : key.subkeys)
        writeKey(subkey, path + QLatin1Char('\\') + subkey.name, false, out);
}

// Reads a quoted text starting at `pos` (on the opening quote); leaves `pos`
// after the closing quote. `badEscape` tells a backslash that starts no
// escape (a path written with single backslashes) from other faults.
bool readQuoted(const QString &line, qsizetype &pos, QString *text, bool *badEscape = nullptr)
{
    if (pos >= line.size() || line[pos] != QLatin1Char('"'))
        return false;
    text->clear();
    for (++pos; pos < line.size(); ++pos) {
        const QChar c = line[pos];
        if (c == QLatin1Char('"')) {
            ++pos;
            return true;
        }
        if (c == QLatin1Char('\\')) {
            if (pos + 1 >= line.size())
                return false;
            const QChar next = line[++pos];
            if (next != QLatin1Char('\\') && next != QLatin1Char('"')) {
                if (badEscape)
                    *badEscape = true;
                return false;
            }
            *text += next;
        } else {
            *text += c;
        }
    }
    return false;
}

bool readHexBytes(QString list, QByteArray *data)
{
    list = list.trimmed();
    if (list.endsWith(QLatin1Char(',')))
        list.chop(1);
    data->clear();
    if (list.isEmpty())
        return true;
    for (const QString &token : list.split(QLatin1Char(','))) {
        bool ok = false;
        const QString digits = token.trimmed();
        const uint byte = digits.toUInt(&ok, 16);
        if (!ok || digits.size() > 2 || byte > 0xff)
            return false;
        data->append(char(byte));
    }
    return true;
}

class Parser {
public:
    explicit Parser(const QByteArray &bytes)
        : m_lines(bytes.split('\n'))
    {
    }

    bool run(RegistryTree *tree, RegFile::ParseError *error)
    {
        m_tree = tree;
        m_error = error;
        if (!nextLine())
            return false;
        if (m_lines.size() == 1 && m_line.isEmpty())
            return fail(QCoreApplication::translate("RegFile", "空のﾌｧｲﾙです"));
        QString header = m_line.trimmed();
        if (header.startsWith(QChar(0xfeff)))
            header.remove(0, 1);
        if (header != QLatin1String(RegFile::Header))
            return fail(QCoreApplication::translate("RegFile", "REGEDIT4 で始まっていません"));
        while (nextLine()) {
            const QString line = m_line.trimmed();
            if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
                continue;
            if (line.startsWith(QLatin1Char('['))) {
                if (!readKeyLine(line))
                    return false;
            } else if (!readValueLine(line)) {
                return false;
            }
        }
        return !m_failed;
    }

private:
    bool nextLine()
    {
        if (m_failed || m_next >= m_lines.size())
            return false;
        QByteArray raw = m_lines[m_next++];
        if (raw.endsWith('\r'))
            raw.chop(1);
        // A U+FEFF at the start of a line is a character of the line (only
        // the header may carry the file's byte order mark), so that a value
        // that starts with it is read back as it was written.
        QStringDecoder decoder(QStringDecoder::Utf8,
                               QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
        m_line = decoder(raw);
        if (decoder.hasError()) {
            fail(QCoreApplication::translate("RegFile", "UTF-8 の文字として読めません"));
            return false;
        }
        return true;
    }

    bool fail(const QString &reason)
    {
        m_failed = true;
        m_error->line = int(m_next == 0 ? 1 : m_next);
        m_error->reason = reason;
        return false;
    }

    bool readKeyLine(const QString &line)
    {
        if (!line.endsWith(QLatin1Char(']')))
            return fail(QCoreApplication::translate("RegFile", "ｷｰの行が ] で終わっていません"));
        const QString path = line.mid(1, line.size() - 2);
        const QString root = QLatin1String(RegFile::RootName);
        QString rest;
        if (path.compare(root, Qt::CaseInsensitive) == 0) {
            rest.clear();
        } else if (path.left(root.size() + 1).compare(root + QLatin1Char('\\'), Qt::CaseInsensitive) == 0) {
            rest = path.mid(root.size() + 1);
            for (const QString &name : rest.split(QLatin1Char('\\'))) {
                if (!RegistryTree::isValidKeyName(name))
                    return fail(QCoreApplication::translate("RegFile", "ｷｰの名前が正しくありません"));
            }
            if (!RegistryTree::isValidKeyPath(rest))
                return fail(QCoreApplication::translate("RegFile", "ｷｰの階層が深すぎます"));
        } else {
            return fail(QCoreApplication::translate("RegFile", "ｷｰが %1 の下にありません").arg(root));
        }
        m_tree->createKey(rest);
        m_keyPath = rest;
        m_inKey = true;
        return true;
    }

    bool readValueLine(const QString &line)
    {
        if (!m_inKey)
            return fail(QCoreApplication::translate("RegFile", "値の前にｷｰの行がありません"));
        QString name;
        qsizetype pos = 0;
        if (line.startsWith(QLatin1Char('@'))) {
            pos = 1;
        } else if (!readQuoted(line, pos, &name)) {
            return fail(QCoreApplication::translate("RegFile", "値の名前が正しくありません"));
        }
        while (pos < line.size() && line[pos].isSpace())
            ++pos;
        if (pos >= line.size() || line[pos] != QLatin1Char('='))
            return fail(QCoreApplication::translate("RegFile", "値の名前の後に = がありません"));
        QString data = line.mid(pos + 1).trimmed();

        RegistryValue value;
        if (data.startsWith(QLatin1Char('"'))) {
            QString text;
            qsizetype end = 0;
            bool badEscape = false;
            if (!readQuoted(data, end, &text, &badEscape) || !data.mid(end).trimmed().isEmpty())
                return fail(badEscape ? QCoreApplication::translate("RegFile", "文字列の中の \\ は \\\\ と書きます")
                                      : QCoreApplication::translate("RegFile", "文字列の値が正しくありません"));
            value = RegistryValue::fromText(text);
        } else if (data.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
            const QString digits = data.mid(6).trimmed();
            bool ok = false;
            const quint32 number = digits.toUInt(&ok, 16);
            if (!ok || digits.isEmpty() || digits.size() > 8 || digits.startsWith(QLatin1Char('+')))
                return fail(QCoreApplication::translate("RegFile", "dword の値が正しくありません"));
            value = RegistryValue::fromDword(number);
        } else if (data.startsWith(QLatin1String("hex"), Qt::CaseInsensitive)) {
            if (!readHexValue(data, &value))
                return false;
        } else {
            return fail(QCoreApplication::translate("RegFile", "値の種類が分かりません"));
        }
        m_tree->setValue(m_keyPath, name, value);
        return true;
    }

    bool readHexValue(QString data, RegistryValue *value)
    {
        const qsizetype colon = data.indexOf(QLatin1Char(':'));
        const QString kind = data.left(colon).trimmed().toLower();
        if (colon < 0)
            return fail(QCoreApplication::translate("RegFile", "hex の値が正しくありません"));
        if (kind == QLatin1String("hex")) {
            value->type = REG_BINARY;
        } else if (kind.startsWith(QLatin1String("hex(")) && kind.endsWith(QLatin1Char(')'))) {
            bool ok = false;
            value->type = kind.mid(4, kind.size() - 5).toUInt(&ok, 16);
            if (!ok)
                return fail(QCoreApplication::translate("RegFile", "hex の種類が正しくありません"));
        } else {
            return fail(QCoreApplication::translate("RegFile", "値の種類が分かりません"));
        }
        QString list = data.mid(colon + 1).trimmed();
        // A long list goes on over several lines, each but the last ending in "\".
        while (list.endsWith(QLatin1Char('\\'))) {
            list.chop(1);
            if (!nextLine())
                return m_failed ? false : fail(QCoreApplication::translate("RegFile", "hex の値が途中で終わっています"));
            list += m_line.trimmed();
        }
        if (!readHexBytes(list, &value->data))
            return fail(QCoreApplication::translate("RegFile", "hex の値が正しくありません"));
        return true;
    }

    QList<QByteArray> m_lines;
    qsizetype m_next = 0;
    QString m_line;
    RegistryTree *m_tree = nullptr;
    RegFile::ParseError *m_error = nullptr;
    QString m_keyPath;
    bool m_inKey = false;
    bool m_failed = false;
};

} // namespace

QByteArray RegFile::write(const RegistryTree &tree)
{
    QString out = QLatin1String(Header) + QStringLiteral("\n\n");
    writeKey(tree.root(), QLatin1String(RootName), true, out);
    return out.toUtf8();
}

bool RegFile::read(const QByteArray &bytes, RegistryTree *tree, ParseError *error)
{
    RegistryTree result;
    ParseError where;
    if (!Parser(bytes).run(&result, &where)) {
        if (error)
            *error = where;
        return false;
    }
    *tree = std::move(result);
    return true;
}

} // namespace pelandor
