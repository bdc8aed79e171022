#pragma once

#include "RtfReader.h"

#include <QString>

class QTextDocument;
class QTextEdit;

namespace quintaro::help {

// Sizes above this are shown at this size: a view of a few hundred pixels
// has no use for larger glyphs, and huge ones cost memory to render.
inline constexpr double kMaxDisplayPoints = 144.0;
// The view's layout time grows with the square of the format changes in a
// paragraph and of the length of a word it cannot wrap. Past this many runs
// a paragraph goes on in the format of its last run, and a word this long
// gets an invisible break opportunity (U+200B); real text never comes near.
inline constexpr int kMaxRunsPerParagraph = 2000;
inline constexpr int kMaxUnbrokenCharacters = 1000;

// Replaces the whole content of `document` with the read document.
void fillTextDocument(QTextDocument &document, const rtf::Document &model);

// Reads the file at `path` (RTF, or plain text when it is not RTF) into
// `view`, replacing its content, and shows it from the top. When the file
// cannot be read the view is emptied, `error` receives the reason and the
// result is false.
bool loadFileInto(QTextEdit &view, const QString &path, QString *error = nullptr);

} // namespace quintaro::help
