#include "RtfReader.h"

#include "CodePages.h"

#include <algorithm>
#include <climits>
#include <map>
#include <unordered_map>

namespace quintaro::rtf {

bool looksLikeRtf(std::string_view bytes)
{
    return bytes.substr(0, 5) == "{\\rtf";
}

ReadResult read(std::string_view bytes)
{
    ReadResult result;
    if (bytes.size() > kMaxInputBytes) {
        result.error =
            "the file is larger than " + std::to_string(kMaxInputBytes / (1024 * 1024)) + " MiB";
        return result;
    }
    if (looksLikeRtf(bytes)) {
        result.kind = ReadResult::Kind::Rtf;
        result.document = readRtf(bytes);
    } else {
        result.kind = ReadResult::Kind::PlainText;
        result.document = readPlainText(bytes);
    }
    std::size_t textBytes = 0;
    for (const Paragraph &paragraph : result.document.paragraphs)
        for (const Run &run : paragraph.runs)
            textBytes += run.text.size();
    if (textBytes > kMaxTextBytes || result.document.paragraphs.size() > kMaxParagraphs) {
        result = {};
        result.error = "the document is too large to show: more than " +
                       std::to_string(kMaxTextBytes / (1024 * 1024)) + " MiB of text or " +
                       std::to_string(kMaxParagraphs) + " paragraphs";
    }
    return result;
}

namespace {

bool isAsciiLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Code points that are never shown: C0 and C1 controls other than the tab
// and the line break the reader itself produces.
bool isShown(char32_t cp)
{
    if (cp == U'\t' || cp == U'\n')
        return true;
    return !(cp < 0x20 || (cp >= 0x7F && cp <= 0x9F));
}

// Decodes one UTF-8 sequence at `pos`; false for anything that is not the
// shortest form of a Unicode scalar value.
bool decodeUtf8(std::string_view in, std::size_t &pos, char32_t &cp)
{
    const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(in[i]); };
    const unsigned char lead = byteAt(pos);
    int extra = 0;
    char32_t minimum = 0;
    if (lead < 0x80) {
        cp = lead;
        ++pos;
        return true;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
        extra = 1;
        cp = lead & 0x1F;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        extra = 2;
        cp = lead & 0x0F;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        extra = 3;
        cp = lead & 0x07;
        minimum = 0x10000;
    } else {
        return false;
    }
    if (in.size() - pos <= static_cast<std::size_t>(extra))
        return false;
    for (int i = 1; i <= extra; ++i) {
        const unsigned char next = byteAt(pos + i);
        if ((next & 0xC0) != 0x80)
            return false;
        cp = (cp << 6) | (next & 0x3F);
    }
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return false;
    pos += extra + 1;
    return true;
}

bool isValidUtf8(std::string_view in)
{
    std::size_t pos = 0;
    char32_t cp = 0;
    while (pos < in.size()) {
        if (!decodeUtf8(in, pos, cp))
            return false;
    }
    return true;
}

bool pastDocumentLimits(std::size_t textBytes, std::size_t paragraphs)
{
    return textBytes > kMaxTextBytes || paragraphs > kMaxParagraphs;
}

// The keywords the reader acts on; every other control word is skipped.
enum class Keyword {
    Ansi,
    AnsiCodePage,
    Mac,
    Pc,
    Pca,
    DefaultFont,
    FontTable,
    ColourTable,
    SkippedDestination,
    Font,
    FontCharset,
    Red,
    Green,
    Blue,
    Par,
    Line,
    Tab,
    Cell,
    Bold,
    Italic,
    Underline,
    UnderlineNone,
    FontSize,
    ColourForeground,
    AlignLeft,
    AlignCenter,
    AlignRight,
    AlignJustify,
    LeftIndent,
    RightIndent,
    FirstLineIndent,
    SpaceBefore,
    SpaceAfter,
    DefaultTab,
    Pard,
    Plain,
    UnicodeSkip,
    Unicode,
    Binary,
    Character, // a named character such as \emdash
};

struct KeywordInfo
{
    Keyword keyword;
    char32_t character = 0;
};

const std::unordered_map<std::string_view, KeywordInfo> &keywords()
{
    static const std::unordered_map<std::string_view, KeywordInfo> table = {
        {"ansi", {Keyword::Ansi}},
        {"ansicpg", {Keyword::AnsiCodePage}},
        {"mac", {Keyword::Mac}},
        {"pc", {Keyword::Pc}},
        {"pca", {Keyword::Pca}},
        {"deff", {Keyword::DefaultFont}},
        {"fonttbl", {Keyword::FontTable}},
        {"colortbl", {Keyword::ColourTable}},
        {"f", {Keyword::Font}},
        {"fcharset", {Keyword::FontCharset}},
        {"red", {Keyword::Red}},
        {"green", {Keyword::Green}},
        {"blue", {Keyword::Blue}},
        {"par", {Keyword::Par}},
        {"sect", {Keyword::Par}},
        {"page", {Keyword::Par}},
        {"row", {Keyword::Par}},
        {"line", {Keyword::Line}},
        {"tab", {Keyword::Tab}},
        {"cell", {Keyword::Cell}},
        {"b", {Keyword::Bold}},
        {"i", {Keyword::Italic}},
        {"ul", {Keyword::Underline}},
        {"uld", {Keyword::Underline}},
        {"uldash", {Keyword::Underline}},
        {"uldashd", {Keyword::Underline}},
        {"uldashdd", {Keyword::Underline}},
        {"uldb", {Keyword::Underline}},
        {"ulhwave", {Keyword::Underline}},
        {"ulldash", {Keyword::Underline}},
        {"ulth", {Keyword::Underline}},
        {"ulthd", {Keyword::Underline}},
        {"ulthdash", {Keyword::Underline}},
        {"ulthdashd", {Keyword::Underline}},
        {"ulthdashdd", {Keyword::Underline}},
        {"ulthldash", {Keyword::Underline}},
        {"ululdbwave", {Keyword::Underline}},
        {"ulw", {Keyword::Underline}},
        {"ulwave", {Keyword::Underline}},
        {"ulnone", {Keyword::UnderlineNone}},
        {"fs", {Keyword::FontSize}},
        {"cf", {Keyword::ColourForeground}},
        {"ql", {Keyword::AlignLeft}},
        {"qc", {Keyword::AlignCenter}},
        {"qr", {Keyword::AlignRight}},
        {"qj", {Keyword::AlignJustify}},
        {"li", {Keyword::LeftIndent}},
        {"ri", {Keyword::RightIndent}},
        {"fi", {Keyword::FirstLineIndent}},
        {"sb", {Keyword::SpaceBefore}},
        {"sa", {Keyword::SpaceAfter}},
        {"deftab", {Keyword::DefaultTab}},
        {"pard", {Keyword::Pard}},
        {"plain", {Keyword::Plain}},
        {"uc", {Keyword::UnicodeSkip}},
        {"u", {Keyword::Unicode}},
        {"bin", {Keyword::Binary}},
        {"emdash", {Keyword::Character, U'\u2014'}},
        {"endash", {Keyword::Character, U'\u2013'}},
        {"lquote", {Keyword::Character, U'\u2018'}},
        {"rquote", {Keyword::Character, U'\u2019'}},
        {"ldblquote", {Keyword::Character, U'\u201C'}},
        {"rdblquote", {Keyword::Character, U'\u201D'}},
        {"bullet", {Keyword::Character, U'\u2022'}},
        {"emspace", {Keyword::Character, U'\u2003'}},
        {"enspace", {Keyword::Character, U'\u2002'}},
        {"qmspace", {Keyword::Character, U'\u2005'}},
        {"zwj", {Keyword::Character, U'\u200D'}},
        {"zwnj", {Keyword::Character, U'\u200C'}},
        // Destinations whose content a read-me never shows: document
        // properties, style and list definitions, pictures, embedded
        // objects, page headers and footers, notes, field instructions.
        {"stylesheet", {Keyword::SkippedDestination}},
        {"info", {Keyword::SkippedDestination}},
        {"pict", {Keyword::SkippedDestination}},
        {"object", {Keyword::SkippedDestination}},
        {"objdata", {Keyword::SkippedDestination}},
        {"header", {Keyword::SkippedDestination}},
        {"headerl", {Keyword::SkippedDestination}},
        {"headerr", {Keyword::SkippedDestination}},
        {"headerf", {Keyword::SkippedDestination}},
        {"footer", {Keyword::SkippedDestination}},
        {"footerl", {Keyword::SkippedDestination}},
        {"footerr", {Keyword::SkippedDestination}},
        {"footerf", {Keyword::SkippedDestination}},
        {"footnote", {Keyword::SkippedDestination}},
        {"annotation", {Keyword::SkippedDestination}},
        {"fldinst", {Keyword::SkippedDestination}},
        {"listtable", {Keyword::SkippedDestination}},
        {"listoverridetable", {Keyword::SkippedDestination}},
        {"revtbl", {Keyword::SkippedDestination}},
        {"rsidtbl", {Keyword::SkippedDestination}},
        {"filetbl", {Keyword::SkippedDestination}},
        {"pn", {Keyword::SkippedDestination}},
        {"pntxta", {Keyword::SkippedDestination}},
        {"pntxtb", {Keyword::SkippedDestination}},
        {"shp", {Keyword::SkippedDestination}},
        {"shpinst", {Keyword::SkippedDestination}},
        {"nonshppict", {Keyword::SkippedDestination}},
        {"themedata", {Keyword::SkippedDestination}},
        {"colorschememapping", {Keyword::SkippedDestination}},
        {"latentstyles", {Keyword::SkippedDestination}},
        {"datastore", {Keyword::SkippedDestination}},
        {"xmlnstbl", {Keyword::SkippedDestination}},
        {"generator", {Keyword::SkippedDestination}},
        {"ftnsep", {Keyword::SkippedDestination}},
        {"ftnsepc", {Keyword::SkippedDestination}},
        {"ftncn", {Keyword::SkippedDestination}},
        {"aftnsep", {Keyword::SkippedDestination}},
        {"aftnsepc", {Keyword::SkippedDestination}},
        {"aftncn", {Keyword::SkippedDestination}},
        {"template", {Keyword::SkippedDestination}},
        {"xe", {Keyword::SkippedDestination}},
        {"tc", {Keyword::SkippedDestination}},
        {"txe", {Keyword::SkippedDestination}},
    };
    return table;
}

enum class Destination : std::uint8_t { Text, Skip, FontTable, ColourTable };

// What a group carries and restores when it closes.
struct GroupState
{
    Destination destination = Destination::Text;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int halfPoints = 24;
    int colourIndex = 0; // 0 is the table's "auto" entry
    int fontNumber = -1; // -1: the document's default font
    int unicodeSkip = 1; // fallback characters after \uN
    ParagraphFormat paragraph;

