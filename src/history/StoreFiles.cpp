#include "StoreFiles.h"

#include <QFileInfo>
#include <QStringList>

#include <vector>

namespace quintaro::history {

namespace {

const QStringList kCompanions = {QStringLiteral("-wal"), QStringLiteral("-shm")};

} // namespace

QString damagedName(const QString &path, const QDateTime &when)
{
    return path + QStringLiteral(".damaged-") + when.toString(QStringLiteral("yyyyMMdd-HHmmss"));
}

bool moveAside(const QString &path, const QDateTime &when, QString *movedTo, QString *error)
{
    const auto taken = [](const QString &name) {
        for (const QString &suffix : QStringList{QString()} + kCompanions) {
            if (QFileInfo::exists(name + suffix))
                return true;
        }
        return false;
    };
    QString target = damagedName(path, when);
    for (int n = 2; taken(target); ++n)
        target = damagedName(path, when) + QLatin1Char('-') + QString::number(n);

    std::vector<QString> moved;
    const auto putBack = [&] {
        for (const QString &suffix : moved)
            renameFile(target + suffix, path + suffix, nullptr);
    };
    QString why;
    for (const QString &suffix : kCompanions) {
        if (!QFileInfo::exists(path + suffix))
            continue;
        if (!renameFile(path + suffix, target + suffix, &why)) {
            putBack();
            if (error)
                *error = QStringLiteral("its %1 file cannot be moved aside: %2").arg(suffix, why);
            return false;
        }
        moved.push_back(suffix);
    }
    if (!renameFile(path, target, &why)) {
        putBack();
        if (error)
            *error = QStringLiteral("it cannot be moved aside: ") + why;
        return false;
    }
    if (movedTo)
        *movedTo = target;
    return true;
}

} // namespace quintaro::history
