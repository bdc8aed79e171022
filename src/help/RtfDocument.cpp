#include "RtfDocument.h"

#include "Twips.h"

#include <QFile>
#include <QScrollBar>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include <algorithm>

namespace quintaro::help {

namespace {

Qt::Alignment toQt(rtf::Alignment alignment)
{
    switch (alignment) {
    case rtf::Alignment::Center:
        return Qt::AlignHCenter;
    case rtf::Alignment::Right:
        return Qt::AlignRight;
    case rtf::Alignment::Justify:
        return Qt::AlignJustify;
    case rtf::Alignment::Left:
        break;
    }
    return Qt::AlignLeft;
}

double pixels(int twips)
{
    return twips / double(kTwipsPerPixel);
}

QTextBlockFormat toQt(const rtf::ParagraphFormat &format)
{
    QTextBlockFormat out;
    out.setAlignment(toQt(format.alignment));
    out.setLeftMargin(pixels(format.leftIndent));
    out.setRightMargin(pixels(format.rightIndent));
    out.setTextIndent(pixels(format.firstLineIndent));
    out.setTopMargin(pixels(format.spaceBefore));
    out.setBottomMargin(pixels(format.spaceAfter));
    if (format.firstLineIndent < 0 && format.leftIndent > 0) {
        // A hanging indent has a tab stop of its own at the indent, so that
        // a list's text starts where its wrapped lines do.
        out.setTabPositions({QTextOption::Tab(pixels(format.leftIndent), QTextOption::LeftTab)});
    }
    return out;
}

QTextCharFormat toQt(const rtf::CharFormat &format)
{
    QTextCharFormat out;
    out.setFontWeight(format.bold ? QFont::Bold : QFont::Normal);
    out.setFontItalic(format.italic);
    out.setFontUnderline(format.underline);
    out.setFontPointSize(std::min(format.halfPoints / 2.0, kMaxDisplayPoints));
    if (format.colour)
        out.setForeground(QColor(format.colour->red, format.colour->green, format.colour->blue));
    if (!format.fontName.empty())
        out.setFontFamilies({QString::fromStdString(format.fontName)});
    return out;
}

// The run's text for the view. `unbroken` counts the characters since the
// last place where the paragraph can wrap, carried from run to run.
QString toQt(const std::string &utf8, int &unbroken)
{
    const QString text = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('\n')) {
            // A '\n' would start a new block; a line break stays in its
            // paragraph.
            out += QChar::LineSeparator;
            unbroken = 0;
            continue;
        }
        if (c.isSpace() || c == QChar(0x200B)) {
            unbroken = 0;
        } else if (++unbroken > kMaxUnbrokenCharacters && !c.isLowSurrogate()) {
            out += QChar(0x200B);
            unbroken = 1;
        }
        out += c;
    }
    return out;
}

void showFromTop(QTextEdit &view)
{
    view.moveCursor(QTextCursor::Start);
    view.verticalScrollBar()->setValue(view.verticalScrollBar()->minimum());
    view.horizontalScrollBar()->setValue(view.horizontalScrollBar()->minimum());
}

} // namespace

void fillTextDocument(QTextDocument &document, const rtf::Document &model)
{
    // A read-only view needs no undo history, and it would double the memory.
    const bool undo = document.isUndoRedoEnabled();
    document.setUndoRedoEnabled(false);
    document.clear();
    QTextOption option = document.defaultTextOption();
    option.setTabStopDistance(pixels(model.defaultTab));
    document.setDefaultTextOption(option);
    QTextCursor cursor(&document);
    // One edit block: the view lays the document out once, not after every
    // run, which would take time growing with the square of the runs.
    cursor.beginEditBlock();
    bool first = true;
    for (const rtf::Paragraph &paragraph : model.paragraphs) {
        const QTextBlockFormat blockFormat = toQt(paragraph.format);
        if (first)
            cursor.setBlockFormat(blockFormat);
        else
            cursor.insertBlock(blockFormat);
        first = false;
        int unbroken = 0;
        const std::size_t formatted =
            std::min(paragraph.runs.size(), std::size_t(kMaxRunsPerParagraph));
        for (std::size_t i = 0; i < formatted; ++i) {
            const rtf::Run &run = paragraph.runs[i];
            cursor.insertText(toQt(run.text, unbroken), toQt(run.format));
        }
        QString rest;
        for (std::size_t i = formatted; i < paragraph.runs.size(); ++i)
            rest += toQt(paragraph.runs[i].text, unbroken);
        if (!rest.isEmpty())
            cursor.insertText(rest);
    }
    cursor.endEditBlock();
    document.setUndoRedoEnabled(undo);
}

bool loadFileInto(QTextEdit &view, const QString &path, QString *error)
{
    const auto fail = [&](const QString &reason) {
        view.clear();
        if (error)
            *error = reason;
        return false;
    };
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return fail(file.errorString());
    // Read at most one byte past the limit, so that an oversized or endless
    // file (a device, a pipe) is refused without being held in memory.
    const QByteArray bytes = file.read(static_cast<qint64>(rtf::kMaxInputBytes) + 1);
    if (file.error() != QFileDevice::NoError)
        return fail(file.errorString());
    const rtf::ReadResult result =
        rtf::read(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
    if (result.kind == rtf::ReadResult::Kind::Failed)
        return fail(QString::fromStdString(result.error));
    fillTextDocument(*view.document(), result.document);
    showFromTop(view);
    return true;
}

} // namespace quintaro::help