    void resetCharacter()
    {
        bold = italic = underline = false;
        halfPoints = 24;
        colourIndex = 0;
        fontNumber = -1;
    }
};

struct Token
{
    enum class Kind { End, Open, Close, Word, Symbol, Hex, Byte };
    Kind kind = Kind::End;
    std::string_view word; // empty for a word too long to be a keyword
    bool hasParameter = false;
    int parameter = 0;
    unsigned char value = 0; // the symbol, the \'hh byte or the text byte
};

struct FontEntry
{
    std::string name;
    int codePage = 0; // 0: the document's code page
};

class RtfParser
{
public:
    explicit RtfParser(std::string_view input) : m_in(input) { m_stack.emplace_back(); }

    Document parse()
    {
        // Past the limits read() refuses the document anyway; stopping
        // there keeps a hostile file from costing many times its size.
        while (!pastDocumentLimits(m_textBytes, m_document.paragraphs.size())) {
            const Token token = next();
            if (token.kind == Token::Kind::End)
                break;
            if (m_ignoredDepth > 0) {
                if (token.kind == Token::Kind::Open)
                    ++m_ignoredDepth;
                else if (token.kind == Token::Kind::Close)
                    --m_ignoredDepth;
                continue;
            }
            handle(token);
        }
        endParagraph(false);
        return std::move(m_document);
    }

private:
    // Control words longer than this are not RTF; they are read to their
    // end and ignored.
    static constexpr std::size_t kMaxWordLength = 32;
    // Parameters keep this many digits; longer numbers are absurd and
    // clamp to the largest value.
    static constexpr int kMaxParameterDigits = 10;
    static constexpr std::size_t kMaxFontNameBytes = 256;

