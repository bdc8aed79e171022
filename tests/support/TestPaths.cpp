#include "TestPaths.h"

#include <QDir>
#include <QFileInfo>

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

QString aprsSamplesDir()
{
    const QString dir =
        QDir(sourceDir()).absoluteFilePath(QStringLiteral("../shared/aprs-samples"));
    return QFileInfo::exists(dir + QStringLiteral("/corpus.tsv")) ? QDir::cleanPath(dir)
                                                                  : QString();
}

} // namespace testsupport
