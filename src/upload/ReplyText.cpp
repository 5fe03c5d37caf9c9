#include "upload/ReplyText.h"

#include <algorithm>
#include <optional>

#include "upload/Charset.h"

namespace kadrix {

namespace {

// Declarations are looked for near the start only, as browsers do; the
// exact window does not matter for an address-sized reply.
constexpr std::size_t kDeclarationWindow = 4096;

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerCase(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), Lower);
    return out;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsSpace(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsSpace(s.back())) s.remove_suffix(1);
    return s;
}

std::string_view Unquote(std::string_view s) {
    s = Trim(s);
    if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front()) {
        s = s.substr(1, s.size() - 2);
    }
    return Trim(s);
}

struct MediaType {
    std::string type;  // lower case, without parameters
    std::optional<std::string> charset;
};

// "text/html; charset=UTF-8" and the like; also finds charset=... in a meta
// element's content attribute.
MediaType ParseMediaType(std::string_view value) {
    MediaType media;
    size_t semicolon = value.find(';');
    media.type = LowerCase(Trim(value.substr(0, semicolon)));
    while (semicolon != std::string_view::npos) {
        value.remove_prefix(semicolon + 1);
        semicolon = value.find(';');
        const std::string_view parameter = value.substr(0, semicolon);
        const size_t equals = parameter.find('=');
        if (equals == std::string_view::npos) continue;
        if (LowerCase(Trim(parameter.substr(0, equals))) == "charset" && !media.charset) {
            media.charset = std::string(Unquote(parameter.substr(equals + 1)));
        }
    }
    return media;
}

// Attributes of one tag, from just after its name up to '>' (or "?>").
class TagAttributes {
public:
    explicit TagAttributes(std::string_view text) : text_(text) {}

    // The next name (lower case) and value; false at the tag's end.
    bool Next(std::string& name, std::string& value) {
        while (pos_ < text_.size() && (IsSpace(text_[pos_]) || text_[pos_] == '/' || text_[pos_] == '?')) ++pos_;
        if (pos_ >= text_.size() || text_[pos_] == '>') return false;
        const size_t nameStart = pos_;
        while (pos_ < text_.size() && !IsSpace(text_[pos_]) && text_[pos_] != '=' && text_[pos_] != '>' &&
               text_[pos_] != '/') {
            ++pos_;
        }
        name = LowerCase(text_.substr(nameStart, pos_ - nameStart));
        value.clear();
        while (pos_ < text_.size() && IsSpace(text_[pos_])) ++pos_;
        if (pos_ >= text_.size() || text_[pos_] != '=') return true;
        ++pos_;
        while (pos_ < text_.size() && IsSpace(text_[pos_])) ++pos_;
        if (pos_ < text_.size() && (text_[pos_] == '"' || text_[pos_] == '\'')) {
            const char quote = text_[pos_++];
            const size_t end = std::min(text_.find(quote, pos_), text_.size());
            value = text_.substr(pos_, end - pos_);
            pos_ = end + 1;
        } else {
            const size_t valueStart = pos_;
            while (pos_ < text_.size() && !IsSpace(text_[pos_]) && text_[pos_] != '>') ++pos_;
            value = text_.substr(valueStart, pos_ - valueStart);
        }
        return true;
    }

private:
    std::string_view text_;
    size_t pos_ = 0;
};

// <meta charset="x"> or <meta http-equiv="Content-Type" content="...; charset=x">.
std::optional<std::string> MetaCharset(std::string_view body) {
    const std::string lower = LowerCase(body.substr(0, kDeclarationWindow));
    for (size_t at = lower.find("<meta"); at != std::string::npos; at = lower.find("<meta", at + 5)) {
        const size_t after = at + 5;
        if (after < lower.size() && !IsSpace(lower[after]) && lower[after] != '/') continue;
        TagAttributes attributes(std::string_view(body).substr(after, lower.size() - after));
        std::string name, value;
        bool contentTypeEquiv = false;
        std::optional<std::string> content;
        while (attributes.Next(name, value)) {
            if (name == "charset") return std::string(Unquote(value));
            if (name == "http-equiv") contentTypeEquiv = LowerCase(Trim(value)) == "content-type";
            if (name == "content") content = value;
        }
        if (contentTypeEquiv && content) {
            if (auto charset = ParseMediaType(*content).charset) return charset;
        }
    }
    return std::nullopt;
}

// <?xml version="1.0" encoding="x"?> at the very start (after a UTF-8 BOM).
std::optional<std::string> XmlDeclarationEncoding(std::string_view body) {
    if (body.starts_with("\xEF\xBB\xBF")) body.remove_prefix(3);
    if (!body.starts_with("<?xml") || body.size() < 6 || !IsSpace(body[5])) return std::nullopt;
    body = body.substr(5, kDeclarationWindow);
    body = body.substr(0, body.find("?>"));
    TagAttributes attributes(body);
    std::string name, value;
    while (attributes.Next(name, value)) {
        if (name == "encoding") return std::string(Trim(value));
    }
    return std::nullopt;
}

bool IsHtml(const std::string& type) { return type == "text/html" || type == "application/xhtml+xml"; }

bool IsXml(const std::string& type) {
    return type == "text/xml" || type == "application/xml" || type == "text/xml-external-parsed-entity" ||
           type == "application/xml-external-parsed-entity" || type.ends_with("+xml");
}

bool IsXmlText(const std::string& type) { return type.starts_with("text/") && IsXml(type); }

}  // namespace

std::u16string DecodeReplyBody(std::string_view contentType, std::string_view body) {
    const MediaType media = ParseMediaType(contentType);
    std::optional<std::string> charset = media.charset;
    if (IsXml(media.type)) {
        if (auto declared = XmlDeclarationEncoding(body)) charset = declared;
    }
    if (IsHtml(media.type)) {
        if (auto declared = MetaCharset(body)) charset = declared;
    }
    if (charset) {
        if (auto text = CharsetToUtf16(*charset, body)) return *std::move(text);
        return Latin1ToUtf16(body);
    }
    return IsXmlText(media.type) ? AsciiBytesToUtf16(body) : Latin1ToUtf16(body);
}

}  // namespace kadrix
