#include "TestPaths.h"

#include <QDir>

namespace testsupport {

QString sourceDir()
{
    const QString fromEnv = qEnvironmentVariable("QUINTARO_SOURCE_DIR");
    return fromEnv.isEmpty() ? QStringLiteral(QUINTARO_SOURCE_DIR_DEFAULT) : fromEnv;
}

QString binaryDir()
{
    const QString fromEnv = qEnvironmentVariable("QUINTARO_BINARY_DIR");
    return fromEnv.isEmpty() ? QStringLiteral(QUINTARO_BINARY_DIR_DEFAULT) : fromEnv;
}

QString testDataFile(const QString &name)
{
    return QDir(sourceDir()).filePath(QStringLiteral("tests/data/") + name);
}

} // namespace testsupport