    Token next()
    {
        Token token;
        while (m_pos < m_in.size()) {
            const char c = m_in[m_pos];
            if (c == '\r' || c == '\n') {
                // Line ends in RTF source only wrap the file.
                ++m_pos;
                continue;
            }
            ++m_pos;
            if (c == '{') {
                token.kind = Token::Kind::Open;
            } else if (c == '}') {
                token.kind = Token::Kind::Close;
            } else if (c == '\\') {
                readControl(token);
            } else {
                token.kind = Token::Kind::Byte;
                token.value = static_cast<unsigned char>(c);
            }
            return token;
        }
        return token;
    }

    void readControl(Token &token)
    {
        if (m_pos >= m_in.size()) {
            token.kind = Token::Kind::Symbol; // a lone backslash at the very end
            return;
        }
        const char first = m_in[m_pos];
        if (!isAsciiLetter(first)) {
            ++m_pos;
            if (first == '\'') {
                readHex(token);
            } else {
                token.kind = Token::Kind::Symbol;
                token.value = static_cast<unsigned char>(first);
            }
            return;
        }
        token.kind = Token::Kind::Word;
        const std::size_t start = m_pos;
        while (m_pos < m_in.size() && isAsciiLetter(m_in[m_pos]))
            ++m_pos;
        if (m_pos - start <= kMaxWordLength)
            token.word = m_in.substr(start, m_pos - start);
        readParameter(token);
        if (m_pos < m_in.size() && m_in[m_pos] == ' ')
            ++m_pos;
        if (token.word == "bin") {
            // Raw bytes follow; they may hold braces and backslashes.
            const std::size_t length = token.parameter > 0 ? token.parameter : 0;
            m_pos += std::min(length, m_in.size() - m_pos);
        }
    }

