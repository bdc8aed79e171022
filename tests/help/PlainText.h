#pragma once

#include "RtfReader.h"

#include <string>

namespace testsupport {

// A paragraph's text, its runs joined; the formatting left out.
inline std::string plainText(const quintaro::rtf::Paragraph &paragraph)
{
    std::string out;
    for (const quintaro::rtf::Run &run : paragraph.runs)
        out += run.text;
    return out;
}

// The document's text: every paragraph followed by '\n'.
inline std::string plainText(const quintaro::rtf::Document &document)
{
    std::string out;
    for (const quintaro::rtf::Paragraph &paragraph : document.paragraphs)
        out += plainText(paragraph) + '\n';
    return out;
}

} // namespace testsupport
