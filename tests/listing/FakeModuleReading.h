// What the reading tests that go through a fake import module share: a
// message sink that keeps what it is told, the module's file name and the
// type list with its pattern.
#pragma once

#include <QString>
#include <QStringList>

#include "decode/ImageTypeEntry.h"
#include "platform/MessageSink.h"

namespace testfiles {

class CollectingSink : public pelandor::MessageSink {
public:
    void showMessage(const QString &text) override { messages << text; }
    QStringList messages;
};

// The fake module that reads "*.fak" files (see tests/plugin/FakeModule.c).
inline const QString FakeModule = QStringLiteral("fake_plain.spi");

// The built-in types, the fake module's, and the all-files entry.
inline pelandor::ImageTypeList fakeModuleTypes()
{
    return {{QStringLiteral("*.BMP"), QString()},
            {QStringLiteral("*.JPG"), QString()},
            {QStringLiteral("*.fak"), FakeModule},
            {pelandor::allImageFilesText(), QString()}};
}

} // namespace testfiles
