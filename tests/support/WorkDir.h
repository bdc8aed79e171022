#pragma once

#include "FileBytes.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace testsupport {

// A fresh empty directory made the process's current directory for the
// test's lifetime: the program reads and writes its files there.
class WorkDir
{
public:
    WorkDir() : m_previous(QDir::currentPath())
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir::setCurrent(m_dir.path()));
    }
    ~WorkDir() { QDir::setCurrent(m_previous); }

    QString path() const { return m_dir.path(); }
    QString filePath(const QString &name) const { return m_dir.filePath(name); }

    bool write(const QString &name, const QByteArray &bytes) const
    {
        return writeFile(filePath(name), bytes);
    }
    QByteArray read(const QString &name) const { return readFile(filePath(name)); }
    bool exists(const QString &name) const { return QFile::exists(filePath(name)); }

private:
    QString m_previous;
    QTemporaryDir m_dir;
};

} // namespace testsupport
