#pragma once

#include <string>
#include <vector>

enum TIdReplyRFCFormat { rfNormal, rfIndentMidLines };

// A three-digit server reply: the code as text and the text lines without their code.
class TIdReply {
public:
    virtual ~TIdReply() = default;

    const std::string& Code() const { return m_code; }
    // Empty, or a number in 100..999; anything else throws "Reply Code is not valid: %s".
    // Setting a code clears the text.
    void SetCode(const std::string& code);
    // The code as a number; 0 when empty or not a number.
    int NumericCode() const;

    const std::vector<std::string>& Text() const { return m_text; }
    std::vector<std::string>& Text() { return m_text; }
    void Clear();
    // Copies code and text (and the format, between FTP replies).
    virtual void Assign(const TIdReply& source);

    // Fills code and text from the lines of one reply as read from the wire.
    virtual void ParseLines(const std::vector<std::string>& lines) = 0;
    // The reply written back out as lines (for banners handed to events).
    virtual std::vector<std::string> FormattedLines() const = 0;
    // The formatted lines, each followed by CR LF.
    std::string FormattedText() const;

    // Throws EIdReplyRFCError carrying the numeric code and the text lines, each
    // followed by CR LF.
    [[noreturn]] void RaiseReplyError() const;

    // Whether a (trimmed) line closes a reply: at most three characters forming a
    // number, or three leading characters forming a number followed by a space.
    static bool IsEndMarker(const std::string& line);

protected:
    std::string m_code;
    std::vector<std::string> m_text;
};

// Replies of line protocols in the style of RFC 959: "nnn-" opens a multi-line reply,
// "nnn " closes it.
class TIdReplyRFC : public TIdReply {
public:
    void ParseLines(const std::vector<std::string>& lines) override;
    std::vector<std::string> FormattedLines() const override;

protected:
    // Sets code and text from the lines; reports whether a middle line was indented.
    bool parseCodeAndText(const std::vector<std::string>& lines);
    std::vector<std::string> formatLines(bool indentMidLines) const;
};

class TIdReplyFTP : public TIdReplyRFC {
public:
    TIdReplyRFCFormat ReplyFormat() const { return m_format; }
    void SetReplyFormat(TIdReplyRFCFormat format) { m_format = format; }

    void Assign(const TIdReply& source) override;
    void ParseLines(const std::vector<std::string>& lines) override;
    std::vector<std::string> FormattedLines() const override;

private:
    TIdReplyRFCFormat m_format = rfNormal;
};

namespace harbrook {

// Converts the whole text as a decimal integer with an optional sign; no blanks, no
// overflow. Absent when the text is anything else.
bool parseWholeInteger(const std::string& text, long long& value);

// Removes leading and trailing blanks and control characters (bytes up to 32).
std::string trimControl(const std::string& text);

}  // namespace harbrook
