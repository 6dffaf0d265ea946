// The settings file parser on arbitrary bytes. Whatever it accepts must
// survive being written back: the written text parses again to the same
// tree, and writing that tree gives the same text. A difference means a
// value that is saved one way and read back another, which would change a
// user's settings at the next start.
#include "tools/RegFile.h"
#include "tools/RegistryTree.h"

#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    pelandor::RegistryTree tree;
    pelandor::RegFile::ParseError error;
    if (!pelandor::RegFile::read(bytes, &tree, &error))
        return 0;
    const QByteArray written = pelandor::RegFile::write(tree);
    pelandor::RegistryTree again;
    if (!pelandor::RegFile::read(written, &again, &error) || !(again == tree)
        || pelandor::RegFile::write(again) != written)
        std::abort();
    return 0;
}