    void readParameter(Token &token)
    {
        bool negative = false;
        std::size_t pos = m_pos;
        if (pos < m_in.size() && m_in[pos] == '-') {
            negative = true;
            ++pos;
        }
        if (pos >= m_in.size() || !isDigit(m_in[pos]))
            return;
        long long value = 0;
        int digits = 0;
        bool overflow = false;
        while (pos < m_in.size() && isDigit(m_in[pos])) {
            if (digits < kMaxParameterDigits)
                value = value * 10 + (m_in[pos] - '0');
            else
                overflow = true;
            ++digits;
            ++pos;
        }
        if (overflow || value > INT_MAX)
            value = INT_MAX;
        token.hasParameter = true;
        token.parameter = static_cast<int>(negative ? -value : value);
        m_pos = pos;
    }

    void readHex(Token &token)
    {
        int value = 0;
        int digits = 0;
        while (digits < 2 && m_pos < m_in.size()) {
            const int digit = hexValue(m_in[m_pos]);
            if (digit < 0)
                break;
            value = value * 16 + digit;
            ++digits;
            ++m_pos;
        }
        if (digits == 0) {
            // A broken \' escape: nothing to show.
            token.kind = Token::Kind::Symbol;
            token.value = '\'';
            return;
        }
        token.kind = Token::Kind::Hex;
        token.value = static_cast<unsigned char>(value);
    }

    GroupState &state() { return m_stack.back(); }

    void handle(const Token &token)
    {
        if (token.kind == Token::Kind::Open || token.kind == Token::Kind::Close) {
            // A group boundary ends the fallback text of a \uN.
            m_pendingSkip = 0;
            if (token.kind == Token::Kind::Open)
                openGroup();
            else
                closeGroup();
            return;
        }
        if (m_pendingSkip > 0) {
            --m_pendingSkip;
            return;
        }
        switch (token.kind) {
        case Token::Kind::Word:
            handleWord(token);
            break;
        case Token::Kind::Symbol:
            handleSymbol(token.value);
            break;
        case Token::Kind::Hex:
        case Token::Kind::Byte:
            handleByte(token.value);
            break;
        default:
            break;
        }
    }

    void openGroup()
    {
        if (m_stack.size() > kMaxGroupDepth) {
            m_ignoredDepth = 1;
            return;
        }
        m_stack.push_back(m_stack.back());
        if (m_fontTableDepth != 0 && m_stack.size() == m_fontTableDepth + 1) {
            // Each group right inside the font table is one font.
            commitFont();
            m_font = {};
        }
    }

    void closeGroup()
    {
        if (m_stack.size() <= 1)
            return; // a '}' without its '{'
        if (m_fontTableDepth != 0 && m_stack.size() <= m_fontTableDepth + 1)
            commitFont();
        if (m_stack.size() == m_fontTableDepth)
            m_fontTableDepth = 0;
        m_stack.pop_back();
    }

