#pragma once

#include "TestPaths.h"

#include <QByteArray>
#include <QFile>

namespace testsupport {

// A real packet of tests/data/corpus.tsv sent again as a station on the air
// would send it: the first packet of `call` whose information field begins
// with `infoStart`, with its own destination and information field, through
// `path`. The captured path is not used: it holds APRS-IS elements a radio
// cannot send. In monitor form ("SRC>DEST,PATH:info"); empty when the corpus
// has no such packet.
inline QByteArray corpusPacket(const QByteArray &call, const QByteArray &infoStart,
                               const QByteArray &path)
{
    QFile corpus(testDataFile(QStringLiteral("corpus.tsv")));
    if (!corpus.open(QIODevice::ReadOnly))
        return {};
    while (!corpus.atEnd()) {
        const QByteArray packet = corpus.readLine().split('\t').first();
        const qsizetype colon = packet.indexOf(':');
        if (!packet.startsWith(call + '>') || !packet.mid(colon + 1).startsWith(infoStart))
            continue;
        const QByteArray address = packet.left(colon);
        const qsizetype comma = address.indexOf(',');
        return (comma < 0 ? address : address.left(comma)) + ',' + path + packet.mid(colon);
    }
    return {};
}

} // namespace testsupport