    void handleWord(const Token &token)
    {
        const auto found = keywords().find(token.word);
        if (found == keywords().end())
            return;
        const int parameter = token.parameter;
        const bool on = !token.hasParameter || parameter != 0;
        GroupState &s = state();
        switch (found->second.keyword) {
        case Keyword::Ansi:
            m_codePage = 1252;
            break;
        case Keyword::Mac:
            m_codePage = 10000;
            break;
        case Keyword::Pc:
            m_codePage = 437;
            break;
        case Keyword::Pca:
            m_codePage = 850;
            break;
        case Keyword::AnsiCodePage:
            m_codePage = isKnownCodePage(parameter) ? parameter : 1252;
            break;
        case Keyword::DefaultFont:
            if (token.hasParameter)
                m_defaultFont = parameter;
            break;
        case Keyword::FontTable:
            s.destination = Destination::FontTable;
            m_fontTableDepth = m_stack.size();
            m_font = {};
            break;
        case Keyword::ColourTable:
            s.destination = Destination::ColourTable;
            m_colour = {};
            m_colourHasComponent = false;
            break;
        case Keyword::SkippedDestination:
            s.destination = Destination::Skip;
            break;
        case Keyword::Font:
            if (s.destination == Destination::FontTable)
                m_font.number = parameter;
            else
                s.fontNumber = token.hasParameter ? parameter : -1;
            break;
        case Keyword::FontCharset:
            if (s.destination == Destination::FontTable)
                m_font.entry.codePage = codePageForCharset(parameter, 0);
            break;
        case Keyword::Red:
        case Keyword::Green:
        case Keyword::Blue:
            setColourComponent(found->second.keyword, parameter);
            break;
        case Keyword::Par:
            if (s.destination == Destination::Text)
                endParagraph(true);
            break;
        case Keyword::Line:
            emit(U'\n');
            break;
        case Keyword::Tab:
        case Keyword::Cell:
            emit(U'\t');
            break;
        case Keyword::Bold:
            s.bold = on;
            break;
        case Keyword::Italic:
            s.italic = on;
            break;
        case Keyword::Underline:
            s.underline = on;
            break;
        case Keyword::UnderlineNone:
            s.underline = false;
            break;
        case Keyword::FontSize:
            s.halfPoints =
                (token.hasParameter && parameter > 0) ? std::min(parameter, kMaxHalfPoints) : 24;
            break;
        case Keyword::ColourForeground:
            s.colourIndex = std::max(parameter, 0);
            break;
        case Keyword::AlignLeft:
            s.paragraph.alignment = Alignment::Left;
            break;
        case Keyword::AlignCenter:
            s.paragraph.alignment = Alignment::Center;
            break;
        case Keyword::AlignRight:
            s.paragraph.alignment = Alignment::Right;
            break;
        case Keyword::AlignJustify:
            s.paragraph.alignment = Alignment::Justify;
            break;
        case Keyword::LeftIndent:
            s.paragraph.leftIndent = length(parameter, -kMaxLengthTwips);
            break;
        case Keyword::RightIndent:
            s.paragraph.rightIndent = length(parameter, -kMaxLengthTwips);
            break;
        case Keyword::FirstLineIndent:
            s.paragraph.firstLineIndent = length(parameter, -kMaxLengthTwips);
            break;
        case Keyword::SpaceBefore:
            s.paragraph.spaceBefore = length(parameter, 0);
            break;
        case Keyword::SpaceAfter:
            s.paragraph.spaceAfter = length(parameter, 0);
            break;
        case Keyword::DefaultTab:
            m_document.defaultTab = parameter > 0 ? length(parameter, 1) : 720;
            break;
        case Keyword::Pard:
            s.paragraph = {};
            break;
        case Keyword::Plain:
            s.resetCharacter();
            break;
        case Keyword::UnicodeSkip:
            s.unicodeSkip = token.hasParameter ? std::max(parameter, 0) : 1;
            break;
        case Keyword::Unicode:
            if (token.hasParameter)
                handleUnicode(parameter);
            break;
        case Keyword::Binary:
            break;
        case Keyword::Character:
            emit(found->second.character);
            break;
        }
    }

    void handleSymbol(unsigned char symbol)
    {
        switch (symbol) {
        case '\\':
        case '{':
        case '}':
            handleByte(symbol);
            break;
        case '~':
            emit(U'\u00A0');
            break;
        case '_':
            emit(U'\u2011');
            break;
        case '*':
            // An optional destination: none of those is shown.
            state().destination = Destination::Skip;
            break;
        case '\r':
        case '\n':
            // A backslash before a line end is an old spelling of \par.
            if (state().destination == Destination::Text)
                endParagraph(true);
            break;
        case '\t':
            emit(U'\t');
            break;
        default:
            // \- (optional hyphen) and the index symbols show nothing.
            break;
        }
    }

    void handleByte(unsigned char byte)
    {
        GroupState &s = state();
        switch (s.destination) {
        case Destination::Text:
            if (byte == '\t')
                emit(U'\t');
            else
                emit(decodeByte(codePageOf(s.fontNumber), byte));
            break;
        case Destination::FontTable:
            if (byte == ';') {
                commitFont();
            } else if (m_font.entry.name.size() < kMaxFontNameBytes) {
                // Control characters, DEL included, are no part of a
                // font's name.
                const char32_t cp = decodeByte(m_codePage, byte);
                if (cp >= 0x20 && isShown(cp))
                    appendUtf8(m_font.entry.name, cp);
            }
            break;
        case Destination::ColourTable:
            if (byte == ';') {
                m_colours.push_back(m_colourHasComponent ? std::optional<Colour>(m_colour)
                                                         : std::nullopt);
                m_colour = {};
                m_colourHasComponent = false;
                m_formatCacheValid = false;
            }
            break;
        case Destination::Skip:
            break;
        }
    }

    void handleUnicode(int parameter)
    {
        m_pendingSkip = state().unicodeSkip;
        // \u takes a signed 16-bit value; writers put the upper half of the
        // BMP as negative numbers.
        long long value = parameter;
        if (value < 0)
            value += 65536;
        if (value < 0 || value > 0xFFFF) {
            emit(U'\uFFFD');
            return;
        }
        const auto unit = static_cast<char32_t>(value);
        if (unit >= 0xD800 && unit <= 0xDBFF) {
            flushHighSurrogate();
            if (state().destination == Destination::Text)
                m_highSurrogate = unit;
            return;
        }
        if (unit >= 0xDC00 && unit <= 0xDFFF) {
            if (m_highSurrogate == 0) {
                emit(U'\uFFFD');
                return;
            }
            const char32_t combined =
                0x10000 + ((m_highSurrogate - 0xD800) << 10) + (unit - 0xDC00);
            m_highSurrogate = 0;
            emit(combined);
            return;
        }
        emit(unit);
    }

    void flushHighSurrogate()
    {
        if (m_highSurrogate == 0)
            return;
        m_highSurrogate = 0;
        emit(U'\uFFFD');
    }

    static int length(int twips, int minimum)
    {
        return std::clamp(twips, minimum, kMaxLengthTwips);
    }

    void setColourComponent(Keyword component, int value)
    {
        if (state().destination != Destination::ColourTable)
            return;
        const auto clamped = static_cast<std::uint8_t>(std::clamp(value, 0, 255));
        if (component == Keyword::Red)
            m_colour.red = clamped;
        else if (component == Keyword::Green)
            m_colour.green = clamped;
        else
            m_colour.blue = clamped;
        m_colourHasComponent = true;
    }

    void commitFont()
    {
        if (m_font.number < 0)
            return;
        std::string &name = m_font.entry.name;
        while (!name.empty() && name.back() == ' ')
            name.pop_back();
        m_fonts[m_font.number] = m_font.entry;
        m_font = {};
        m_formatCacheValid = false;
    }

    int codePageOf(int fontNumber) const
    {
        const auto found = m_fonts.find(fontNumber < 0 ? m_defaultFont : fontNumber);
        if (found == m_fonts.end() || found->second.codePage == 0)
            return m_codePage;
        return found->second.codePage;
    }

    CharFormat formatOf(const GroupState &s) const
    {
        CharFormat format;
        format.bold = s.bold;
        format.italic = s.italic;
        format.underline = s.underline;
        format.halfPoints = s.halfPoints;
        if (s.colourIndex > 0 && static_cast<std::size_t>(s.colourIndex) < m_colours.size())
            format.colour = m_colours[s.colourIndex];
        const auto font = m_fonts.find(s.fontNumber < 0 ? m_defaultFont : s.fontNumber);
        if (font != m_fonts.end())
            format.fontName = font->second.name;
        return format;
    }

    static bool sameCharacterState(const GroupState &a, const GroupState &b)
    {
        return a.bold == b.bold && a.italic == b.italic && a.underline == b.underline &&
               a.halfPoints == b.halfPoints && a.colourIndex == b.colourIndex &&
               a.fontNumber == b.fontNumber;
    }

    void emit(char32_t cp)
    {
        const GroupState &s = state();
        if (s.destination != Destination::Text)
            return;
        if (m_highSurrogate != 0) {
            m_highSurrogate = 0;
            emit(U'\uFFFD');
        }
        if (!isShown(cp))
            return;
        m_paragraph.format = s.paragraph;
        // Runs change only when the formatting does; most characters go
        // straight onto the last run.
        if (!m_formatCacheValid || !sameCharacterState(s, m_cachedState)) {
            CharFormat format = formatOf(s);
            if (m_paragraph.runs.empty() ||
                (!(m_paragraph.runs.back().format == format) && m_runCount < kMaxRuns)) {
                m_paragraph.runs.push_back(Run{{}, std::move(format)});
                ++m_runCount;
            }
            m_cachedState = s;
            m_formatCacheValid = true;
        }
        std::string &text = m_paragraph.runs.back().text;
        const std::size_t before = text.size();
        appendUtf8(text, cp);
        m_textBytes += text.size() - before;
    }

    void endParagraph(bool explicitEnd)
    {
        flushHighSurrogate();
        if (explicitEnd) {
            // The paragraph's properties are those in force at its mark.
            m_paragraph.format = state().paragraph;
        } else if (m_paragraph.runs.empty()) {
            return; // nothing after the last \par
        }
        m_document.paragraphs.push_back(std::move(m_paragraph));
        m_paragraph = {};
        m_formatCacheValid = false;
    }

    std::string_view m_in;
    std::size_t m_pos = 0;
    std::vector<GroupState> m_stack;
    std::size_t m_ignoredDepth = 0; // groups beyond kMaxGroupDepth still open
    int m_pendingSkip = 0;          // fallback characters of a \uN still to skip
    char32_t m_highSurrogate = 0;

    int m_codePage = 1252;
    int m_defaultFont = -1;
    std::map<int, FontEntry> m_fonts;
    std::size_t m_fontTableDepth = 0; // stack size of the \fonttbl group, 0 outside it
    struct
    {
        int number = -1;
        FontEntry entry;
    } m_font; // the font table entry being read
    std::vector<std::optional<Colour>> m_colours;
    Colour m_colour;
    bool m_colourHasComponent = false;

    GroupState m_cachedState;
    bool m_formatCacheValid = false;

    Document m_document;
    Paragraph m_paragraph;
    std::size_t m_textBytes = 0;
    std::size_t m_runCount = 0;
};

} // namespace

Document readRtf(std::string_view bytes)
{
    return RtfParser(bytes).parse();
}

Document readPlainText(std::string_view bytes)
{
    if (bytes.substr(0, 3) == "\xEF\xBB\xBF")
        bytes.remove_prefix(3);
    const bool utf8 = isValidUtf8(bytes);

    Document document;
    Paragraph paragraph;
    bool pendingParagraph = false;
    const auto finishParagraph = [&] {
        document.paragraphs.push_back(std::move(paragraph));
        paragraph = {};
        pendingParagraph = false;
    };
    std::size_t textBytes = 0;
    std::size_t pos = 0;
    while (pos < bytes.size() && !pastDocumentLimits(textBytes, document.paragraphs.size())) {
        const char c = bytes[pos];
        if (c == '\r' || c == '\n') {
            ++pos;
            if (c == '\r' && pos < bytes.size() && bytes[pos] == '\n')
                ++pos;
            finishParagraph();
            continue;
        }
        char32_t cp = 0;
        if (utf8) {
            decodeUtf8(bytes, pos, cp);
        } else {
            cp = decodeByte(1252, static_cast<unsigned char>(c));
            ++pos;
        }
        if (!isShown(cp) || cp == U'\n')
            continue;
        if (paragraph.runs.empty())
            paragraph.runs.emplace_back();
        std::string &text = paragraph.runs.back().text;
        const std::size_t before = text.size();
        appendUtf8(text, cp);
        textBytes += text.size() - before;
        pendingParagraph = true;
    }
    if (pendingParagraph)
        finishParagraph();
    return document;
}

} // namespace quintaro::rtf
